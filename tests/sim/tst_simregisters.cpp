#include "simharness.h"
#include "testmaster.h"

#include <QtTest>

#include <memory>

class TestSimRegisters : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimHarness> sim;
    std::unique_ptr<TestMaster> master;

    bool readsSteadily(int address, int times, quint16 value)
    {
        int read = 0;
        while (read < times && master->holding(address, 1) == QVector<quint16>{value})
            ++read;
        return read == times;
    }

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
        sim->setCommitReadsBeforeClear(1, 99);
        QCOMPARE(master->writeSingle(4005, 1), 1);
        QVERIFY(readsSteadily(4005, 99, 1) && readsSteadily(4005, 2, 0));
        QCOMPARE(master->writeSingle(4006, 1), 1);
        sim->setCommitReadsBeforeClear(2, ControllerState::Never); // reaches the write already waiting
        QVERIFY(readsSteadily(4006, 20, 1));
        sim->setCommitReadsBeforeClear(2, 0);
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
};

QTEST_GUILESS_MAIN(TestSimRegisters)
#include "tst_simregisters.moc"
