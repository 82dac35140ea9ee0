#ifndef CONFIGFILE_H
#define CONFIGFILE_H

#include <QByteArray>
#include <QFileDevice>
#include <QString>

class ConfigImage;

// The .vlr file: the image's three blocks back to back, no header. Errors come
// back as Russian text naming the file, ready for a message box.
class ConfigFile
{
public:
    // Written whole through a temporary file, so a failed or interrupted save
    // leaves the old file as it was. In a folder that refuses new files a
    // writable file is rewritten in place instead (a failure then may leave it
    // damaged, and is reported). The result is exactly FileSize bytes.
    static bool save(const QString &path, const ConfigImage &image, QString *error = nullptr);
    // Read-only. A file that cannot be read or is too short is refused and
    // *image is not touched; a longer file gives its first FileSize bytes.
    static bool load(const QString &path, ConfigImage *image, QString *error = nullptr);

    static QByteArray toBytes(const ConfigImage &image);
    // False (image untouched) when bytes is shorter than the file size.
    static bool fromBytes(const QByteArray &bytes, ConfigImage *image);

private:
    static QString saveFailureReason(const QString &path, QFileDevice::FileError fileError,
                                    const QString &systemText);
    static QString openFailureReason(const QString &path, QFileDevice::FileError fileError,
                                    const QString &systemText);
    static void setError(QString *error, const QString &text);
};

#endif // CONFIGFILE_H
