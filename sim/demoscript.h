#ifndef DEMOSCRIPT_H
#define DEMOSCRIPT_H

#include <QDateTime>
#include <QRandomGenerator>

class ControllerState;

// Makes a simulated controller look alive: each step either raises a plausible
// event (a gas threshold or fault on an addressed sensor, a boiler alarm on a
// discrete input, a fire) or lets one current event clear again. New events
// also go to the log.
class DemoScript
{
public:
    static constexpr int MaxCurrentEvents = 4;
    static constexpr int SensorAddresses = 12;

    explicit DemoScript(quint32 seed);
    void step(ControllerState &state, const QDateTime &now);

private:
    void raise(ControllerState &state, const QDateTime &now);

    QRandomGenerator random;
};

#endif // DEMOSCRIPT_H
