#include "simharness.h"
#include "testmaster.h"

#include <QtTest>

#include <memory>

// The two event lists, the reset register and the status word over a pseudo-terminal.
class TestSimEvents : public QObject
{
    Q_OBJECT

    struct ListRegisters { int index, ack, record, count; };
    std::unique_ptr<SimHarness> sim;
    std::unique_ptr<TestMaster> master;

    // The console's exchange: write the index, read the ack, read the record.
    QVector<quint16> fetch(const ListRegisters &list, quint16 index)
    {
        if (master->writeSingle(list.index, index) != 1 || master->holding(list.ack, 1) != QVector<quint16>{index})
            return {};
        return master->inputs(list.record, 5);
    }

private slots:
    void init()
    {
        sim.reset(new SimHarness);
        QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
        master.reset(new TestMaster(sim->devicePath()));
        QVERIFY(master->isOpen());
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
        sim->setInput(1040, 0x0020);
        QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x8004, 0x0020}));
        sim->state([](ControllerState &s) { s.followEvents(); });
        QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x0001, 0}));
    }
};

QTEST_GUILESS_MAIN(TestSimEvents)
#include "tst_simevents.moc"
