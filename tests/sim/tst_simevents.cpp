#include "simharness.h"
#include "testmaster.h"

#include <QtTest>

#include <memory>

// The two event lists, the reset register and the status word, read with the
// console's request sequence over a pseudo-terminal.
class TestSimEvents : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void listHandshake_data();
    void listHandshake();
    void resetRegisterEmptiesCurrentOnly();
    void statusWordFollowsCurrentEvents_data();
    void statusWordFollowsCurrentEvents();
    void scriptedInputsOverride();

private:
    struct ListRegisters { int index, ack, record, count; };
    // The console's exchange: write the index, read the ack, read the record.
    QVector<quint16> fetch(const ListRegisters &list, quint16 index);

    std::unique_ptr<SimHarness> sim;
    std::unique_ptr<TestMaster> master;
};

void TestSimEvents::init()
{
    master.reset();
    sim.reset(new SimHarness);
    QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
    master.reset(new TestMaster(sim->devicePath()));
    QVERIFY(master->isOpen());
}

QVector<quint16> TestSimEvents::fetch(const ListRegisters &list, quint16 index)
{
    if (master->writeSingle(list.index, index) != 1 || master->holding(list.ack, 1) != QVector<quint16>{index})
        return {};
    return master->inputs(list.record, 5);
}

void TestSimEvents::listHandshake_data()
{
    QTest::addColumn<int>("list");
    QTest::newRow("current") << int(ControllerState::Current);
    QTest::newRow("log") << int(ControllerState::Logged);
}

// Each list has its own registers: selecting, freezing or emptying one leaves
// the other alone.
void TestSimEvents::listHandshake()
{
    QFETCH(int, list);
    const ListRegisters registers[] = {{4001, 4002, 1019, 1029}, {3999, 4000, 999, 1009}};
    const ListRegisters &mine = registers[list];
    const ListRegisters &other = registers[1 - list];
    const bool current = list == ControllerState::Current;
    const QDateTime when(QDate(2024, 3, 12), QTime(14, 30, 9));
    sim->state([&](ControllerState &s) {
        for (int code = 0; code < 3; ++code) {
            const SimEvent event = SimEvent::at(SimEvent::deviceSource(5), quint8(code), when);
            current ? s.addCurrentEvent(event, false) : s.addLoggedEvent(event);
        }
    });
    QCOMPARE(master->inputs(mine.count, 1), QVector<quint16>{3});
    QCOMPARE(master->inputs(other.count, 1), QVector<quint16>{0});
    for (quint16 i = 0; i < 3; ++i)
        QCOMPARE(fetch(mine, i), (QVector<quint16>{37, quint16(0x1800 | i), 0x0C03, 0x1E0E, 9}));
    QCOMPARE(master->holding(other.index, 2), (QVector<quint16>{0, 0}));
    QCOMPARE(master->inputs(other.record, 5), QVector<quint16>(5, 0));
    // Past the end, from the first index out to the largest, the record is empty.
    QCOMPARE(fetch(mine, 3), QVector<quint16>(5, 0));
    QCOMPARE(fetch(mine, 0xFFFF), QVector<quint16>(5, 0));

    // A frozen acknowledge keeps its old value; the other list's still echoes.
    sim->setAckFrozen(ControllerState::EventList(list), true);
    QCOMPARE(master->writeSingle(mine.index, 1), 1);
    QCOMPARE(master->holding(mine.index, 2), (QVector<quint16>{1, 0xFFFF}));
    QCOMPARE(fetch(other, 2), QVector<quint16>(5, 0));
    sim->setAckFrozen(ControllerState::EventList(list), false);

    // The record keeps the event selected when the index was written.
    QCOMPARE(fetch(mine, 2).value(1), quint16(0x1802));
    sim->state([&](ControllerState &s) { current ? s.clearCurrentEvents() : s.clearLoggedEvents(); });
    QCOMPARE(master->inputs(mine.record, 5), (QVector<quint16>{37, 0x1802, 0x0C03, 0x1E0E, 9}));
    QCOMPARE(master->inputs(mine.count, 1), QVector<quint16>{0});
}

void TestSimEvents::resetRegisterEmptiesCurrentOnly()
{
    sim->addCurrentEvent(SimEvent::now(SimEvent::deviceSource(1), 9));
    sim->addCurrentEvent(SimEvent::now(SimEvent::deviceSource(2), 0));
    QCOMPARE(master->writeSingle(4003, 2), 1); // only 1 resets
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{2});
    QCOMPARE(master->writeSingle(4003, 1), 1);
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{0});
    QCOMPARE(master->inputs(1009, 1), QVector<quint16>{2}); // current events are logged too
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0, 0}));
    QCOMPARE(master->holding(4003, 1), QVector<quint16>{0});
}

void TestSimEvents::statusWordFollowsCurrentEvents_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("code");
    QTest::addColumn<quint32>("bits");
    QTest::newRow("CH threshold 1 blinks") << 33 << 0 << 0x8000u;
    QTest::newRow("CH threshold 2") << 33 << 1 << 0x10000u;
    QTest::newRow("CO threshold 1") << 40 << 2 << 0x20000u;
    QTest::newRow("CO threshold 2") << 32 << 3 << 0x40000u;
    QTest::newRow("sensor fault") << 33 << 4 << 0x100000u;
    QTest::newRow("valve break") << 33 << 6 << 0x100000u;
    QTest::newRow("valve closed") << 33 << 7 << 0x200000u;
    QTest::newRow("sensor found") << 33 << 8 << 0u;
    QTest::newRow("device fire") << 33 << 9 << 0x4u;
    QTest::newRow("input fire") << 0 << 1 << 0x4u;
    QTest::newRow("input break-in") << 1 << 2 << 0x1u;
    QTest::newRow("boiler alarm") << 3 << 25 << 0x20u;
    QTest::newRow("low gas pressure") << 4 << 72 << 0x8u;
    QTest::newRow("input valve closed") << 23 << 93 << 0x200000u;
    QTest::newRow("empty name") << 5 << 0 << 0u;
}

void TestSimEvents::statusWordFollowsCurrentEvents()
{
    QFETCH(int, source);
    QFETCH(int, code);
    QFETCH(quint32, bits);
    sim->addCurrentEvent(SimEvent::now(quint16(source), quint8(code)));
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{quint16(bits & 0xFFFF), quint16(bits >> 16)}));
    sim->addCurrentEvent(SimEvent::now(0, 1));
    QCOMPARE(sim->stateCopy().statusWord(), bits | 0x4u);
    sim->clearCurrentEvents();
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0, 0}));
}

// Values set by a script win over the computed ones until they are let go.
void TestSimEvents::scriptedInputsOverride()
{
    sim->setStatusWord(0x00418004);
    sim->addCurrentEvent(SimEvent::now(0, 2)); // does not change a set word
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x8004, 0x0041}));
    sim->setInput(1040, 0x0020);
    sim->setInput(1029, 3);
    sim->setInput(1019, 300);
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x8004, 0x0020}));
    QCOMPARE(master->inputs(1019, 1), QVector<quint16>{300});
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{3});
    sim->state([](ControllerState &s) { s.followEvents(); s.clearInputOverrides(); });
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x0001, 0}));
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{1});
}

QTEST_GUILESS_MAIN(TestSimEvents)
#include "tst_simevents.moc"
