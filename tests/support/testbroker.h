#ifndef TESTBROKER_H
#define TESTBROKER_H

#include <QByteArray>
#include <QMutex>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

#include <functional>

struct mosquitto;

// A private mosquitto on 127.0.0.1 and a free port, with its own folder
// (configuration, persistence, certificates). Stopped by the destructor.
class TestBroker
{
public:
    TestBroker();
    ~TestBroker();

    QString dir() const { return folder.path(); }
    int port() const { return plainPort; }
    int tlsPort() const { return securePort; }

    // Lines added to the configuration, e.g. a password file; before start().
    void addConfig(const QString &lines) { extra += lines + QLatin1Char('\n'); }
    // A second listener with TLS; tlsPort() is known after start().
    void enableTls(const QString &caFile, const QString &certFile, const QString &keyFile);

    bool start(); // false when mosquitto did not come up within 5 s
    void stop();

    static int freePort();

private:
    bool startOnce();

    QTemporaryDir folder;
    QProcess process;
    QString extra;
    QStringList tlsFiles;
    int plainPort = 0;
    int securePort = 0;
};

// A subscriber of our own, over libmosquitto: QoS 1, messages collected in
// arrival order. persistent keeps its session at the broker across restarts.
class TestSubscriber
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    TestSubscriber(int port, const QString &filter, const QString &clientId = QString(),
                   bool persistent = false);
    ~TestSubscriber();

    // Connects and waits for the subscription to be granted (5 s at most).
    bool connect();
    void disconnect();

    QVector<Message> messages() const;
    QVector<Message> messagesOn(const QString &topic) const;
    // Runs the event loop until the check holds, at most timeoutMs.
    bool waitFor(const std::function<bool()> &check, int timeoutMs = 10000) const;

private:
    static void onMessage(mosquitto *, void *self, const struct mosquitto_message *message);
    static void onSubscribe(mosquitto *, void *self, int, int, const int *);

    int brokerPort;
    QString topicFilter;
    QByteArray id;
    bool keepSession;
    mosquitto *mosq = nullptr;
    mutable QMutex mutex;
    QVector<Message> received;
    bool subscribed = false;
};

// Runs openssl: a certificate authority, and a server certificate it signs
// for 127.0.0.1. False when openssl fails.
bool makeCertificateAuthority(const QString &dir, const QString &name);
bool makeServerCertificate(const QString &dir, const QString &caName, const QString &name);

#endif // TESTBROKER_H
