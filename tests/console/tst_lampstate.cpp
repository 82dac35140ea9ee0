// Lamp flags decoded from the controller's status word, and which lamps they
// light in each blink phase.
#include "lampstate.h"

#include <QtTest>

class TestLampState : public QObject
{
    Q_OBJECT

private slots:
    void fitsInSixteenBits();
    void eachShownBitSetsItsFlag_data();
    void eachShownBitSetsItsFlag();
    void unshownBitsSetNothing();
    void thresholdLampsBlinkUnlessSteady();
};

using Lamp = LampState::Lamp;

static QVector<Lamp> litLamps(const LampState &state, bool phase)
{
    QVector<Lamp> lit;
    for (int i = 0; i < LampState::LampCount; ++i) {
        if (state.isLit(Lamp(i), phase))
            lit.append(Lamp(i));
    }
    return lit;
}

void TestLampState::fitsInSixteenBits()
{
    QCOMPARE(sizeof(LampState), size_t(2));
    QCOMPARE(LampState().flags(), quint16(0));
    LampState state = LampState::fromVpk(0xFFFFFFFF);
    QCOMPARE(state.flags(), quint16(0x7FF));
    state.clear();
    QCOMPARE(state, LampState());
}

void TestLampState::eachShownBitSetsItsFlag_data()
{
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<int>("flag");
    QTest::newRow("work 22") << quint32(0x400000) << int(LampState::Work);
    QTest::newRow("pressure 3") << quint32(0x8) << int(LampState::PressureAlarm);
    QTest::newRow("equipment 5") << quint32(0x20) << int(LampState::EquipmentAlarm);
    QTest::newRow("CH blink 15") << quint32(0x8000) << int(LampState::ChBlink);
    QTest::newRow("CH steady 16") << quint32(0x10000) << int(LampState::ChSteady);
    QTest::newRow("CO blink 17") << quint32(0x20000) << int(LampState::CoBlink);
    QTest::newRow("CO steady 18") << quint32(0x40000) << int(LampState::CoSteady);
    QTest::newRow("fire 2") << quint32(0x4) << int(LampState::Fire);
    QTest::newRow("fault 20") << quint32(0x100000) << int(LampState::Fault);
    QTest::newRow("valve 21") << quint32(0x200000) << int(LampState::ValveClosed);
    QTest::newRow("break-in 0") << quint32(0x1) << int(LampState::BreakIn);
}

void TestLampState::eachShownBitSetsItsFlag()
{
    QFETCH(quint32, mask);
    QFETCH(int, flag);
    QCOMPARE(int(LampState::fromVpk(mask).flags()), flag);
    // Every other bit set: only this flag is clear.
    QCOMPARE(int(LampState::fromVpk(~mask).flags()), 0x7FF & ~flag);
    // A steady flag lights one lamp in both phases; a blinking one only in the lit phase.
    const bool blinking = flag == LampState::ChBlink || flag == LampState::CoBlink;
    QCOMPARE(litLamps(LampState::fromVpk(mask), true).size(), 1);
    QCOMPARE(litLamps(LampState::fromVpk(mask), false).size(), blinking ? 0 : 1);
}

void TestLampState::unshownBitsSetNothing()
{
    const quint32 unshown = 0x2 | 0x10 | 0x7FC0 | 0x80000 | 0xFF800000;
    QCOMPARE(LampState::fromVpk(unshown).flags(), quint16(0));
    for (bool phase : {false, true})
        QVERIFY(litLamps(LampState::fromVpk(unshown), phase).isEmpty());
}

void TestLampState::thresholdLampsBlinkUnlessSteady()
{
    const LampState chBlink = LampState::fromVpk(0x8000);
    QCOMPARE(litLamps(chBlink, true), QVector<Lamp>{LampState::ThresChLamp});
    QVERIFY(litLamps(chBlink, false).isEmpty());

    const LampState coBlink = LampState::fromVpk(0x20000);
    QCOMPARE(litLamps(coBlink, true), QVector<Lamp>{LampState::ThresCoLamp});
    QVERIFY(litLamps(coBlink, false).isEmpty());

    // The steady bit wins over the blinking one, for each gas on its own.
    const LampState both = LampState::fromVpk(0x8000 | 0x10000 | 0x20000 | 0x40000);
    for (bool phase : {false, true})
        QCOMPARE(litLamps(both, phase),
                 (QVector<Lamp>{LampState::ThresCoLamp, LampState::ThresChLamp}));
    const LampState chSteadyCoBlink = LampState::fromVpk(0x10000 | 0x20000);
    QCOMPARE(litLamps(chSteadyCoBlink, false), QVector<Lamp>{LampState::ThresChLamp});
    QCOMPARE(litLamps(chSteadyCoBlink, true),
             (QVector<Lamp>{LampState::ThresCoLamp, LampState::ThresChLamp}));
}

QTEST_APPLESS_MAIN(TestLampState)
#include "tst_lampstate.moc"
