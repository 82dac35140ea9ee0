// Publishing to a real mosquitto started here on 127.0.0.1: payloads, the
// journal as the outbox across broker restarts and a killed console, refused
// logins and certificates, retained state, TLS.
#include "journal.h"
#include "journalquery.h"
#include "mqttclient.h"
#include "mqttfailure.h"
#include "mqttpublisher.h"
#include "mqttsettings.h"
#include "mqtttopics.h"
#include "replayserver.h"
#include "testbroker.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <mosquitto.h>

#include <cerrno>

namespace {

const QString prefix = QStringLiteral("tarvik/test");
const QString controller = QStringLiteral("dev_pts_7-1");
const QString journalTopic = prefix + "/" + controller + "/journal";
const QString stateTopic = prefix + "/" + controller + "/state";
const QString statusTopic = prefix + "/status";

MqttSettings settingsFor(int port)
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.prefix = prefix;
    return s;
}

JournalRecord eventRow(int code)
{
    JournalRecord row = JournalRecord::event(JournalRecord::CurrentList,
                                             AlarmType{ 32, quint8(code), 24, 3, 5, 7, 0, 9 },
                                             QStringLiteral("Пожар   "));
    row.port = QStringLiteral("/dev/pts/7");
    row.slave = 1;
    return row;
}

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// The ids of the journal messages, first arrivals only (receivers de-duplicate by id).
QVector<qint64> firstArrivals(const TestSubscriber &subscriber)
{
    QVector<qint64> ids;
    for (const TestSubscriber::Message &m : subscriber.messagesOn(journalTopic)) {
        const qint64 id = json(m.payload).value("id").toVariant().toLongLong();
        if (!ids.contains(id))
            ids << id;
    }
    return ids;
}

// The row as the live path publishes it.
QByteArray eventRowPayload(const Journal &journal, qint64 id)
{
    const QVector<JournalRecord> rows = JournalQuery(journal.connectionName(), {}).newer(id - 1, 1);
    return rows.isEmpty() ? QByteArray() : MqttTopics::journalPayload(rows.first());
}

ControllerSnapshot stateWith(quint32 vpk, ControllerSnapshot::Lamp fire)
{
    ControllerSnapshot state;
    state.key = controller;
    state.name = QStringLiteral("/dev/pts/7, адрес 1");
    state.link = ControllerSnapshot::Link::Polling;
    state.vpk = vpk;
    state.lamps = { { QStringLiteral("Работа"), ControllerSnapshot::Lamp::On },
                    { QStringLiteral("Пожар"), fire } };
    state.events = { { QStringLiteral("Пожар"), 32, 4, QStringLiteral("2024-03-05T07:00:09") } };
    return state;
}

// The child side of the killed-console case: publishes three rows, says so
// once the broker has them, then waits to be killed.
int runChildConsole()
{
    Journal journal;
    journal.open(qEnvironmentVariable("TARVIK_TEST_JOURNAL"));
    MqttPublisher publisher(&journal);
    publisher.setSettings(settingsFor(qEnvironmentVariableIntValue("TARVIK_TEST_PORT")));
    if (!QTest::qWaitFor([&] { return publisher.client()->isConnected(); }, 10000))
        return 2;
    qint64 last = 0;
    for (int i = 0; i < 3; ++i)
        last = journal.append(eventRow(i));
    if (!QTest::qWaitFor([&] { return publisher.acknowledgedId() == last; }, 10000))
        return 3;
    QTest::qWait(400); // the acknowledged id reaches the file
    printf("ready %lld\n", last);
    fflush(stdout);
    QTest::qWait(60000);
    return 0;
}

} // namespace

class TestMqttPublisher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void topicsSettingsAndReasons();
    void eventsAndStateArriveAsDocumented();
    void retainedStateFollowsLampChange();
    void brokerRestartLosesNoRow();
    void killedConsoleLeavesWillAndSendsBacklog();
    void replayServesRowsAndTellsWhatIsGone();
    void wrongPasswordIsReportedWithoutBlocking();
    void certificateOfAnotherAuthorityIsRefused();
    void tlsRoundTrip();

private:
    QString journalPath() const { return dir->filePath(QStringLiteral("journal.sqlite")); }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestMqttPublisher::init()
{
    dir = std::make_unique<QTemporaryDir>();
}

void TestMqttPublisher::topicsSettingsAndReasons()
{
    QCOMPARE(MqttTopics::topicSafe("/dev/ttyUSB0"), QString("dev_ttyUSB0"));
    QCOMPARE(MqttTopics::topicSafe("Котельная #2/+"), QString("Котельная__2__"));
    QCOMPARE(MqttTopics::topicSafe("///"), QString("controller"));
    QCOMPARE(MqttTopics::controllerKey(QString(), "COM3", 5), QString("COM3-5"));
    QCOMPARE(MqttTopics::controllerKey("Цех 1", "COM3", 5), QString("Цех_1"));

    // The password never reaches the settings file, even one an older version wrote.
    const QString ini = dir->filePath("options.ini");
    {
        QSettings store(ini, QSettings::IniFormat);
        store.setValue("mqtt/password", "old-secret");
        MqttSettings s = settingsFor(1883);
        s.user = "site";
        s.password = "secret";
        s.tls = true;
        s.caFile = "/ca.crt";
        s.save(store);
    }
    QVERIFY(!readAll(ini).contains("secret"));
    QSettings store(ini, QSettings::IniFormat);
    const MqttSettings loaded = MqttSettings::load(store);
    QCOMPARE(loaded.user, QString("site"));
    QVERIFY(loaded.password.isEmpty());
    QVERIFY(loaded.tls);

    MqttSettings s = settingsFor(1883);
    QVERIFY(s.problem().isEmpty());
    s.prefix = "tarvik/#";
    QVERIFY(!s.problem().isEmpty());
    s = settingsFor(1883);
    s.tls = true;
    s.caFile = dir->filePath("missing.crt");
    QVERIFY(s.problem().contains("missing.crt"));
    QVERIFY(s.applyOverride("127.0.0.1:18830"));
    QCOMPARE(s.port, 18830);
    QVERIFY(!s.applyOverride("127.0.0.1"));
    QVERIFY(MqttSettings::defaultPrefix().startsWith("tarvik/"));

    QCOMPARE(MqttFailure::ofConnect(MOSQ_ERR_EAI, 0, "broker.site", 1883),
             QString("неизвестный узел «broker.site»"));
    QVERIFY(MqttFailure::ofConnect(MOSQ_ERR_ERRNO, ECONNREFUSED, "h", 1).contains("не принимает"));
    QCOMPARE(MqttFailure::ofRefusal(5, true), QString("неверное имя пользователя или пароль"));
    QCOMPARE(MqttFailure::ofRefusal(5, false), QString("брокер требует имя пользователя и пароль"));
}

void TestMqttPublisher::eventsAndStateArriveAsDocumented()
{
    TestBroker broker;
    QVERIFY(broker.start());
    TestSubscriber subscriber(broker.port(), prefix + "/#");
    QVERIFY(subscriber.connect());
    Journal journal;
    QVERIFY(journal.open(journalPath()));
    const qint64 before = journal.append(eventRow(1)); // before publishing was ever on

    MqttPublisher publisher(&journal);
    QSignalSpy statuses(&publisher, &MqttPublisher::statusChanged);
    publisher.setState(stateWith(0x00408004, ControllerSnapshot::Lamp::On));
    publisher.setSettings(settingsFor(broker.port()));
    QVERIFY(QTest::qWaitFor([&] { return publisher.statusText() == "MQTT: подключено"; }, 10000));

    JournalRecord note = JournalRecord::note(JournalRecord::PollingStopped);
    note.port = "/dev/pts/7";
    note.slave = 1;
    const qint64 event = journal.append(eventRow(4));
    const qint64 stopped = journal.append(note);
    QVERIFY(subscriber.waitFor([&] { return firstArrivals(subscriber).size() == 2; }));
    QCOMPARE(firstArrivals(subscriber), (QVector<qint64>{ event, stopped }));
    QVERIFY(!firstArrivals(subscriber).contains(before));

    const auto rows = subscriber.messagesOn(journalTopic);
    QVERIFY(!rows.first().retained);
    const QJsonObject row = json(rows.first().payload);
    QCOMPARE(row.value("kind").toString(), QString("event"));
    QCOMPARE(row.value("list").toString(), QString("current"));
    QCOMPARE(row.value("name").toString(), QString("Пожар"));
    QCOMPARE(row.value("source").toInt(), 32);
    QCOMPARE(row.value("code").toInt(), 4);
    QCOMPARE(row.value("occurred").toString(), QString("2024-03-05T07:00:09"));
    QVERIFY(!row.value("received").toString().isEmpty());
    QCOMPARE(row.value("port").toString(), QString("/dev/pts/7"));
    QCOMPARE(row.value("slave").toInt(), 1);
    QCOMPARE(json(rows.last().payload).value("kind").toString(), QString("polling-stopped"));
    QVERIFY(!json(rows.last().payload).contains("source"));

    const auto status = subscriber.messagesOn(statusTopic);
    QCOMPARE(status.size(), 1);
    QCOMPARE(status.first().payload, QByteArray("online"));

    const auto states = subscriber.messagesOn(stateTopic);
    QCOMPARE(states.size(), 1);
    const QJsonObject state = json(states.first().payload);
    QCOMPARE(state.value("link").toString(), QString("polling"));
    QCOMPARE(state.value("vpk").toInt(), 0x00408004);
    QCOMPARE(state.value("lamps").toObject().value("Пожар").toString(), QString("on"));
    QCOMPARE(state.value("events").toArray().first().toObject().value("code").toInt(), 4);

    // The broker's acknowledgement is what the journal file keeps.
    QVERIFY(QTest::qWaitFor([&] { return journal.metaValue(MqttPublisher::AcknowledgedKey)
                                         == QString::number(stopped); }, 5000));

    publisher.setSettings(MqttSettings()); // off: a farewell, then silence
    QVERIFY(subscriber.waitFor([&] { return subscriber.messagesOn(statusTopic).size() == 2; }));
    QCOMPARE(subscriber.messagesOn(statusTopic).last().payload, QByteArray("offline"));
    QVERIFY(publisher.statusText().isEmpty());
    QVERIFY(statuses.count() >= 2);
}

void TestMqttPublisher::retainedStateFollowsLampChange()
{
    TestBroker broker;
    QVERIFY(broker.start());
    Journal journal;
    QVERIFY(journal.open(journalPath()));
    MqttPublisher publisher(&journal);
    publisher.setSettings(settingsFor(broker.port()));
    QVERIFY(QTest::qWaitFor([&] { return publisher.client()->isConnected(); }, 10000));

    TestSubscriber watcher(broker.port(), stateTopic);
    QVERIFY(watcher.connect());
    publisher.setState(stateWith(0x00400000, ControllerSnapshot::Lamp::Off));
    publisher.setState(stateWith(0x00400000, ControllerSnapshot::Lamp::Off)); // no change, no message
    publisher.setState(stateWith(0x00400004, ControllerSnapshot::Lamp::Blinking));
    QVERIFY(watcher.waitFor([&] { return watcher.messages().size() == 2; }));
    QTest::qWait(200);
    QCOMPARE(watcher.messages().size(), 2);

    TestSubscriber late(broker.port(), stateTopic);
    QVERIFY(late.connect());
    QVERIFY(late.waitFor([&] { return !late.messages().isEmpty(); }));
    QTest::qWait(200);
    // Whoever subscribes later gets the latest state only, marked retained.
    const auto got = late.messages();
    QCOMPARE(got.size(), 1);
    QVERIFY(got.first().retained);
    const QJsonObject state = json(got.first().payload);
    QCOMPARE(state.value("lamps").toObject().value("Пожар").toString(), QString("blinking"));
    QCOMPARE(state.value("vpk").toInt(), 0x00400004);
}

void TestMqttPublisher::brokerRestartLosesNoRow()
{
    TestBroker broker;
    QVERIFY(broker.start());
    // A persistent session: the broker keeps what arrives while we reconnect.
    TestSubscriber subscriber(broker.port(), journalTopic, "dispatcher", true);
    QVERIFY(subscriber.connect());
    Journal journal;
    QVERIFY(journal.open(journalPath()));
    MqttPublisher publisher(&journal);
    QSignalSpy losses(publisher.client(), &MqttClient::disconnected);
    publisher.setSettings(settingsFor(broker.port()));
    QVERIFY(QTest::qWaitFor([&] { return publisher.client()->isConnected(); }, 10000));

    QVector<qint64> written;
    for (int i = 0; i < 5; ++i)
        written << journal.append(eventRow(i));
    QVERIFY(subscriber.waitFor([&] { return firstArrivals(subscriber).size() == 5; }));

    subscriber.disconnect();
    broker.stop();
    for (int i = 0; i < 20; ++i) { // events go on while the broker is away
        written << journal.append(eventRow(i));
        QTest::qWait(20);
    }
    QVERIFY(QTest::qWaitFor([&] { return publisher.statusText().startsWith("MQTT: нет связи с брокером ("); }, 5000));
    QVERIFY(losses.count() >= 1);
    QCOMPARE(losses.first().at(1).toInt(), 1); // the first retry after a second

    QVERIFY(broker.start());
    QVERIFY(subscriber.connect());
    QVERIFY(subscriber.waitFor([&] { return firstArrivals(subscriber).size() == written.size(); }, 20000));
    QCOMPARE(firstArrivals(subscriber), written);
    QVERIFY(QTest::qWaitFor([&] { return publisher.statusText() == "MQTT: подключено"; }, 5000));
}

void TestMqttPublisher::killedConsoleLeavesWillAndSendsBacklog()
{
    TestBroker broker;
    QVERIFY(broker.start());
    TestSubscriber subscriber(broker.port(), prefix + "/#");
    QVERIFY(subscriber.connect());
    {
        Journal journal; // the schema exists before the child writes
        QVERIFY(journal.open(journalPath()));
    }

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TARVIK_TEST_CHILD", "1");
    env.insert("TARVIK_TEST_JOURNAL", journalPath());
    env.insert("TARVIK_TEST_PORT", QString::number(broker.port()));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return child.canReadLine() || child.state() != QProcess::Running; }, 20000));
    const QByteArray ready = child.readLine().trimmed();
    QVERIFY2(ready.startsWith("ready "), ready.constData());
    const qint64 childLast = ready.mid(6).toLongLong();
    child.kill(); // no goodbye: the broker speaks the will
    child.waitForFinished();

    QVERIFY(subscriber.waitFor([&] {
        const auto status = subscriber.messagesOn(statusTopic);
        return !status.isEmpty() && status.last().payload == "offline";
    }));

    Journal journal;
    QVERIFY(journal.open(journalPath()));
    QCOMPARE(journal.metaValue(MqttPublisher::AcknowledgedKey), QString::number(childLast));
    QVector<qint64> backlog;
    for (int i = 0; i < 10; ++i)
        backlog << journal.append(eventRow(i));

    MqttPublisher publisher(&journal);
    QStringList statuses;
    connect(&publisher, &MqttPublisher::statusChanged, this, [&](const QString &t) { statuses << t; });
    publisher.setSettings(settingsFor(broker.port()));
    QVERIFY(subscriber.waitFor([&] { return firstArrivals(subscriber).size() == 13; }));
    QCOMPARE(firstArrivals(subscriber).mid(3), backlog);
    QCOMPARE(subscriber.messagesOn(statusTopic).last().payload, QByteArray("online"));
    QVERIFY(QTest::qWaitFor([&] { return publisher.statusText() == "MQTT: подключено"; }, 5000));
    QVERIFY2(statuses.contains("MQTT: передано 0 из 10"), qPrintable(statuses.join(" | ")));
}

namespace {
int refusalWarnings = 0;
void countRefusals(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && qstrcmp(context.category, "tarvik.mqtt") == 0)
        ++refusalWarnings;
    else
        fprintf(stderr, "%s\n", qPrintable(text));
}
} // namespace

// The site's one inbound message: rows again on the journal topic, a result
// naming the rows the journal no longer has, malformed requests ignored.
void TestMqttPublisher::replayServesRowsAndTellsWhatIsGone()
{
    TestBroker broker;
    QVERIFY(broker.start());
    {
        Journal journal;
        QVERIFY(journal.open(journalPath()));
        for (int i = 0; i < 30; ++i)
            journal.append(eventRow(i));
    }
    Journal journal;
    journal.setRowLimit(20); // rows 1..10 are trimmed away
    QVERIFY(journal.open(journalPath()));
    MqttPublisher publisher(&journal);
    publisher.setSettings(settingsFor(broker.port()));

    MqttClient requester; // subscriptions of our own client, as a dispatcher has them
    QVector<QPair<QString, QByteArray>> got;
    connect(&requester, &MqttClient::messageReceived, this,
            [&](const QString &topic, const QByteArray &payload) { got.append({ topic, payload }); });
    requester.setSubscriptions({ journalTopic, ReplayServer::resultTopic(prefix) });
    MqttSettings s = settingsFor(broker.port());
    requester.start(s, QString(), QByteArray());
    QVERIFY(QTest::qWaitFor([&] { return requester.isConnected() && publisher.client()->isConnected(); }, 10000));
    QTest::qWait(200); // both subscriptions granted

    refusalWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countRefusals);
    const QString replay = ReplayServer::requestTopic(prefix);
    for (const QByteArray &bad : { QByteArray("{\"from\":\"1\",\"to\":2}"), QByteArray("{\"from\":9,\"to\":3}"),
                                  QByteArray("\xff\xfe"), QByteArray("{\"from\":1.5,\"to\":3}"),
                                  QByteArray("{\"from\":1,\"to\":3,\"since\":\"yesterday\"}") })
        requester.publish(replay, bad, 1, false);
    requester.publish(replay, "{\"from\":5,\"to\":15}", 1, false);
    const QString resultTopic = ReplayServer::resultTopic(prefix);
    const bool answered = QTest::qWaitFor([&] {
        return std::any_of(got.begin(), got.end(), [&](const auto &m) { return m.first == resultTopic; });
    }, 10000);
    qInstallMessageHandler(previous);
    QVERIFY(answered);
    QCOMPARE(publisher.replay()->refusedCount(), 5);
    QCOMPARE(refusalWarnings, 1);

    QVector<qint64> ids;
    for (const auto &m : got) {
        if (m.first == journalTopic)
            ids << json(m.second).value("id").toVariant().toLongLong();
    }
    QCOMPARE(ids, (QVector<qint64>{ 11, 12, 13, 14, 15 }));
    QCOMPARE(json(got.last().second), json("{\"from\":5,\"to\":15,\"oldest\":11}"));
    QCOMPARE(json(eventRowPayload(journal, 12)), json(got.at(1).second)); // as the live row was

    // A period: rows 25..30 arrived now, so a period in the past serves none of them.
    got.clear();
    requester.publish(replay, "{\"from\":25,\"to\":30,\"until\":\"2001-01-01T00:00:00\"}", 1, false);
    QVERIFY(QTest::qWaitFor([&] { return !got.isEmpty(); }, 10000));
    QCOMPARE(got.size(), 1);
    QCOMPARE(json(got.first().second).value("to").toInt(), 30);
    requester.stop();
}

void TestMqttPublisher::wrongPasswordIsReportedWithoutBlocking()
{
    TestBroker broker;
    QProcess::execute("mosquitto_passwd", { "-b", "-c", broker.dir() + "/passwords", "site", "right" });
    broker.addConfig("password_file " + broker.dir() + "/passwords");
    broker.addConfig("allow_anonymous false");
    QVERIFY(broker.start());
    Journal journal;
    QVERIFY(journal.open(journalPath()));
    MqttPublisher publisher(&journal);
    QSignalSpy losses(publisher.client(), &MqttClient::disconnected);

    // A polling window ticks meanwhile; its ticks must not stall (checked below).
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        longestGap = qMax(longestGap, sinceTick.restart());
    });
    sinceTick.start();
    tick.start(10);

    MqttSettings s = settingsFor(broker.port());
    s.user = "site";
    s.password = "wrong";
    publisher.setSettings(s);
    QVERIFY(losses.wait(5000));
    QCOMPARE(publisher.statusText(), QString("MQTT: нет связи с брокером (неверное имя пользователя или пароль)"));
    QVERIFY(QTest::qWaitFor([&] { return losses.count() >= 2; }, 5000));
    QCOMPARE(losses.at(0).at(1).toInt(), 1); // back-off doubles
    QCOMPARE(losses.at(1).at(1).toInt(), 2);

    s.password = "right";
    publisher.setSettings(s);
    QVERIFY(QTest::qWaitFor([&] { return publisher.statusText() == "MQTT: подключено"; }, 10000));

    // A peer that takes the connection and never answers: the window goes on ticking.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    publisher.setSettings(settingsFor(silent.serverPort()));
    longestGap = 0;
    sinceTick.restart();
    QTest::qWait(2500);
    // Waiting on the peer in the window's thread would stall it for the whole
    // 10 s the handshake is given; a loaded machine stalls it far less.
    QVERIFY2(longestGap < 2000, qPrintable(QString::number(longestGap)));
    QVERIFY2(publisher.statusText().startsWith("MQTT: подключение"), qPrintable(publisher.statusText()));

    // Nobody listening on a port: its own reason, and still retried.
    losses.clear();
    publisher.setSettings(settingsFor(TestBroker::freePort()));
    QVERIFY(losses.wait(5000));
    QVERIFY2(publisher.statusText().contains("не принимает подключения"), qPrintable(publisher.statusText()));
}

void TestMqttPublisher::certificateOfAnotherAuthorityIsRefused()
{
    TestBroker broker;
    QVERIFY(makeCertificateAuthority(broker.dir(), "site-ca"));
    QVERIFY(makeCertificateAuthority(broker.dir(), "other-ca"));
    QVERIFY(makeServerCertificate(broker.dir(), "site-ca", "server"));
    broker.enableTls(broker.dir() + "/site-ca.crt", broker.dir() + "/server.crt", broker.dir() + "/server.key");
    QVERIFY(broker.start());
    Journal journal;
    QVERIFY(journal.open(journalPath()));
    MqttPublisher publisher(&journal);
    QSignalSpy losses(publisher.client(), &MqttClient::disconnected);
    MqttSettings s = settingsFor(broker.tlsPort());
    s.tls = true;
    s.caFile = broker.dir() + "/other-ca.crt";
    publisher.setSettings(s);
    QVERIFY(losses.wait(5000));
    QCOMPARE(publisher.statusText(),
             QString("MQTT: нет связи с брокером (сертификат брокера не прошёл проверку или TLS не согласован)"));
    QVERIFY(!publisher.client()->isConnected());
}

void TestMqttPublisher::tlsRoundTrip()
{
    TestBroker broker;
    QVERIFY(makeCertificateAuthority(broker.dir(), "site-ca"));
    QVERIFY(makeServerCertificate(broker.dir(), "site-ca", "server"));
    broker.enableTls(broker.dir() + "/site-ca.crt", broker.dir() + "/server.crt", broker.dir() + "/server.key");
    QVERIFY(broker.start());
    TestSubscriber subscriber(broker.port(), journalTopic); // on the plain listener
    QVERIFY(subscriber.connect());
    Journal journal;
    QVERIFY(journal.open(journalPath()));
    MqttPublisher publisher(&journal);
    MqttSettings s = settingsFor(broker.tlsPort());
    s.tls = true;
    s.caFile = broker.dir() + "/site-ca.crt";
    publisher.setSettings(s);
    QVERIFY(QTest::qWaitFor([&] { return publisher.statusText() == "MQTT: подключено"; }, 10000));
    const qint64 id = journal.append(eventRow(7));
    QVERIFY(subscriber.waitFor([&] { return !firstArrivals(subscriber).isEmpty(); }));
    QCOMPARE(firstArrivals(subscriber), QVector<qint64>{ id });
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("TARVIK_TEST_CHILD"))
        return runChildConsole();
    TestMqttPublisher test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mqttpublisher.moc"
