#include "demoscript.h"

#include "controllerstate.h"

namespace {

// Device event codes and the controller's "Авария котла 1" input name code.
constexpr quint8 ChThreshold1 = 0;
constexpr quint8 ChThreshold2 = 1;
constexpr quint8 CoThreshold1 = 2;
constexpr quint8 SensorFault = 4;
constexpr quint8 DeviceFire = 9;
constexpr quint8 BoilerAlarm1 = 25;
constexpr int BoilerCount = 5;
constexpr int InputCount = 24;

} // namespace

DemoScript::DemoScript(quint32 seed)
    : random(seed)
{
}

void DemoScript::step(ControllerState &state, const QDateTime &now)
{
    const int current = state.currentEvents().size();
    const bool clearOne = current > 0
        && (current >= MaxCurrentEvents || random.bounded(100) < 35);
    if (clearOne)
        state.removeCurrentEvent(random.bounded(current));
    else
        raise(state, now);
}

void DemoScript::raise(ControllerState &state, const QDateTime &now)
{
    const quint16 sensor = SimEvent::deviceSource(1 + random.bounded(SensorAddresses));
    const int roll = random.bounded(100);
    SimEvent event;
    if (roll < 30)
        event = SimEvent::at(sensor, ChThreshold1, now);
    else if (roll < 45)
        event = SimEvent::at(sensor, ChThreshold2, now);
    else if (roll < 60)
        event = SimEvent::at(sensor, CoThreshold1, now);
    else if (roll < 70)
        event = SimEvent::at(sensor, SensorFault, now);
    else if (roll < 90)
        event = SimEvent::at(quint16(random.bounded(InputCount)),
                             quint8(BoilerAlarm1 + random.bounded(BoilerCount)), now);
    else
        event = SimEvent::at(sensor, DeviceFire, now);
    state.addCurrentEvent(event);
}
