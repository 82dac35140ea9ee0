#include "lamppanel.h"

#include <QLabel>

LampPanel::LampPanel(const std::array<Lamp, LampState::LampCount> &lamps)
    : lamps(lamps)
{
    pendingLamps.clear();
    shownLamps.clear();
    draw();
}

void LampPanel::tick()
{
    blinkPhase = !blinkPhase;
    shownLamps = pendingLamps;
    draw();
}

void LampPanel::draw()
{
    for (int i = 0; i < LampState::LampCount; ++i) {
        const bool lit = shownLamps.isLit(LampState::Lamp(i), blinkPhase);
        lamps[i].lit->setVisible(lit);
        lamps[i].grey->setVisible(!lit);
    }
}
