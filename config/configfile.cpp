#include "configfile.h"
#include "configimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cstring>

namespace {

QString shownName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The system's own words, when it has any, follow our Russian summary.
QString withSystemText(const QString &summary, const QString &systemText)
{
    const QString text = systemText.trimmed();
    if (text.isEmpty() || text == QLatin1String("Unknown error"))
        return summary;
    return QStringLiteral("%1 (%2)").arg(summary, text);
}

} // namespace

QByteArray ConfigFile::toBytes(const ConfigImage &image)
{
    QByteArray bytes;
    bytes.reserve(ConfigImage::FileSize);
    bytes.append(reinterpret_cast<const char *>(image.MainBlock), ConfigImage::MainSize);
    bytes.append(reinterpret_cast<const char *>(image.PhoneBlock), ConfigImage::PhoneSize);
    bytes.append(reinterpret_cast<const char *>(image.ClockBlock), ConfigImage::ClockSize);
    return bytes;
}

bool ConfigFile::fromBytes(const QByteArray &bytes, ConfigImage *image)
{
    if (!image || bytes.size() < ConfigImage::FileSize)
        return false;
    const char *data = bytes.constData();
    std::memcpy(image->MainBlock, data, ConfigImage::MainSize);
    data += ConfigImage::MainSize;
    std::memcpy(image->PhoneBlock, data, ConfigImage::PhoneSize);
    data += ConfigImage::PhoneSize;
    std::memcpy(image->ClockBlock, data, ConfigImage::ClockSize);
    return true;
}

bool ConfigFile::save(const QString &path, const ConfigImage &image, QString *error)
{
    const QString failure = QStringLiteral("Не удалось сохранить файл «%1»: %2.");
    if (path.isEmpty()) {
        setError(error, failure.arg(QString(), QStringLiteral("не задано имя файла")));
        return false;
    }
    QSaveFile file(path);
    // A folder that refuses new files still lets a writable file in it be
    // rewritten in place; only then is the save not atomic.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, failure.arg(shownName(path),
                                    saveFailureReason(path, file.error(), file.errorString())));
        return false;
    }
    const QByteArray bytes = toBytes(image);
    // A short write leaves no error behind, so it must be cancelled before
    // commit(), or the truncated copy would replace the old file.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QFileDevice::FileError writeError = file.error();
        const QString writeText = file.errorString();
        file.cancelWriting();
        file.commit();
        setError(error, failure.arg(shownName(path), saveFailureReason(path, writeError, writeText)));
        return false;
    }
    if (!file.commit()) {
        setError(error, failure.arg(shownName(path),
                                    saveFailureReason(path, file.error(), file.errorString())));
        return false;
    }
    const qint64 written = QFileInfo(path).size();
    if (written != ConfigImage::FileSize) {
        setError(error, failure.arg(shownName(path),
                                    QStringLiteral("в файле %1 байт вместо %2")
                                        .arg(written).arg(ConfigImage::FileSize)));
        return false;
    }
    return true;
}

bool ConfigFile::load(const QString &path, ConfigImage *image, QString *error)
{
    if (!image)
        return false;
    const QString failure = QStringLiteral("Не удалось открыть файл «%1»: %2.");
    QFile file(path);
    if (path.isEmpty() || QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        setError(error, failure.arg(shownName(path),
                                    openFailureReason(path, file.error(), file.errorString())));
        return false;
    }
    QByteArray bytes;
    while (bytes.size() < ConfigImage::FileSize) {
        const QByteArray chunk = file.read(ConfigImage::FileSize - bytes.size());
        if (chunk.isEmpty())
            break;
        bytes.append(chunk);
    }
    if (file.error() != QFileDevice::NoError) {
        setError(error, failure.arg(shownName(path),
                                    openFailureReason(path, file.error(), file.errorString())));
        return false;
    }
    if (!fromBytes(bytes, image)) {
        setError(error, QStringLiteral("Файл «%1» слишком короткий (%2 байт из %3) "
                                       "и не является файлом конфигурации.")
                            .arg(shownName(path))
                            .arg(bytes.size())
                            .arg(ConfigImage::FileSize));
        return false;
    }
    return true;
}

QString ConfigFile::saveFailureReason(const QString &path, QFileDevice::FileError fileError,
                                      const QString &systemText)
{
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (target.isDir())
        return QStringLiteral("по этому пути находится папка");
    if (!folder.exists() || !folder.isDir())
        return QStringLiteral("папка «%1» не существует").arg(shownName(folder.filePath()));
    if (fileError == QFileDevice::ResourceError
        || QStorageInfo(folder.absoluteFilePath()).bytesAvailable() < ConfigImage::FileSize)
        return QStringLiteral("на диске не хватает места");
    if (target.exists() && !target.isWritable())
        return QStringLiteral("файл защищён от записи");
    if (!folder.isWritable())
        return QStringLiteral("нет прав на запись в папку «%1»").arg(shownName(folder.filePath()));
    if (fileError == QFileDevice::WriteError)
        return withSystemText(QStringLiteral("ошибка записи на диск"), systemText);
    return withSystemText(QStringLiteral("ошибка записи"), systemText);
}

QString ConfigFile::openFailureReason(const QString &path, QFileDevice::FileError fileError,
                                      const QString &systemText)
{
    const QFileInfo target(path);
    if (path.isEmpty())
        return QStringLiteral("не задано имя файла");
    if (!target.exists())
        return QStringLiteral("файл не найден");
    if (target.isDir())
        return QStringLiteral("это папка, а не файл");
    if (!target.isReadable())
        return QStringLiteral("нет прав на чтение файла");
    if (fileError == QFileDevice::ReadError)
        return withSystemText(QStringLiteral("ошибка чтения с диска"), systemText);
    return withSystemText(QStringLiteral("ошибка чтения"), systemText);
}

void ConfigFile::setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}
