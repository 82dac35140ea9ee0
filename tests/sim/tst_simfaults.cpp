#include "simharness.h"
#include "testmaster.h"

#include "rtuframe.h"

#include <QtTest>

#include <cerrno>
#include <memory>

#include <pty.h>
#include <unistd.h>

static QByteArray framed(const char *hex)
{
    return RtuFrame::withCrc(QByteArray::fromHex(hex));
}

class TestSimFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimHarness> sim;
    std::unique_ptr<TestMaster> master;

    bool answersNormally() { return master->holding(126, 1) == QVector<quint16>{0x0101}; }
    bool fails(const QVector<quint16> &read, int error) { return read.isEmpty() && master->lastError() == error; }

private slots:
    void init()
    {
        sim.reset(new SimHarness);
        QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
        master.reset(new TestMaster(sim->devicePath()));
        QVERIFY(master->isOpen());
        master->setResponseTimeout(120); // expected silences stay cheap
    }

    // Each kind of fault as the master sees it; the plan's counting is tested on the plan itself.
    void faultsOnTheLine()
    {
        sim->dropNext(1);
        QVERIFY(fails(master->holding(126, 1), ETIMEDOUT));
        QVERIFY(answersNormally());
        QCOMPARE(sim->statistics().unanswered, quint64(1));
        sim->breakCrcOfNext(1);
        QCOMPARE(master->writeSingle(10, 0x0505), -1);
        QCOMPARE(master->lastError(), int(EMBBADCRC));
        QCOMPARE(sim->holding(10), quint16(0x0505)); // carried out all the same
        // Reads of 441-502 fail once in silence while writes there are served; 503 refuses all with exception 4.
        sim->failRange(3, 441, 502, 1);
        sim->failRange(0, 503, 503, FaultPlan::Forever, false);
        QCOMPARE(master->writeSingle(441, 9), 1);
        QVERIFY(fails(master->holding(441, 62), ETIMEDOUT));
        QCOMPARE(master->holding(441, 1), QVector<quint16>{9});
        QVERIFY(fails(master->holding(503, 1), EMBXSFAIL));
        QCOMPARE(master->writeSingle(503, 1), -1);
        QCOMPARE(sim->holding(503), quint16(0x0101)); // unchanged
        // An answer later than the master waits for arrives whole; stopping does not wait for a delayed one.
        sim->setDelay(300);
        QVERIFY(fails(master->holding(126, 1), ETIMEDOUT));
        QCOMPARE(master->receiveRaw(400), framed("0103020101"));
        sim->setDelay(5000);
        sim->clearRequests();
        QVERIFY(master->sendRaw(framed("010300000001")));
        QTRY_COMPARE(sim->requests().size(), 1);
        const QDeadlineTimer deadline(1000);
        sim.reset();
        QVERIFY(!deadline.hasExpired());
    }

    void requestsOnTheWire_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("counted"); // 0 in the request log, 1 as a broken frame, 2 as for another slave
        const auto refused = [](int function, int code) { return RtuFrame::exceptionAnswer(1, function, code); };
        QTest::newRow("good read") << framed("010300000001") << framed("0103020000") << 0;
        QTest::newRow("broken CRC") << RtuFrame::withBrokenCrc(framed("010300000001")) << QByteArray() << 1;
        QTest::newRow("truncated") << framed("010300000001").left(5) << QByteArray() << 1;
        QTest::newRow("other slave") << framed("020300000001") << QByteArray() << 2;
        QTest::newRow("broadcast write") << framed("00060010abcd") << QByteArray() << 0;
        QTest::newRow("read coils") << framed("010100000008") << refused(1, 1) << 0;
        QTest::newRow("126 registers") << framed("01030000007e") << refused(3, 3) << 0;
        QTest::newRow("byte count not twice the count") << framed("01100000000206000100020003") << refused(16, 3) << 0;
        QTest::newRow("past the main block") << framed("0103052e0001") << refused(3, 2) << 0;
        QTest::newRow("input status overrun") << framed("010404100002") << refused(4, 2) << 0;
        QTest::newRow("write past the SIM registers") << framed("01060faa0007") << refused(6, 2) << 0;
        QTest::newRow("block write overrun") << framed("01100bb700050a00070007000700070007") << refused(16, 2) << 0;
    }

    void requestsOnTheWire()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, answer);
        QFETCH(int, counted);
        QByteArray expected = sim->stateCopy().fileBytes();
        if (frame.at(0) == 0) // a broadcast write is carried out all the same
            expected.replace(32, 2, "\xcd\xab");
        QVERIFY(master->sendRaw(frame));
        QCOMPARE(master->receiveRaw(120), answer);
        QTRY_VERIFY(sim->statistics().brokenFrames == quint64(counted == 1)
                    && sim->statistics().otherSlave == quint64(counted == 2));
        const QVector<RequestRecord> log = sim->requests();
        QCOMPARE(log.size(), counted ? 0 : 1);
        QVERIFY(log.isEmpty() || log.first().answered == !answer.isEmpty());
        QCOMPARE(sim->stateCopy().fileBytes(), expected);
        QVERIFY(answersNormally());
    }

    // A pseudo-terminal and a serial device opened by path (a pseudo-terminal made here) serve one controller.
    void portsShareOneController()
    {
        int wire = -1, device = -1;
        char name[256] = {};
        QCOMPARE(openpty(&wire, &device, name, nullptr, nullptr), 0);
        Simulator simulator(Simulator::Options{9, 9600, false});
        const QString terminal = simulator.addPseudoTerminal();
        QString error;
        QCOMPARE(simulator.addDevice(QString::fromLocal8Bit(name), &error), QString::fromLocal8Bit(name));
        QVERIFY(simulator.addDevice(QStringLiteral("/nonexistent/ttyX"), &error).isEmpty() && !error.isEmpty());
        QVERIFY(simulator.start());
        QVERIFY(simulator.addPseudoTerminal().isEmpty()); // not while running
        QCOMPARE(TestMaster(terminal, 9).writeSingle(1999, 0x3231), 1);
        const QByteArray read = framed("090307cf0001");
        QCOMPARE(::write(wire, read.constData(), size_t(read.size())), ssize_t(read.size()));
        QCOMPARE(TestMaster::receiveRaw(wire, 300), framed("0903023231"));
        ::close(device);
        ::close(wire);
    }
};

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
