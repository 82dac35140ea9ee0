#ifndef FORMARRANGEMENT_H
#define FORMARRANGEMENT_H

#include <QList>

class QGridLayout;
class QScrollArea;
class QWidget;

namespace Ui {
class MainWindow;
}

// Places the editor's groups for the width the window has. Wide: the valve
// group ("Клапан") beside the discrete inputs, as drawn. Narrow (an office
// laptop's 1366 or 1280 pixels): the valve group under the inputs and the
// GSM group taller beside it, so nothing lies past the right edge. Only grid
// cells change; every widget keeps its name and parent.
class FormArrangement
{
public:
    explicit FormArrangement(Ui::MainWindow *form);

    // Picks the arrangement for the scroll area's present width; true if it changed.
    bool fitToView();
    bool isNarrow() const { return narrow; }
    // Least width the wide arrangement needs, from the groups' own minimums.
    int wideWidth() const;

    // Tab goes through the groups as one reads the form: the left column
    // (mode, clock, relays, GSM), the inputs, the valves, the sensors; inside
    // a group row by row. The same in both arrangements. Tab leaves tables.
    void applyTabOrder();
    static QList<QWidget *> focusStops(const QWidget *group);

private:
    void place(bool narrowForm);
    int availableWidth() const;

    QScrollArea *area;
    QGridLayout *grid;
    QWidget *mode;       // "Режим опроса"
    QWidget *clock;      // "Дата и время"
    QWidget *relays;     // "Положение реле"
    QWidget *phones;     // "GSM"
    QWidget *inputs;     // "Дискретные входа"
    QWidget *valves;     // "Клапан"
    QWidget *sensors;    // "Датчики"
    bool narrow = false;
};

#endif // FORMARRANGEMENT_H
