#ifndef PROGRESSWATCHDOG_H
#define PROGRESSWATCHDOG_H

#include <QObject>
#include <QTimer>
#include <QVector>

#include <functional>

class ServiceNotifier;

// Feeds the service manager's watchdog only while the service does its job:
// every half interval it checks that each registered line's progress counter
// has moved since the last check, and pings only then. A line that stalls
// stops the pings (the manager restarts the service) and is logged once. A
// line's counter must therefore move at least once per half interval while
// its worker is alive, also while its controllers do not answer.
class ProgressWatchdog : public QObject
{
    Q_OBJECT

public:
    explicit ProgressWatchdog(ServiceNotifier &notifier, QObject *parent = nullptr);

    // Called on this object's thread; progress() is called there too and
    // must be thread-safe towards the worker (an atomic read).
    void registerLine(const QString &name, std::function<quint64()> progress);
    void unregisterAll();

    // Starts checking when the manager asked for a watchdog; false otherwise.
    bool start();
    void stop() { timer.stop(); }
    bool isActive() const { return timer.isActive(); }

    // One check, as the timer makes it; true when it pinged.
    bool check();

private:
    struct Line
    {
        QString name;
        std::function<quint64()> progress;
        quint64 lastSeen = 0;
    };

    ServiceNotifier &notifier;
    QTimer timer;
    QVector<Line> lines;
    QString stalledLine; // the one logged, so it is logged once
};

#endif // PROGRESSWATCHDOG_H
