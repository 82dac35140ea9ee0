#include "mqttclient.h"

#include "mqttfailure.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QSysInfo>
#include <QTimer>
#include <QVector>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// What the library's threads and this object share: whom to report to, and
// the sessions whose network thread runs, so that the last owner can end them.
struct MqttClient::Shared
{
    QMutex mutex;
    MqttClient *receiver = nullptr;
    std::vector<Session *> sessions;
};

struct MqttClient::Session
{
    std::shared_ptr<Shared> shared;
    quint64 generation = 0;
    mosquitto *mosq = nullptr;
    // Until the broker has answered, callbacks run on the connecting thread,
    // which reports the outcome itself.
    bool handshake = true;
    int answer = -1; // the broker's CONNACK code
    QVector<int> acknowledged; // under the shared mutex; handed over in batches
    // The last words before a clean disconnect, which must not overtake them.
    std::atomic<int> farewell{ 0 };
    std::atomic<bool> farewellDelivered{ false };
};

namespace {

constexpr int KeepAliveSeconds = 30;
constexpr int AnswerTimeoutMs = 10000;
constexpr int FarewellTimeoutMs = 2000;
// Enough to keep a loopback link busy while a backlog drains.
constexpr unsigned InflightLimit = 1000;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

void endSession(MqttClient::Session *session)
{
    if (session->farewell != 0) {
        QElapsedTimer waited;
        waited.start();
        while (!session->farewellDelivered && waited.elapsed() < FarewellTimeoutMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    mosquitto_disconnect(session->mosq);
    mosquitto_loop_stop(session->mosq, false);
    mosquitto_destroy(session->mosq);
    delete session;
}

} // namespace

// Runs on the library's threads; everything is handed to the receiver's
// thread by a queued call, tagged with the attempt it belongs to.
struct MqttCallbacks
{
    template<typename Call>
    static void post(MqttClient::Session *session, Call call)
    {
        QMutexLocker lock(&session->shared->mutex);
        MqttClient *client = session->shared->receiver;
        if (!client)
            return;
        const quint64 generation = session->generation;
        QMetaObject::invokeMethod(
            client, [client, generation, call] { call(client, generation); }, Qt::QueuedConnection);
    }

    static void onConnect(mosquitto *, void *data, int rc)
    {
        auto *session = static_cast<MqttClient::Session *>(data);
        if (session->handshake) {
            session->answer = rc;
            return;
        }
        if (rc == 0) {
            post(session, [](MqttClient *c, quint64 g) { c->sessionUp(g); });
            return;
        }
        const QString reason = MqttFailure::ofRefusal(rc, false);
        post(session, [reason](MqttClient *c, quint64 g) { c->sessionDown(g, reason); });
    }

    static void onDisconnect(mosquitto *, void *data, int rc)
    {
        if (rc == 0 || static_cast<MqttClient::Session *>(data)->handshake)
            return; // asked for, or reported by the connecting thread
        const QString reason = MqttFailure::ofLoss(rc);
        post(static_cast<MqttClient::Session *>(data),
             [reason](MqttClient *c, quint64 g) { c->sessionDown(g, reason); });
    }

    // Thousands a second while a backlog drains: one queued call per batch.
    static void onPublish(mosquitto *, void *data, int messageId)
    {
        auto *session = static_cast<MqttClient::Session *>(data);
        if (messageId == session->farewell) {
            session->farewellDelivered = true;
            return;
        }
        QMutexLocker lock(&session->shared->mutex);
        MqttClient *client = session->shared->receiver;
        if (!client)
            return;
        session->acknowledged.append(messageId);
        if (session->acknowledged.size() > 1)
            return; // a call is on its way
        const quint64 generation = session->generation;
        QMetaObject::invokeMethod(
            client, [client, generation, session] { client->sessionAcknowledged(generation, session); },
            Qt::QueuedConnection);
    }

    // Also while the handshake runs: a persistent session's queued messages
    // follow the broker's answer at once, and each is acknowledged already.
    static void onMessage(mosquitto *, void *data, const mosquitto_message *message)
    {
        if (!message || !message->topic)
            return;
        const QString topic = QString::fromUtf8(message->topic);
        const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
        post(static_cast<MqttClient::Session *>(data), [topic, payload](MqttClient *c, quint64 g) {
            c->sessionMessage(g, topic, payload);
        });
    }

    static QString configure(mosquitto *m, const MqttSettings &s, const QString &willTopic,
                             const QByteArray &willPayload)
    {
        mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1); // events are small and urgent
        mosquitto_max_inflight_messages_set(m, InflightLimit);
        // Reconnection is ours (a fresh attempt with a fresh lookup), not the library's.
        mosquitto_reconnect_delay_set(m, 3600, 3600, false);
        mosquitto_connect_callback_set(m, onConnect);
        mosquitto_disconnect_callback_set(m, onDisconnect);
        mosquitto_publish_callback_set(m, onPublish);
        mosquitto_message_callback_set(m, onMessage);
        int rc = MOSQ_ERR_SUCCESS;
        if (!s.user.isEmpty()) {
            rc = mosquitto_username_pw_set(m, s.user.toUtf8().constData(),
                                           s.password.isEmpty() ? nullptr : s.password.toUtf8().constData());
        }
        if (rc == MOSQ_ERR_SUCCESS && !willTopic.isEmpty()) {
            rc = mosquitto_will_set(m, willTopic.toUtf8().constData(), int(willPayload.size()),
                                    willPayload.constData(), 1, true);
        }
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("неверные имя пользователя, пароль или префикс тем");
        if (s.tls) {
            const QByteArray ca = s.caFile.toLocal8Bit();
            const QByteArray cert = s.certFile.toLocal8Bit();
            const QByteArray key = s.keyFile.toLocal8Bit();
            rc = mosquitto_tls_set(m, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                                   key.isEmpty() ? nullptr : key.constData(), nullptr);
            if (rc == MOSQ_ERR_SUCCESS)
                rc = mosquitto_tls_opts_set(m, 1 /* verify the server */, nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS)
                return QStringLiteral("не удаётся прочитать сертификаты или ключ TLS");
        }
        return QString();
    }

    // The TLS handshake and the broker's answer happen here too, so that a
    // refused certificate or login is told apart from a lost connection.
    static QString handshake(MqttClient::Session *session, mosquitto *m, const MqttSettings &s)
    {
        int rc = mosquitto_connect(m, s.host.toUtf8().constData(), s.port, KeepAliveSeconds);
        int err = errno;
        QElapsedTimer waited;
        waited.start();
        while (rc == MOSQ_ERR_SUCCESS && session->answer < 0 && waited.elapsed() < AnswerTimeoutMs) {
            rc = mosquitto_loop(m, 100, 1);
            err = errno;
        }
        if (session->answer > 0) // a refusal also ends the loop with an error
            return MqttFailure::ofRefusal(session->answer, !s.user.isEmpty());
        if (rc != MOSQ_ERR_SUCCESS)
            return MqttFailure::ofConnect(rc, err, s.host, s.port);
        if (session->answer < 0)
            return QStringLiteral("брокер не ответил на подключение");
        return QString();
    }

    // On a thread of its own: the name lookup and the TCP connect may take long.
    static void connectSession(MqttClient::Session *session, const MqttSettings s,
                               const QString willTopic, const QByteArray willPayload,
                               const QString persistentId)
    {
        initLibrary();
        const bool clean = persistentId.isEmpty();
        const QByteArray clientId = (clean ? QStringLiteral("tarvik-%1-%2-%3")
                                                 .arg(QSysInfo::machineHostName())
                                                 .arg(QCoreApplication::applicationPid())
                                                 .arg(session->generation)
                                           : persistentId)
                                        .left(64)
                                        .toUtf8();
        mosquitto *m = mosquitto_new(clientId.constData(), clean, session);
        QString reason = m ? configure(m, s, willTopic, willPayload)
                           : QStringLiteral("не удалось создать клиента MQTT");
        if (reason.isEmpty())
            reason = handshake(session, m, s);
        if (!reason.isEmpty()) {
            post(session, [reason](MqttClient *c, quint64 g) { c->sessionDown(g, reason); });
            if (m)
                mosquitto_destroy(m);
            delete session;
            return;
        }
        session->mosq = m;
        startLoop(session);
    }

    // The owner learns of the session before its first callback can arrive.
    static void startLoop(MqttClient::Session *session)
    {
        QMutexLocker lock(&session->shared->mutex);
        MqttClient *client = session->shared->receiver;
        if (!client) { // the client went away meanwhile
            lock.unlock();
            endSession(session);
            return;
        }
        session->shared->sessions.push_back(session);
        session->handshake = false; // the network thread starts below: a barrier
        const quint64 generation = session->generation;
        QMetaObject::invokeMethod(
            client,
            [client, generation, session] {
                client->attach(generation, session);
                client->sessionUp(generation);
            },
            Qt::QueuedConnection);
        if (mosquitto_loop_start(session->mosq) == MOSQ_ERR_SUCCESS)
            return;
        session->shared->sessions.pop_back(); // attach() finds it gone
        const QString reason = QStringLiteral("не удалось запустить поток MQTT");
        QMetaObject::invokeMethod(
            client, [client, generation, reason] { client->sessionDown(generation, reason); },
            Qt::QueuedConnection);
        lock.unlock();
        mosquitto_destroy(session->mosq);
        delete session;
    }
};

MqttClient::MqttClient(QObject *parent)
    : QObject(parent), shared(std::make_shared<Shared>()), retryTimer(new QTimer(this))
{
    shared->receiver = this;
    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, &MqttClient::openSession);
}

MqttClient::~MqttClient()
{
    std::vector<Session *> sessions;
    {
        QMutexLocker lock(&shared->mutex);
        shared->receiver = nullptr;
        sessions.swap(shared->sessions);
    }
    // Outside the lock: a callback waiting for it would never let the thread end.
    for (Session *s : sessions)
        endSession(s);
}

void MqttClient::start(const MqttSettings &s, const QString &topic, const QByteArray &payload)
{
    stop();
    settings = s;
    willTopic = topic;
    willPayload = payload;
    running = true;
    retrySeconds = FirstRetrySeconds;
    openSession();
}

void MqttClient::stop(const QString &farewellTopic, const QByteArray &farewell, Ending ending)
{
    if (!running)
        return;
    if (connectedNow && !farewellTopic.isEmpty()) {
        const int messageId = publish(farewellTopic, farewell, 1, true);
        if (messageId > 0)
            session->farewell = messageId;
    }
    running = false;
    retryTimer->stop();
    ++generation; // whatever is still on its way belongs to no one now
    dropSession(ending);
}

int MqttClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    if (!connectedNow || !session)
        return -1;
    int messageId = 0;
    const int rc = mosquitto_publish(session->mosq, &messageId, topic.toUtf8().constData(),
                                     int(payload.size()), payload.constData(), qos, retain);
    return rc == MOSQ_ERR_SUCCESS ? messageId : -1;
}

void MqttClient::openSession()
{
    if (!running)
        return;
    auto *s = new Session;
    s->shared = shared;
    s->generation = ++generation;
    emit connecting();
    std::thread(&MqttCallbacks::connectSession, s, settings, willTopic, willPayload, persistentId).detach();
}

// Whoever takes a session out of the list ends it.
bool MqttClient::unlist(Session *s)
{
    QMutexLocker lock(&shared->mutex);
    const auto found = std::find(shared->sessions.begin(), shared->sessions.end(), s);
    if (found == shared->sessions.end())
        return false;
    shared->sessions.erase(found);
    return true;
}

void MqttClient::attach(quint64 g, Session *s)
{
    if (running && g == generation) {
        QMutexLocker lock(&shared->mutex);
        if (std::find(shared->sessions.begin(), shared->sessions.end(), s) != shared->sessions.end())
            session = s; // else its thread could not start and a loss report follows
        return;
    }
    if (unlist(s))
        std::thread(endSession, s).detach();
}

void MqttClient::sessionUp(quint64 g)
{
    if (!running || g != generation || !session)
        return;
    connectedNow = true;
    retrySeconds = FirstRetrySeconds;
    subscribeAll();
    emit connected();
}

void MqttClient::setSubscriptions(const QStringList &filters)
{
    subscriptions = filters;
    if (connectedNow)
        subscribeAll();
}

void MqttClient::subscribeAll()
{
    for (const QString &filter : qAsConst(subscriptions))
        mosquitto_subscribe(session->mosq, nullptr, filter.toUtf8().constData(), 1);
}

// Messages of a connection that has been dropped meanwhile are still
// delivered: the broker counts them as handed over.
void MqttClient::sessionMessage(quint64 g, const QString &topic, const QByteArray &payload)
{
    if (running && g == generation)
        emit messageReceived(topic, payload);
}

// The session is only looked into while it is ours, hence alive.
void MqttClient::sessionAcknowledged(quint64 g, Session *s)
{
    if (!running || g != generation || session != s)
        return;
    QVector<int> batch;
    {
        QMutexLocker lock(&shared->mutex);
        batch.swap(s->acknowledged);
    }
    for (int messageId : qAsConst(batch))
        emit acknowledged(messageId);
}

void MqttClient::sessionDown(quint64 g, const QString &reason)
{
    if (!running || g != generation || retryTimer->isActive())
        return; // a refusal is followed by the loss of the connection: one report
    dropSession();
    scheduleRetry(reason);
}

void MqttClient::scheduleRetry(const QString &reason)
{
    const int delay = retrySeconds;
    retrySeconds = std::min(retrySeconds * 2, int(LastRetrySeconds));
    retryTimer->start(delay * 1000);
    emit disconnected(reason, delay);
}

// The network thread is joined elsewhere: after a loss it may be asleep in
// the library's own reconnection wait.
void MqttClient::dropSession(Ending ending)
{
    connectedNow = false;
    Session *s = std::exchange(session, nullptr);
    if (!s || !unlist(s))
        return;
    if (ending == Ending::BeforeReturning)
        endSession(s);
    else
        std::thread(endSession, s).detach();
}
