// The event list reader and the poll steps, driven step by step against a
// scripted controller, so every request and every state can be checked.
#include "eventlistreader.h"
#include "poller.h"
#include "registerlink.h"

#include <QVector>
#include <QtTest>

namespace {

struct Request
{
    char kind; // 'H' holding read, 'I' input read, 'W' single write
    int address;
    int count;
    bool operator==(const Request &o) const
    {
        return kind == o.kind && address == o.address && count == o.count;
    }
};

char *toString(const Request &r) // QCOMPARE failure output
{
    return QTest::toString(QStringLiteral("%1 %2 x%3").arg(r.kind).arg(r.address).arg(r.count));
}

// Just enough of the controller's event lists: writing an index makes the
// acknowledge register echo it (unless stuck) and the record registers
// show that event. Requests can be made to fail.
class ScriptedController : public RegisterLink
{
public:
    QVector<AlarmType> currentList;
    QVector<AlarmType> allList;
    bool ackStuck = false;
    int failNext = 0;            // the next N requests of any kind fail
    int failAddress = -1;        // requests at this address fail...
    int failAddressTimes = 0;    // ...this many times
    quint16 vpkWords[2] = {0, 0};
    QVector<Request> log;
    QVector<quint16> resetWrites;

    int readRegisters(int address, int count, quint16 *dest) override
    {
        if (failing('H', address, count))
            return -1;
        if (count != 1 || (address != 4000 && address != 4002))
            return -1;
        dest[0] = address == 4002 ? currentAck : allAck;
        return 1;
    }

    int readInputRegisters(int address, int count, quint16 *dest) override
    {
        if (failing('I', address, count))
            return -1;
        if (address == 1029 && count == 1)
            dest[0] = quint16(currentList.size());
        else if (address == 1009 && count == 1)
            dest[0] = quint16(allList.size());
        else if (address == 1019 && count == 5)
            encode(currentList, currentShown, dest);
        else if (address == 999 && count == 5)
            encode(allList, allShown, dest);
        else if (address == 1039 && count == 2)
            std::copy(vpkWords, vpkWords + 2, dest);
        else
            return -1;
        return count;
    }

    int writeRegister(int address, quint16 value) override
    {
        if (failing('W', address, 1))
            return -1;
        if (address == 4001) {
            currentShown = value;
            if (!ackStuck)
                currentAck = value;
        } else if (address == 3999) {
            allShown = value;
            if (!ackStuck)
                allAck = value;
        } else if (address == 4003) {
            resetWrites.append(value);
            currentList.clear();
        } else {
            return -1;
        }
        return 1;
    }

    int writeRegisters(int, int, const quint16 *) override { return -1; }

private:
    bool failing(char kind, int address, int count)
    {
        log.append({kind, address, count});
        if (failNext > 0) {
            --failNext;
            return true;
        }
        if (address == failAddress && failAddressTimes > 0) {
            --failAddressTimes;
            return true;
        }
        return false;
    }

    static void encode(const QVector<AlarmType> &list, int position, quint16 *dest)
    {
        const AlarmType a = position < list.size() ? list.at(position) : AlarmType();
        dest[0] = a.source;
        dest[1] = quint16(a.code | a.year << 8);
        dest[2] = quint16(a.month | a.day << 8);
        dest[3] = quint16(a.hour | a.minute << 8);
        dest[4] = a.second;
    }

    quint16 currentAck = 0xFFFF;
    quint16 allAck = 0xFFFF;
    int currentShown = 0;
    int allShown = 0;
};

AlarmType makeEvent(quint16 source, quint8 code, quint8 second = 0)
{
    AlarmType a;
    a.source = source;
    a.code = code;
    a.year = 24;
    a.month = 5;
    a.day = 17;
    a.hour = 9;
    a.minute = 41;
    a.second = second;
    return a;
}

QVector<AlarmType> events(int n, quint16 firstSource = 33)
{
    QVector<AlarmType> list;
    for (int i = 0; i < n; ++i)
        list.append(makeEvent(quint16(firstSource + i), quint8(i % 10), quint8(i)));
    return list;
}

// A reader over the current-events registers that records what it delivers.
struct RecordingReader
{
    QVector<AlarmType> delivered;
    int clears = 0;
    EventListReader reader{EventListReader::CurrentEvents,
                           [this](const AlarmType &a) { delivered.append(a); },
                           [this] { ++clears; }};

    // Steps until `wanted` events have arrived; false if it takes too long.
    bool deliver(ScriptedController &link, int wanted)
    {
        for (int i = 0; i < 10 * wanted + 10 && delivered.size() < wanted; ++i) {
            if (!reader.step(link))
                return false;
        }
        return delivered.size() == wanted;
    }
};

class RecordingListener : public Poller::Listener
{
public:
    QVector<AlarmType> current, all;
    int currentClears = 0, allClears = 0, lineFailures = 0;
    QVector<quint32> vpks;

    void currentEventRead(const AlarmType &a) override { current.append(a); }
    void currentListCleared() override { ++currentClears; }
    void allEventRead(const AlarmType &a) override { all.append(a); }
    void allListCleared() override { ++allClears; }
    void vpkRead(quint32 v) override { vpks.append(v); }
    void lineFailed() override { ++lineFailures; }
};

// One cycle of the polling loop; false when a step failed.
bool cycle(Poller &poller, RegisterLink &link)
{
    return poller.pollCurrentEvents(link) && poller.pollAllEvents(link) && poller.pollVpk(link);
}

} // namespace

class TestEventListReader : public QObject
{
    Q_OBJECT

private slots:
    void decodesRecordFields();
    void threeEventsFromPowerUp();
    void emptiedListClearsEveryCycle();
    void shrinkingListRefetchesFromStart();
    void stuckAcknowledgeGivesUpAtTheLimit();
    void sixthConsecutiveFailureGivesUp();
    void interruptedHandshakeDeliversOnce();
    void resetSharesCurrentReaderErrors();
    void resetTriedAfterFailedStep();
    void vpkWordOrderAndForcedBit();
    void vpkToleratesFiveFailures();
    void readersCountErrorsSeparately();
};

void TestEventListReader::decodesRecordFields()
{
    const quint16 record[5] = {0x0025, 0x1804, 0x0C03, 0x1E0E, 0x0009};
    const AlarmType a = EventListReader::decodeRecord(record);
    QCOMPARE(int(a.source), 37);
    QCOMPARE(int(a.code), 4);
    QCOMPARE(int(a.year), 24);
    QCOMPARE(int(a.month), 3);
    QCOMPARE(int(a.day), 12);
    QCOMPARE(int(a.hour), 14);
    QCOMPARE(int(a.minute), 30);
    QCOMPARE(int(a.second), 9);

    // Out-of-range values pass unchanged; the unused high byte is dropped.
    const quint16 odd[5] = {0xFFFF, 0xFFFF, 0x200D, 0x3C19, 0xAB3B};
    const AlarmType b = EventListReader::decodeRecord(odd);
    QCOMPARE(int(b.source), 0xFFFF);
    QCOMPARE(int(b.code), 0xFF);
    QCOMPARE(int(b.year), 0xFF);
    QCOMPARE(int(b.month), 13);
    QCOMPARE(int(b.day), 32);
    QCOMPARE(int(b.hour), 25);
    QCOMPARE(int(b.minute), 60);
    QCOMPARE(int(b.second), 59);
}

void TestEventListReader::threeEventsFromPowerUp()
{
    ScriptedController link;
    link.currentList = events(3);
    RecordingReader r;
    EventListReader &reader = r.reader;

    QVERIFY(reader.step(link)); // count read, Decide in the same step
    QCOMPARE(reader.state(), EventListReader::WriteIndex);
    QCOMPARE(int(reader.count()), 3);
    QVERIFY(reader.step(link));
    QCOMPARE(reader.state(), EventListReader::AwaitAck);
    QVERIFY(reader.step(link)); // acknowledge matches: the record follows at once
    QCOMPARE(reader.state(), EventListReader::Decide);
    QCOMPARE(r.delivered.size(), 1);
    const QVector<Request> first{{'I', 1029, 1}, {'W', 4001, 1}, {'H', 4002, 1}, {'I', 1019, 5}};
    QCOMPARE(link.log, first);

    link.log.clear();
    QVERIFY(reader.step(link)); // Decide makes no request
    QVERIFY(link.log.isEmpty());
    QCOMPARE(reader.state(), EventListReader::WriteIndex);

    QVERIFY(r.deliver(link, 3));
    QCOMPARE(r.delivered, link.currentList);
    QCOMPARE(r.clears, 0);
    QCOMPARE(int(reader.index()), 3);
    // The count is read once more only after all three were delivered.
    int countReads = 0;
    for (const Request &q : link.log)
        countReads += q.address == 1029;
    QCOMPARE(countReads, 0);
    QVERIFY(reader.step(link));
    QCOMPARE(reader.state(), EventListReader::ReadCount);
    QVERIFY(reader.step(link));
    QCOMPARE(link.log.last(), (Request{'I', 1029, 1}));
    QCOMPARE(r.delivered.size(), 3);
}

void TestEventListReader::emptiedListClearsEveryCycle()
{
    ScriptedController link;
    RecordingReader r;
    QVERIFY(r.reader.step(link)); // empty from the start: cleared too
    QCOMPARE(r.clears, 1);

    link.currentList = events(3);
    QVERIFY(r.deliver(link, 3));
    QCOMPARE(r.clears, 1);

    link.currentList.clear();
    for (int i = 0; i < 4; ++i) // Decide, then count reads of 0
        QVERIFY(r.reader.step(link));
    QCOMPARE(r.clears, 1 + 3);
    QCOMPARE(int(r.reader.index()), 0);
    QCOMPARE(r.reader.state(), EventListReader::ReadCount);
    QCOMPARE(r.delivered.size(), 3);
}

void TestEventListReader::shrinkingListRefetchesFromStart()
{
    ScriptedController link;
    link.currentList = events(5);
    RecordingReader r;
    QVERIFY(r.deliver(link, 5));

    link.currentList = events(2, 100);
    QVERIFY(r.reader.step(link)); // Decide after the fifth record
    QVERIFY(r.reader.step(link)); // count 2 < index 5
    QCOMPARE(r.clears, 1);
    QCOMPARE(int(r.reader.index()), 0);
    QVERIFY(r.deliver(link, 7));
    QCOMPARE(r.delivered.mid(5), link.currentList);
    QCOMPARE(r.clears, 1);

    // Equal count after delivery is not a shrink.
    for (int i = 0; i < 3; ++i)
        QVERIFY(r.reader.step(link));
    QCOMPARE(r.clears, 1);
    QCOMPARE(r.delivered.size(), 7);
}

void TestEventListReader::stuckAcknowledgeGivesUpAtTheLimit()
{
    ScriptedController link;
    link.currentList = events(1);
    link.ackStuck = true;
    RecordingReader r;
    QVERIFY(r.reader.step(link));
    QVERIFY(r.reader.step(link));
    QCOMPARE(r.reader.state(), EventListReader::AwaitAck);

    for (int i = 1; i <= EventListReader::MaxAckTries; ++i) {
        if (!r.reader.step(link))
            QFAIL(qPrintable(QStringLiteral("gave up at acknowledge read %1").arg(i)));
    }
    QCOMPARE(int(r.reader.ackTries()), 1000);
    QCOMPARE(int(r.reader.ack()), 0xFFFF);
    QVERIFY(!r.reader.step(link)); // the 1001st
    QCOMPARE(int(r.reader.ackTries()), 0);
    QCOMPARE(r.reader.state(), EventListReader::AwaitAck);
    QVERIFY(r.delivered.isEmpty());

    // The controller catches up in the next run: the index is written again
    // only if the list changed; here the acknowledge simply arrives.
    link.ackStuck = false;
    QVERIFY(r.reader.step(link)); // still stale
    link.writeRegister(4001, 0);
    QVERIFY(r.reader.step(link));
    QCOMPARE(r.delivered, link.currentList);
}

void TestEventListReader::sixthConsecutiveFailureGivesUp()
{
    ScriptedController link;
    link.currentList = events(1);
    RecordingReader r;

    link.failNext = 5;
    for (int i = 1; i <= 5; ++i) {
        QVERIFY(r.reader.step(link));
        QCOMPARE(int(r.reader.errors()), i);
        QCOMPARE(r.reader.state(), EventListReader::ReadCount);
    }
    QVERIFY(r.reader.step(link)); // success clears the count
    QCOMPARE(int(r.reader.errors()), 0);
    QCOMPARE(r.reader.state(), EventListReader::WriteIndex);

    link.failNext = 6;
    for (int i = 1; i <= 5; ++i)
        QVERIFY(r.reader.step(link));
    QVERIFY(!r.reader.step(link));
    QCOMPARE(int(r.reader.errors()), 0);
    QCOMPARE(r.reader.state(), EventListReader::WriteIndex);

    // A good acknowledge clears the count; the record reads that follow
    // (without a new handshake) fail five times and then give up.
    link.failAddress = 1019;
    link.failAddressTimes = 100;
    QVERIFY(r.reader.step(link)); // index written
    QVERIFY(r.reader.step(link)); // ack fine, record fails
    QCOMPARE(int(r.reader.errors()), 1);
    for (int i = 2; i <= 5; ++i)
        QVERIFY(r.reader.step(link));
    QCOMPARE(int(r.reader.errors()), 5);
    QVERIFY(!r.reader.step(link));
    QCOMPARE(r.reader.state(), EventListReader::ReadRecord);
    QVERIFY(r.delivered.isEmpty());
}

void TestEventListReader::interruptedHandshakeDeliversOnce()
{
    // A run ending in each state of the handshake (line failure or pause)
    // resumes from that state in the next run.
    for (int stopAfter = 1; stopAfter <= 6; ++stopAfter) {
        ScriptedController link;
        link.currentList = events(3);
        RecordingReader r;
        for (int i = 0; i < stopAfter; ++i)
            QVERIFY(r.reader.step(link));
        if (r.reader.state() == EventListReader::Decide) // no request to fail
            QVERIFY(r.reader.step(link));
        const EventListReader::State stoppedIn = r.reader.state();
        const int before = r.delivered.size();

        // Next run: the line drops twice more, then recovers.
        link.failNext = 2;
        QVERIFY(r.reader.step(link));
        QCOMPARE(r.reader.state(), stoppedIn);
        QVERIFY(r.reader.step(link));
        QCOMPARE(r.delivered.size(), before);
        QVERIFY(r.deliver(link, 3));
        QCOMPARE(r.delivered, link.currentList);
    }
}

void TestEventListReader::resetSharesCurrentReaderErrors()
{
    ScriptedController link;
    link.currentList = events(2);
    RecordingListener listener;
    Poller poller(listener);
    for (int i = 0; i < 8; ++i)
        QVERIFY(cycle(poller, link));
    QCOMPARE(listener.current.size(), 2);

    poller.requestReset();
    link.failAddress = 4003;
    link.failAddressTimes = 5;
    for (int i = 1; i <= 5; ++i) {
        QVERIFY(cycle(poller, link));
        QVERIFY(poller.isResetRequested());
        // The count read succeeds and clears the count before the write fails.
        QCOMPARE(int(poller.currentReader().errors()), 1);
    }
    QVERIFY(cycle(poller, link)); // the reset is retried and accepted
    QVERIFY(!poller.isResetRequested());
    QCOMPARE(link.resetWrites, (QVector<quint16>{1}));
    QCOMPARE(int(poller.currentReader().errors()), 0);

    QVERIFY(cycle(poller, link)); // the emptied list is seen
    QVERIFY(listener.currentClears >= 1);
    QCOMPARE(int(poller.currentReader().index()), 0);
    QCOMPARE(listener.lineFailures, 0);
}

void TestEventListReader::resetTriedAfterFailedStep()
{
    ScriptedController link;
    RecordingListener listener;
    Poller poller(listener);
    poller.requestReset();
    link.failAddress = 1029;
    link.failAddressTimes = 1;
    link.log.clear();
    QVERIFY(poller.pollCurrentEvents(link));
    QCOMPARE(link.log, (QVector<Request>{{'I', 1029, 1}, {'W', 4003, 1}}));
    QVERIFY(!poller.isResetRequested());
    QCOMPARE(int(poller.currentReader().errors()), 0);

    // Count read and reset write both failing: two errors a cycle, so the
    // sixth failure comes in the third cycle and the reset stays pending.
    poller.requestReset();
    link.failNext = 6;
    QVERIFY(poller.pollCurrentEvents(link));
    QVERIFY(poller.pollCurrentEvents(link));
    QCOMPARE(listener.lineFailures, 0);
    QVERIFY(!poller.pollCurrentEvents(link));
    QCOMPARE(listener.lineFailures, 1);
    QVERIFY(poller.isResetRequested());
    QCOMPARE(int(poller.currentReader().errors()), 0);

    // A line failure of the reader itself skips the write.
    link.failNext = 6;
    for (int i = 0; i < 2; ++i)
        QVERIFY(poller.pollCurrentEvents(link));
    link.failNext = 0;
    link.failAddress = 1029;
    link.failAddressTimes = 1;
    link.log.clear();
    QVERIFY(poller.pollCurrentEvents(link)); // 5th error on the count, reset succeeds
    QVERIFY(!poller.isResetRequested());
}

void TestEventListReader::vpkWordOrderAndForcedBit()
{
    ScriptedController link;
    RecordingListener listener;
    Poller poller(listener);
    QVERIFY(poller.pollVpk(link));
    link.vpkWords[0] = 0x1234;
    link.vpkWords[1] = 0x8001;
    QVERIFY(poller.pollVpk(link));
    link.vpkWords[1] = 0x0040; // bit 22 already set stays set
    QVERIFY(poller.pollVpk(link));
    QCOMPARE(listener.vpks, (QVector<quint32>{0x00400000u, 0x80411234u, 0x00401234u}));
    QCOMPARE(link.log.last(), (Request{'I', 1039, 2}));
}

void TestEventListReader::vpkToleratesFiveFailures()
{
    ScriptedController link;
    RecordingListener listener;
    Poller poller(listener);
    link.failNext = 5;
    for (int i = 0; i < 5; ++i)
        QVERIFY(poller.pollVpk(link));
    QVERIFY(listener.vpks.isEmpty());
    QVERIFY(poller.pollVpk(link));
    QCOMPARE(listener.vpks.size(), 1);
    QCOMPARE(listener.lineFailures, 0);

    link.failNext = 6;
    for (int i = 0; i < 5; ++i)
        QVERIFY(poller.pollVpk(link));
    QVERIFY(!poller.pollVpk(link));
    QCOMPARE(listener.lineFailures, 1);
    QCOMPARE(listener.vpks.size(), 1);
    QCOMPARE(int(poller.vpkErrors()), 0);
}

void TestEventListReader::readersCountErrorsSeparately()
{
    ScriptedController link;
    link.allList = events(1);
    RecordingListener listener;
    Poller poller(listener);
    link.failAddress = 1029; // only the current list's count fails
    link.failAddressTimes = 5;
    for (int i = 0; i < 5; ++i)
        QVERIFY(cycle(poller, link));
    QCOMPARE(int(poller.currentReader().errors()), 5);
    QCOMPARE(int(poller.allReader().errors()), 0);
    QCOMPARE(listener.all.size(), 1);
    QCOMPARE(listener.vpks.size(), 5);

    link.failAddress = 999; // now the all-events side fails, once
    link.failAddressTimes = 1;
    link.allList.append(makeEvent(40, 7));
    QVERIFY(cycle(poller, link)); // current: count succeeds
    QCOMPARE(int(poller.currentReader().errors()), 0);
    QCOMPARE(listener.lineFailures, 0);
}

QTEST_GUILESS_MAIN(TestEventListReader)
#include "tst_eventlistreader.moc"
