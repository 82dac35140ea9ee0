#include "alarmfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString AlarmFile::fileName()
{
    return QStringLiteral("Alarm.wav");
}

QStringList AlarmFile::candidates()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList paths{QDir::current().absoluteFilePath(fileName()),
                      QDir(programDir).absoluteFilePath(fileName()),
                      QDir::cleanPath(programDir + QStringLiteral("/../share/tarvik/") + fileName())};
    const QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     QStringLiteral("tarvik/") + fileName());
    if (!installed.isEmpty())
        paths << QFileInfo(installed).absoluteFilePath();
    paths.removeDuplicates();
    return paths;
}

QString AlarmFile::locate()
{
    for (const QString &path : candidates()) {
        const QFileInfo info(path);
        if (info.isFile() && info.isReadable())
            return path;
    }
    return QString();
}
