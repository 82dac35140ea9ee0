#include "servicenotifier.h"

#include <QLoggingCategory>

#include <systemd/sd-daemon.h>

#include <time.h>

namespace {

Q_LOGGING_CATEGORY(notifyLog, "tarvik.site.notify")

QByteArray monotonicMicroseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return QByteArray::number(qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
}

} // namespace

void ServiceNotifier::ready()
{
    notify("READY=1");
}

// The time stamp lets a manager that waits for the reload to finish tell
// this message from an older one.
void ServiceNotifier::reloading()
{
    notify("RELOADING=1\nMONOTONIC_USEC=" + monotonicMicroseconds());
}

void ServiceNotifier::stopping()
{
    notify("STOPPING=1");
}

// A newline would start another assignment: the status is one line.
void ServiceNotifier::status(const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    notify("STATUS=" + line.toUtf8());
}

std::chrono::milliseconds ServiceNotifier::watchdogInterval() const
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0)
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(qMax<uint64_t>(1, usec / 1000));
}

void ServiceNotifier::watchdogPing()
{
    notify("WATCHDOG=1");
}

void ServiceNotifier::notify(const QByteArray &state)
{
    const int result = sd_notify(0, state.constData());
    if (result < 0)
        qCWarning(notifyLog, "sd_notify failed: %s", strerror(-result));
}
