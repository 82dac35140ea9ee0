#ifndef LAMPSTATE_H
#define LAMPSTATE_H

#include <QtGlobal>

// The panel's lamp flags as decoded from the controller's Vpk, and
// which of the nine lamps they light. Plain value, 16 bits.
class LampState
{
public:
    enum Flag : quint16 {
        Work = 1 << 0,
        PressureAlarm = 1 << 1,
        EquipmentAlarm = 1 << 2,
        ChBlink = 1 << 3,
        ChSteady = 1 << 4,
        CoBlink = 1 << 5,
        CoSteady = 1 << 6,
        Fire = 1 << 7,
        Fault = 1 << 8,
        ValveClosed = 1 << 9,
        BreakIn = 1 << 10
    };

    // The nine lamps of the panel.
    enum Lamp {
        JobLamp,
        ThresCoLamp,
        FaultLamp,
        FireLamp,
        ThresChLamp,
        AlarmPLamp,
        BreakingLamp,
        ValveCloseLamp,
        AlarmTLamp,
        LampCount
    };

    LampState() = default;
    static LampState fromVpk(quint32 vpk);

    bool work() const { return has(Work); }
    bool pressureAlarm() const { return has(PressureAlarm); }
    bool equipmentAlarm() const { return has(EquipmentAlarm); }
    bool chBlink() const { return has(ChBlink); }
    bool chSteady() const { return has(ChSteady); }
    bool coBlink() const { return has(CoBlink); }
    bool coSteady() const { return has(CoSteady); }
    bool fire() const { return has(Fire); }
    bool fault() const { return has(Fault); }
    bool valveClosed() const { return has(ValveClosed); }
    bool breakIn() const { return has(BreakIn); }

    // A blinking lamp is lit only in the lit phase; its steady flag wins.
    bool isLit(Lamp lamp, bool blinkPhase) const;

    quint16 flags() const { return bits; }
    void clear() { bits = 0; }

    bool operator==(const LampState &other) const { return bits == other.bits; }
    bool operator!=(const LampState &other) const { return bits != other.bits; }

private:
    bool has(Flag flag) const { return bits & flag; }

    quint16 bits = 0;
};

#endif // LAMPSTATE_H
