#ifndef SITEWORKER_H
#define SITEWORKER_H

#include "alarmtype.h"
#include "linkworker.h"
#include "poller.h"

#include <QHash>

#include <QVector>

#include <atomic>
#include <memory>

class WatchedLink;

// The worker of one line of a site (a serial port, or a Modbus TCP gateway
// and the units behind it): polls its controllers in turn
// (each one's three poll steps, then the next; a current event announced in
// a turn is fetched within it), each with its own readers,
// which keep their state for the whole process. A controller that fails the
// line-failure rule is reported lost and tried again every 10 s while the
// others go on; polling ends only when the window ends it.
//
// Controllers are named by the window's id (its index in the list).
class SiteWorker : public LinkWorker
{
    Q_OBJECT

public:
    static constexpr int RetryIntervalMs = 10000;

    struct Station
    {
        int id;
        int slave;
    };

    explicit SiteWorker(const QVector<Station> &stations, QObject *parent = nullptr);
    ~SiteWorker() override;

    QVector<int> ids() const;
    QString lineName() const { return name; }
    void setLineName(const QString &lineName) { name = lineName; }

    // Each controller's readers by its slave address; only while the
    // thread is not running.
    QHash<int, Poller::Memory> memories() const;
    void resumeFrom(const QHash<int, Poller::Memory> &memories);

    // Moves with every request and every pass of the loop, answered or not;
    // still only while the worker is parked or stuck. Any thread.
    quint64 progress() const { return steps; }
    // For tests: the worker stops making progress (a hang) until stopped.
    void setHangForTests(bool hang) { hangs = hang; }

    // Called from the window's thread.
    void pause();
    void requestReset(int id);
    // For tests: shortens the wait before a lost controller is tried again.
    void setRetryInterval(int milliseconds) { retryMs = milliseconds; }

signals:
    void eventRead(int id, bool current, AlarmType alarm);
    void listCleared(int id, bool current);
    void vpkRead(int id, quint32 vpk);
    void answeringChanged(int id, bool answering); // the last request's outcome changed
    void linkLost(int id);                         // the line-failure rule was met
    void linkRestored(int id);                     // a lost controller answered again

protected:
    bool hasJob() override;
    void runJob(RegisterLink &link) override;
    void onPark() override;
    void onOpenFailed() override;
    void onResume() override;
    void onStop() override;

private:
    class Unit;

    void pollUnit(Unit &unit, WatchedLink &link);
    bool allWaiting() const;

    std::vector<std::unique_ptr<Unit>> units;
    std::atomic<bool> halted{false};
    std::atomic<int> retryMs{RetryIntervalMs};
    std::atomic<quint64> steps{0};
    std::atomic<bool> hangs{false};
    QString name;
};

#endif // SITEWORKER_H
