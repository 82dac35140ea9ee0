// The event list readers and poll steps, step by step against the controller model.
#include "controllerstate.h"
#include "poller.h"
#include "registerlink.h"
#include "simharness.h"

#include <QtTest>

// A poller on the controller model, recording what it reports. Its link logs each request
// ("I1029x1": input read, "H": holding read, "W": write) and fails failAt[address] of them.
struct Rig : RegisterLink, Poller::Listener
{
    ControllerState state;
    QHash<int, int> failAt;
    QStringList log;
    QVector<AlarmType> current;
    int currentClears = 0, lineFailures = 0;
    QVector<quint32> vpks;
    Poller poller{*this};

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
    bool fails(char kind, int address, int count)
    {
        log.append(QStringLiteral("%1%2x%3").arg(kind).arg(address).arg(count));
        return failAt[address] > 0 && failAt[address]--;
    }

    void currentEventRead(const AlarmType &a) override { current.append(a); }
    void currentListCleared() override { ++currentClears; }
    void allEventRead(const AlarmType &) override {}
    void allListCleared() override {}
    void vpkRead(quint32 v) override { vpks.append(v); }
    void lineFailed() override { ++lineFailures; }

    void add(int n, int first = 1) // distinct current events, not logged
    {
        for (int i = 0; i < n; ++i)
            state.addCurrentEvent(SimEvent::at(SimEvent::deviceSource(first + i), quint8(i % 10),
                                               QDateTime(QDate(2024, 5, 17), QTime(9, 41, i))), false);
    }
    QVector<AlarmType> listed() const { return alarmsOf(state.currentEvents()); }
    bool step() { return poller.pollCurrentEvents(*this); }
    // n current-events steps, or n whole polling cycles; false at a failure.
    bool steps(int n, bool cycles = false)
    {
        for (int i = 0; i < n; ++i)
            if (!step() || (cycles && !(poller.pollAllEvents(*this) && poller.pollVpk(*this))))
                return false;
        return true;
    }
};

class TestEventListReader : public QObject
{
    Q_OBJECT

private slots:
    void recordsAndListLifecycle();
    void sixthFailureEndsRunAndNextRunResumes_data();
    void sixthFailureEndsRunAndNextRunResumes();
    void failureCounts();
};

void TestEventListReader::recordsAndListLifecycle()
{
    const quint16 record[5] = {0x0025, 0x1804, 0x0C03, 0x1E0E, 0x0009};
    QVERIFY(EventListReader::decodeRecord(record) == (AlarmType{37, 4, 24, 3, 12, 14, 30, 9}));
    // Out-of-range values pass unchanged; the unused high byte is dropped.
    const quint16 odd[5] = {0xFFFF, 0xFFFF, 0x200D, 0x3C19, 0xAB3B};
    QVERIFY(EventListReader::decodeRecord(odd) == (AlarmType{0xFFFF, 255, 255, 13, 32, 25, 60, 59}));

    Rig t;
    t.add(3);
    // Count; three times index, acknowledge and record, Decide; the count again.
    QVERIFY(t.steps(11));
    const QStringList handshake{"W4001x1", "H4002x1", "I1019x5"};
    QCOMPARE(t.log, QStringList("I1029x1") + handshake + handshake + handshake
                        + QStringList("I1029x1"));
    QCOMPARE(t.current, t.listed());
    QCOMPARE(t.currentClears, 0); // an equal count is no shrink
    t.state.clearCurrentEvents();
    t.add(2, 200); // shorter: cleared, then both fetched again as new events
    QVERIFY(t.steps(7) && t.currentClears == 1);
    QCOMPARE(t.current.mid(3), t.listed());
    t.state.clearCurrentEvents(); // emptied: cleared at every count read
    QVERIFY(t.steps(5) && t.currentClears == 6);

    // An acknowledge stuck at 1: 1000 stale reads pass, the 1001st fails.
    t.state.setAckFrozen(ControllerState::Current, true);
    t.add(1, 300);
    QVERIFY(t.steps(2 + 1000) && !t.step()); // count, index 0, the acknowledges
    QCOMPARE(int(t.poller.currentReader().ackTries()), 0); // the next run waits 1000 again
    QCOMPARE(t.poller.currentReader().state(), EventListReader::AwaitAck);
    QCOMPARE(t.current.size(), 5);
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
    t.failAt[address] = 6;
    for (int i = 1; i <= 6; ++i) {
        QCOMPARE(t.step(), i < 6);
        QCOMPARE(int(t.poller.currentReader().errors()), i % 6);
        QTEST(int(t.poller.currentReader().state()), "state");
    }
    // The next run goes on from that state; nothing is delivered twice.
    t.add(2, 100);
    QVERIFY(t.steps(20) && t.currentClears == 0);
    QCOMPARE(t.current, t.listed());
}

void TestEventListReader::failureCounts()
{
    Rig t;
    t.add(2);
    t.state.addLoggedEvent(SimEvent::now(40, 7));
    t.state.setStatusWord(0x80011234); // 1039 holds the low half; bit 22 is always set
    // Five failures of the all-events count and the status word: nothing is reported,
    // and the current reader's good reads clear neither count.
    t.failAt[1009] = 5;
    t.failAt[1039] = 5;
    QVERIFY(t.steps(5, true));
    QCOMPARE(int(t.poller.allReader().errors()), 5);
    QCOMPARE(int(t.poller.vpkErrors()), 5);
    QVERIFY(t.steps(5, true) && t.poller.allReader().index() == 1);
    QCOMPARE(t.vpks, QVector<quint32>(5, 0x80411234u));
    // Good reads cleared the counts: five more failures pass, the sixth ends the run.
    for (int address : {1009, 1039}) {
        t.failAt[address] = 6;
        QVERIFY(t.steps(5, true) && !t.steps(1, true));
    }
    QCOMPARE(t.lineFailures, 2);

    // The reset write follows a failed count read too, sharing its count: the write's
    // failure is the sixth, in the third step, and the request stays.
    t.poller.requestReset();
    t.failAt[1029] = 3;
    t.failAt[4003] = 3;
    QVERIFY(t.steps(2) && !t.step() && t.poller.isResetRequested());
    t.failAt[1029] = 1;
    QVERIFY(t.step() && !t.poller.isResetRequested());
    QCOMPARE(int(t.poller.currentReader().errors()), 0); // cleared by the accepted write
    QVERIFY(t.steps(1) && t.currentClears == 1); // the controller emptied its list
    // The reader's own sixth failure ends the step before the write.
    t.failAt[1029] = 6;
    QVERIFY(t.steps(5));
    t.poller.requestReset();
    QVERIFY(!t.step() && t.log.last() == QLatin1String("I1029x1"));
}

QTEST_GUILESS_MAIN(TestEventListReader)
#include "tst_eventlistreader.moc"
