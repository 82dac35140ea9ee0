// The console while its journal cannot be written, polling the simulator and
// publishing to a broker of its own: events go on being shown and sounded,
// and once the file takes rows again every one of them is in it once, in
// order, and only then at the broker. A reader holding the file open takes
// nothing away.
#include "alarmsound.h"
#include "journal.h"
#include "mainwindow.h"
#include "simharness.h"
#include "testbroker.h"
#include "testfiles.h"
#include "testwidgets.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

struct RecordingSound : AlarmSound
{
    int plays = 0;
    void play() override { ++plays; }
    void stop() override {}
};

// "id kind code" of every row, read as another program would.
QStringList journalRows(const QString &path)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT id, kind, code FROM journal ORDER BY id")) {
            while (query.next())
                rows << QString("%1 %2 %3").arg(query.value(0).toString(), query.value(1).toString(),
                                                query.value(2).toString()).trimmed();
        }
    }
    QSqlDatabase::removeDatabase("reader");
    return rows;
}

// The ids of the journal rows published, in arrival order.
QVector<qint64> publishedIds(const TestSubscriber &subscriber)
{
    QVector<qint64> ids;
    for (const TestSubscriber::Message &message : subscriber.messages()) {
        if (message.topic.endsWith("/journal"))
            ids << QJsonDocument::fromJson(message.payload).object().value("id").toVariant().toLongLong();
    }
    return ids;
}

SimEvent eventNumbered(int code)
{
    return SimEvent::at(37, quint8(code), QDateTime(QDate(2024, 3, 12), QTime(14, 30, code)));
}

} // namespace

class TestJournalFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eventsWhileTheJournalCannotBeWritten_data();
    void eventsWhileTheJournalCannotBeWritten();
    void readerHoldingTheFileLosesNothing();

private:
    QTemporaryDir workDir;
};

void TestJournalFaults::initTestCase()
{
    QVERIFY(workDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, workDir.path());
}

void TestJournalFaults::eventsWhileTheJournalCannotBeWritten_data()
{
    QTest::addColumn<bool>("diskFull");
    // The folder removed, and a file in its way so that it cannot be made again.
    QTest::newRow("folder removed") << false;
    // SQLite's page limit on the journal's own connection.
    QTest::newRow("disk full") << true;
}

void TestJournalFaults::eventsWhileTheJournalCannotBeWritten()
{
    QFETCH(bool, diskFull);
    TestBroker broker;
    QVERIFY(broker.start());
    TestSubscriber subscriber(broker.port(), "#");
    QVERIFY(subscriber.connect());
    const QString folder = workDir.filePath(diskFull ? "full" : "gone");
    const QString path = folder + "/journal.sqlite";
    qputenv("TARVIK_JOURNAL", path.toLocal8Bit());
    qputenv("TARVIK_MQTT", QByteArray("127.0.0.1:") + QByteArray::number(broker.port()));
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath(), {sim.devicePath()});

    auto window = std::make_unique<MainWindow>();
    auto *sound = new RecordingSound;
    window->setAlarmSound(sound);
    qunsetenv("TARVIK_MQTT");
    auto *journal = window->findChild<Journal *>();
    QTableWidget *current = child<QTableWidget>(*window, "tableAlarmCurrent");
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(*window, "labelMqtt")->text(), QString("MQTT: подключено"), 10000);
    sim.addCurrentEvent(eventNumbered(1), false);
    window->findChild<QAction *>("actionEnablePoll")->trigger();
    QTRY_COMPARE(current->rowCount(), 1);
    QTRY_COMPARE(publishedIds(subscriber), (QVector<qint64>{1, 2})); // polling started, the event

    QSqlQuery limit(QSqlDatabase::database(journal->connectionName()));
    if (diskFull) {
        QTest::ignoreMessage(QtWarningMsg, "Журнал не записывается: нет места на диске");
        QVERIFY(limit.exec("PRAGMA page_count") && limit.next());
        QVERIFY(limit.exec(QString("PRAGMA max_page_count=%1").arg(limit.value(0).toInt())));
        // What still fits in the last page goes in first.
        for (int i = 0; i < 200 && !journal->isWritingStopped(); ++i)
            journal->append(JournalRecord::note(JournalRecord::Reset));
    } else {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Журнал не записывается: файл .* удалён$"));
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(writeFile(folder, "in the way"));
    }
    for (int code = 2; code <= 6; ++code)
        sim.addCurrentEvent(eventNumbered(code), false);
    QTRY_COMPARE(current->rowCount(), 6);
    QCOMPARE(sound->plays, 6);
    QVERIFY(journal->isWritingStopped());
    QLabel *warning = child<QLabel>(*window, "labelJournalWriting");
    QVERIFY2(warning->isVisible() && warning->text().startsWith("Журнал не записывается: "),
             qPrintable(warning->text()));
    QTest::qWait(2 * Journal::RetryIntervalMs + 500); // retries fail meanwhile
    QVERIFY(journal->isWritingStopped());
    const QVector<qint64> before = publishedIds(subscriber);

    if (diskFull)
        QVERIFY(limit.exec("PRAGMA max_page_count=1000000"));
    else
        QVERIFY(QFile::remove(folder));
    QTRY_VERIFY_WITH_TIMEOUT(!journal->isWritingStopped(), 3 * Journal::RetryIntervalMs);
    QVERIFY(!warning->isVisible());
    // Every row once, numbered without a gap (after a removed folder the new
    // file goes on from the old ids), the held ones framed by the journal's own.
    const QStringList rows = journalRows(path);
    const int failure = rows.indexOf(QRegularExpression("\\d+ journal-failure"));
    QVERIFY2(failure >= 0, qPrintable(rows.join(", ")));
    const qint64 first = rows.first().section(' ', 0, 0).toLongLong();
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rows[i].section(' ', 0, 0).toLongLong(), first + i);
    QStringList held{"event 2", "event 3", "event 4", "event 5", "event 6", "journal-restored"};
    if (diskFull)
        held.prepend("reset"); // the filler that found the disk full
    QCOMPARE(rows.mid(failure + 1).replaceInStrings(QRegularExpression("^\\d+ "), QString()), held);
    const qint64 failureId = first + failure;
    for (qint64 id : before)
        QVERIFY2(id < failureId, "a held row was published before it was written");
    QVector<qint64> all;
    for (qint64 id = 1; id <= rows.last().section(' ', 0, 0).toLongLong(); ++id)
        all << id;
    QTRY_COMPARE(publishedIds(subscriber), all);
    window.reset();
    qunsetenv("TARVIK_JOURNAL");
}

// The sqlite3 shell inside a read transaction on the file while the console
// opens it and journals: every row goes in, nothing is set aside.
void TestJournalFaults::readerHoldingTheFileLosesNothing()
{
    const QString shell = QStandardPaths::findExecutable("sqlite3");
    if (shell.isEmpty())
        QSKIP("the sqlite3 shell is not installed (scripts/deps.sh installs it)");
    const QString folder = workDir.filePath("read");
    const QString path = folder + "/journal.sqlite";
    {
        Journal earlier;
        QVERIFY(earlier.open(path));
        QCOMPARE(earlier.append(JournalRecord::note(JournalRecord::PollingStopped)), 1);
    }
    QProcess reader;
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(shell, {path});
    QVERIFY(reader.waitForStarted());
    reader.write("BEGIN;\nSELECT 'rows', COUNT(*) FROM journal;\n");
    QByteArray seen;
    QTRY_VERIFY2((seen += reader.readAll()).contains("rows|1"), seen.constData());

    qputenv("TARVIK_JOURNAL", path.toLocal8Bit());
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath(), {sim.devicePath()});
    {
        MainWindow window;
        window.setAlarmSound(new RecordingSound);
        auto *journal = window.findChild<Journal *>();
        QVERIFY2(journal->isOpen() && journal->problem().isEmpty(), qPrintable(journal->problem()));
        window.findChild<QAction *>("actionEnablePoll")->trigger();
        for (int code = 1; code <= 5; ++code)
            sim.addCurrentEvent(eventNumbered(code), false);
        QTRY_COMPARE(child<QTableWidget>(window, "tableAlarmCurrent")->rowCount(), 5);
        QVERIFY(!journal->isWritingStopped());
        window.findChild<QAction *>("actionDisablePoll")->trigger();
    }
    // The reader still sees the file as it began its transaction.
    reader.write("SELECT 'still', COUNT(*) FROM journal;\nCOMMIT;\nSELECT 'now', COUNT(*) FROM journal;\n.quit\n");
    QVERIFY(reader.waitForFinished(5000));
    seen = reader.readAll();
    QVERIFY2(seen.contains("still|1") && seen.contains("now|8"), seen.constData());
    QCOMPARE(journalRows(path), (QStringList{"1 polling-stopped", "2 polling-started", "3 event 1", "4 event 2",
                                             "5 event 3", "6 event 4", "7 event 5", "8 polling-stopped"}));
    QCOMPARE(QDir(folder).entryList({"*corrupt*"}), QStringList());
    qunsetenv("TARVIK_JOURNAL");
}

QTEST_MAIN(TestJournalFaults)
#include "tst_journalfaults.moc"
