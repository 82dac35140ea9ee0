// A site's controllers published over MQTT: the window polls three simulated
// controllers on two pseudo-terminal lines, a private mosquitto takes the
// retained state of each under its own topic. Offscreen.
#include "alarmsound.h"
#include "controllerlist.h"
#include "mainwindow.h"
#include "mqttbinder.h"
#include "mqttpublisher.h"
#include "simharness.h"
#include "sitesession.h"
#include "sitestates.h"
#include "testbroker.h"
#include "testwidgets.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <QtWidgets>

namespace {

struct QuietSound : AlarmSound
{
    void play() override {}
    void stop() override {}
};

ControllerEntry entry(const QString &name, const QString &port, int address)
{
    ControllerEntry e;
    e.name = name;
    e.portName = port;
    e.address = address;
    return e;
}

QJsonObject lastOn(const TestSubscriber &subscriber, const QString &topic)
{
    const QVector<TestSubscriber::Message> got = subscriber.messagesOn(topic);
    return got.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(got.last().payload).object();
}

QString linkOn(const TestSubscriber &subscriber, const QString &topic)
{
    return lastOn(subscriber, topic).value("link").toString();
}

// The link values a topic went through, repeats folded.
QStringList linksSeen(const TestSubscriber &subscriber, const QString &topic)
{
    QStringList links;
    for (const TestSubscriber::Message &m : subscriber.messagesOn(topic)) {
        const QString link = QJsonDocument::fromJson(m.payload).object().value("link").toString();
        if (links.isEmpty() || links.last() != link)
            links << link;
    }
    return links;
}

QList<int> sourcesOf(const QJsonObject &state)
{
    QList<int> sources;
    for (const QJsonValue &event : state.value("events").toArray())
        sources << event.toObject().value("source").toInt();
    std::sort(sources.begin(), sources.end());
    return sources;
}

QString lamp(const QJsonObject &state, const QString &caption)
{
    return state.value("lamps").toObject().value(caption).toString();
}

SimEvent fault(int device)
{
    return SimEvent::now(SimEvent::deviceSource(device), 4);
}

} // namespace

class TestSiteStates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eachControllerUnderItsOwnTopic();

private:
    QTemporaryDir storeDir;
};

void TestSiteStates::initTestCase()
{
    QVERIFY(storeDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
    qputenv("TARVIK_JOURNAL", QFile::encodeName(storeDir.filePath("journal.sqlite")));
}

void TestSiteStates::eachControllerUnderItsOwnTopic()
{
    TestBroker broker;
    QVERIFY(broker.start());
    SimHarness line(QVector<int>{1, 2});
    SimHarness other(5);
    QVERIFY2(line.isReady() && other.isReady(), qPrintable(line.errorString() + other.errorString()));
    setStoredPort(line.devicePath(), {line.devicePath(), other.devicePath()});
    QVERIFY(ControllerList({entry("Котельная", line.devicePath(), 1), entry("Цех 2", line.devicePath(), 2),
                            entry("Склад", other.devicePath(), 5)})
                .save());
    line.stateOf(1, [](ControllerState &s) { s.addCurrentEvent(fault(1)); s.setStatusWord(0x4); });
    line.stateOf(2, [](ControllerState &s) { s.setStatusWord(0x20); });
    other.state([](ControllerState &s) { s.addCurrentEvent(fault(5)); s.addCurrentEvent(fault(6)); s.setStatusWord(0); });

    qputenv("TARVIK_MQTT", QByteArray("127.0.0.1:") + QByteArray::number(broker.port()));
    MainWindow window;
    qunsetenv("TARVIK_MQTT");
    window.setAlarmSound(new QuietSound);
    auto *binder = window.findChild<MqttBinder *>();
    QVERIFY(binder);
    QTRY_COMPARE_WITH_TIMEOUT(binder->statusLabel()->text(), QString("MQTT: подключено"), 10000);
    const QString prefix = binder->publisher()->settings().prefix;
    const QString boiler = prefix + "/Котельная/state", shop = prefix + "/Цех_2/state",
                  store = prefix + "/Склад/state";
    TestSubscriber subscriber(broker.port(), prefix + "/+/state");
    QVERIFY(subscriber.connect());

    child<QAction>(window, "actionEnablePoll")->trigger();
    SiteSession *site = window.siteSession();
    QVERIFY(site);
    site->setRetryInterval(1000);

    // Each its own lamps and events.
    QVERIFY(subscriber.waitFor([&] {
        return sourcesOf(lastOn(subscriber, boiler)) == QList<int>{SimEvent::deviceSource(1)}
            && sourcesOf(lastOn(subscriber, store)) == (QList<int>{SimEvent::deviceSource(5), SimEvent::deviceSource(6)})
            && lamp(lastOn(subscriber, shop), "Авария тех. оборудования") == "on";
    }));
    QCOMPARE(lamp(lastOn(subscriber, boiler), "Пожар"), QString("on"));
    QCOMPARE(lamp(lastOn(subscriber, boiler), "Авария тех. оборудования"), QString("off"));
    QCOMPARE(lamp(lastOn(subscriber, shop), "Пожар"), QString("off"));
    QCOMPARE(lastOn(subscriber, shop).value("events").toArray().size(), 0);
    QCOMPARE(lastOn(subscriber, store).value("controller").toString(), QString("Склад"));
    for (const QString &topic : {boiler, shop, store})
        QCOMPARE(linkOn(subscriber, topic), QString("polling"));
    QCOMPARE(binder->siteStates()->ids().size(), 3);

    // One controller's list emptied: only its state loses the events.
    other.state([](ControllerState &s) { s.clearCurrentEvents(); });
    QVERIFY(subscriber.waitFor([&] { return sourcesOf(lastOn(subscriber, store)).isEmpty(); }));
    QCOMPARE(sourcesOf(lastOn(subscriber, boiler)), QList<int>{SimEvent::deviceSource(1)});

    // Цех falls silent: no answer at once, then no link; the others poll on.
    line.faultsOf(2, [](FaultPlan &f) { f.setSilent(true); });
    QVERIFY(subscriber.waitFor([&] { return linkOn(subscriber, shop) == "no-answer"; }, 3000));
    QVERIFY(subscriber.waitFor([&] { return linkOn(subscriber, shop) == "no-link"; }, 25000));
    QCOMPARE(linksSeen(subscriber, shop), (QStringList{"polling", "no-answer", "no-link"}));
    QCOMPARE(linkOn(subscriber, boiler), QString("polling"));
    QCOMPARE(linkOn(subscriber, store), QString("polling"));
    line.faultsOf(2, [](FaultPlan &f) { f.setSilent(false); });
    QVERIFY(subscriber.waitFor([&] { return linkOn(subscriber, shop) == "polling"; }, 5000));

    // A dispatcher who comes later is told the retained state of each.
    TestSubscriber late(broker.port(), prefix + "/+/state");
    QVERIFY(late.connect());
    QVERIFY(late.waitFor([&] {
        return !late.messagesOn(boiler).isEmpty() && !late.messagesOn(shop).isEmpty()
            && !late.messagesOn(store).isEmpty();
    }, 5000));
    QVERIFY(late.messagesOn(boiler).first().retained);
    QCOMPARE(sourcesOf(lastOn(late, boiler)), QList<int>{SimEvent::deviceSource(1)});
    QCOMPARE(lamp(lastOn(late, shop), "Авария тех. оборудования"), QString("on"));

    // Paused: every controller idle, none said to poll on.
    child<QAction>(window, "actionDisablePoll")->trigger();
    QVERIFY(subscriber.waitFor([&] {
        return linkOn(subscriber, boiler) == "idle" && linkOn(subscriber, shop) == "idle"
            && linkOn(subscriber, store) == "idle";
    }, 5000));
    QTest::qWait(300);
    for (const QString &topic : {boiler, shop, store})
        QCOMPARE(linkOn(subscriber, topic), QString("idle"));
}

QTEST_MAIN(TestSiteStates)
#include "tst_sitestates.moc"
