#include "simharness.h"
#include "testmaster.h"

#include <QtTest>

// The two event lists, the reset register and the status word, read with the
// console's request sequence over a pseudo-terminal.
class TestSimEvents : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordEncoding();
    void currentListHandshake();
    void logHandshakeIsSeparate();
    void indexPastTheEndShowsEmptyRecord();
    void frozenAcknowledgeKeepsOldValue();
    void resetRegisterEmptiesCurrentOnly();
    void statusWordFollowsCurrentEvents_data();
    void statusWordFollowsCurrentEvents();
    void statusWordSetDirectly();
    void scriptedInputOverrides();

private:
    // The console's exchange: write the index, read the ack, read the record.
    QVector<quint16> fetch(int indexRegister, int ackRegister, int recordRegister, quint16 index);

    SimHarness *sim = nullptr;
    TestMaster *master = nullptr;
};

void TestSimEvents::init()
{
    sim = new SimHarness;
    QVERIFY2(sim->isReady(), qPrintable(sim->errorString()));
    master = new TestMaster(sim->devicePath());
    QVERIFY(master->isOpen());
}

void TestSimEvents::cleanup()
{
    delete master;
    delete sim;
    master = nullptr;
    sim = nullptr;
}

QVector<quint16> TestSimEvents::fetch(int indexRegister, int ackRegister, int recordRegister, quint16 index)
{
    if (master->writeSingle(indexRegister, index) != 1 || master->holding(ackRegister, 1) != QVector<quint16>{index})
        return {};
    return master->inputs(recordRegister, 5);
}

void TestSimEvents::recordEncoding()
{
    SimEvent event;
    event.source = 37;
    event.code = 4;
    event.year = 24;
    event.month = 3;
    event.day = 12;
    event.hour = 14;
    event.minute = 30;
    event.second = 9;
    quint16 regs[5];
    event.toRegisters(regs);
    const QVector<quint16> expected{0x0025, 0x1804, 0x0C03, 0x1E0E, 0x0009};
    QCOMPARE(QVector<quint16>(regs, regs + 5), expected);
    QCOMPARE(SimEvent::fromRegisters(expected.constData()), event);

    const SimEvent stamped = SimEvent::at(33, 9, QDateTime(QDate(2031, 12, 5), QTime(7, 0, 59)));
    QCOMPARE(int(stamped.year), 31);
    QCOMPARE(int(stamped.day), 5);
    QCOMPARE(int(stamped.second), 59);
}

void TestSimEvents::currentListHandshake()
{
    const QDateTime when(QDate(2024, 3, 12), QTime(14, 30, 9));
    for (int code = 0; code < 3; ++code)
        sim->addCurrentEvent(SimEvent::at(SimEvent::deviceSource(5), quint8(code), when));
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{3});
    QCOMPARE(master->inputs(1009, 1), QVector<quint16>{3}); // also logged
    for (quint16 i = 0; i < 3; ++i) {
        const QVector<quint16> record = fetch(4001, 4002, 1019, i);
        QCOMPARE(record, (QVector<quint16>{37, quint16(0x1800 | i), 0x0C03, 0x1E0E, 9}));
    }
    // The record keeps the event selected when the index was written.
    sim->clearCurrentEvents();
    QCOMPARE(master->inputs(1019, 5), (QVector<quint16>{37, 0x1802, 0x0C03, 0x1E0E, 9}));
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{0});
}

void TestSimEvents::logHandshakeIsSeparate()
{
    const QDateTime when(QDate(2025, 1, 2), QTime(3, 4, 5));
    sim->addLoggedEvent(SimEvent::at(2, 2, when));
    sim->addCurrentEvent(SimEvent::at(1, 1, when), false);
    QCOMPARE(master->inputs(1009, 1), QVector<quint16>{1});
    QCOMPARE(fetch(3999, 4000, 999, 0), (QVector<quint16>{2, 0x1902, 0x0201, 0x0403, 5}));
    // Selecting a log entry leaves the current list's registers alone.
    QCOMPARE(master->holding(4001, 2), (QVector<quint16>{0, 0}));
    QCOMPARE(fetch(4001, 4002, 1019, 0), (QVector<quint16>{1, 0x1901, 0x0201, 0x0403, 5}));
}

void TestSimEvents::indexPastTheEndShowsEmptyRecord()
{
    sim->addCurrentEvent(SimEvent::now(40, 1));
    QCOMPARE(fetch(4001, 4002, 1019, 0).value(0), quint16(40));
    QCOMPARE(fetch(4001, 4002, 1019, 7), QVector<quint16>(5, 0));
    QCOMPARE(fetch(4001, 4002, 1019, 0xFFFF), QVector<quint16>(5, 0));
}

void TestSimEvents::frozenAcknowledgeKeepsOldValue()
{
    sim->addCurrentEvent(SimEvent::now(40, 1));
    sim->addCurrentEvent(SimEvent::now(41, 1));
    QCOMPARE(master->writeSingle(4001, 0), 1);
    sim->setAckFrozen(ControllerState::Current, true);
    QCOMPARE(master->writeSingle(4001, 1), 1);
    QCOMPARE(master->holding(4002, 1), QVector<quint16>{0});
    QCOMPARE(master->holding(4001, 1), QVector<quint16>{1});
    // The log's acknowledge is not frozen with it.
    QCOMPARE(master->writeSingle(3999, 1), 1);
    QCOMPARE(master->holding(4000, 1), QVector<quint16>{1});
    sim->setAckFrozen(ControllerState::Current, false);
    QCOMPARE(fetch(4001, 4002, 1019, 1).value(0), quint16(41));
}

void TestSimEvents::resetRegisterEmptiesCurrentOnly()
{
    sim->addCurrentEvent(SimEvent::now(SimEvent::deviceSource(1), 9));
    sim->addCurrentEvent(SimEvent::now(SimEvent::deviceSource(2), 0));
    QCOMPARE(master->writeSingle(4003, 2), 1); // only 1 resets
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{2});
    QCOMPARE(master->writeSingle(4003, 1), 1);
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{0});
    QCOMPARE(master->inputs(1009, 1), QVector<quint16>{2});
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

void TestSimEvents::statusWordSetDirectly()
{
    sim->setStatusWord(0x00418004);
    sim->addCurrentEvent(SimEvent::now(0, 2)); // does not change a set word
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x8004, 0x0041}));
    sim->setInput(1040, 0x0020);
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x8004, 0x0020}));
    sim->state([](ControllerState &s) { s.followEvents(); });
    QCOMPARE(master->inputs(1039, 2), (QVector<quint16>{0x0001, 0}));
}

void TestSimEvents::scriptedInputOverrides()
{
    sim->setInput(1029, 3);
    sim->setInput(1019, 300);
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{3});
    QCOMPARE(master->inputs(1019, 1), QVector<quint16>{300});
    sim->state([](ControllerState &s) { s.clearInputOverrides(); });
    QCOMPARE(master->inputs(1029, 1), QVector<quint16>{0});
}

QTEST_GUILESS_MAIN(TestSimEvents)
#include "tst_simevents.moc"
