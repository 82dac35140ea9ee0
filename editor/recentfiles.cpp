#include "recentfiles.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString ListKey = QStringLiteral("editor/recentFiles");

QSettings openStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QStringLiteral("Tarvik"), QStringLiteral("Desktop"));
}

} // namespace

RecentFiles::RecentFiles()
    : list(openStore().value(ListKey).toStringList())
{
    list.removeAll(QString());
    list = list.mid(0, Limit);
}

void RecentFiles::add(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    list.removeAll(absolute);
    list.prepend(absolute);
    list = list.mid(0, Limit);
    store();
}

void RecentFiles::clear()
{
    list.clear();
    store();
}

bool RecentFiles::exists(const QString &path)
{
    return QFileInfo(path).isFile();
}

void RecentFiles::store() const
{
    QSettings store = openStore();
    store.setValue(ListKey, list);
}
