#include "helpwindow.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString GuideName = QStringLiteral("guide.ru.md");

} // namespace

HelpWindow::HelpWindow(QWidget *parent)
    : QDialog(parent)
    , view(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(tr("Справка"));
    view->setObjectName(QStringLiteral("helpBrowser"));
    view->setOpenExternalLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view);
    resize(860, 700);
}

QStringList HelpWindow::candidates()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList paths{QDir::cleanPath(programDir + QStringLiteral("/../share/tarvik/guide/") + GuideName)};
    const QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     QStringLiteral("tarvik/guide/") + GuideName);
    if (!installed.isEmpty())
        paths << QFileInfo(installed).absoluteFilePath();
#ifdef TARVIK_DOCS_DIR
    // A program run from its build folder reads the guide of its sources.
    paths << QDir(QStringLiteral(TARVIK_DOCS_DIR)).absoluteFilePath(GuideName);
#endif
    paths.removeDuplicates();
    return paths;
}

QString HelpWindow::locate()
{
    for (const QString &path : candidates()) {
        const QFileInfo info(path);
        if (info.isFile() && info.isReadable())
            return path;
    }
    return QString();
}

bool HelpWindow::showGuide()
{
    const QString path = locate();
    if (path.isEmpty()) {
        QMessageBox::warning(parentWidget(), tr("Справка"),
                             tr("Руководство пользователя не найдено. Искали:\n%1")
                                 .arg(candidates().join(QLatin1Char('\n'))));
        return false;
    }
    view->setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
    return true;
}

QAction *HelpWindow::addTo(QMainWindow *window, QToolBar *bar)
{
    auto *action = new QAction(window->style()->standardIcon(QStyle::SP_DialogHelpButton),
                               tr("Справка"), window);
    action->setObjectName(QStringLiteral("actionHelp"));
    action->setToolTip(tr("Справка"));
    action->setShortcuts(QKeySequence::HelpContents);
    window->addAction(action);
    if (bar)
        bar->addAction(action);
    QObject::connect(action, &QAction::triggered, window, [window] {
        auto *help = window->findChild<HelpWindow *>(QString(), Qt::FindDirectChildrenOnly);
        if (!help)
            help = new HelpWindow(window);
        help->showGuide();
    });
    return action;
}
