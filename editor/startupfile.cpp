#include "startupfile.h"

#include <QFileInfo>
#include <QTextCodec>

namespace {

QString &storedName()
{
    static QString fileName;
    return fileName;
}

} // namespace

QString StartupFile::name()
{
    return storedName();
}

void StartupFile::setName(const QString &fileName)
{
    storedName() = fileName;
}

QString StartupFile::existingName()
{
    const QString fileName = storedName();
    if (fileName.length() <= 4 || !QFileInfo(fileName).isFile())
        return QString();
    return fileName;
}

QString StartupFile::fromArgument(const char *argument)
{
    if (!argument)
        return QString();
#ifdef Q_OS_WIN
    return fromCp1251(QByteArray(argument));
#else
    return QString::fromLocal8Bit(argument);
#endif
}

QString StartupFile::fromCp1251(const QByteArray &bytes)
{
    // Without the codec a Latin name still opens; better than no name at all.
    QTextCodec *codec = QTextCodec::codecForName("CP1251");
    return codec ? codec->toUnicode(bytes) : QString::fromLatin1(bytes);
}
