#include "simharness.h"
#include "testmaster.h"

#include <QtTest>

// Configuration registers over a real libmodbus master on a pseudo-terminal.
class TestSimRegisters : public QObject
{
    Q_OBJECT

private slots:
    void defaultsReadBack();
    void blockOf63WritesAndReadsBack();
};

void TestSimRegisters::defaultsReadBack()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    TestMaster master(sim.devicePath());
    QVERIFY(master.isOpen());
    const QVector<quint16> regs = master.holding(126, 1);
    QCOMPARE(regs, QVector<quint16>{0x0101});
    QCOMPARE(master.holding(1296, 2), (QVector<quint16>{0x0001, 0x00FF}));
}

void TestSimRegisters::blockOf63WritesAndReadsBack()
{
    SimHarness sim;
    QVERIFY(sim.isReady());
    TestMaster master(sim.devicePath());
    QVector<quint16> block(63);
    for (int i = 0; i < block.size(); ++i)
        block[i] = quint16(0x1234 + 257 * i);
    QCOMPARE(master.writeMultiple(441, 63, block.constData()), 63);
    QCOMPARE(master.holding(441, 63), block);
    QCOMPARE(sim.holding(441 + 62), block.last());
}

QTEST_GUILESS_MAIN(TestSimRegisters)
#include "tst_simregisters.moc"
