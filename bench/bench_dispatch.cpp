// The dispatcher on loopback with a private mosquitto: 250 sites of four
// controllers (a bench publisher over libmosquitto) shown after connecting,
// event published to row shown while the sites publish 50 state changes a
// second, resident memory, CPU while nothing changes, and a replay of 10,000
// rows from a site publishing through the console's publisher.
#include "alarmsound.h"
#include "benchtiming.h"
#include "dispatcher.h"
#include "dispatchjournal.h"
#include "dispatchwindow.h"
#include "journal.h"
#include "mqttclient.h"
#include "mqttpublisher.h"
#include "mqtttopics.h"
#include "testbroker.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include <mosquitto.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Sites = 250;
constexpr int ControllersPerSite = 4;

class SilentSound : public AlarmSound
{
public:
    void play() override {}
    void stop() override {}
};

QString siteName(int s)
{
    return QStringLiteral("site-%1").arg(s, 3, 10, QLatin1Char('0'));
}

QByteArray statePayload(int s, int c, ControllerSnapshot::Link link, const QString &event = QString())
{
    ControllerSnapshot state;
    state.key = QStringLiteral("K%1").arg(c);
    state.name = QStringLiteral("%1 K%2").arg(siteName(s)).arg(c);
    state.link = link;
    state.vpk = 1;
    state.lamps = { { QStringLiteral("Работа"), ControllerSnapshot::Lamp::On } };
    if (!event.isEmpty())
        state.events = { { event, 32, 4, QStringLiteral("2024-03-05T07:00:09") } };
    return MqttTopics::statePayload(state);
}

// The sites' side: one libmosquitto client publishing for all of them.
class BenchPublisher
{
public:
    explicit BenchPublisher(int port)
    {
        mosquitto_lib_init();
        mosq = mosquitto_new("bench-sites", true, nullptr);
        mosquitto_max_inflight_messages_set(mosq, 0);
        mosquitto_connect(mosq, "127.0.0.1", port, 30);
        mosquitto_loop_start(mosq);
    }
    ~BenchPublisher()
    {
        mosquitto_disconnect(mosq);
        mosquitto_loop_stop(mosq, false);
        mosquitto_destroy(mosq);
    }
    void publish(const QString &topic, const QByteArray &payload, bool retain)
    {
        mosquitto_publish(mosq, nullptr, topic.toUtf8().constData(), int(payload.size()), payload.constData(), 1, retain);
    }
    void state(int s, int c, ControllerSnapshot::Link link, const QString &event = QString())
    {
        publish(QStringLiteral("bench/%1/K%2/state").arg(siteName(s)).arg(c), statePayload(s, c, link, event), true);
    }

private:
    mosquitto *mosq;
};

// User and system time of the whole process, every thread included.
double cpuSeconds()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#else
    return 0;
#endif
}

// Linux's count; 0 elsewhere.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

DispatchSettings settingsFor(int port, const QString &root)
{
    DispatchSettings s = DispatchSettings::defaults();
    s.broker.host = QStringLiteral("127.0.0.1");
    s.broker.port = port;
    s.broker.prefix = root;
    s.clientId = QStringLiteral("bench-dispatch-") + root;
    return s;
}

void sitesAndEvents(QTextStream &out, int port, const QString &dir)
{
    BenchPublisher sites(port);
    for (int s = 0; s < Sites; ++s) {
        sites.publish(QStringLiteral("bench/%1/status").arg(siteName(s)), "online", true);
        for (int c = 0; c < ControllersPerSite; ++c)
            sites.state(s, c, ControllerSnapshot::Link::Polling);
    }
    QTest::qWait(1000); // the broker has them all retained

    DispatchJournal journal;
    journal.open(dir + QStringLiteral("/dispatch.sqlite"));
    Dispatcher dispatcher(&journal);
    SilentSound sound;
    QSettings store(dir + QStringLiteral("/dispatch.ini"), QSettings::IniFormat);
    DispatchWindow window(&dispatcher, &journal, &sound, &store);
    window.resize(1366, 768);
    window.show();
    QElapsedTimer timer;
    timer.start();
    double connectedAt = -1;
    QObject::connect(dispatcher.client(), &MqttClient::connected, [&] { connectedAt = timer.nsecsElapsed() / 1e6; });
    dispatcher.start(settingsFor(port, QStringLiteral("bench")));
    const bool all = QTest::qWaitFor([&] { return dispatcher.sites()->controllerCount() == Sites * ControllersPerSite; }, 20000);
    const double shown = timer.nsecsElapsed() / 1e6;
    out << "All " << dispatcher.sites()->controllerCount() << " controllers of " << dispatcher.sites()->siteCount()
        << " sites shown " << (all ? "" : "(NOT all) ") << shown - connectedAt << " ms after connecting ("
        << shown << " ms after start)\n";
    out.flush();

    // Load: 50 state changes a second across the sites, an event every 200 ms.
    std::atomic<bool> running{ true };
    std::vector<Clock::time_point> sentAt(200);
    std::atomic<int> eventsSent{ 0 };
    std::thread load([&] {
        std::mt19937 random(7);
        int tick = 0;
        auto next = Clock::now();
        while (running) {
            const int s = int(random() % Sites), c = int(random() % ControllersPerSite);
            if (tick % 10 == 0 && eventsSent < int(sentAt.size())) {
                const int n = eventsSent;
                sentAt[size_t(n)] = Clock::now();
                sites.state(s, c, ControllerSnapshot::Link::Polling, QStringLiteral("Событие %1").arg(n));
                ++eventsSent;
            } else {
                sites.state(s, c, tick % 2 ? ControllerSnapshot::Link::NoAnswer : ControllerSnapshot::Link::Polling);
            }
            ++tick;
            next += std::chrono::milliseconds(20);
            std::this_thread::sleep_until(next);
        }
    });
    std::vector<double> ms;
    QObject::connect(dispatcher.events(), &QAbstractItemModel::rowsInserted, [&](const QModelIndex &, int first, int last) {
        const auto now = Clock::now();
        for (int row = first; row <= last; ++row) {
            const QString name = dispatcher.events()->row(row).name;
            if (name.startsWith(QStringLiteral("Событие ")))
                ms.push_back(std::chrono::duration<double, std::milli>(now - sentAt[size_t(name.mid(8).toInt())]).count());
        }
    });
    const double cpuBefore = cpuSeconds();
    QElapsedTimer loadTimer;
    loadTimer.start();
    (void)QTest::qWaitFor([&] { return eventsSent >= 100; }, 60000);
    QTest::qWait(500);
    const double loadSeconds = loadTimer.nsecsElapsed() / 1e9;
    const double loadCpu = cpuSeconds() - cpuBefore;
    running = false;
    load.join();
    std::sort(ms.begin(), ms.end());
    if (!ms.empty()) {
        out << "Event published to row shown under 50 state changes/s, " << ms.size() << " events: median "
            << ms[ms.size() / 2] << " ms, p95 " << ms[ms.size() * 95 / 100] << " ms, max " << ms.back()
            << " ms (CPU of this process " << int(100 * loadCpu / loadSeconds) << " %)\n";
    }
    out << "Resident memory with the window: " << residentKiB() / 1024 << " MB\n";
    out.flush();

    QTest::qWait(1000); // the last changes settle
    constexpr int Seconds = 10;
    const double before = cpuSeconds();
    QEventLoop loop; // qWait would wake every few milliseconds itself
    QTimer::singleShot(Seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    out << "Nothing changing for " << Seconds << " s: CPU " << (cpuSeconds() - before) * 1000 / Seconds
        << " ms per second (" << 100 * (cpuSeconds() - before) / Seconds << " %)\n";
    out.flush();
}

JournalRecord row(int i)
{
    JournalRecord r = JournalRecord::event(JournalRecord::CurrentList, AlarmType{ 32, quint8(i % 94), 24, 3, 5, 7, 0, 9 },
                                           QStringLiteral("Пожар"));
    r.port = QStringLiteral("/dev/ttyUSB0");
    r.slave = 1;
    return r;
}

void replay(QTextStream &out, int port, const QString &dir)
{
    constexpr int Rows = 10000;
    Journal siteJournal;
    siteJournal.open(dir + QStringLiteral("/site.sqlite"));
    MqttPublisher publisher(&siteJournal);
    MqttSettings site;
    site.enabled = true;
    site.host = QStringLiteral("127.0.0.1");
    site.port = port;
    site.prefix = QStringLiteral("replay/site");
    publisher.setSettings(site);
    DispatchJournal journal;
    journal.open(dir + QStringLiteral("/replay.sqlite"));
    Dispatcher dispatcher(&journal);
    dispatcher.start(settingsFor(port, QStringLiteral("replay")));
    (void)QTest::qWaitFor([&] { return dispatcher.isConnected() && publisher.client()->isConnected(); }, 10000);
    QTest::qWait(300);
    siteJournal.append(row(0));
    (void)QTest::qWaitFor([&] { return dispatcher.tracker(QStringLiteral("site")) != nullptr; }, 10000);
    // Rows the broker never had: the site says they went out already.
    {
        QSqlDatabase db = QSqlDatabase::database(siteJournal.connectionName());
        db.transaction();
        for (int i = 0; i < Rows; ++i)
            siteJournal.append(row(i));
        db.commit();
    }
    publisher.setSettings(MqttSettings());
    siteJournal.setMetaValue(MqttPublisher::AcknowledgedKey, QString::number(Rows + 1));
    publisher.setSettings(site);
    (void)QTest::qWaitFor([&] { return publisher.client()->isConnected(); }, 10000);
    QElapsedTimer timer;
    timer.start();
    siteJournal.append(row(1)); // id Rows + 2: the gap shows
    const GapTracker *tracker = dispatcher.tracker(QStringLiteral("site"));
    const bool whole = QTest::qWaitFor([&] { return tracker->next() == Rows + 3 && tracker->missing() == 0; }, 60000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    journal.flush();
    out << "Replay of " << Rows << " rows: " << (whole ? "complete" : "INCOMPLETE") << " in " << seconds << " s, "
        << journal.rowCount(QStringLiteral("site")) << " rows in the dispatcher's journal\n";
}

} // namespace

int main(int argc, char **argv)
{
    bench::preferOffscreen();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(console);
    QTextStream out(stdout);
    TestBroker broker;
    broker.addConfig(QStringLiteral("max_queued_messages 0"));
    if (!broker.start()) {
        out << "mosquitto did not start\n";
        return 1;
    }
    QTemporaryDir dir;
    sitesAndEvents(out, broker.port(), dir.path());
    replay(out, broker.port(), dir.path());
    return 0;
}
