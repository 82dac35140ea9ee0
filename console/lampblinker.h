#ifndef LAMPBLINKER_H
#define LAMPBLINKER_H

#include "lampstate.h"

#include <array>

class QLabel;

// The nine lamps of "Пульт": each a grey and a lit picture, one of them
// shown. What the last Vpk says waits for the next blink tick.
class LampBlinker
{
public:
    struct Lamp
    {
        QLabel *grey;
        QLabel *lit;
    };

    explicit LampBlinker(const std::array<Lamp, LampState::LampCount> &lamps);

    void setPending(const LampState &state) { pendingLamps = state; }
    LampState pending() const { return pendingLamps; }
    void tick(); // the next blink phase, with the pending state

private:
    void draw();

    std::array<Lamp, LampState::LampCount> lamps;
    LampState pendingLamps;
    LampState shownLamps;
    bool blinkPhase = false;
};

#endif // LAMPBLINKER_H
