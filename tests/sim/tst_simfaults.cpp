#include "simharness.h"
#include "testmaster.h"

#include "rtuframe.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <memory>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

// Injected faults and bad input on the wire. Expected silences use a short
// master time-out so the program stays quick.
class TestSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void silenceEndsWhenUsedUpOrResumed();
    void brokenCrcAnswerAfterCarryingOutTheWrite();
    void lateAnswer();
    void rangeFaults();
    void requestsOnTheWire_data();
    void requestsOnTheWire();
    void randomNoiseDoesNotStopService();
    void stopDoesNotWaitForADelayedAnswer();
    void portsShareOneController();

private:
    bool answersNormally();

    std::unique_ptr<SimHarness> sim;
    std::unique_ptr<TestMaster> master;
};

static constexpr int ShortTimeoutMs = 120;

// A request for slave 1 as a master would frame it; writes carry the value 7.
static QByteArray request(int function, int address, int count)
{
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly); // big-endian, as on the wire
    out << quint8(1) << quint8(function) << quint16(address) << quint16(function == 6 ? 7 : count);
    if (function == 16) {
        out << quint8(2 * count);
        for (int i = 0; i < count; ++i)
            out << quint16(7);
    }
    return RtuFrame::withCrc(frame);
}

static QByteArray framed(const char *hex)
{
    return RtuFrame::withCrc(QByteArray::fromHex(hex));
}

void TestSimFaults::init()
{
    master.reset();
    sim.reset(new SimHarness);
    QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
    master.reset(new TestMaster(sim->devicePath()));
    QVERIFY(master->isOpen());
    master->setResponseTimeout(ShortTimeoutMs);
}

bool TestSimFaults::answersNormally()
{
    return master->holding(126, 1) == QVector<quint16>{0x0101};
}

void TestSimFaults::silenceEndsWhenUsedUpOrResumed()
{
    sim->dropNext(2);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), ETIMEDOUT);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QVERIFY(answersNormally());
    const RequestRecord dropped{3, 126, 1, false, 0};
    QCOMPARE(sim->requests(), (QVector<RequestRecord>{dropped, dropped, {3, 126, 1, true, 0}}));
    sim->setSilent(true);
    QCOMPARE(master->writeSingle(10, 1), -1);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    sim->setSilent(false);
    QVERIFY(answersNormally());
    QCOMPARE(sim->statistics().unanswered, quint64(4));
}

void TestSimFaults::brokenCrcAnswerAfterCarryingOutTheWrite()
{
    sim->breakCrcOfNext(1);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), int(EMBBADCRC));
    QVERIFY(answersNormally());
    sim->breakCrcOfNext(1);
    QCOMPARE(master->writeSingle(10, 0x0505), -1);
    QCOMPARE(sim->holding(10), quint16(0x0505));
}

void TestSimFaults::lateAnswer()
{
    master->setResponseTimeout(500);
    sim->setDelay(150);
    QVERIFY(answersNormally());
    sim->setDelay(300);
    master->setResponseTimeout(ShortTimeoutMs);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), ETIMEDOUT);
    sim->setDelay(0);
    QThread::msleep(300);
    modbus_flush(master->context()); // the late answer arrived meanwhile
    QVERIFY(answersNormally());
}

void TestSimFaults::rangeFaults()
{
    // Reads of main part 7 fail five times; writes there and other reads do not.
    sim->failRange(3, 441, 503, 5);
    const QVector<quint16> block(63, 9);
    QCOMPARE(master->writeMultiple(441, 63, block.constData()), 63);
    QVERIFY(answersNormally());
    for (int attempt = 0; attempt < 5; ++attempt)
        QCOMPARE(master->holding(441, 63), QVector<quint16>());
    QCOMPARE(master->lastError(), ETIMEDOUT);
    QCOMPARE(master->holding(441, 63), block);

    // Exception 4 for every function until cleared; the neighbour is served.
    sim->failRange(0, 503, 503, FaultPlan::Forever, false);
    QCOMPARE(master->holding(503, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), int(EMBXSFAIL));
    QCOMPARE(master->writeSingle(503, 1), -1);
    QCOMPARE(master->lastError(), int(EMBXSFAIL));
    QCOMPARE(master->holding(504, 1).size(), 1);
    sim->clearFaults();
    QCOMPARE(master->holding(503, 1), QVector<quint16>{9});
}

void TestSimFaults::requestsOnTheWire_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("brokenFrames");
    QTest::addColumn<int>("otherSlave");
    const QByteArray read = framed("010300000001");
    QTest::newRow("good read") << read << framed("0103020000") << 0 << 0;
    QTest::newRow("broken CRC") << RtuFrame::withBrokenCrc(read) << QByteArray() << 1 << 0;
    QTest::newRow("truncated") << read.left(5) << QByteArray() << 1 << 0;
    QTest::newRow("other slave") << framed("020300000001") << QByteArray() << 0 << 1;
    QTest::newRow("broadcast write") << framed("00060010abcd") << QByteArray() << 0 << 0;
    const char *const unsupported[][2] = {{"read coils", "010100000008"}, {"write coil", "010500000000"},
                                          {"write coils", "010f0000000a020000"}, {"report slave id", "0111"}};
    for (const auto &r : unsupported) {
        const QByteArray frame = framed(r[1]);
        QTest::newRow(r[0]) << frame << RtuFrame::exceptionAnswer(1, frame.at(1), 1) << 0 << 0;
    }
    // A code libmodbus cannot frame fails its CRC check.
    QTest::newRow("unframeable code") << framed("012b0e0100") << QByteArray() << 1 << 0;
    QTest::newRow("126 registers") << request(3, 0, 126) << RtuFrame::exceptionAnswer(1, 3, 3) << 0 << 0;
    const struct {
        const char *name;
        int function, address, count;
    } unmapped[] = {
        {"past the main block", 3, 1326, 1}, {"main block overrun", 3, 1300, 30},
        {"gap before phones", 3, 1998, 2}, {"phones overrun", 3, 2090, 10},
        {"past the SIM registers", 3, 4009, 2}, {"input gap", 4, 1004, 1},
        {"input record and count", 4, 1019, 11}, {"input status overrun", 4, 1040, 2},
        {"single write in a gap", 6, 3500, 1}, {"block write overrun", 16, 2999, 5},
    };
    for (const auto &r : unmapped) {
        QTest::newRow(r.name) << request(r.function, r.address, r.count)
                              << RtuFrame::exceptionAnswer(1, r.function, 2) << 0 << 0;
    }
}

// Whatever a request gets, it is counted where it belongs, a refused one
// changes nothing, and the simulator keeps serving.
void TestSimFaults::requestsOnTheWire()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, answer);
    QFETCH(int, brokenFrames);
    QFETCH(int, otherSlave);
    const QByteArray before = sim->stateCopy().fileBytes();
    QVERIFY(master->sendRaw(frame));
    QCOMPARE(master->receiveRaw(ShortTimeoutMs), answer);
    QTRY_COMPARE(sim->statistics().brokenFrames, quint64(brokenFrames));
    QCOMPARE(sim->statistics().otherSlave, quint64(otherSlave));
    const QVector<RequestRecord> log = sim->requests();
    QCOMPARE(log.size(), brokenFrames || otherSlave ? 0 : 1);
    if (!log.isEmpty())
        QCOMPARE(log.first().answered, !answer.isEmpty());
    if (frame.at(0) == 0) // a broadcast write is carried out all the same
        QCOMPARE(sim->holding(16), quint16(0xABCD));
    else
        QCOMPARE(sim->stateCopy().fileBytes(), before);
    QVERIFY(answersNormally());
}

void TestSimFaults::randomNoiseDoesNotStopService()
{
    QRandomGenerator random(20240312);
    for (int burst = 0; burst < 20; ++burst) {
        QByteArray noise(1 + random.bounded(300), 0);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        if (burst % 2)
            noise[0] = 1; // addressed to us, so libmodbus parses further
        QVERIFY(master->sendRaw(noise));
        master->receiveRaw(30);
    }
    QThread::msleep(150);
    modbus_flush(master->context());
    QVERIFY(answersNormally());
}

void TestSimFaults::stopDoesNotWaitForADelayedAnswer()
{
    sim->setDelay(5000);
    QVERIFY(master->sendRaw(framed("010300000001")));
    QTRY_COMPARE(sim->requests().size(), 1);
    QElapsedTimer timer;
    timer.start();
    sim.reset();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

// Two pseudo-terminals and a serial device opened by path (a pseudo-terminal
// made here stands in for an RS-485 adapter) serve one controller.
void TestSimFaults::portsShareOneController()
{
    int wire = -1;
    int device = -1;
    char name[256] = {};
    QCOMPARE(openpty(&wire, &device, name, nullptr, nullptr), 0);
    Simulator::Options options;
    options.slaveAddress = 9;
    Simulator simulator(options);
    const QString first = simulator.addPseudoTerminal();
    const QString second = simulator.addPseudoTerminal();
    QVERIFY(!first.isEmpty() && !second.isEmpty() && first != second);
    QString error;
    QCOMPARE(simulator.addDevice(QString::fromLocal8Bit(name), &error), QString::fromLocal8Bit(name));
    QVERIFY(simulator.addDevice(QStringLiteral("/nonexistent/ttyX"), &error).isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY(simulator.start());
    QVERIFY(simulator.addPseudoTerminal().isEmpty()); // not while running
    TestMaster a(first, 9);
    TestMaster b(second, 9);
    QCOMPARE(a.writeSingle(1999, 0x3231), 1);
    QCOMPARE(b.holding(1999, 1), QVector<quint16>{0x3231});
    const QByteArray read = framed("090307cf0001");
    QCOMPARE(::write(wire, read.constData(), size_t(read.size())), ssize_t(read.size()));
    QByteArray answer;
    char buffer[64];
    pollfd p = {wire, POLLIN, 0};
    for (ssize_t n; answer.size() < 7 && ::poll(&p, 1, 1000) > 0 && (n = ::read(wire, buffer, sizeof buffer)) > 0;)
        answer.append(buffer, int(n));
    QCOMPARE(answer, framed("0903023231"));
    simulator.stop();
    ::close(device);
    ::close(wire);
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
