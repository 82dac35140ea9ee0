// The event list readers and the poll steps, driven step by step against a
// scripted controller, so every request and every state can be checked.
#include "controllerstate.h"
#include "poller.h"
#include "registerlink.h"

#include <QHash>
#include <QtTest>

namespace {

// The simulator's controller model behind a link that logs each request
// ("I1029x1": input read, "H": holding read, "W": write) and can fail them.
class ScriptedController : public RegisterLink
{
public:
    ControllerState state;
    int failNext = 0;       // the next N requests of any kind fail
    QHash<int, int> failAt; // address -> how many more requests there fail
    QStringList log;

    int readRegisters(int a, int n, quint16 *d) override
    {
        return fails('H', a, n) ? -1 : (state.readHolding(a, n, d), n);
    }
    int readInputRegisters(int a, int n, quint16 *d) override
    {
        return fails('I', a, n) ? -1 : (state.readInput(a, n, d), n);
    }
    int writeRegister(int a, quint16 v) override
    {
        return fails('W', a, 1) ? -1 : (state.writeHolding(a, 1, &v), 1);
    }
    int writeRegisters(int, int, const quint16 *) override { return -1; }

private:
    bool fails(char kind, int address, int count)
    {
        log.append(QStringLiteral("%1%2x%3").arg(kind).arg(address).arg(count));
        int &failures = failNext > 0 ? failNext : failAt[address];
        return failures > 0 && failures--;
    }
};

QVector<AlarmType> alarms(const QVector<SimEvent> &list)
{
    QVector<AlarmType> result;
    for (const SimEvent &e : list)
        result.append({e.source, e.code, e.year, e.month, e.day, e.hour, e.minute, e.second});
    return result;
}

// A poller on the scripted controller that records what it reports.
struct Rig : Poller::Listener
{
    ScriptedController link;
    QVector<AlarmType> current, all;
    int currentClears = 0, allClears = 0, lineFailures = 0;
    QVector<quint32> vpks;
    Poller poller{*this};

    void currentEventRead(const AlarmType &a) override { current.append(a); }
    void currentListCleared() override { ++currentClears; }
    void allEventRead(const AlarmType &a) override { all.append(a); }
    void allListCleared() override { ++allClears; }
    void vpkRead(quint32 v) override { vpks.append(v); }
    void lineFailed() override { ++lineFailures; }

    void add(int n, int first = 1) // distinct current events, not logged
    {
        for (int i = 0; i < n; ++i)
            link.state.addCurrentEvent(SimEvent::at(SimEvent::deviceSource(first + i), quint8(i % 10),
                                                    QDateTime(QDate(2024, 5, 17), QTime(9, 41, i))), false);
    }
    QVector<AlarmType> listed() const { return alarms(link.state.currentEvents()); }
    const EventListReader &reader() const { return poller.currentReader(); }
    int errors() const { return reader().errors(); }
    bool step() { return poller.pollCurrentEvents(link); }
    // n current-events steps, or n whole polling cycles; false at a failure.
    bool steps(int n, bool cycles = false)
    {
        for (int i = 0; i < n; ++i)
            if (!step() || (cycles && !(poller.pollAllEvents(link) && poller.pollVpk(link))))
                return false;
        return true;
    }
};

} // namespace

class TestEventListReader : public QObject
{
    Q_OBJECT

private slots:
    void decodesRecordFields();
    void threeEventsFromPowerUp();
    void shorterListRestartsFromFirst_data();
    void shorterListRestartsFromFirst();
    void stuckAcknowledgeGivesUpAtTheLimit();
    void sixthFailureEndsRunAndNextRunResumes_data();
    void sixthFailureEndsRunAndNextRunResumes();
    void resetSharesCurrentReaderCount();
    void vpkWordOrderAndForcedBit();
    void countsAreKeptPerReader();
};

void TestEventListReader::decodesRecordFields()
{
    const quint16 record[5] = {0x0025, 0x1804, 0x0C03, 0x1E0E, 0x0009};
    QVERIFY(EventListReader::decodeRecord(record) == (AlarmType{37, 4, 24, 3, 12, 14, 30, 9}));
    // Out-of-range values pass unchanged; the unused high byte is dropped.
    const quint16 odd[5] = {0xFFFF, 0xFFFF, 0x200D, 0x3C19, 0xAB3B};
    QVERIFY(EventListReader::decodeRecord(odd) == (AlarmType{0xFFFF, 255, 255, 13, 32, 25, 60, 59}));
}

void TestEventListReader::threeEventsFromPowerUp()
{
    Rig t;
    t.add(3);
    // Count and Decide; then three times index, acknowledge with its record
    // in the same step, Decide (no request); then the count again.
    QVERIFY(t.steps(11));
    const QStringList handshake{"W4001x1", "H4002x1", "I1019x5"};
    QCOMPARE(t.link.log, QStringList("I1029x1") + handshake + handshake + handshake
                             + QStringList("I1029x1"));
    QCOMPARE(t.current, t.listed());
    QCOMPARE(t.currentClears, 0);
}

void TestEventListReader::shorterListRestartsFromFirst_data()
{
    QTest::addColumn<int>("before"); // events delivered, then the list becomes
    QTest::addColumn<int>("after");  // this long, with other events
    QTest::addColumn<int>("clears"); // in the next twelve steps
    QTest::newRow("empty from the start") << 0 << 0 << 12;
    QTest::newRow("emptied: cleared at every count read") << 3 << 0 << 11;
    QTest::newRow("5 to 2: fetched again") << 5 << 2 << 1;
    QTest::newRow("an equal count is no shrink") << 3 << 3 << 0;
}

void TestEventListReader::shorterListRestartsFromFirst()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(int, clears);
    Rig t;
    t.add(before);
    QVERIFY(t.steps(3 * before)); // three steps an event
    t.link.state.clearCurrentEvents();
    t.add(after, 100);
    QVERIFY(t.steps(12));
    QCOMPARE(t.currentClears, clears);
    // After a clear the whole new list comes as new events; otherwise nothing.
    QCOMPARE(t.current.mid(before), clears ? t.listed() : QVector<AlarmType>());
    QCOMPARE(int(t.reader().index()), clears ? after : before);
}

void TestEventListReader::stuckAcknowledgeGivesUpAtTheLimit()
{
    Rig t;
    t.add(2);
    QVERIFY(t.steps(3)); // the acknowledge now stays at 0
    t.link.state.setAckFrozen(ControllerState::Current, true);
    QVERIFY(t.steps(2 + 1000)); // Decide, index 1, then 1000 stale acknowledges
    QVERIFY(!t.step()); // the 1001st
    QCOMPARE(int(t.reader().ackTries()), 0); // the next run waits 1000 reads again
    QCOMPARE(t.reader().state(), EventListReader::AwaitAck);
    QCOMPARE(t.current.size(), 1);
}

void TestEventListReader::sixthFailureEndsRunAndNextRunResumes_data()
{
    QTest::addColumn<int>("stepsBefore"); // from power-up, three events listed
    QTest::addColumn<int>("address");     // of the failing request
    QTest::addColumn<int>("state");       // kept while it fails
    QTest::newRow("count") << 10 << 1029 << int(EventListReader::ReadCount);
    QTest::newRow("index") << 4 << 4001 << int(EventListReader::WriteIndex);
    QTest::newRow("acknowledge") << 5 << 4002 << int(EventListReader::AwaitAck);
    QTest::newRow("record after a good acknowledge") << 5 << 1019 << int(EventListReader::ReadRecord);
}

void TestEventListReader::sixthFailureEndsRunAndNextRunResumes()
{
    QFETCH(int, stepsBefore);
    QFETCH(int, address);
    Rig t;
    t.add(3);
    QVERIFY(t.steps(stepsBefore));
    t.link.failAt[address] = 6;
    for (int i = 1; i <= 5; ++i) {
        QVERIFY(t.step());
        QCOMPARE(t.errors(), i);
        QTEST(int(t.reader().state()), "state");
    }
    QVERIFY(!t.step());
    QCOMPARE(t.lineFailures, 1);
    QCOMPARE(t.errors(), 0);
    QTEST(int(t.reader().state()), "state");

    // The next run goes on from that state: five more failures, and a success clears the count.
    t.link.failAt[address] = 5;
    QVERIFY(t.steps(6));
    QCOMPARE(t.errors(), 0);
    t.add(2, 100);
    QVERIFY(t.steps(20));
    QCOMPARE(t.current, t.listed());
    QCOMPARE(t.currentClears, 0);
}

void TestEventListReader::resetSharesCurrentReaderCount()
{
    Rig t;
    t.add(2);
    QVERIFY(t.steps(8, true));
    QCOMPARE(t.current, t.listed());

    // The write failing alone: each count read clears the count before it.
    t.poller.requestReset();
    t.link.failAt[4003] = 5;
    QVERIFY(t.steps(5, true) && t.poller.isResetRequested());
    QCOMPARE(t.errors(), 1);
    QVERIFY(t.steps(1, true)); // accepted
    QVERIFY(!t.poller.isResetRequested() && t.listed().isEmpty());
    QVERIFY(t.steps(1, true)); // the emptied list is seen
    QCOMPARE(t.currentClears, 1);
    QCOMPARE(int(t.reader().index()), 0);

    // Tried even after a failed step: count read and write both failing make
    // the write's the sixth failure, in the third step; the request stays.
    t.poller.requestReset();
    t.link.failNext = 6;
    QVERIFY(t.steps(2));
    QVERIFY(!t.step());
    QVERIFY(t.poller.isResetRequested());
    t.link.failAt[1029] = 1;
    QVERIFY(t.step());
    QVERIFY(!t.poller.isResetRequested());
    QCOMPARE(t.errors(), 0); // the accepted write cleared the count read's failure

    // The reader's own sixth failure ends the step before the write.
    t.link.failAt[1029] = 6;
    QVERIFY(t.steps(5));
    t.poller.requestReset();
    t.link.log.clear();
    QVERIFY(!t.step());
    QCOMPARE(t.link.log, QStringList("I1029x1"));
    QVERIFY(t.poller.isResetRequested());
}

void TestEventListReader::vpkWordOrderAndForcedBit()
{
    Rig t;
    for (quint32 word : {0u, 0x80011234u, 0x00401234u}) { // bit 22 already set stays set
        t.link.state.setStatusWord(word);
        QVERIFY(t.poller.pollVpk(t.link));
    }
    QCOMPARE(t.vpks, (QVector<quint32>{0x00400000u, 0x80411234u, 0x00401234u}));
    QCOMPARE(t.link.log, QStringList({"I1039x2", "I1039x2", "I1039x2"}));
}

void TestEventListReader::countsAreKeptPerReader()
{
    Rig t;
    t.link.state.addLoggedEvent(SimEvent::now(40, 7));
    // The all-events count and the status word fail five times while the
    // empty current list is read fine: nothing is reported, and no success
    // clears another's count.
    t.link.failAt[1009] = 5;
    t.link.failAt[1039] = 5;
    QVERIFY(t.steps(5, true));
    QCOMPARE(int(t.poller.allReader().errors()), 5);
    QCOMPARE(int(t.poller.vpkErrors()), 5);
    QCOMPARE(t.currentClears, 5);
    QVERIFY(t.steps(5, true) && t.current.isEmpty());
    QCOMPARE(t.all, alarms(t.link.state.loggedEvents()));
    QCOMPARE(t.vpks.size(), 5);
    QCOMPARE(t.allClears, 0);

    // Good reads cleared the counts: five more failures pass, the sixth ends the run.
    for (int address : {1009, 1039}) {
        t.link.failAt[address] = 6;
        QVERIFY(t.steps(5, true));
        QVERIFY(!t.steps(1, true));
    }
    QCOMPARE(t.lineFailures, 2);
    QCOMPARE(int(t.poller.vpkErrors()), 0);
}

QTEST_GUILESS_MAIN(TestEventListReader)
#include "tst_eventlistreader.moc"
