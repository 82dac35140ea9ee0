#ifndef RECENTFILESMENU_H
#define RECENTFILESMENU_H

#include "recentfiles.h"

#include <QMenu>

// Open's drop-down: the recent files, newest first, the missing ones greyed
// out. Rebuilt each time it opens, so a file deleted meanwhile shows greyed.
class RecentFilesMenu : public QMenu
{
    Q_OBJECT

public:
    explicit RecentFilesMenu(QWidget *parent = nullptr);

    void add(const QString &path) { files.add(path); }
    QStringList paths() const { return files.paths(); }
    // Fills the entries now (also done on every opening).
    void rebuild();

signals:
    void chosen(const QString &path);

private:
    RecentFiles files;
};

#endif // RECENTFILESMENU_H
