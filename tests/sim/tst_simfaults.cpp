#include "simharness.h"
#include "testmaster.h"

#include "rtuframe.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <cerrno>

// Injected faults and bad input on the wire. Expected silences use a short
// master time-out so the program stays quick.
class TestSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dropNextRequests();
    void brokenCrcAnswer();
    void lateAnswer();
    void silentUntilResumed();
    void failingRangeSilently();
    void failingRangeWithException();
    void wrongSlaveAddressIsIgnored();
    void brokenRequestsGetSilence();
    void unsupportedFunctionsGetException1();
    void broadcastWriteIsAppliedSilently();
    void randomNoiseDoesNotStopService();
    void stopDoesNotWaitForADelayedAnswer();
    void portsShareOneController();

private:
    bool answersNormally();

    SimHarness *sim = nullptr;
    TestMaster *master = nullptr;
};

static constexpr int ShortTimeoutMs = 120;

void TestSimFaults::init()
{
    sim = new SimHarness;
    QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
    master = new TestMaster(sim->devicePath());
    QVERIFY(master->isOpen());
    master->setResponseTimeout(ShortTimeoutMs);
}

void TestSimFaults::cleanup()
{
    delete master;
    delete sim;
    master = nullptr;
    sim = nullptr;
}

bool TestSimFaults::answersNormally()
{
    return master->holding(126, 1) == QVector<quint16>{0x0101};
}

void TestSimFaults::dropNextRequests()
{
    sim->dropNext(2);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), ETIMEDOUT);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QVERIFY(answersNormally());
    const QVector<RequestRecord> log = sim->requests();
    QCOMPARE(log.size(), 3);
    QVERIFY(!log.at(0).answered);
    QVERIFY(!log.at(1).answered);
    QVERIFY(log.at(2).answered);
    QCOMPARE(log.at(2), (RequestRecord{3, 126, 1, true, 0}));
}

void TestSimFaults::brokenCrcAnswer()
{
    sim->breakCrcOfNext(1);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), int(EMBBADCRC));
    QVERIFY(answersNormally());
    // A write with a broken answer was still carried out.
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

void TestSimFaults::silentUntilResumed()
{
    sim->setSilent(true);
    QCOMPARE(master->writeSingle(10, 1), -1);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    sim->setSilent(false);
    QVERIFY(answersNormally());
    QCOMPARE(sim->statistics().unanswered, quint64(2));
}

void TestSimFaults::failingRangeSilently()
{
    // Reads of main part 7 fail five times; writes there and other reads do not.
    sim->failRange(3, 441, 503, 5);
    QVector<quint16> block(63, 9);
    QCOMPARE(master->writeMultiple(441, 63, block.constData()), 63);
    QVERIFY(answersNormally());
    for (int attempt = 0; attempt < 5; ++attempt)
        QCOMPARE(master->holding(441, 63), QVector<quint16>());
    QCOMPARE(master->holding(441, 63), block);
    QVERIFY(sim->stateCopy().config().reg(ConfigImage::Main, 441) == 9);
}

void TestSimFaults::failingRangeWithException()
{
    sim->failRange(0, 503, 503, FaultPlan::Forever, false);
    quint16 value = 0;
    QCOMPARE(master->readHolding(503, 1, &value), -1);
    QCOMPARE(master->lastError(), int(EMBXSFAIL));
    QCOMPARE(master->writeSingle(503, 1), -1);
    QCOMPARE(master->lastError(), int(EMBXSFAIL));
    QCOMPARE(master->holding(504, 1).size(), 1);
    sim->clearFaults();
    QCOMPARE(master->holding(503, 1).size(), 1);
}

void TestSimFaults::wrongSlaveAddressIsIgnored()
{
    master->setSlave(2);
    QCOMPARE(master->holding(126, 1), QVector<quint16>());
    QCOMPARE(master->lastError(), ETIMEDOUT);
    QCOMPARE(sim->statistics().otherSlave, quint64(1));
    QVERIFY(sim->requests().isEmpty());
    master->setSlave(1);
    QVERIFY(answersNormally());
}

void TestSimFaults::brokenRequestsGetSilence()
{
    const QByteArray good = RtuFrame::withCrc(QByteArray::fromHex("010300000001"));
    QVERIFY(master->sendRaw(RtuFrame::withBrokenCrc(good)));
    QCOMPARE(master->receiveRaw(ShortTimeoutMs), QByteArray());
    QVERIFY(master->sendRaw(good.left(5))); // truncated
    QCOMPARE(master->receiveRaw(ShortTimeoutMs + 100), QByteArray());
    QCOMPARE(sim->statistics().brokenFrames, quint64(2));
    QVERIFY(sim->requests().isEmpty());
    QVERIFY(master->sendRaw(good));
    QCOMPARE(master->receiveRaw(ShortTimeoutMs), RtuFrame::withCrc(QByteArray::fromHex("01030200" "00")));
}

void TestSimFaults::unsupportedFunctionsGetException1()
{
    for (const char *hex : {"010100000008", "010500000000", "010f0000000a020000", "0111"}) {
        const QByteArray request = RtuFrame::withCrc(QByteArray::fromHex(hex));
        QVERIFY(master->sendRaw(request));
        const int function = quint8(request.at(1));
        QCOMPARE(master->receiveRaw(ShortTimeoutMs), RtuFrame::exceptionAnswer(1, function, 1));
    }
    // A code libmodbus cannot frame fails its CRC check and gets silence.
    QVERIFY(master->sendRaw(RtuFrame::withCrc(QByteArray::fromHex("012b0e0100"))));
    QCOMPARE(master->receiveRaw(ShortTimeoutMs), QByteArray());
    QVERIFY(answersNormally());
}

void TestSimFaults::broadcastWriteIsAppliedSilently()
{
    master->setSlave(0);
    QVERIFY(master->sendRaw(RtuFrame::withCrc(QByteArray::fromHex("00060010abcd"))));
    QCOMPARE(master->receiveRaw(ShortTimeoutMs), QByteArray());
    QCOMPARE(sim->holding(16), quint16(0xABCD));
    const QVector<RequestRecord> log = sim->requests();
    QCOMPARE(log.size(), 1);
    QVERIFY(!log.first().answered);
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
    QVERIFY(master->sendRaw(RtuFrame::withCrc(QByteArray::fromHex("010300000001"))));
    QTRY_COMPARE(sim->requests().size(), 1);
    QElapsedTimer timer;
    timer.start();
    delete sim;
    sim = nullptr;
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void TestSimFaults::portsShareOneController()
{
    Simulator simulator;
    const QString first = simulator.addPseudoTerminal();
    const QString second = simulator.addPseudoTerminal();
    QVERIFY(!first.isEmpty() && !second.isEmpty() && first != second);
    QVERIFY(simulator.start());
    QVERIFY(simulator.addPseudoTerminal().isEmpty()); // not while running
    TestMaster a(first);
    TestMaster b(second);
    QCOMPARE(a.writeSingle(1999, 0x3231), 1);
    QCOMPARE(b.holding(1999, 1), QVector<quint16>{0x3231});
    simulator.stop();
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
