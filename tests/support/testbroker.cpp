#include "testbroker.h"

#include "testfiles.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <mosquitto.h>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

// Started by root, mosquitto would become the user "mosquitto", who cannot
// read the test's private folder.
QString runAsUser()
{
#ifdef Q_OS_UNIX
    if (const passwd *entry = getpwuid(getuid()))
        return QStringLiteral("user %1\n").arg(QString::fromLocal8Bit(entry->pw_name));
#endif
    return QString();
}

} // namespace

TestBroker::TestBroker()
    : plainPort(freePort())
{
}

TestBroker::~TestBroker()
{
    stop();
}

int TestBroker::freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

void TestBroker::enableTls(const QString &caFile, const QString &certFile, const QString &keyFile)
{
    tlsFiles = QStringList{ caFile, certFile, keyFile };
}

// Tests run in parallel: a port found free may be taken before mosquitto
// binds it, so a broker that does not come up gets other ports.
bool TestBroker::start()
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) {
            plainPort = freePort();
            securePort = 0;
        }
        if (!tlsFiles.isEmpty() && securePort == 0)
            securePort = freePort();
        if (startOnce())
            return true;
        stop();
    }
    return false;
}

bool TestBroker::startOnce()
{
    // Per-listener settings off: the password file and anonymity apply to both listeners.
    QString config = runAsUser() + QStringLiteral("per_listener_settings false\nallow_anonymous true\n"
                                                  "persistence true\npersistence_location %1/\n"
                                                  "log_dest file %1/broker.log\n"
                                                  "listener %2 127.0.0.1\n")
                                       .arg(dir())
                                       .arg(plainPort)
        + extra;
    if (!tlsFiles.isEmpty()) {
        config += QStringLiteral("listener %1 127.0.0.1\ncafile %2\ncertfile %3\nkeyfile %4\n"
                                 "tls_version tlsv1.2\n")
                      .arg(securePort)
                      .arg(tlsFiles.at(0), tlsFiles.at(1), tlsFiles.at(2));
    }
    writeFile(dir() + QStringLiteral("/broker.conf"), config.toUtf8());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("mosquitto"), { QStringLiteral("-c"), dir() + QStringLiteral("/broker.conf") });
    if (!process.waitForStarted(5000))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000 && process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(plainPort));
        if (probe.waitForConnected(200))
            return true;
        QTest::qWait(50);
    }
    return false;
}

void TestBroker::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate(); // mosquitto saves its persistence file on the way out
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

TestSubscriber::TestSubscriber(int port, const QString &filter, const QString &clientId, bool persistent)
    : brokerPort(port), topicFilter(filter), keepSession(persistent)
{
    static int count = 0;
    id = (clientId.isEmpty() ? QStringLiteral("test-sub-%1").arg(++count) : clientId).toUtf8();
    mosquitto_lib_init();
}

TestSubscriber::~TestSubscriber()
{
    disconnect();
}

bool TestSubscriber::connect()
{
    disconnect();
    mosq = mosquitto_new(id.constData(), !keepSession, this);
    mosquitto_message_callback_set(mosq, onMessage);
    mosquitto_subscribe_callback_set(mosq, onSubscribe);
    {
        QMutexLocker lock(&mutex);
        subscribed = false;
    }
    if (mosquitto_connect(mosq, "127.0.0.1", brokerPort, 30) != MOSQ_ERR_SUCCESS)
        return false;
    mosquitto_loop_start(mosq);
    mosquitto_subscribe(mosq, nullptr, topicFilter.toUtf8().constData(), 1);
    return waitFor([this] {
        QMutexLocker lock(&mutex);
        return subscribed;
    }, 5000);
}

void TestSubscriber::disconnect()
{
    if (!mosq)
        return;
    mosquitto_disconnect(mosq);
    mosquitto_loop_stop(mosq, false);
    mosquitto_destroy(mosq);
    mosq = nullptr;
}

QVector<TestSubscriber::Message> TestSubscriber::messages() const
{
    QMutexLocker lock(&mutex);
    return received;
}

QVector<TestSubscriber::Message> TestSubscriber::messagesOn(const QString &topic) const
{
    QVector<Message> found;
    for (const Message &message : messages()) {
        if (message.topic == topic)
            found << message;
    }
    return found;
}

bool TestSubscriber::waitFor(const std::function<bool()> &check, int timeoutMs) const
{
    return QTest::qWaitFor(check, timeoutMs);
}

void TestSubscriber::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *subscriber = static_cast<TestSubscriber *>(self);
    QMutexLocker lock(&subscriber->mutex);
    subscriber->received.append({ QString::fromUtf8(message->topic),
                                  QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
                                  message->retain });
}

void TestSubscriber::onSubscribe(mosquitto *, void *self, int, int, const int *)
{
    auto *subscriber = static_cast<TestSubscriber *>(self);
    QMutexLocker lock(&subscriber->mutex);
    subscriber->subscribed = true;
}

namespace {

bool openssl(const QString &dir, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (!ok)
        qWarning("openssl %s: %s", qPrintable(arguments.join(' ')), process.readAll().constData());
    return ok;
}

} // namespace

bool makeCertificateAuthority(const QString &dir, const QString &name)
{
    return openssl(dir, { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                          "-subj", "/CN=" + name, "-keyout", name + ".key", "-out", name + ".crt" });
}

bool makeServerCertificate(const QString &dir, const QString &caName, const QString &name)
{
    writeFile(dir + "/" + name + ".ext", "subjectAltName=IP:127.0.0.1\n");
    return openssl(dir, { "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                          "-keyout", name + ".key", "-out", name + ".csr" })
        && openssl(dir, { "x509", "-req", "-in", name + ".csr", "-CA", caName + ".crt", "-CAkey",
                          caName + ".key", "-CAcreateserial", "-days", "2", "-extfile", name + ".ext",
                          "-out", name + ".crt" });
}
