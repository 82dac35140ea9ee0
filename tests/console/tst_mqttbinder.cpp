// The console's side of publishing: the lamps and events the window shows
// become the retained state, the dialog keeps the password out of the
// settings file, and the window offers the action and the status label.
#include "journal.h"
#include "mainwindow.h"
#include "mqttbinder.h"
#include "mqttbinding.h"
#include "mqttdialog.h"
#include "mqttpublisher.h"
#include "mythread.h"
#include "settingsdialog.h"
#include "sitesession.h"
#include "sitestates.h"
#include "testbroker.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <QtWidgets>

namespace {

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

QString lampOf(const MqttBinder &binder, const QString &caption)
{
    for (const ControllerSnapshot::LampShown &lamp : binder.state().lamps) {
        if (lamp.caption == caption)
            return lamp.state == ControllerSnapshot::Lamp::On ? "on"
                : lamp.state == ControllerSnapshot::Lamp::Blinking ? "blinking" : "off";
    }
    return "missing";
}

} // namespace

class TestMqttBinder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lampsFollowVpkLikeThePanel();
    void linkFollowsAnswersAndIsNamedByPeer();
    void captionsAreThoseOfThePanel();
    void stateReachesTheBrokerAsTheConsoleSeesIt();
    void dialogKeepsPasswordOutOfTheFile();

private:
    QTemporaryDir config;
};

void TestMqttBinder::initTestCase()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    qunsetenv("TARVIK_MQTT");
}

void TestMqttBinder::lampsFollowVpkLikeThePanel()
{
    QWidget window;
    Journal journal;
    QVERIFY(journal.open(config.filePath("lamps.sqlite")));
    SettingsDialog link(&window);
    MqttBinder binder(&journal, &link, &window);
    MyThread worker; // never started: its signals are raised here
    binder.watch(&worker);

    emit worker.SignalVpk(0x00408004);
    QCOMPARE(lampOf(binder, "Работа"), QString("on"));
    QCOMPARE(lampOf(binder, "Пожар"), QString("on"));
    QCOMPARE(lampOf(binder, "Порог СH"), QString("blinking"));
    QCOMPARE(lampOf(binder, "Порог СО"), QString("off"));
    QCOMPARE(binder.state().lamps.size(), 9);
    emit worker.SignalVpk(0x00418000); // steady wins
    QCOMPARE(lampOf(binder, "Порог СH"), QString("on"));
    emit worker.SignalVpk(0x00020000);
    QCOMPARE(lampOf(binder, "Порог СО"), QString("blinking"));
    QCOMPARE(lampOf(binder, "Работа"), QString("off"));

    QCOMPARE(binder.state().link, ControllerSnapshot::Link::Idle);
    binder.singleStarted(link.settings());
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::Polling);
    emit worker.Signal("Ошибка чтения линии!\n Опрос завершен.");
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::NoLink);
    binder.pollingStopped();
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::Idle);
}

void TestMqttBinder::linkFollowsAnswersAndIsNamedByPeer()
{
    QWidget window;
    Journal journal;
    QVERIFY(journal.open(config.filePath("answers.sqlite")));
    SettingsDialog link(&window);
    MqttBinder binder(&journal, &link, &window);
    MyThread worker;
    binder.watch(&worker);

    Settings gateway;
    gateway.tcp = true;
    gateway.host = "127.0.0.1";
    gateway.tcpPort = 1502;
    gateway.address = 3;
    binder.singleStarted(gateway);
    QCOMPARE(binder.state().key, QString("127.0.0.1_1502-3"));
    QCOMPARE(binder.state().name, QString("127.0.0.1:1502, адрес 3"));

    emit worker.answeringChanged(false);
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::NoAnswer);
    emit worker.answeringChanged(true);
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::Polling);
    emit worker.answeringChanged(false);
    emit worker.Signal("Ошибка чтения линии!\n Опрос завершен.");
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::NoLink);
    emit worker.answeringChanged(true); // a stopped worker's last word
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::NoLink);
    binder.pollingStopped();
    emit worker.answeringChanged(false);
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::Idle);

    Settings serial;
    serial.portName = "/dev/ttyUSB1";
    serial.address = 7;
    binder.singleStarted(serial);
    QCOMPARE(binder.state().key, QString("dev_ttyUSB1-7"));
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::Polling);

    // A site takes over: the parked single worker's controller is idle, the
    // polled site controllers poll under their names, the others are left out.
    ControllerEntry first, second, spare;
    first.name = "Котельная";
    second.name = "Цех/2";
    spare.name = "Резерв";
    first.portName = second.portName = spare.portName = "/dev/tarvik-absent";
    second.address = 2;
    spare.address = 3;
    spare.polled = false;
    SiteSession site(ControllerList({ first, second, spare })); // never started: opens nothing
    binder.siteStarted(&site);
    QCOMPARE(binder.state().link, ControllerSnapshot::Link::Idle);
    const SiteStates *states = binder.siteStates();
    QCOMPARE(states->ids().size(), 2);
    QCOMPARE(states->state(1).key, QString("Цех_2"));
    QCOMPARE(states->state(1).name, QString("Цех/2"));
    QCOMPARE(states->state(0).link, ControllerSnapshot::Link::Polling);
    QCOMPARE(states->state(1).lamps.size(), 9);
    binder.pollingStopped();
    QCOMPARE(states->state(0).link, ControllerSnapshot::Link::Idle);
    QCOMPARE(states->state(1).link, ControllerSnapshot::Link::Idle);
    binder.singleStarted(serial);
    QVERIFY(!states->isPolling());
}

void TestMqttBinder::captionsAreThoseOfThePanel()
{
    qputenv("TARVIK_JOURNAL", config.filePath("window.sqlite").toUtf8());
    MainWindow window;
    QStringList panel;
    for (const char *name : { "label", "label_12", "label_15", "label_14", "label_13", "label_2",
                              "label_17", "label_16", "label_11" })
        panel << window.findChild<QLabel *>(name)->text();
    QStringList published;
    for (int lamp = 0; lamp < LampState::LampCount; ++lamp)
        published << MqttBinding::lampCaption(LampState::Lamp(lamp));
    QCOMPARE(published, panel);

    // Off by default: the action is there, the label says nothing.
    QVERIFY(window.findChild<QAction *>("actionMqtt"));
    QLabel *status = window.findChild<QLabel *>("labelMqtt");
    QVERIFY(status);
    QVERIFY(status->isHidden());
    qunsetenv("TARVIK_JOURNAL");
}

void TestMqttBinder::stateReachesTheBrokerAsTheConsoleSeesIt()
{
    TestBroker broker;
    QVERIFY(broker.start());
    qputenv("TARVIK_MQTT", QByteArray("127.0.0.1:") + QByteArray::number(broker.port()));
    QWidget window;
    Journal journal;
    QVERIFY(journal.open(config.filePath("state.sqlite")));
    SettingsDialog link(&window);
    MqttBinder binder(&journal, &link, &window);
    qunsetenv("TARVIK_MQTT");
    MyThread worker;
    binder.watch(&worker);
    QVERIFY(QTest::qWaitFor([&] { return binder.statusLabel()->text() == "MQTT: подключено"; }, 10000));
    QVERIFY(!binder.statusLabel()->isHidden());

    const QString topic = binder.publisher()->settings().prefix + "/" + binder.state().key + "/state";
    TestSubscriber subscriber(broker.port(), topic);
    QVERIFY(subscriber.connect());
    binder.singleStarted(link.settings());
    emit worker.SignalVpk(0x00400004);
    emit worker.SignalAlarmCurrent(AlarmType{ 32, 4, 24, 3, 5, 7, 0, 9 });
    for (int i = 0; i < 50; ++i) // every cycle repeats them: nothing new to say
        emit worker.SignalVpk(0x00400004);
    QVERIFY(subscriber.waitFor([&] {
        const auto got = subscriber.messages();
        return !got.isEmpty() && !json(got.last().payload).value("events").toArray().isEmpty();
    }));
    QTest::qWait(200);
    QVERIFY2(subscriber.messages().size() <= 4, qPrintable(QString::number(subscriber.messages().size())));
    const QJsonObject state = json(subscriber.messages().last().payload);
    QCOMPARE(state.value("link").toString(), QString("polling"));
    QCOMPARE(state.value("lamps").toObject().value("Пожар").toString(), QString("on"));
    const QJsonObject event = state.value("events").toArray().first().toObject();
    QCOMPARE(event.value("source").toInt(), 32);
    QCOMPARE(event.value("code").toInt(), 4);
    QCOMPARE(event.value("time").toString(), QString("2024-03-05T07:00:09"));
    QVERIFY(!event.value("name").toString().isEmpty());

    emit worker.SignalAlarmCurrentClear();
    QVERIFY(subscriber.waitFor([&] {
        return json(subscriber.messages().last().payload).value("events").toArray().isEmpty();
    }));
}

void TestMqttBinder::dialogKeepsPasswordOutOfTheFile()
{
    MqttDialog dialog;
    MqttSettings s;
    s.enabled = true;
    s.host = "broker.site";
    s.user = "site";
    s.password = "s3cret-word";
    dialog.setSettings(s);
    QCOMPARE(dialog.settings(), s);

    // TLS moves the usual port along, and OK is refused without a CA file.
    dialog.findChild<QCheckBox *>("checkTls")->setChecked(true);
    QCOMPARE(dialog.settings().port, MqttSettings::TlsPort);
    dialog.show();
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.findChild<QLabel *>("labelProblem")->text().contains("центра сертификации"));
    dialog.findChild<QCheckBox *>("checkTls")->setChecked(false);
    QCOMPARE(dialog.settings().port, MqttSettings::PlainPort);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    dialog.settings().save(store);
    store.sync();
    const QByteArray file = readAll(store.fileName());
    QVERIFY(file.contains("broker.site"));
    QVERIFY(!file.contains("s3cret-word"));
}

QTEST_MAIN(TestMqttBinder)
#include "tst_mqttbinder.moc"
