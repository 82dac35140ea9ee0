// Which lamps a status word lights, in each blink phase.
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
    QTest::newRow("work 22") << 0x400000u << Lamps{L::JobLamp} << Lamps{L::JobLamp};
    QTest::newRow("pressure 3") << 0x8u << Lamps{L::AlarmPLamp} << Lamps{L::AlarmPLamp};
    QTest::newRow("equipment 5") << 0x20u << Lamps{L::AlarmTLamp} << Lamps{L::AlarmTLamp};
    QTest::newRow("CH blink 15") << 0x8000u << Lamps{L::ThresChLamp} << Lamps{};
    QTest::newRow("CH steady 16") << 0x10000u << Lamps{L::ThresChLamp} << Lamps{L::ThresChLamp};
    QTest::newRow("CO blink 17") << 0x20000u << Lamps{L::ThresCoLamp} << Lamps{};
    QTest::newRow("CO steady 18") << 0x40000u << Lamps{L::ThresCoLamp} << Lamps{L::ThresCoLamp};
    QTest::newRow("fire 2") << 0x4u << Lamps{L::FireLamp} << Lamps{L::FireLamp};
    QTest::newRow("fault 20") << 0x100000u << Lamps{L::FaultLamp} << Lamps{L::FaultLamp};
    QTest::newRow("valve 21") << 0x200000u << Lamps{L::ValveCloseLamp} << Lamps{L::ValveCloseLamp};
    QTest::newRow("break-in 0") << 0x1u << Lamps{L::BreakingLamp} << Lamps{L::BreakingLamp};
    QTest::newRow("bits 1, 4, 6-14, 19, 23-31") << 0xFF887FD2u << Lamps{} << Lamps{};
    // Steady wins for each gas on its own.
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
