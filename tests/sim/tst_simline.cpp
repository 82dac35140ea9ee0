// The simulator as a master sees it over a pseudo-terminal: registers and the
// file image, the handshakes, the event lists and status word, and line faults.
#include "rtuframe.h"
#include "simharness.h"
#include "testmaster.h"

#include <QtTest>

#include <cerrno>
#include <memory>

#include <pty.h>
#include <unistd.h>

static QByteArray framed(const char *hex)
{
    return RtuFrame::withCrc(QByteArray::fromHex(hex));
}

class TestSimLine : public QObject
{
    Q_OBJECT

    struct ListRegisters { int index, ack, record, count; };
    std::unique_ptr<SimHarness> sim;
    std::unique_ptr<TestMaster> master;

    bool readsSteadily(int address, int times, quint16 value)
    {
        int read = 0;
        while (read < times && master->holding(address, 1) == QVector<quint16>{value})
            ++read;
        return read == times;
    }
    // The console's exchange: write the index, read the ack, read the record.
    QVector<quint16> fetch(const ListRegisters &list, quint16 index)
    {
        if (master->writeSingle(list.index, index) != 1 || master->holding(list.ack, 1) != QVector<quint16>{index})
            return {};
        return master->inputs(list.record, 5);
    }
    bool answersNormally() { return master->holding(126, 1) == QVector<quint16>{0x0101}; }
    bool fails(const QVector<quint16> &read, int error) { return read.isEmpty() && master->lastError() == error; }

private slots:
    void init()
    {
        sim.reset(new SimHarness);
        QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
        master.reset(new TestMaster(sim->devicePath()));
        QVERIFY(master->isOpen());
    }

    // Registers and the file image are one, low byte first: main register k at byte 2k, phones from 2658,
    // the clock from 2850; bytes 2652-2657 are in the file only (sizes of files: see the control tests).
    void registersAndImage()
    {
        QByteArray bytes(ConfigImage::FileSize, 0);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + 3);
        QVERIFY(sim->state([&](ControllerState &s) { return s.setFileBytes(bytes); }));
        QCOMPARE(master->holding(1201, 125).value(124), quint16(0x8079)); // 1325; one read may ask for 125
        QCOMPARE(master->holding(1999, 1), QVector<quint16>{0xB8B1});
        QCOMPARE(master->holding(3002, 1), QVector<quint16>{0x221B});
        const QVector<quint16> clock{0x1E0E, 0x0309, 0x000C, 24};
        QCOMPARE(master->writeSingle(1325, 0x0403), 1);
        QCOMPARE(master->writeSingle(1999, 0x3130), 1);
        QCOMPARE(master->writeMultiple(2999, 4, clock.constData()), 4);
        bytes.replace(2650, 2, "\x03\x04").replace(2658, 2, "01").replace(2850, 8, QByteArray::fromHex("0e1e09030c001800"));
        QCOMPARE(sim->stateCopy().fileBytes(), bytes);
    }

    void commitAndSimCardHandshakes()
    {
        // A commit register reads back 0 at once by default, after 99 reads if so set, and never while stuck.
        QCOMPARE(master->writeSingle(4004, 1), 1);
        QVERIFY(readsSteadily(4004, 1, 0));
        sim->state([](ControllerState &s) { s.setCommitReadsBeforeClear(1, 99); });
        QCOMPARE(master->writeSingle(4005, 1), 1);
        QVERIFY(readsSteadily(4005, 99, 1) && readsSteadily(4005, 2, 0));
        QCOMPARE(master->writeSingle(4006, 1), 1);
        // Stuck from now on, for the write already waiting too.
        sim->state([](ControllerState &s) { s.setCommitReadsBeforeClear(2, ControllerState::Never); });
        QVERIFY(readsSteadily(4006, 20, 1));
        sim->state([](ControllerState &s) { s.setCommitReadsBeforeClear(2, 0); });
        QVERIFY(readsSteadily(4006, 1, 0));
        QCOMPARE(master->holding(4007, 3), (QVector<quint16>{0, 0, 1})); // no SIM write: idle, none pending, ready
        // Pending after a third-stage commit, busy for three reads, then done; a first-stage commit starts none.
        sim->setSimCard({true, 3, true});
        QCOMPARE(master->writeSingle(4006, 1), 1);
        QVERIFY(readsSteadily(4007, 3, 1) && readsSteadily(4007, 1, 0));
        QCOMPARE(master->writeSingle(4004, 1), 1);
        QCOMPARE(master->holding(4008, 1), QVector<quint16>{0});
        // A card that is not ready leaves the numbers pending and never gets busy.
        sim->setSimCard({true, 3, false});
        QCOMPARE(master->writeSingle(4006, 1), 1);
        QCOMPARE(master->holding(4007, 3), (QVector<quint16>{0, 1, 0}));
    }

    void listHandshakes()
    {
        const ListRegisters lists[] = {{4001, 4002, 1019, 1029}, {3999, 4000, 999, 1009}}; // current, log
        const QDateTime when(QDate(2024, 3, 12), QTime(14, 30, 9));
        for (quint8 code = 0; code < 4; ++code) {
            sim->addLoggedEvent(SimEvent::at(SimEvent::deviceSource(6), code, when));
            if (code < 3)
                sim->addCurrentEvent(SimEvent::at(SimEvent::deviceSource(5), code, when), false);
        }
        for (int l = 0; l < 2; ++l) {
            QCOMPARE(master->inputs(lists[l].count, 1), QVector<quint16>{quint16(3 + l)});
            for (quint16 i = 0; i < 3 + l; ++i)
                QCOMPARE(fetch(lists[l], i), (QVector<quint16>{quint16(37 + l), quint16(0x1800 | i), 0x0C03, 0x1E0E, 9}));
            QCOMPARE(fetch(lists[l], quint16(3 + l)), QVector<quint16>(5, 0)); // past the end: empty,
            QCOMPARE(fetch(lists[l], 0xFFFF), QVector<quint16>(5, 0));         // out to the largest index
        }
        // A frozen acknowledge keeps its old value; the other list's still echoes.
        sim->setAckFrozen(ControllerState::Logged, true);
        QCOMPARE(master->writeSingle(3999, 1), 1);
        QCOMPARE(master->holding(3999, 2), (QVector<quint16>{1, 0xFFFF}));
        QCOMPARE(fetch(lists[0], 2).value(1), quint16(0x1802));
        // Each record keeps the event selected when its index was written, though the lists empty.
        sim->state([](ControllerState &s) { s.clearCurrentEvents(); s.clearLoggedEvents(); });
        QCOMPARE(master->inputs(999, 5), (QVector<quint16>{38, 0x1801, 0x0C03, 0x1E0E, 9}));
        QCOMPARE(master->inputs(1019, 5), (QVector<quint16>{37, 0x1802, 0x0C03, 0x1E0E, 9}));
    }

    // The status word follows the current events, low half first, until a script sets it or its registers.
    void statusWordAndResetRegister()
    {
        const struct { quint16 source; quint8 code; quint32 bits; } lamps[] = {
            {33, 0, 0x8000}, {33, 1, 0x10000}, {40, 2, 0x20000}, {32, 3, 0x40000}, // CH, CO thresholds 1 and 2
            {33, 4, 0x100000}, {33, 7, 0x200000}, {33, 8, 0}, {33, 9, 0x4},        // fault, valve closed, found, fire
            {0, 1, 0x4}, {1, 2, 0x1}, {3, 25, 0x20}, {4, 72, 0x8}, {23, 93, 0x200000}, {5, 0, 0}, // named inputs
        };
        for (const auto &lamp : lamps)
            QCOMPARE(ControllerState::statusBitsFor(SimEvent::now(lamp.source, lamp.code)), lamp.bits);
        sim->addCurrentEvent(SimEvent::now(SimEvent::deviceSource(1), 2));
        sim->addCurrentEvent(SimEvent::now(0, 1));
        QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x0004, 0x0002}));
        QCOMPARE(master->writeSingle(4003, 2), 1); // only 1 resets
        QCOMPARE(master->inputs(1029, 1), QVector<quint16>{2});
        QCOMPARE(master->writeSingle(4003, 1), 1);
        QCOMPARE(master->inputs(1029, 1), QVector<quint16>{0});
        QCOMPARE(master->inputs(1009, 1), QVector<quint16>{2}); // the log keeps them

        sim->setStatusWord(0x00418004);
        sim->addCurrentEvent(SimEvent::now(0, 2)); // does not change a set word
        sim->state([](ControllerState &s) { s.setInput(1040, 0x0020); });
        QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x8004, 0x0020}));
        sim->state([](ControllerState &s) { s.followEvents(); });
        QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x0001, 0}));
    }

    // Each kind of fault as the master sees it; the plan's counting is tested on the plan itself.
    void faultsOnTheLine()
    {
        master->setResponseTimeout(120); // expected silences stay cheap
        sim->faults([](FaultPlan &f) { f.dropNext(1); });
        QVERIFY(fails(master->holding(126, 1), ETIMEDOUT));
        QVERIFY(answersNormally());
        QCOMPARE(sim->statistics().unanswered, quint64(1));
        sim->faults([](FaultPlan &f) { f.breakCrcOfNext(1); });
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
        Simulator simulator(Simulator::Options{9, 9600, false, {}});
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

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"
