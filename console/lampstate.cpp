#include "lampstate.h"

namespace {

struct VpkBit
{
    quint32 mask;
    LampState::Flag flag;
};

const VpkBit vpkBits[] = {
    { 0x400000, LampState::Work },
    { 0x8, LampState::PressureAlarm },
    { 0x20, LampState::EquipmentAlarm },
    { 0x8000, LampState::ChBlink },
    { 0x10000, LampState::ChSteady },
    { 0x20000, LampState::CoBlink },
    { 0x40000, LampState::CoSteady },
    { 0x4, LampState::Fire },
    { 0x100000, LampState::Fault },
    { 0x200000, LampState::ValveClosed },
    { 0x1, LampState::BreakIn },
};

} // namespace

LampState LampState::fromVpk(quint32 vpk)
{
    LampState state;
    for (const VpkBit &bit : vpkBits) {
        if (vpk & bit.mask)
            state.bits |= bit.flag;
    }
    return state;
}

bool LampState::isLit(Lamp lamp, bool blinkPhase) const
{
    switch (lamp) {
    case JobLamp: return work();
    case ThresCoLamp: return coSteady() || (coBlink() && blinkPhase);
    case FaultLamp: return fault();
    case FireLamp: return fire();
    case ThresChLamp: return chSteady() || (chBlink() && blinkPhase);
    case AlarmPLamp: return pressureAlarm();
    case BreakingLamp: return breakIn();
    case ValveCloseLamp: return valveClosed();
    case AlarmTLamp: return equipmentAlarm();
    case LampCount: break;
    }
    return false;
}
