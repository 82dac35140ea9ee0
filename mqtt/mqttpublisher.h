#ifndef MQTTPUBLISHER_H
#define MQTTPUBLISHER_H

#include "controllersnapshot.h"
#include "mqttsettings.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <map>

class Journal;
class MqttClient;
class QTimer;
class ReplayServer;

// Hands what the console sees to the broker. The journal is the outbox: the
// id of the last row the broker has acknowledged is kept in the journal file,
// and every (re)connection publishes the rows after it, in id order, before
// going on live. States are retained and sent again on each connection.
// The one message it accepts is a replay request (see ReplayServer).
// Lives on the journal's thread; the network is the client's business.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    static const QString AcknowledgedKey;
    static constexpr int MaxUnacknowledged = 2000;

    explicit MqttPublisher(Journal *journal, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Starts, restarts or stops publishing as the settings say.
    void setSettings(const MqttSettings &settings);
    MqttSettings settings() const { return current; }

    // Retained under the state's key; published only when it changed.
    void setState(const ControllerSnapshot &state);

    // The status bar's text; empty while publishing is off.
    QString statusText() const { return status; }
    QString statusDetail() const { return detail; }
    qint64 acknowledgedId() const { return acknowledged; }
    MqttClient *client() const { return mqtt; }
    ReplayServer *replay() const { return replayServer; }

signals:
    void statusChanged(const QString &text);

private:
    void connected();
    void disconnected(const QString &reason, int retryInSeconds);
    void messageAcknowledged(int messageId);
    void rowAppended(qint64 id);
    void pump();
    void publishState(const ControllerSnapshot &state);
    void saveAcknowledged();
    void updateStatus();
    void setStatus(const QString &text, const QString &tip = QString());
    qint64 rowsAfter(qint64 id) const;
    qint64 newestRow() const;

    // A window may destroy its journal before the publisher.
    QPointer<Journal> journal;
    MqttClient *mqtt;
    ReplayServer *replayServer;
    QTimer *saveTimer;
    MqttSettings current;
    QHash<QString, ControllerSnapshot> states;
    std::map<qint64, bool> unacknowledged; // row id -> acknowledged, in id order
    QHash<int, qint64> rowOfMessage;
    qint64 acknowledged = 0; // every row up to it is at the broker
    qint64 lastSent = 0;
    qint64 catchUpTotal = 0;
    qint64 catchUpDone = 0;
    bool catchingUp = false;
    QString status;
    QString detail;
};

#endif // MQTTPUBLISHER_H
