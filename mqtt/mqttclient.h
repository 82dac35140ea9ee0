#ifndef MQTTCLIENT_H
#define MQTTCLIENT_H

#include "mqttsettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QTimer;

// One connection to a broker, kept up until stop(). The name lookup and the
// connection are made on a short-lived thread of their own, the traffic on
// libmosquitto's network thread; this object lives on its owner's thread and
// reports there, so nothing it does waits on the network. A lost or refused
// connection is retried after 1 s, then 2, 4 ... up to 60 s.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int FirstRetrySeconds = 1;
    static constexpr int LastRetrySeconds = 60;

    explicit MqttClient(QObject *parent = nullptr);
    ~MqttClient() override; // drops the connection at once, without last words

    // Before start(): a session the broker keeps while this client is away
    // (clean session off, this fixed id), so QoS 1 messages wait for it.
    // Without it each connection is a fresh one under a generated id.
    void setPersistentSession(const QString &clientId) { persistentId = clientId; }
    // Topic filters taken at QoS 1 on every connection, so a reconnection
    // (or a broker that lost the session) is subscribed again.
    void setSubscriptions(const QStringList &filters);

    // The will is published by the broker when the connection dies unasked.
    void start(const MqttSettings &settings, const QString &willTopic, const QByteArray &willPayload);
    // Publishes the farewell (retained, QoS 1) if connected, then disconnects
    // cleanly: in the background, or before returning when the program ends
    // (a bounded wait, so the broker has the farewell).
    enum class Ending { InBackground, BeforeReturning };
    void stop(const QString &farewellTopic = QString(), const QByteArray &farewell = QByteArray(),
              Ending ending = Ending::InBackground);

    bool isRunning() const { return running; }
    bool isConnected() const { return connectedNow; }

    // The message id, whose acknowledged() tells the broker has it (QoS 1);
    // -1 when not connected or refused by the library.
    int publish(const QString &topic, const QByteArray &payload, int qos, bool retain);

signals:
    void connecting();
    void connected();
    // Russian reason; the next attempt follows in retryInSeconds.
    void disconnected(const QString &reason, int retryInSeconds);
    void acknowledged(int messageId);
    // A message of a subscription, on the owner's thread.
    void messageReceived(const QString &topic, const QByteArray &payload);

public:
    struct Shared;
    struct Session;
    friend struct MqttCallbacks;

private:
    void openSession();
    void attach(quint64 generation, Session *session);
    void sessionUp(quint64 generation);
    void sessionMessage(quint64 generation, const QString &topic, const QByteArray &payload);
    void subscribeAll();
    void sessionAcknowledged(quint64 generation, Session *session);
    void sessionDown(quint64 generation, const QString &reason);
    void scheduleRetry(const QString &reason);
    void dropSession(Ending ending = Ending::InBackground);
    bool unlist(Session *session);

    std::shared_ptr<Shared> shared;
    MqttSettings settings;
    QString willTopic;
    QByteArray willPayload;
    QString persistentId;
    QStringList subscriptions;
    Session *session = nullptr; // the attached one, if any
    quint64 generation = 0;
    QTimer *retryTimer = nullptr;
    int retrySeconds = FirstRetrySeconds;
    bool running = false;
    bool connectedNow = false;
};

#endif // MQTTCLIENT_H
