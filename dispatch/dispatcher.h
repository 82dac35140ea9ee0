#ifndef DISPATCHER_H
#define DISPATCHER_H

#include "currentevents.h"
#include "dispatchsettings.h"
#include "gaptracker.h"
#include "inputfaults.h"
#include "replayrequest.h"
#include "sitesmodel.h"

#include <QDateTime>
#include <QHash>
#include <QObject>

class DispatchJournal;
class MqttClient;
class QTimer;

// The dispatcher's engine: watches every site under the root through one
// persistent session, keeps the sites and the current events, journals every
// row once, and asks a site again for the rows it missed. The only thing it
// ever publishes is such a request.
class Dispatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryRequestSeconds = 30;
    static constexpr int CheckIntervalMs = 10000;

    explicit Dispatcher(DispatchJournal *journal, QObject *parent = nullptr);
    ~Dispatcher() override;

    void start(const DispatchSettings &settings);
    void stop();
    DispatchSettings settings() const { return current; }
    void setOperatorName(const QString &name) { current.operatorName = name; }

    SitesModel *sites() const { return sitesModel; }
    CurrentEvents *events() const { return eventsModel; }
    MqttClient *client() const { return mqtt; }
    const InputFaults &faults() const { return inputFaults; }
    const GapTracker *tracker(const QString &site) const;
    QString statusText() const { return status; }
    bool isConnected() const;

    // Asks the site for its rows that arrived in the period and came before
    // the first one seen here; false when there is nothing earlier to ask for.
    bool requestHistory(const QString &site, const QDateTime &since, const QDateTime &until);

    // The rows of events(); each acknowledgement is journaled with the operator's name.
    int acknowledge(const QList<int> &rows);
    int acknowledgeAll();

signals:
    void statusChanged(const QString &text);
    void journalWritten();

private:
    struct SiteReplay
    {
        GapTracker tracker;
        QDateTime lastAsked;
        qint64 probeFrom = 0; // a request for whatever came after the newest row held
        qint64 probeNextBefore = 0;
        ReplayRequest history;
        bool historyOpen = false;
    };

    void connected();
    void disconnected(const QString &reason);
    void received(const QString &topic, const QByteArray &payload);
    void onStatus(const QString &site, const QString &topic, const QByteArray &payload);
    void onState(const QString &site, const QString &key, const QString &topic, const QByteArray &payload);
    void onJournal(const QString &site, const QString &key, const QString &topic, const QByteArray &payload);
    void onResult(const QString &site, const QString &topic, const QByteArray &payload);
    SiteReplay *replayOf(const QString &site);
    void askGaps(const QString &site, SiteReplay &replay);
    void probe(const QString &site, SiteReplay &replay);
    void send(const QString &site, const ReplayRequest &request);
    void checkGaps();
    void updateNote(const QString &site, const SiteReplay &replay);
    void setStatus(const QString &text);

    DispatchJournal *journal;
    MqttClient *mqtt;
    SitesModel *sitesModel;
    CurrentEvents *eventsModel;
    QTimer *checkTimer;
    DispatchSettings current;
    InputFaults inputFaults;
    QHash<QString, SiteReplay> replays;
    QString status;
};

#endif // DISPATCHER_H
