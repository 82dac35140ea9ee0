#include "settingsdialog.h"
#include "settingsstore.h"

#include <QtTest>
#include <QtWidgets>

// The demo script run with this program in the places of both programs: each
// copy reports what its settings dialog chose from the store the demo preset,
// so the preset cannot drift from what the programs read.

namespace {

const char probeVariable[] = "TARVIK_SETTINGS_PROBE";

// Stands in for a program: one line "probe <role> <port> <baud> <address>".
int probe(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString role = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("console");
    SettingsDialog dialog;
    const Settings s = dialog.settings();
    QTextStream(stdout) << "probe " << role << ' ' << s.portName << ' ' << s.baudRate << ' '
                        << s.address << Qt::endl;
    return 0;
}

} // namespace

class TestDemoSettings : public QObject
{
    Q_OBJECT

private slots:
    // Each program's dialog comes up on its own simulator port, 9600 baud, address 1.
    void demoPresetIsWhatTheDialogReads()
    {
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString self = QCoreApplication::applicationFilePath();
        env.insert(QStringLiteral("BUILD_DIR"), QStringLiteral(TARVIK_BUILD_DIR));
        env.insert(QStringLiteral("TARVIK_DEMO_EDITOR"), self);
        env.insert(QStringLiteral("TARVIK_DEMO_CONSOLE"), self);
        env.insert(QString::fromLatin1(probeVariable), QStringLiteral("1"));
        demo.setProcessEnvironment(env);
        demo.start(QStringLiteral("bash"),
                   { QStringLiteral(TARVIK_SOURCE_DIR "/scripts/demo.sh"), QStringLiteral("editor") });
        QVERIFY(demo.waitForFinished(120000));
        const QString output = QString::fromLocal8Bit(demo.readAllStandardOutput());
        QVERIFY2(demo.exitCode() == 0, qPrintable(output + demo.readAllStandardError()));

        const QRegularExpression ports(QStringLiteral("Controller simulator: (\\S+) \\(editor\\), (\\S+) \\(console\\)"));
        const QRegularExpressionMatch match = ports.match(output);
        QVERIFY2(match.hasMatch(), qPrintable(output));
        QStringList probes = output.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^probe ")));
        probes.sort();
        QCOMPARE(probes, QStringList({ QStringLiteral("probe console %1 9600 1").arg(match.captured(2)),
                                       QStringLiteral("probe editor %1 9600 1").arg(match.captured(1)) }));
    }

    // The preset goes where a program with that configuration folder looks, and
    // the process's own store stays where it was.
    void presetLandsInTheNamedFolderOnly()
    {
        QTemporaryDir own, other;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, own.path());
        QVERIFY(SettingsStore::save({ "COM1", "1200", "7" }));
        QVERIFY(SettingsStore::saveUnder(other.path(), { "/tmp/port", "57600", "12" }));
        QCOMPARE(SettingsStore::load().address, QStringLiteral("7"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, other.path());
        const SettingsStore::Choice preset = SettingsStore::load();
        QCOMPARE(QStringList({ preset.portName, preset.baudRate, preset.address }),
                 QStringList({ "/tmp/port", "57600", "12" }));
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(probeVariable))
        return probe(argc, argv);
    QApplication app(argc, argv);
    TestDemoSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_demosettings.moc"
