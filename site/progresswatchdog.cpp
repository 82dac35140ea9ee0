#include "progresswatchdog.h"

#include "servicenotifier.h"

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(watchdogLog, "tarvik.site.watchdog")
}

ProgressWatchdog::ProgressWatchdog(ServiceNotifier &notifier, QObject *parent)
    : QObject(parent), notifier(notifier)
{
    connect(&timer, &QTimer::timeout, this, &ProgressWatchdog::check);
}

void ProgressWatchdog::registerLine(const QString &name, std::function<quint64()> progress)
{
    Line line {name, std::move(progress), 0};
    line.lastSeen = line.progress();
    lines << line;
}

void ProgressWatchdog::unregisterAll()
{
    lines.clear();
    stalledLine.clear();
}

bool ProgressWatchdog::start()
{
    const std::chrono::milliseconds interval = notifier.watchdogInterval();
    if (interval.count() == 0)
        return false;
    timer.start(qMax<std::chrono::milliseconds>(interval / 2, std::chrono::milliseconds(1)));
    return true;
}

bool ProgressWatchdog::check()
{
    QString stalled;
    for (Line &line : lines) {
        const quint64 now = line.progress();
        if (now == line.lastSeen && stalled.isEmpty())
            stalled = line.name;
        line.lastSeen = now;
    }
    if (!stalled.isEmpty()) {
        if (stalledLine.isEmpty())
            qCCritical(watchdogLog, "Линия %s не продвигается: сигналы сторожевому таймеру прекращены",
                       qUtf8Printable(stalled));
        stalledLine = stalled;
        return false;
    }
    if (!stalledLine.isEmpty()) {
        qCInfo(watchdogLog, "Линия %s снова продвигается", qUtf8Printable(stalledLine));
        stalledLine.clear();
    }
    notifier.watchdogPing();
    return true;
}
