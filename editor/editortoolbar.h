#ifndef EDITORTOOLBAR_H
#define EDITORTOOLBAR_H

class QMainWindow;
class QMenu;

namespace Ui {
class MainWindow;
}

// The editor's tool bar beyond its form: the desktop's own keys for the file
// commands (Save As has none on Windows), F5 for Read, F1 for the guide, all
// named in the tips; the recent files under Open's arrow and the record of
// writes under Write's.
class EditorToolBar
{
public:
    static void setUp(QMainWindow *window, Ui::MainWindow *form, QMenu *recentFiles);

private:
    static void setUpKeys(Ui::MainWindow *form);
    static void setUpWriteMenu(QMainWindow *window, Ui::MainWindow *form);
};

#endif // EDITORTOOLBAR_H
