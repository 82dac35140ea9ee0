// The service's unit as systemd reads it, with ExecStart pointing at the
// program just built.

#include <QProcess>
#include <QtTest>

class SiteUnitTest : public QObject
{
    Q_OBJECT

private slots:
    void systemdFindsNothingToSay()
    {
        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty())
            QSKIP("systemd-analyze is not installed");
        QProcess verify;
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(analyze, {QStringLiteral("verify"), QStringLiteral("--man=no"),
                               QStringLiteral(TARVIK_SITE_UNIT)});
        QVERIFY(verify.waitForFinished(60000));
        const QString output = QString::fromUtf8(verify.readAll());
        QVERIFY2(verify.exitStatus() == QProcess::NormalExit && verify.exitCode() == 0, qPrintable(output));
        QVERIFY2(output.trimmed().isEmpty(), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(SiteUnitTest)
#include "tst_siteunit.moc"
