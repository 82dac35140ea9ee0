// The journal's storage without a window: fields, pages, filters, CSV, the row
// limit and files that cannot be used.
#include "csvwriter.h"
#include "journal.h"
#include "journalmodel.h"
#include "journalquery.h"
#include "testfiles.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

JournalRecord eventAt(const QString &received, const QString &name, const QString &port = "/dev/pts/1")
{
    JournalRecord record = JournalRecord::event(JournalRecord::AllList, AlarmType{32, 1, 24, 3, 5, 7, 0, 9}, name);
    record.received = received;
    record.port = port;
    record.slave = 1;
    return record;
}

QStringList names(const QVector<JournalRecord> &rows)
{
    QStringList list;
    for (const JournalRecord &row : rows)
        list << row.name;
    return list;
}

// A second connection, as another program would have it.
struct OtherConnection
{
    QString name;
    explicit OtherConnection(const QString &path)
    {
        static int count = 0;
        name = QString("other%1").arg(++count);
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        db.open();
    }
    ~OtherConnection() { QSqlDatabase::removeDatabase(name); }
    QVariant value(const QString &sql) const
    {
        QSqlQuery query(QSqlDatabase::database(name));
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    bool exec(const QString &sql) const { return QSqlQuery(QSqlDatabase::database(name)).exec(sql); }
};

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); path = dir.filePath(QString("j%1.sqlite").arg(++files)); }
    void recordsKeepEveryField();
    void pagesAndFilters();
    void modelLoadsPagesAtBothEnds();
    void csvBytes();
    void rowLimitAtStartUp();
    void unusableFiles();
    void upgradesVersionOneFile();
    void failedWritesAreHeldInOrder();

private:
    QTemporaryDir dir;
    QString path;
    int files = 0;
};

void TestJournal::recordsKeepEveryField()
{
    Journal journal;
    QVERIFY(journal.open(path));
    QVERIFY(journal.problem().isEmpty());
    const QString padded = QString("Пожар, Адрес 5 ").leftJustified(40);
    JournalRecord fire = JournalRecord::event(JournalRecord::CurrentList, AlarmType{37, 4, 24, 3, 12, 14, 30, 9}, padded);
    fire.port = "/dev/pts/3";
    fire.slave = 17;
    fire.controller = "Котельная 2";
    QSignalSpy appended(&journal, &Journal::appended);
    const qint64 first = journal.append(fire);
    QVERIFY(first > 0 && appended.count() == 1 && appended.first().first().toLongLong() == first);
    // Impossible dates stay as the tables show them.
    journal.append(JournalRecord::event(JournalRecord::AllList, AlarmType{0, 9, 24, 13, 40, 25, 0, 1}, "x"));
    journal.append(JournalRecord::event(JournalRecord::AllList, AlarmType{0, 9, 123, 1, 2, 3, 4, 5}, "y"));
    journal.append(JournalRecord::note(JournalRecord::PollingStopped));
    JournalRecord seen = JournalRecord::note(JournalRecord::Acknowledged, JournalRecord::CurrentList, "Пожар, Адрес 5");
    seen.guard = "Иванов";
    seen.ref = first;
    journal.append(seen);

    const QVector<JournalRecord> rows = JournalQuery(journal.connectionName(), {}).newer(0, 10);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0].controller, QString("Котельная 2"));
    QVERIFY(rows[0].guard.isEmpty() && rows[0].ref.isNull() && rows[1].controller.isEmpty());
    QVERIFY(rows[4].kind == "acknowledged" && rows[4].guard == "Иванов" && rows[4].ref.toLongLong() == first);
    const JournalRecord &r = rows[0];
    QCOMPARE(r.id, first);
    QVERIFY(QDateTime::fromString(r.received, "yyyy-MM-ddTHH:mm:ss").secsTo(QDateTime::currentDateTime()) < 60);
    QCOMPARE(QStringList({r.kind, r.list, r.name, r.occurred, r.port}),
             QStringList({"event", "current", "Пожар, Адрес 5", "2024-03-12T14:30:09", "/dev/pts/3"}));
    QCOMPARE(QVariantList({r.source, r.code, r.slave}), QVariantList({37, 4, 17}));
    QCOMPARE(rows[1].occurred, QString("40.13.2024 25:00:01"));
    QCOMPARE(rows[2].occurred, QString("02.01.20123 03:04:05"));
    QVERIFY(rows[3].kind == "polling-stopped" && rows[3].source.isNull() && rows[3].list.isEmpty());
    QCOMPARE(JournalModel::texts(rows[0]).mid(1),
             QStringList({"Котельная 2", "Событие", "Текущие события", "Пожар, Адрес 5", "12.03.2024 14:30:09"}));
    QCOMPARE(JournalModel::texts(rows[1]).last(), QString("40.13.2024 25:00:01"));

    OtherConnection other(path); // what any SQLite tool sees
    QCOMPARE(other.value("PRAGMA user_version").toInt(), Journal::SchemaVersion);
    QCOMPARE(other.value("PRAGMA journal_mode").toString(), QString("wal")); // a killed console keeps what it wrote
}

void TestJournal::pagesAndFilters()
{
    Journal journal;
    QVERIFY(journal.open(path));
    const QStringList days{"2026-01-30T23:59:59", "2026-01-31T00:00:00", "2026-01-31T23:59:59", "2026-02-01T00:00:00"};
    for (int i = 0; i < days.size(); ++i)
        journal.append(eventAt(days[i], QString("Порог CH 100%_%1").arg(i), i == 3 ? "COM7" : "/dev/pts/1"));
    journal.append(eventAt(days.last(), "Пожар; \"Адрес\" 2"));

    const auto query = [&](QDate from, QDate to, const QString &text) {
        return JournalQuery(journal.connectionName(), JournalFilter{from, to, text});
    };
    const QDate jan31(2026, 1, 31);
    QCOMPARE(names(query(jan31, jan31, {}).newer(0, 10)), (QStringList{"Порог CH 100%_1", "Порог CH 100%_2"}));
    QCOMPARE(query(jan31, {}, {}).count(), 4);
    QCOMPARE(query({}, jan31, {}).count(), 3);
    // Wildcards are plain text; the port is searched too.
    QCOMPARE(query({}, {}, "%_2").count(), 1);
    QCOMPARE(query({}, {}, "COM7").count(), 1);
    QCOMPARE(query({}, {}, "\"Адрес\"").count(), 1);
    QCOMPARE(query(jan31, jan31, "_1").count(), 1);
    QCOMPARE(query({}, {}, "пожар").count(), 1); // a Cyrillic word as typed, capitalised or in capitals
    QCOMPARE(query({}, {}, "ПОРОГ ch").count(), 4);

    // Keyset pages, each in id order.
    const JournalQuery all = query({}, {}, {});
    QCOMPARE(names(all.older(0, 2)), (QStringList{"Порог CH 100%_3", "Пожар; \"Адрес\" 2"}));
    QCOMPARE(names(all.older(2, 5)), QStringList{"Порог CH 100%_0"});
    QCOMPARE(all.newer(3, 5).size(), 2);
    QVERIFY(all.newer(5, 5).isEmpty() && all.errorText().isEmpty());

    // A site console's controller name is searched too.
    JournalRecord named = eventAt(days.first(), "Взлом");
    named.controller = "Котельная 2";
    journal.append(named);
    QCOMPARE(query({}, {}, "котельная").count(), 1);
}

void TestJournal::modelLoadsPagesAtBothEnds()
{
    Journal journal;
    QVERIFY(journal.open(path));
    const int total = 2 * JournalModel::PageSize + 200;
    QVector<JournalRecord> burst;
    for (int i = 1; i <= total; ++i)
        burst << eventAt("2026-01-01T00:00:00", QString::number(i));
    QCOMPARE(journal.appendAll(burst).last(), total); // one transaction, ids in order
    JournalModel model;
    model.setSource(journal.connectionName());
    const auto nameAt = [&](int row) { return model.data(model.index(row, 4)).toString(); };
    QCOMPARE(model.rowCount(), JournalModel::PageSize);
    QCOMPARE(nameAt(model.rowCount() - 1), QString::number(total)); // newest at the bottom
    QCOMPARE(model.fetchOlder(), JournalModel::PageSize);
    QCOMPARE(nameAt(0), QString::number(201));
    QVERIFY(model.hasOlder());
    QCOMPARE(model.fetchOlder(), 200);
    QVERIFY(!model.hasOlder() && model.fetchOlder() == 0 && nameAt(0) == "1");

    journal.append(eventAt("2026-01-02T00:00:00", "new"));
    QCOMPARE(model.fetchNewer(), 1);
    QCOMPARE(nameAt(total), QString("new"));
    model.setFilter({QDate(2026, 1, 2), {}, {}});
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.headerData(5, Qt::Horizontal).toString(), QString("Время события"));

    // A long run's new rows push the oldest loaded out; scrolling up reads them again.
    model.setFilter({});
    burst.clear();
    for (int i = 1; i <= JournalModel::MaxLoadedRows; ++i)
        burst << eventAt("2026-01-03T00:00:00", "late " + QString::number(i));
    journal.appendAll(burst);
    QCOMPARE(model.fetchNewer(), JournalModel::MaxLoadedRows);
    QCOMPARE(model.rowCount(), JournalModel::MaxLoadedRows);
    QCOMPARE(nameAt(0), QString("late 1"));
    QVERIFY(model.hasOlder());
    QCOMPARE(model.fetchOlder(), JournalModel::PageSize);
    QCOMPARE(nameAt(JournalModel::PageSize - 1), QString("new"));
}

void TestJournal::csvBytes()
{
    QCOMPARE(CsvWriter::row({"a;b", "say \"hi\"", "two\nlines", "cr\r", "plain", ""}),
             QByteArray("\"a;b\";\"say \"\"hi\"\"\";\"two\nlines\";\"cr\r\";plain;\r\n"));
    // The mark of UTF-8 once, before the header.
    Journal journal;
    QVERIFY(journal.open(path));
    journal.append(eventAt("2026-02-01T10:20:30", "Пожар; \"Адрес\" 2"));
    journal.appendAll(QVector<JournalRecord>(12000, eventAt("2026-02-02T10:20:30", "x")));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVector<qint64> seen;
    QVERIFY(JournalQuery(journal.connectionName(), {}).writeCsv(&out, [&](qint64 done, qint64 total) {
        seen << done << total;
        return true;
    }));
    const QList<QByteArray> lines = out.data().split('\n');
    QCOMPARE(lines.size(), 12003); // header, rows, nothing after the last CRLF
    QCOMPARE(lines[0], QByteArray("\xEF\xBB\xBFПолучено;Контроллер;Запись;Список;Событие;Время события\r"));
    QCOMPARE(lines[1], QByteArray("01.02.2026 10:20:30;;Событие;Все события;\"Пожар; \"\"Адрес\"\" 2\";05.03.2024 07:00:09\r"));
    QCOMPARE(seen.mid(0, 2), (QVector<qint64>{0, 12001}));
    QCOMPARE(seen.mid(seen.size() - 2), (QVector<qint64>{12001, 12001}));

    // Cancelled at the first page: nothing but the header.
    QBuffer cancelled;
    cancelled.open(QIODevice::WriteOnly);
    QVERIFY(!JournalQuery(journal.connectionName(), {}).writeCsv(&cancelled, [](qint64, qint64) { return false; }));
    QCOMPARE(cancelled.data().count('\n'), 1);
}

void TestJournal::rowLimitAtStartUp()
{
    {
        Journal journal;
        journal.setRowLimit(100);
        QVERIFY(journal.open(path));
        for (int i = 1; i <= 250; ++i)
            journal.appendAll({eventAt("2026-01-01T00:00:00", QString::number(i))});
        QCOMPARE(JournalQuery(journal.connectionName(), {}).count(), 250); // never in the middle of a run
    }
    Journal journal;
    journal.setRowLimit(100);
    QVERIFY(journal.open(path));
    const JournalQuery query(journal.connectionName(), {});
    QVERIFY(journal.isTrimming()); // after open(), never inside it
    QTRY_VERIFY(!journal.isTrimming());
    QCOMPARE(query.count(), 100);
    QCOMPARE(query.newer(0, 1).first().name, QString("151"));
    QCOMPARE(journal.append(eventAt("2026-01-01T00:00:01", "next")), 251); // ids go on
}

void TestJournal::unusableFiles()
{
    // A folder that cannot be made, even by root: its parent is a file.
    QVERIFY(writeFile(dir.filePath("plain"), "not a folder"));
    Journal nowhere;
    QVERIFY(!nowhere.open(dir.filePath("plain/Tarvik/journal.sqlite")));
    QVERIFY2(nowhere.problem().startsWith("Журнал событий не ведётся: не удалось создать папку"),
             qPrintable(nowhere.problem()));
    QVERIFY(nowhere.problem().endsWith("Опрос контроллера продолжается без журнала."));
    QSignalSpy failed(&nowhere, &Journal::failed);
    QCOMPARE(nowhere.append(eventAt("2026-01-01T00:00:00", "lost")), 0);
    QCOMPARE(failed.count(), 0); // already told

    // A corrupt file is set aside, bytes unchanged, and a new journal started.
    const QByteArray garbage = QByteArray("SQLite format 2\0", 16) + QByteArray(4000, 'x');
    QVERIFY(writeFile(path, garbage));
    Journal journal;
    QVERIFY(journal.open(path));
    const QString aside = journal.setAsidePath();
    QVERIFY2(journal.problem().contains("был повреждён"), qPrintable(journal.problem()));
    QVERIFY(journal.problem().contains(QDir::toNativeSeparators(aside)));
    const QString stamp = QDate::currentDate().toString("yyyyMMdd");
    QVERIFY2(QFileInfo(aside).fileName().startsWith(QFileInfo(path).completeBaseName() + ".corrupt-" + stamp),
             qPrintable(aside));
    QCOMPARE(readAll(aside), garbage);
    QVERIFY(journal.append(eventAt("2026-01-01T00:00:00", "fresh")) == 1);

    // Spoilt again the same second, it is set aside under a name of its own.
    journal.open(dir.filePath("elsewhere.sqlite")); // lets the file go
    QVERIFY(writeFile(path, garbage));
    Journal again;
    QVERIFY2(again.open(path), qPrintable(again.problem()));
    QVERIFY(QFile::exists(aside) && QFile::exists(again.setAsidePath()) && again.setAsidePath() != aside);

    // A file from a later version is left alone.
    const QString later = dir.filePath("later.sqlite");
    { Journal created; QVERIFY(created.open(later)); }
    QVERIFY(OtherConnection(later).exec("PRAGMA user_version=7"));
    Journal newer;
    QVERIFY(!newer.open(later));
    QVERIFY(newer.problem().contains("более новой версией"));
}

// A file written by the first version of the journal: every row stays, the
// new columns come empty, and the file goes on at the new version.
void TestJournal::upgradesVersionOneFile()
{
    QVERIFY(QFile::copy(QString(TARVIK_JOURNAL_DATA) + "/journal-v1.sqlite", path));
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(OtherConnection(path).value("PRAGMA user_version").toInt(), 1);
    Journal journal;
    QVERIFY2(journal.open(path), qPrintable(journal.problem()));
    QVERIFY(journal.problem().isEmpty());
    QVector<JournalRecord> rows = JournalQuery(journal.connectionName(), {}).newer(0, 100);
    QCOMPARE(rows.size(), 6);
    QCOMPARE(QStringList({rows[0].kind, rows[0].name, rows[0].port}),
             QStringList({"polling-started", "Порт ttyUSB0, адрес 1", "ttyUSB0"}));
    QCOMPARE(QStringList({rows[1].list, rows[1].name, rows[1].occurred, rows[1].received}),
             QStringList({"current", "Порог 1 CH, Адрес 1", "2026-11-30T08:00:05", "2026-11-30T08:00:01"}));
    QCOMPARE(QVariantList({rows[1].source, rows[1].code, rows[1].slave}), QVariantList({32, 1, 1}));
    QCOMPARE(rows[5].kind, QString("line-failure"));
    for (const JournalRecord &row : rows)
        QVERIFY(row.controller.isEmpty() && row.guard.isEmpty() && row.ref.isNull());

    JournalRecord next = eventAt("2026-12-01T00:00:00", "после обновления");
    next.controller = "Контроллер 2";
    QCOMPARE(journal.append(next), rows.last().id + 1);
    QVERIFY(journal.setMetaValue("published", "4") && journal.setMetaValue("published", "5"));
    journal.open(dir.filePath("elsewhere.sqlite")); // lets the file go

    Journal reopened; // already at the new version: nothing is added twice
    QVERIFY2(reopened.open(path), qPrintable(reopened.problem()));
    rows = JournalQuery(reopened.connectionName(), {}).newer(0, 100);
    QCOMPARE(rows.size(), 7);
    QCOMPARE(rows.last().controller, QString("Контроллер 2"));
    QCOMPARE(reopened.metaValue("published"), QString("5"));
    QVERIFY(reopened.metaValue("absent").isEmpty());
    QCOMPARE(OtherConnection(path).value("PRAGMA user_version").toInt(), Journal::SchemaVersion);
}

// Rows that cannot be written are held with their final ids and go into the
// file in order, between the journal's own rows, once it takes them again;
// only then are they announced. Nothing of a healthy file is set aside.
void TestJournal::failedWritesAreHeldInOrder()
{
    path = dir.filePath("held/journal.sqlite");
    { Journal created; QVERIFY(created.open(path)); }
    {
        OtherConnection writer(path); // another program's write: no reason not to open
        QVERIFY(writer.exec("BEGIN EXCLUSIVE"));
        Journal journal;
        QVERIFY2(journal.open(path), qPrintable(journal.problem()));
    }
    {
        OtherConnection other(path);
        QVERIFY(other.exec("PRAGMA locking_mode=EXCLUSIVE") && other.exec("BEGIN EXCLUSIVE"));
        Journal locked;
        QVERIFY(!locked.open(path));
        QVERIFY2(locked.problem().contains("занят другой программой"), qPrintable(locked.problem()));
        QVERIFY(locked.setAsidePath().isEmpty());
    }

    Journal journal;
    QVERIFY(journal.open(path));
    QSignalSpy appended(&journal, &Journal::appended);
    QSignalSpy stopped(&journal, &Journal::writingStopped);
    QSignalSpy resumed(&journal, &Journal::writingResumed);
    QCOMPARE(journal.append(eventAt("2026-01-01T00:00:00", "a")), 1);
    const auto appendedIds = [&] {
        QVector<qint64> ids;
        for (const QList<QVariant> &signal : appended)
            ids << signal.first().toLongLong();
        return ids;
    };
    const auto rowsInFile = [&] {
        QStringList rows;
        for (const JournalRecord &row : JournalQuery(journal.connectionName(), {}).newer(0, 1000))
            rows << QString("%1 %2 %3").arg(row.id).arg(row.kind, row.name);
        return rows;
    };

    // Another program's write lock: a transient error, held and retried.
    {
        OtherConnection blocker(path);
        QVERIFY(blocker.exec("BEGIN EXCLUSIVE"));
        QCOMPARE(journal.append(eventAt("2026-01-01T00:00:01", "b")), 3); // 2: the failure's row
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(stopped.first().first().toString(), QString("файл занят другой программой"));
        QCOMPARE(journal.appendAll({eventAt("2026-01-01T00:00:02", "c"), eventAt("2026-01-01T00:00:03", "d")}),
                 (QVector<qint64>{4, 5}));
        QVERIFY(journal.isWritingStopped() && journal.heldCount() == 4);
        QCOMPARE(appendedIds(), QVector<qint64>{1});
        QVERIFY(blocker.exec("ROLLBACK"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(resumed.count(), 1, 3 * Journal::RetryIntervalMs);
    QCOMPARE(appendedIds(), (QVector<qint64>{1, 2, 3, 4, 5, 6}));
    QCOMPARE(rowsInFile(), (QStringList{"1 event a", "2 journal-failure файл занят другой программой", "3 event b",
                                        "4 event c", "5 event d", "6 journal-restored "}));
    QVERIFY(!journal.isWritingStopped() && journal.setAsidePath().isEmpty());
    QCOMPARE(QDir(dir.filePath("held")).entryList({"*corrupt*"}), QStringList());

    // A full disk (SQLite's page limit on the journal's connection); a
    // retry on each append, the held ones first; the bound drops the newest.
    QSqlQuery limit(QSqlDatabase::database(journal.connectionName()));
    QVERIFY(limit.exec("PRAGMA page_count") && limit.next());
    QVERIFY(limit.exec(QString("PRAGMA max_page_count=%1").arg(limit.value(0).toInt())));
    journal.setHeldRowLimit(5);
    QVector<qint64> ids;
    for (int i = 0; i < 200 && !journal.isWritingStopped(); ++i)
        ids << journal.append(eventAt("2026-01-02T00:00:00", "full " + QString::number(i)));
    QVERIFY(journal.isWritingStopped());
    QCOMPARE(stopped.last().first().toString(), QString("нет места на диске"));
    const qint64 failureId = ids.last() - 1;
    for (int i = 0; i < 5; ++i)
        ids << journal.append(eventAt("2026-01-02T00:00:01", "more " + QString::number(i)));
    QCOMPARE(ids.mid(ids.size() - 6), (QVector<qint64>{failureId + 1, failureId + 2, failureId + 3,
                                                        failureId + 4, 0, 0}));
    QCOMPARE(journal.droppedCount(), 2);
    QVERIFY(limit.exec("PRAGMA max_page_count=1000000"));
    QTest::qWait(Journal::AppendRetryGapMs + 50);
    QVERIFY(journal.append(eventAt("2026-01-02T00:00:02", "dropped too")) == 0);
    QVERIFY(!journal.isWritingStopped());
    QCOMPARE(rowsInFile().mid(int(failureId) - 1), (QStringList{QString("%1 journal-failure нет места на диске").arg(failureId),
                                QString("%1 event full %2").arg(failureId + 1).arg(ids.size() - 6),
                                QString("%1 event more 0").arg(failureId + 2),
                                QString("%1 event more 1").arg(failureId + 3),
                                QString("%1 event more 2").arg(failureId + 4),
                                QString("%1 journal-restored Не записано строк: 3").arg(failureId + 5)}));

    // Another program's row takes the next id: the journal numbers on after it.
    QVERIFY(OtherConnection(path).exec("INSERT INTO journal(kind) VALUES('other')"));
    QCOMPARE(journal.append(eventAt("2026-01-02T00:00:03", "after")), failureId + 7);
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
