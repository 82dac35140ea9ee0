#ifndef WINDOWFORMS_H
#define WINDOWFORMS_H

class ConfigImage;
class QObject;

namespace Ui {
class MainWindow;
}

// The window's forms outside the tables: polling mode, relay positions,
// telephone numbers, clock; their bindings to the image and the widths they
// take from the desktop's font. The window calls it after its tables.
class WindowForms
{
public:
    WindowForms(Ui::MainWindow *form, ConfigImage &image);

    void refresh();
    void gather();

    // The assignment boxes' first choices, "Пожар" for the input name.
    void setInitialSelections();
    void installPhoneValidator(QObject *owner);
    // While "Системное время" is checked the editors show the computer's clock.
    void followSystemClock();

    // Widths of fields and groups from the desktop's font; after every refresh.
    void fitForms();
    // The sensor row keeps to the visible width; on every resize of the view.
    void fitSensorsToView();

private:
    void refreshPhones();
    void gatherPhones();
    void refreshRelayPositions();
    void gatherRelayPositions();
    void refreshPollingMode();
    void gatherPollingMode();
    void refreshClock();
    void gatherClock();

    Ui::MainWindow *ui;
    ConfigImage &image;
    bool formsFitted = false; // fitForms() has sized the number fields and groups once
};

#endif // WINDOWFORMS_H
