// Acknowledging without a window: the ledger's bookkeeping, the journal filter
// for events nobody acknowledged, and a shift report read from a real journal.
#include "acknowledgementledger.h"
#include "journal.h"
#include "journalmodel.h"
#include "journalquery.h"
#include "shiftreport.h"

#include <QtTest>

namespace {

JournalRecord currentEvent(const QString &received, const QString &name)
{
    JournalRecord record =
        JournalRecord::event(JournalRecord::CurrentList, AlarmType{32, 1, 24, 3, 5, 7, 0, 9}, name);
    record.received = received;
    record.port = "/dev/pts/7";
    record.slave = 3;
    return record;
}

QDateTime at(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODate);
}

QStringList names(const QVector<JournalRecord> &rows)
{
    QStringList list;
    for (const JournalRecord &row : rows)
        list << row.name;
    return list;
}

} // namespace

class TestAcknowledgement : public QObject
{
    Q_OBJECT

private slots:
    void ledgerCountsWhatWaits();
    void acknowledgementOutlivesARefill();
    void acknowledgementRecordsTheEvent();
    void journalKeepsTheGuardAndTheReference();
    void filterShowsEventsNobodyAcknowledged();
    void shiftReportFromTheJournal();

private:
    QTemporaryDir dir;
};

void TestAcknowledgement::ledgerCountsWhatWaits()
{
    AcknowledgementLedger ledger;
    QVERIFY(ledger.allAcknowledged());
    const qint64 a = ledger.add(10, currentEvent("2026-01-01T08:00:00", "A"));
    const qint64 b = ledger.add(11, currentEvent("2026-01-01T08:00:01", "B"));
    const qint64 c = ledger.add(12, currentEvent("2026-01-01T08:00:02", "C"));
    QCOMPARE(QVector<qint64>({a, b, c}), QVector<qint64>({10, 11, 12}));
    QCOMPARE(ledger.unacknowledgedCount(), 3);

    JournalRecord record;
    QVERIFY(ledger.acknowledge(b, "Петров", at("2026-01-01T08:01:00"), &record));
    QVERIFY(!ledger.acknowledge(b, "Петров", at("2026-01-01T08:01:00"), &record)); // once only
    QVERIFY(!ledger.acknowledge(99, "Петров", at("2026-01-01T08:01:00"), &record)); // not on show
    QVERIFY(ledger.isAcknowledged(b) && !ledger.isAcknowledged(a));
    QCOMPARE(ledger.unacknowledgedCount(), 2);

    // Removing a waiting event and an acknowledged one keeps the count right.
    ledger.remove(a);
    ledger.remove(b);
    ledger.remove(b);
    QCOMPARE(ledger.unacknowledgedCount(), 1);
    QCOMPARE(ledger.size(), 1);

    // "All" takes the waiting ones in the order they were shown, and only those.
    const qint64 d = ledger.add(13, currentEvent("2026-01-01T08:00:03", "D"));
    const qint64 e = ledger.add(14, currentEvent("2026-01-01T08:00:04", "E"));
    QVERIFY(ledger.acknowledge(d, "Петров", at("2026-01-01T08:02:00"), nullptr));
    QCOMPARE(names(ledger.acknowledgeAll("Сидоров", at("2026-01-01T08:03:00"))), QStringList({"C", "E"}));
    QVERIFY(ledger.allAcknowledged() && ledger.isAcknowledged(e));
    QVERIFY(ledger.acknowledgeAll("Сидоров", at("2026-01-01T08:03:00")).isEmpty());

    // Without a journal (id 0), or an id already on show, the event gets a local id.
    const qint64 local1 = ledger.add(0, currentEvent("2026-01-01T08:00:05", "F"));
    const qint64 local2 = ledger.add(0, currentEvent("2026-01-01T08:00:06", "G"));
    const qint64 again = ledger.add(13, currentEvent("2026-01-01T08:00:07", "H"));
    QVERIFY(local1 < 0 && local2 < 0 && again < 0);
    QCOMPARE(QSet<qint64>({local1, local2, again}).size(), 3);
    QCOMPARE(ledger.unacknowledgedCount(), 3);
    ledger.clear();
    QVERIFY(ledger.allAcknowledged() && ledger.size() == 0);
}

// A list that shrinks comes back whole as new events: what a guard has
// acknowledged stays acknowledged, what waited still waits.
void TestAcknowledgement::acknowledgementOutlivesARefill()
{
    AcknowledgementLedger ledger;
    const JournalRecord seen = currentEvent("2026-01-01T08:00:00", "A");
    const JournalRecord unseen = currentEvent("2026-01-01T08:00:01", "B");
    JournalRecord otherController = seen;
    otherController.controller = "Котельная 2";
    const qint64 a = ledger.add(1, seen);
    const qint64 b = ledger.add(2, unseen);
    QVERIFY(ledger.acknowledge(a, "Петров", at("2026-01-01T08:05:00"), nullptr));
    ledger.remove(a);
    ledger.remove(b);

    AcknowledgementLedger::Acknowledgement earlier;
    const qint64 elsewhere = ledger.add(3, otherController, &earlier);
    QVERIFY(!ledger.isAcknowledged(elsewhere) && earlier.guard.isEmpty());
    const qint64 again = ledger.add(4, seen, &earlier);
    QVERIFY(ledger.isAcknowledged(again));
    QCOMPARE(earlier.guard, QString("Петров"));
    QCOMPARE(earlier.when, at("2026-01-01T08:05:00"));
    QVERIFY(!ledger.isAcknowledged(ledger.add(5, unseen)));
    QCOMPARE(ledger.unacknowledgedCount(), 2);

    // Every later refill carries it too; a cleared ledger forgets it.
    ledger.remove(again);
    QVERIFY(ledger.isAcknowledged(ledger.add(6, seen)));
    ledger.clear();
    QVERIFY(!ledger.isAcknowledged(ledger.add(7, seen)));
}

void TestAcknowledgement::acknowledgementRecordsTheEvent()
{
    AcknowledgementLedger ledger;
    JournalRecord event = currentEvent("2026-01-01T08:00:00", "Пожар");
    event.controller = "Котельная";
    const qint64 id = ledger.add(42, event);
    JournalRecord record;
    QVERIFY(ledger.acknowledge(id, "Иванов И.И.", at("2026-01-01T08:05:30"), &record));
    QCOMPARE(record.kind, JournalRecord::Acknowledged);
    QCOMPARE(record.received, QString("2026-01-01T08:05:30"));
    QCOMPARE(record.guard, QString("Иванов И.И."));
    QCOMPARE(record.ref.toLongLong(), 42);
    QCOMPARE(record.name, QString("Пожар"));
    QCOMPARE(record.occurred, event.occurred);
    QCOMPARE(record.list, JournalRecord::CurrentList);
    QCOMPARE(record.controller, QString("Котельная"));
    QCOMPARE(record.port, QString("/dev/pts/7"));

    // A local id is no journal row: the reference stays empty rather than wrong.
    const qint64 local = ledger.add(0, event);
    QVERIFY(ledger.acknowledge(local, "Иванов И.И.", at("2026-01-01T08:06:00"), &record));
    QVERIFY(record.ref.isNull());
}

void TestAcknowledgement::journalKeepsTheGuardAndTheReference()
{
    Journal journal;
    QVERIFY(journal.open(dir.filePath("guard.sqlite")));
    AcknowledgementLedger ledger;
    const qint64 id = journal.append(currentEvent("2026-01-01T08:00:00", "Взлом"));
    ledger.add(id, currentEvent("2026-01-01T08:00:00", "Взлом"));
    JournalRecord record;
    QVERIFY(ledger.acknowledge(id, "Петров", at("2026-01-01T08:00:20"), &record));
    const qint64 ackId = journal.append(record);
    QVERIFY(ackId > id);

    const QVector<JournalRecord> rows = JournalQuery(journal.connectionName(), {}).older(0, 10);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1].kind, JournalRecord::Acknowledged);
    QCOMPARE(rows[1].guard, QString("Петров"));
    QCOMPARE(rows[1].ref.toLongLong(), id);
    QCOMPARE(rows[1].received, QString("2026-01-01T08:00:20"));
    // The journal tab names who acknowledged beside the kind.
    QCOMPARE(JournalModel::texts(rows[1]).mid(2, 3),
             QStringList({"Квитировано: Петров", "Текущие события", "Взлом"}));
    QCOMPARE(JournalModel::texts(rows[0])[2], QString("Событие"));
}

void TestAcknowledgement::filterShowsEventsNobodyAcknowledged()
{
    Journal journal;
    QVERIFY(journal.open(dir.filePath("filter.sqlite")));
    AcknowledgementLedger ledger;
    QHash<QString, qint64> ids;
    for (const char *name : {"seen", "missed", "missed too"})
        ids[name] = ledger.add(journal.append(currentEvent("2026-02-01T09:00:00", name)), currentEvent("", name));
    // The log's copy of an event and a clear are no current events.
    JournalRecord logged = currentEvent("2026-02-01T09:00:01", "in the log");
    logged.list = JournalRecord::AllList;
    journal.append(logged);
    journal.append(JournalRecord::note(JournalRecord::Cleared, JournalRecord::CurrentList));
    JournalRecord record;
    QVERIFY(ledger.acknowledge(ids["seen"], "Петров", at("2026-02-01T09:01:00"), &record));
    journal.append(record);

    JournalFilter filter;
    filter.unacknowledgedOnly = true;
    QCOMPARE(names(JournalQuery(journal.connectionName(), filter).older(0, 10)),
             QStringList({"missed", "missed too"}));
    QCOMPARE(JournalQuery(journal.connectionName(), filter).count(), 2);
    // It combines with the other filters.
    filter.text = "TOO";
    QCOMPARE(names(JournalQuery(journal.connectionName(), filter).older(0, 10)), QStringList({"missed too"}));
    filter.text.clear();
    filter.from = QDate(2026, 2, 2);
    QCOMPARE(JournalQuery(journal.connectionName(), filter).count(), 0);
    // Without it every row is there.
    QCOMPARE(JournalQuery(journal.connectionName(), {}).count(), 6);
}

void TestAcknowledgement::shiftReportFromTheJournal()
{
    Journal journal;
    QVERIFY(journal.open(dir.filePath("report.sqlite")));
    AcknowledgementLedger ledger;
    const auto append = [&](JournalRecord record) { return journal.append(record); };
    append(currentEvent("2026-03-01T07:59:59", "before the shift"));
    JournalRecord started = JournalRecord::note(JournalRecord::PollingStarted, {}, "Порт ttyUSB0, адрес 3");
    started.received = "2026-03-01T08:00:00";
    append(started);
    const qint64 fire = append(currentEvent("2026-03-01T08:10:00", "Пожар"));
    const qint64 gas = append(currentEvent("2026-03-01T09:00:00", "Порог CH"));
    JournalRecord logged = currentEvent("2026-03-01T09:00:01", "Порог CH");
    logged.list = JournalRecord::AllList;
    append(logged);
    append(currentEvent("2026-03-01T09:30:00", "Взлом")); // nobody acknowledges it
    JournalRecord failure = JournalRecord::note(JournalRecord::LineFailure, {}, "Ошибка чтения линии! Опрос завершен.");
    failure.received = "2026-03-01T10:00:00";
    append(failure);
    ledger.add(fire, currentEvent("2026-03-01T08:10:00", "Пожар"));
    ledger.add(gas, currentEvent("2026-03-01T09:00:00", "Порог CH"));
    JournalRecord record;
    QVERIFY(ledger.acknowledge(fire, "Петров", at("2026-03-01T08:11:00"), &record));
    append(record);
    // After the period's end: still this period's event's acknowledgement.
    QVERIFY(ledger.acknowledge(gas, "Сидоров", at("2026-03-01T20:30:00"), &record));
    append(record);

    const ShiftReport report =
        ShiftReport::fromJournal(journal.connectionName(), at("2026-03-01T08:00:00"), at("2026-03-01T20:00:00"));
    QVERIFY2(report.error.isEmpty(), qPrintable(report.error));
    QCOMPARE(report.events.size(), 3);
    QCOMPARE(report.eventTotal, 3);
    QCOMPARE(report.events[0].name, QString("Пожар"));
    QCOMPARE(report.events[0].received, QString("01.03.2026 08:10:00"));
    QCOMPARE(report.events[0].acknowledged, QString("01.03.2026 08:11:00"));
    QCOMPARE(report.events[0].guard, QString("Петров"));
    QCOMPARE(report.events[1].guard, QString("Сидоров"));
    QCOMPARE(report.events[2].name, QString("Взлом"));
    QVERIFY(report.events[2].acknowledged.isEmpty() && report.events[2].guard.isEmpty());
    QCOMPARE(report.unacknowledged, 1);
    QCOMPARE(report.lines, QStringList({"Порт ttyUSB0, адрес 3"}));
    QCOMPARE(report.failures.size(), 1);
    QCOMPARE(report.failures[0].text, QString("Ошибка чтения линии! Опрос завершен."));
    QStringList counts;
    for (const ShiftReport::Count &count : report.counts)
        counts << count.what + '=' + QString::number(count.count);
    QCOMPARE(counts, QStringList({"Опрос начат=1", "Событие (Текущие события)=3", "Событие (Все события)=1",
                                  "Отказ линии=1", "Квитировано (Текущие события)=1"}));

    // A period that ends before the acknowledgements leaves them out of its counts
    // but not out of its events; an earlier one holds nothing of the shift.
    const ShiftReport early =
        ShiftReport::fromJournal(journal.connectionName(), at("2026-03-01T08:00:00"), at("2026-03-01T08:10:30"));
    QCOMPARE(early.events.size(), 1);
    QCOMPARE(early.events[0].guard, QString("Петров"));
    QCOMPARE(ShiftReport::fromJournal(journal.connectionName(), at("2026-02-01T00:00:00"),
                                      at("2026-02-28T00:00:00")).events.size(), 0);

    // A flood of events: the table stops at its limit, the counts do not.
    for (int n = 0; n < ShiftReport::MaxEvents + 5; ++n)
        append(currentEvent("2026-03-02T08:00:00", QString("flood %1").arg(n)));
    const ShiftReport flood =
        ShiftReport::fromJournal(journal.connectionName(), at("2026-03-02T00:00:00"), at("2026-03-02T23:00:00"));
    QCOMPARE(flood.events.size(), int(ShiftReport::MaxEvents));
    QCOMPARE(flood.eventTotal, ShiftReport::MaxEvents + 5);
    QCOMPARE(flood.unacknowledged, ShiftReport::MaxEvents + 5);
    QCOMPARE(flood.events.first().name, QString("flood 0"));
    QVERIFY(!ShiftReport::fromJournal("no such connection", at("2026-03-01T08:00:00"), at("2026-03-02T08:00:00"))
                 .error.isEmpty());
}

QTEST_GUILESS_MAIN(TestAcknowledgement)
#include "tst_acknowledgement.moc"
