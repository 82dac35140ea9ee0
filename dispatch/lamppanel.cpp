#include "lamppanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

namespace {

// As the console's panel captions have them ("Порог СH" ends in a Latin H).
const char *const Captions[LampState::LampCount] = {
    "Работа", "Порог СО", "Неисправность", "Пожар", "Порог СH",
    "Авария давления воды, газа", "Взлом", "Клапан закрыт", "Авария тех. оборудования",
};

QString litImage(LampState::Lamp lamp)
{
    switch (lamp) {
    case LampState::JobLamp: return QStringLiteral(":/images/LedGreen.png");
    case LampState::FaultLamp: return QStringLiteral(":/images/LedYellow.png");
    default: return QStringLiteral(":/images/LedRed.png");
    }
}

} // namespace

LampPanel::LampPanel(QWidget *parent)
    : QWidget(parent), title(new QLabel(this)), blinkTimer(new QTimer(this))
{
    auto *grid = new QGridLayout(this);
    grid->addWidget(title, 0, 0, 1, 2);
    for (int i = 0; i < LampState::LampCount; ++i) {
        Lamp &lamp = lampLabels[i];
        lamp.light = new QLabel(this);
        lamp.light->setFixedSize(24, 24);
        lamp.light->setScaledContents(true);
        lamp.caption = new QLabel(caption(LampState::Lamp(i)), this);
        lamp.caption->setBuddy(lamp.light);
        grid->addWidget(lamp.light, i + 1, 0);
        grid->addWidget(lamp.caption, i + 1, 1);
    }
    grid->setRowStretch(LampState::LampCount + 1, 1);
    blinkTimer->setInterval(BlinkMs);
    connect(blinkTimer, &QTimer::timeout, this, [this] {
        blinkPhase = !blinkPhase;
        draw();
    });
    setState(nullptr);
}

QString LampPanel::caption(LampState::Lamp lamp)
{
    return QString::fromUtf8(Captions[lamp]);
}

QString LampPanel::describe(const LampState &state, LampState::Lamp lamp)
{
    if (state.isLit(lamp, false))
        return tr("горит");
    return state.isLit(lamp, true) ? tr("мигает") : tr("не горит");
}

void LampPanel::setState(const ControllerSnapshot *state)
{
    shown = state ? LampState::fromVpk(state->vpk) : LampState();
    title->setText(state ? tr("Пульт: %1").arg(state->name) : tr("Пульт: контроллер не выбран"));
    bool blinking = false;
    for (int i = 0; i < LampState::LampCount; ++i)
        blinking = blinking || (shown.isLit(LampState::Lamp(i), true) && !shown.isLit(LampState::Lamp(i), false));
    // Only a blinking lamp needs the timer: an idle window wakes nobody.
    if (blinking && !blinkTimer->isActive())
        blinkTimer->start();
    else if (!blinking)
        blinkTimer->stop();
    draw();
}

void LampPanel::draw()
{
    for (int i = 0; i < LampState::LampCount; ++i) {
        const auto lamp = LampState::Lamp(i);
        const bool lit = shown.isLit(lamp, blinkPhase);
        Lamp &labels = lampLabels[i];
        labels.light->setPixmap(QPixmap(lit ? litImage(lamp) : QStringLiteral(":/images/LedGrey.png")));
        labels.light->setAccessibleName(caption(lamp));
        labels.light->setAccessibleDescription(describe(shown, lamp));
    }
}
