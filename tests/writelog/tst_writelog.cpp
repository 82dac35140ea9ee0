// The record of writes on disk: rows kept across reopening, the last write
// that reached a controller per link, foreign and damaged files set aside.
#include "configfile.h"
#include "configimage.h"
#include "testfiles.h"
#include "writelog.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

class TestWriteLog : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name) const { return QDir(dir.path()).filePath(name); }

    static WriteRecord record(const QString &link, quint8 relay)
    {
        ConfigImage image;
        image.applyDefaults();
        image.setByte(ConfigImage::Thres1Relay, relay);
        WriteRecord row;
        row.started = QDateTime::currentDateTime();
        row.engineer = "Петров";
        row.link = link;
        row.written = ConfigFile::toBytes(image);
        return row;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // Rows come back whole after the file is closed, newest first; the
    // previous write for a link skips failed writes and other links.
    void rowsAndPreviousWrite()
    {
        const QString file = path("writes.sqlite");
        QVector<WriteRecord> rows = {record("A", 1), record("A", 2), record("B", 3), record("A", 4)};
        const WriteRecord::Outcome outcomes[] = {WriteRecord::Written, WriteRecord::SimFailed,
                                                 WriteRecord::Written, WriteRecord::Failed};
        {
            WriteLog log;
            QVERIFY2(log.open(file), qPrintable(log.problem()));
            QVERIFY(log.problem().isEmpty());
            for (int k = 0; k < rows.size(); ++k) {
                rows[k].before = k ? rows[k - 1].written : QByteArray();
                QVERIFY(log.begin(rows[k]));
                QVERIFY(log.finish(rows[k].id, outcomes[k], QString("итог %1").arg(k), QDateTime::currentDateTime()));
            }
            QVERIFY(!log.finish(rows.last().id + 1, WriteRecord::Written, "нет такой", QDateTime()));
        }
        WriteLog log;
        QVERIFY(log.open(file));
        const QVector<WriteRecord> listed = log.records(true);
        QCOMPARE(listed.size(), 4);
        QCOMPARE(listed.first().id, rows.last().id);
        QCOMPARE(listed.last().changes, -1); // nothing known before the first
        QCOMPARE(listed.at(2).changes, 1);
        QCOMPARE(listed.at(2).before, rows.at(0).written);
        QCOMPARE(listed.at(2).written, rows.at(1).written);
        QCOMPARE(listed.at(2).outcome, WriteRecord::SimFailed);
        QCOMPARE(listed.at(2).outcomeDisplay(), QString("итог 1"));

        WriteRecord previous;
        QVERIFY(log.lastReached("A", 0, &previous)); // the failed 4th is not what the controller holds
        QCOMPARE(previous.id, rows.at(1).id);
        QVERIFY(log.lastReached("A", rows.at(1).id, &previous));
        QCOMPARE(previous.id, rows.at(0).id);
        QVERIFY(!log.lastReached("C", 0, &previous));
    }

    // A file that is not ours (text, another program's SQLite file) is set
    // aside, the user is told where, and recording goes on in a new file.
    void foreignFilesAreSetAside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("text") << "text";
        QTest::newRow("other database") << "sqlite";
    }

    void foreignFilesAreSetAside()
    {
        QFETCH(QString, kind);
        const QString file = path(kind + ".sqlite");
        if (kind == "text") {
            QVERIFY(writeFile(file, QByteArray(8192, 'x')));
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("CREATE TABLE contacts(name TEXT)"));
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase("other");
        }
        const QByteArray original = readAll(file);
        WriteLog log;
        QVERIFY2(log.open(file), qPrintable(log.problem()));
        QVERIFY(!log.setAsidePath().isEmpty());
        QCOMPARE(readAll(log.setAsidePath()), original);
        QVERIFY(log.problem().contains(QDir::toNativeSeparators(log.setAsidePath())));
        WriteRecord row = record("A", 1);
        QVERIFY(log.begin(row));
        QCOMPARE(log.records().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestWriteLog)
#include "tst_writelog.moc"
