#include "lampblinker.h"

#include <QLabel>

LampBlinker::LampBlinker(const std::array<Lamp, LampState::LampCount> &lamps)
    : lamps(lamps)
{
    pendingLamps.clear();
    shownLamps.clear();
    draw();
}

void LampBlinker::tick()
{
    blinkPhase = !blinkPhase;
    shownLamps = pendingLamps;
    draw();
}

void LampBlinker::draw()
{
    for (int i = 0; i < LampState::LampCount; ++i) {
        const bool lit = shownLamps.isLit(LampState::Lamp(i), blinkPhase);
        lamps[i].lit->setVisible(lit);
        lamps[i].grey->setVisible(!lit);
    }
}
