#include "recentfilesmenu.h"

#include <QDir>
#include <QFileInfo>

RecentFilesMenu::RecentFilesMenu(QWidget *parent)
    : QMenu(parent)
{
    setObjectName(QStringLiteral("recentFilesMenu"));
    setToolTipsVisible(true);
    connect(this, &QMenu::aboutToShow, this, &RecentFilesMenu::rebuild);
}

void RecentFilesMenu::rebuild()
{
    clear();
    const QStringList paths = files.paths();
    if (paths.isEmpty())
        addAction(tr("Недавних файлов нет"))->setEnabled(false);
    for (int i = 0; i < paths.size(); ++i) {
        const QString path = paths.at(i);
        // "&1 plant.vlr": the digit picks the entry from the keyboard.
        QAction *entry = addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        entry->setData(path);
        const bool present = RecentFiles::exists(path);
        entry->setEnabled(present);
        entry->setToolTip(present ? QDir::toNativeSeparators(path)
                                  : tr("Файл не найден: %1").arg(QDir::toNativeSeparators(path)));
        connect(entry, &QAction::triggered, this, [this, path] { emit chosen(path); });
    }
    if (paths.isEmpty())
        return;
    addSeparator();
    connect(addAction(tr("Очистить список")), &QAction::triggered, this, [this] { files.clear(); });
}
