#include "serialportlock.h"

#include <QFile>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

QString SerialPortLock::busyText(const QString &devicePath)
{
    return QStringLiteral("Порт %1 занят другой программой!\n Опрос завершен.").arg(devicePath);
}

#ifdef Q_OS_WIN

SerialPortLock::~SerialPortLock() = default;

SerialPortLock::Result SerialPortLock::acquire(const QString &)
{
    return Locked;
}

void SerialPortLock::makeExclusive()
{
}

#else

SerialPortLock::~SerialPortLock()
{
    if (fd < 0)
        return;
    ioctl(fd, TIOCNXCL);
    ::close(fd);
}

// Non-blocking, so a line without carrier does not hold the open.
SerialPortLock::Result SerialPortLock::acquire(const QString &devicePath)
{
    const QByteArray path = QFile::encodeName(devicePath);
    const int opened = path.isEmpty() ? -1 : ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (opened < 0)
        return errno == EBUSY ? Busy : NotOpened; // EBUSY: another holds TIOCEXCL
    // A device without advisory locks still gets TIOCEXCL.
    if (flock(opened, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(opened);
        return Busy;
    }
    fd = opened;
    return Locked;
}

void SerialPortLock::makeExclusive()
{
    if (fd >= 0)
        ioctl(fd, TIOCEXCL);
}

#endif
