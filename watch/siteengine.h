#ifndef SITEENGINE_H
#define SITEENGINE_H

#include "alarmtype.h"
#include "controllerlist.h"
#include "eventcatalogue.h"
#include "journalrecord.h"
#include "settings.h"

#include <QHash>
#include <QObject>

class Journal;
class MqttBinding;
class MyThread;
class SiteSession;

// Polls one controller or a whole site and journals what it sees: events,
// cleared lists, line failures and restored links, polling started and
// ended, resets. It owns the single controller's worker, the site session
// and the binding to the MQTT publisher; a window or a service binds to its
// signals. No widgets.
class SiteEngine : public QObject
{
    Q_OBJECT

public:
    // What a line failure does. EndPolling: a single polled controller's
    // failure ends polling and is reported once (a site's controllers are
    // tried again all the same). RetryEvery10s: every controller, one or many,
    // goes on being tried while the others are polled.
    enum class LineFailurePolicy { EndPolling, RetryEvery10s };

    // The single worker starts parked; the binding is named after `link`.
    SiteEngine(Journal *journal, const Settings &link, LineFailurePolicy policy,
               QObject *parent = nullptr);
    ~SiteEngine() override;

    Journal *journal() const { return log; }
    MqttBinding *publishing() const { return binding; }
    MyThread *singleWorker() const { return worker; }
    SiteSession *siteSession() const { return site; }
    LineFailurePolicy policy() const { return failurePolicy; }
    bool isSitePolling() const { return sitePolling; }

    // Polls the list: a site session, or with EndPolling and one polled
    // controller the single worker on `single`. The same list as the session
    // has keeps its workers, and so their readers.
    void start(const ControllerList &list, const Settings &single);
    void startSingle(const Settings &link);
    void startSite(const ControllerList &list);
    // For a changed list while a site polls: the controllers that stay (same
    // line, same address) go on where they were, so nothing they reported is
    // reported again and nothing in between is missed. Journaled as the end
    // of one polling run and the start of the next.
    void applyList(const ControllerList &list);
    void stop(); // pauses polling and journals its end
    void requestReset(int id = -1); // -1: the single controller

    // For the application's end: nothing read afterwards is reported (but
    // the all-events list, which never raises the alarm); workersFinished()
    // follows once every worker has ended.
    void requestEnd();
    void waitEnded();
    bool isRunning() const;
    bool isEnding() const { return ending; }
    void setRetryInterval(int milliseconds);

    // What a worker read, journaled and reported on; the window's slots of
    // the single controller also come here. id -1: the single controller.
    void takeEvent(int id, bool current, const AlarmType &alarm);
    void takeCleared(int id, bool current);

    QString controllerName(int id) const; // empty for the single controller
    // "Порт X, адрес 1" or "Порт X, адреса 1, 2" per line, joined by "; ".
    static QString linesText(const ControllerList &list);
    static QString singleLineText(const Settings &link);

signals:
    // id is -1 for the single controller. journalId is 0 without a journal.
    void eventSeen(int id, bool current, const AlarmType &alarm, qint64 journalId,
                   const JournalRecord &record);
    // In every cycle with an empty list; journaled only when it had
    // something on show since its last clear (hadShown).
    void listCleared(int id, bool current, bool hadShown);
    void singleLineFailed(const QString &text); // polling has ended
    void controllerLost(int id, const QString &text);
    void controllerRestored(int id, const QString &text);
    void pollingStarted(const QString &lines);
    void pollingStopped();
    void workersFinished();

private:
    void connectWorker();
    void connectSite();
    void endSite();
    void lost(int id);
    void restored(int id);
    void singleFailed(const QString &text);
    bool dropsWhileEnding() const { return ending && failurePolicy == LineFailurePolicy::EndPolling; }
    void note(const QString &kind, const QString &list = QString(), const QString &name = QString(),
              int id = -1);
    qint64 write(JournalRecord &record, int id);

    Journal *log;
    LineFailurePolicy failurePolicy;
    EventCatalogue catalogue;
    MyThread *worker = nullptr;
    SiteSession *site = nullptr;
    MqttBinding *binding = nullptr;
    bool sitePolling = false;
    bool ending = false;
    int retryMs;
    QString pollPort; // the single controller's line, for the journal
    int pollSlave = 0;
    QHash<qint64, int> shown; // (id, list) -> events on show since the last clear
};

#endif // SITEENGINE_H
