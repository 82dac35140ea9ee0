#ifndef LAMPPANEL_H
#define LAMPPANEL_H

#include "controllersnapshot.h"
#include "lampstate.h"

#include <QWidget>

class QLabel;
class QTimer;

// "Пульт": the nine lamps of one controller as the console draws them, from
// the status word its state carries. Each lamp tells accessibility tools its
// caption and whether it is lit, blinking or dark.
class LampPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int BlinkMs = 500;

    explicit LampPanel(QWidget *parent = nullptr);

    // Null: no controller chosen, every lamp dark.
    void setState(const ControllerSnapshot *state);
    LampState lamps() const { return shown; }

    static QString caption(LampState::Lamp lamp);
    // "горит", "мигает" or "не горит".
    static QString describe(const LampState &state, LampState::Lamp lamp);

private:
    void draw();

    struct Lamp
    {
        QLabel *light = nullptr;
        QLabel *caption = nullptr;
    };
    Lamp lampLabels[LampState::LampCount];
    QLabel *title;
    QTimer *blinkTimer;
    LampState shown;
    bool blinkPhase = true;
};

#endif // LAMPPANEL_H
