#ifndef HELPWINDOW_H
#define HELPWINDOW_H

#include <QDialog>
#include <QStringList>

class QAction;
class QMainWindow;
class QTextBrowser;
class QToolBar;

// The user guide (docs/guide.ru.md with its pictures) in a window of its own,
// opened by "Справка" or F1 in either program.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Adds "Справка" (F1) to the window and at the end of its tool bar.
    static QAction *addTo(QMainWindow *window, QToolBar *bar);

    // Where the guide is looked for: installed first, then beside the sources.
    static QStringList candidates();
    static QString locate();

    // Shows the guide; false (after telling the user) when it is not there.
    bool showGuide();
    QTextBrowser *browser() const { return view; }

private:
    QTextBrowser *view;
};

#endif // HELPWINDOW_H
