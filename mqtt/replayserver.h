#ifndef REPLAYSERVER_H
#define REPLAYSERVER_H

#include "replayrequest.h"

#include <QLoggingCategory>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVector>

class Journal;
class MqttClient;
class QTimer;

Q_DECLARE_LOGGING_CATEGORY(tarvikMqtt)

// The site's side of replay: a receiver that missed rows asks for them on
// <prefix>/replay and gets them again on the usual journal topics, a small
// batch per timer tick so that live rows and polling never wait behind it.
// When a request is done, <prefix>/replay/result tells the range covered and
// the oldest row the journal still has.
class ReplayServer : public QObject
{
    Q_OBJECT

public:
    // At most 10,000 rows a second: a whole request in about a second.
    static constexpr int BatchRows = 250;
    static constexpr int BatchIntervalMs = 25;
    static constexpr int MaxPending = 16;
    // Replayed rows the broker has not yet acknowledged: beyond it the next
    // batch waits, so a slow link never queues replay ahead of live rows.
    static constexpr int MaxInFlight = 500;

    ReplayServer(Journal *journal, MqttClient *client, QObject *parent = nullptr);

    void setPrefix(const QString &prefix) { topicPrefix = prefix; }
    static QString requestTopic(const QString &prefix);
    static QString resultTopic(const QString &prefix);

    // Everything on its way is dropped; the receiver asks again.
    void clear();
    int pending() const { return queue.size(); }
    int refusedCount() const { return refused; }

    void received(const QString &topic, const QByteArray &payload);

private:
    struct Job
    {
        ReplayRequest request;
        qint64 next = 0; // the first id not yet looked at
        qint64 sent = 0;
    };

    void sendBatch();
    void finish(const Job &job, qint64 coveredTo);
    void refuse(const char *why);
    qint64 oldestRow() const;

    QPointer<Journal> journal;
    MqttClient *mqtt;
    QTimer *timer;
    QString topicPrefix;
    QVector<Job> queue;
    QSet<int> inFlight; // message ids
    int refused = 0;
    bool refusalLogged = false;
};

#endif // REPLAYSERVER_H
