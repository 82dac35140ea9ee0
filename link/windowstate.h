#ifndef WINDOWSTATE_H
#define WINDOWSTATE_H

#include <QObject>
#include <QRect>

class QMainWindow;
class QSettings;
class QTabWidget;

// Remembers a main window's size, position and maximised state, and the tab
// chosen in one tab widget, between runs (per user, under "Tarvik"). Saved
// whenever the window is closed, also when closing only hides it.
class WindowState : public QObject
{
    Q_OBJECT

public:
    // name keeps the programs' entries apart ("editor", "console").
    WindowState(QMainWindow *window, const QString &name, QTabWidget *tabs = nullptr);

    // Puts the window where it was; false when nothing was remembered.
    // A position on no present screen is dropped and the window keeps its
    // own place, with the remembered size bounded by the screen.
    bool restore();
    void save() const;

    // True when some screen shows part of the frame.
    static bool onSomeScreen(const QRect &frame);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString key(const char *entry) const;

    QMainWindow *window;
    QString name;
    QTabWidget *tabs;
};

#endif // WINDOWSTATE_H
