#ifndef SITESESSION_H
#define SITESESSION_H

#include "alarmtype.h"
#include "controllerlist.h"
#include "controllerstatus.h"
#include "siteworker.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <vector>


// Polling a whole site: one SiteWorker per line (a serial port or a Modbus
// TCP gateway), all in parallel, and what is known of each controller.
// Controllers are named by their index in the list. Workers live as long as
// the session, so their readers keep their state across pauses. No widgets:
// the window binds to the signals.
class SiteSession : public QObject
{
    Q_OBJECT

public:
    explicit SiteSession(const ControllerList &controllers, QObject *parent = nullptr);
    ~SiteSession() override;

    const ControllerList &controllers() const { return list; }
    QString name(int id) const { return list.at(id).name; }
    QVector<int> polledIds() const { return list.polled(); }

    void start();
    void pause();
    void requestStop(); // for the application's end; workersFinished() follows
    void stop();        // the same, waiting for the workers
    bool isRunning() const; // false once every worker has ended
    void requestReset(int id);
    void setRetryInterval(int milliseconds);

    // The lines, each polled by its own worker, named by port or host:port.
    int lineCount() const { return int(workers.size()); }
    QString lineName(int line) const { return workers[size_t(line)]->lineName(); }
    quint64 lineProgress(int line) const { return workers[size_t(line)]->progress(); }
    SiteWorker *lineWorker(int line) const { return workers[size_t(line)].get(); }

    // The readers of every controller by line name and slave address, so a
    // session for a changed list goes on where this one stopped. Only once
    // stopped, and before the new one starts.
    using Memories = QHash<QString, QHash<int, Poller::Memory>>;
    Memories memories() const;
    void resumeFrom(const Memories &memories);

    const ControllerStatus &status(int id) const { return statuses[id]; }
    quint32 vpk(int id) const { return vpks.value(id); }
    QVector<int> lostIds() const;
    QVector<int> silentIds() const; // last request unanswered

signals:
    void eventRead(int id, bool current, AlarmType alarm);
    void listCleared(int id, bool current);
    void statusChanged(int id);
    void vpkChanged(int id);
    void linkLost(int id);
    void linkRestored(int id);
    void answeringChanged();
    void portFailed(const QString &portName, const QString &text); // could not be opened; "host:port" for TCP
    void workersFinished();

private:
    LinkTarget lineTarget(const QVector<int> &line) const;
    void connectWorker(SiteWorker *worker, const QString &portName);
    void setCurrentCount(int id, int count);
    void markLost(int id);
    void markAnswered(int id);

    ControllerList list;
    std::vector<std::unique_ptr<SiteWorker>> workers;
    QVector<ControllerStatus> statuses;
    QHash<int, quint32> vpks;
    QHash<int, int> currentCounts;
    bool polling = false;
    int retryMs;
};

#endif // SITESESSION_H
