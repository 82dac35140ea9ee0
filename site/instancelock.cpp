#include "instancelock.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString systemError(int number)
{
    return QString::fromLocal8Bit(strerror(number));
}

QByteArray readHolder(int fd)
{
    char buffer[32] = {};
    const ssize_t count = pread(fd, buffer, sizeof buffer - 1, 0);
    return count > 0 ? QByteArray(buffer, int(count)).trimmed() : QByteArray();
}

} // namespace

InstanceLock::~InstanceLock()
{
    unlock();
}

QString InstanceLock::lockPathFor(const QString &journalPath)
{
    return journalPath + QStringLiteral(".lock");
}

bool InstanceLock::tryLock(const QString &journalPath)
{
    unlock();
    why.clear();
    const QString lockPath = lockPathFor(journalPath);
    const int opened = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
    if (opened < 0) {
        why = QStringLiteral("Не удаётся создать файл блокировки %1 журнала %2: %3")
                  .arg(lockPath, journalPath, systemError(errno));
        return false;
    }
    if (flock(opened, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        const QByteArray holder = readHolder(opened);
        ::close(opened);
        if (error == EWOULDBLOCK)
            why = QStringLiteral("Журнал %1 уже ведёт другой экземпляр службы (pid %2)")
                      .arg(journalPath, holder.isEmpty() ? QStringLiteral("?") : QString::fromLatin1(holder));
        else
            why = QStringLiteral("Не удаётся заблокировать журнал %1: %2").arg(journalPath, systemError(error));
        return false;
    }
    const QByteArray pid = QByteArray::number(qint64(getpid())) + '\n';
    // Without the pid the lock still holds; only another's refusal text lacks it.
    const bool pidWritten = ftruncate(opened, 0) == 0
        && pwrite(opened, pid.constData(), size_t(pid.size()), 0) == pid.size();
    Q_UNUSED(pidWritten)
    fd = opened;
    return true;
}

void InstanceLock::unlock()
{
    if (fd < 0)
        return;
    ::close(fd); // drops the lock; the file stays, so no one locks a removed one
    fd = -1;
}
