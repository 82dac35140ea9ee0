// Which lamps a status word lights, in each blink phase: the blinking bits, the unused
// ones, and both bits of a gas.
#include "lampstate.h"

#include <QtTest>

using L = LampState;
using Lamps = QVector<int>;

class TestLampState : public QObject
{
    Q_OBJECT

private slots:
    void litLamps_data();
    void litLamps();
};

void TestLampState::litLamps_data()
{
    QTest::addColumn<quint32>("vpk");
    QTest::addColumn<Lamps>("litPhase"); // blinking lamps lit
    QTest::addColumn<Lamps>("darkPhase");
    // Each steady bit alone lights its lamp at both phases: tst_consolewindow, through the labels.
    QTest::newRow("bits 1, 4, 6-14, 19, 23-31") << 0xFF887FD2u << Lamps{} << Lamps{};
    // A blinking gas bit is lit at one phase only; steady wins for each gas on its own.
    const Lamps both{L::ThresCoLamp, L::ThresChLamp};
    QTest::newRow("CH steady, CO blink") << 0x30000u << both << Lamps{L::ThresChLamp};
    QTest::newRow("CH blink, CO steady") << 0x48000u << both << Lamps{L::ThresCoLamp};
}

void TestLampState::litLamps()
{
    QFETCH(quint32, vpk);
    const LampState state = L::fromVpk(vpk);
    for (bool phase : {true, false}) {
        Lamps lit;
        for (int i = 0; i < L::LampCount; ++i) {
            if (state.isLit(L::Lamp(i), phase))
                lit.append(i);
        }
        QTEST(lit, phase ? "litPhase" : "darkPhase");
    }
}

QTEST_APPLESS_MAIN(TestLampState)
#include "tst_lampstate.moc"
