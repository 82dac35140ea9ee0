#include "databasefile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

// The time in the name keeps every set-aside file; the file's WAL goes with it.
QString DatabaseFile::setAside(const QString &path, const QString &label)
{
    const QFileInfo info(path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside;
    for (int n = 0; aside.isEmpty() || QFileInfo::exists(aside); ++n) {
        aside = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') + label
            + QLatin1Char('-') + stamp + (n ? QStringLiteral("-%1").arg(n) : QString())
            + (info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix());
    }
    if (!QFile::rename(path, aside))
        return QString();
    QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    return aside;
}
