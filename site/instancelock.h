#ifndef INSTANCELOCK_H
#define INSTANCELOCK_H

#include <QString>

// One service per journal: an advisory lock on "<journal>.lock", held until
// this object goes. The kernel drops it when the process dies, so a killed
// service never blocks its successor, and a second process is refused
// whatever its user (root included).
class InstanceLock
{
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    bool tryLock(const QString &journalPath);
    void unlock();
    bool isLocked() const { return fd >= 0; }
    // Why tryLock() failed, one line naming the journal.
    QString problem() const { return why; }

    static QString lockPathFor(const QString &journalPath);

private:
    int fd = -1;
    QString why;
};

#endif // INSTANCELOCK_H
