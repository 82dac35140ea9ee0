#include "simharness.h"
#include "testmaster.h"

#include "rtuframe.h"

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

    void countedFaultsAreUsedUp();
    void rangeFaults();
    void lateAnswers();
    void requestsOnTheWire_data();
    void requestsOnTheWire();
    void randomNoiseDoesNotStopService();
    void portsShareOneController();

private:
    bool answersNormally() { return master->holding(126, 1) == QVector<quint16>{0x0101}; }

    std::unique_ptr<SimHarness> sim;
    std::unique_ptr<TestMaster> master;
};

static constexpr int ShortTimeoutMs = 120;

static QByteArray framed(const QByteArray &hex)
{
    return RtuFrame::withCrc(QByteArray::fromHex(hex));
}

// A request to slave 1; the last field is the count, or the value of a single write.
static QByteArray request(int function, int address, int countOrValue)
{
    return framed(QString::asprintf("01%02x%04x%04x", function, address, countOrValue).toLatin1());
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

void TestSimFaults::countedFaultsAreUsedUp()
{
    sim->dropNext(2);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), ETIMEDOUT);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QVERIFY(answersNormally());
    sim->setSilent(true);
    QCOMPARE(master->writeSingle(10, 1), -1);
    sim->setSilent(false);
    QVERIFY(answersNormally());
    QCOMPARE(sim->statistics().unanswered, quint64(3));

    sim->breakCrcOfNext(2);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), int(EMBBADCRC));
    // A write with a broken answer was still carried out.
    QCOMPARE(master->writeSingle(10, 0x0505), -1);
    QCOMPARE(sim->holding(10), quint16(0x0505));
    QVERIFY(answersNormally());
}

void TestSimFaults::rangeFaults()
{
    // Reads of 441-503 (the seventh 63-register block) fail five times; writes
    // there and other reads do not.
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

void TestSimFaults::lateAnswers()
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

    // Stopping does not wait for an answer still being delayed.
    sim->setDelay(5000);
    sim->clearRequests();
    QVERIFY(master->sendRaw(request(3, 0, 1)));
    QTRY_COMPARE(sim->requests().size(), 1);
    QElapsedTimer timer;
    timer.start();
    sim.reset();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void TestSimFaults::requestsOnTheWire_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("brokenFrames");
    QTest::addColumn<int>("otherSlave");
    const auto refused = [](int function, int code) { return RtuFrame::exceptionAnswer(1, function, code); };
    QTest::newRow("good read") << request(3, 0, 1) << framed("0103020000") << 0 << 0;
    QTest::newRow("broken CRC") << RtuFrame::withBrokenCrc(request(3, 0, 1)) << QByteArray() << 1 << 0;
    QTest::newRow("truncated") << request(3, 0, 1).left(5) << QByteArray() << 1 << 0;
    QTest::newRow("other slave") << framed("020300000001") << QByteArray() << 0 << 1;
    QTest::newRow("broadcast write") << framed("00060010abcd") << QByteArray() << 0 << 0;
    QTest::newRow("read coils") << framed("010100000008") << refused(1, 1) << 0 << 0;
    QTest::newRow("write coil") << framed("010500000000") << refused(5, 1) << 0 << 0;
    QTest::newRow("write coils") << framed("010f0000000a020000") << refused(15, 1) << 0 << 0;
    QTest::newRow("report slave id") << framed("0111") << refused(17, 1) << 0 << 0;
    // A code libmodbus cannot frame fails its CRC check.
    QTest::newRow("unframeable code") << framed("012b0e0100") << QByteArray() << 1 << 0;
    QTest::newRow("126 registers") << request(3, 0, 126) << refused(3, 3) << 0 << 0;
    QTest::newRow("past the main block") << request(3, 1326, 1) << refused(3, 2) << 0 << 0;
    QTest::newRow("main block overrun") << request(3, 1300, 30) << refused(3, 2) << 0 << 0;
    QTest::newRow("gap before phones") << request(3, 1998, 2) << refused(3, 2) << 0 << 0;
    QTest::newRow("phones overrun") << request(3, 2090, 10) << refused(3, 2) << 0 << 0;
    QTest::newRow("past the SIM registers") << request(3, 4009, 2) << refused(3, 2) << 0 << 0;
    QTest::newRow("input gap") << request(4, 1004, 1) << refused(4, 2) << 0 << 0;
    QTest::newRow("input record and count") << request(4, 1019, 11) << refused(4, 2) << 0 << 0;
    QTest::newRow("input status overrun") << request(4, 1040, 2) << refused(4, 2) << 0 << 0;
    QTest::newRow("single write in a gap") << request(6, 3500, 7) << refused(6, 2) << 0 << 0;
    QTest::newRow("block write overrun") << framed("01100bb700050a" "00070007000700070007")
                                         << refused(16, 2) << 0 << 0;
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
    QTRY_COMPARE(sim->statistics().otherSlave, quint64(otherSlave));
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

// A pseudo-terminal and a serial device opened by path (a pseudo-terminal
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
    const QString terminal = simulator.addPseudoTerminal();
    QVERIFY(!terminal.isEmpty());
    QString error;
    QCOMPARE(simulator.addDevice(QString::fromLocal8Bit(name), &error), QString::fromLocal8Bit(name));
    QVERIFY(simulator.addDevice(QStringLiteral("/nonexistent/ttyX"), &error).isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY(simulator.start());
    QVERIFY(simulator.addPseudoTerminal().isEmpty()); // not while running
    TestMaster master(terminal, 9);
    QCOMPARE(master.writeSingle(1999, 0x3231), 1);
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
