#ifndef SHORTCUTTIPS_H
#define SHORTCUTTIPS_H

#include <QObject>

class QAction;
class QToolBar;

// A tool bar button's tip names its key, "Открыть файл (Ctrl+O)", while the
// action keeps its own tool tip (which a window may change as it runs).
class ShortcutTips : public QObject
{
    Q_OBJECT

public:
    // Covers the buttons the bar has now.
    static void install(QToolBar *bar);
    // The action's tool tip with its first key sequence, as the user sees it.
    static QString tipOf(const QAction *action);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ShortcutTips(QObject *parent);
};

#endif // SHORTCUTTIPS_H
