#include "editortoolbar.h"
#include "ui_mainwindow.h"

#include "helpwindow.h"
#include "shortcuttips.h"
#include "writerecorder.h"

#include <QMenu>
#include <QToolButton>

namespace {

void popUpOnArrow(QToolBar *toolBar, QAction *action, QMenu *menu)
{
    action->setMenu(menu);
    if (auto *button = qobject_cast<QToolButton *>(toolBar->widgetForAction(action)))
        button->setPopupMode(QToolButton::MenuButtonPopup);
}

} // namespace

void EditorToolBar::setUp(QMainWindow *window, Ui::MainWindow *form, QMenu *recentFiles)
{
    setUpKeys(form);
    HelpWindow::addTo(window, form->mainToolBar);
    popUpOnArrow(form->mainToolBar, form->actionOpenFile, recentFiles);
    setUpWriteMenu(window, form);
    ShortcutTips::install(form->mainToolBar);
}

void EditorToolBar::setUpKeys(Ui::MainWindow *form)
{
    form->actionNewFile->setShortcuts(QKeySequence::New);
    form->actionOpenFile->setShortcuts(QKeySequence::Open);
    form->actionSaveFile->setShortcuts(QKeySequence::Save);
    const QList<QKeySequence> saveAs = QKeySequence::keyBindings(QKeySequence::SaveAs);
    form->actionSaveFileAll->setShortcuts(
        saveAs.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)} : saveAs);
    form->actionRead->setShortcut(QKeySequence(Qt::Key_F5));
}

// Beside the write it is about; the read-first choice is kept between runs.
void EditorToolBar::setUpWriteMenu(QMainWindow *window, Ui::MainWindow *form)
{
    auto *menu = new QMenu(window);
    menu->addAction(form->actionReadBeforeWrite);
    menu->addSeparator();
    menu->addActions({form->actionHistory, form->actionProtocol, form->actionEngineer});
    popUpOnArrow(form->mainToolBar, form->actionWrite, menu);
    form->actionReadBeforeWrite->setChecked(WriteRecorder::readFirst());
    QObject::connect(form->actionReadBeforeWrite, &QAction::toggled, window, &WriteRecorder::setReadFirst);
}
