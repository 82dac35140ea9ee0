#include "lampstate.h"

#include "registermap.h"

namespace {

struct VpkBit
{
    quint32 mask;
    LampState::Flag flag;
};

const VpkBit vpkBits[] = {
    { RegisterMap::Vpk::Work, LampState::Work },
    { RegisterMap::Vpk::PressureAlarm, LampState::PressureAlarm },
    { RegisterMap::Vpk::EquipmentAlarm, LampState::EquipmentAlarm },
    { RegisterMap::Vpk::ChThreshold1, LampState::ChBlink },
    { RegisterMap::Vpk::ChThreshold2, LampState::ChSteady },
    { RegisterMap::Vpk::CoThreshold1, LampState::CoBlink },
    { RegisterMap::Vpk::CoThreshold2, LampState::CoSteady },
    { RegisterMap::Vpk::Fire, LampState::Fire },
    { RegisterMap::Vpk::Fault, LampState::Fault },
    { RegisterMap::Vpk::ValveClosed, LampState::ValveClosed },
    { RegisterMap::Vpk::BreakIn, LampState::BreakIn },
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
