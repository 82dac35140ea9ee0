// Publishing on loopback with a private mosquitto: event-to-broker delivery
// (journal row appended -> a subscriber has it), a 100,000-row backlog
// drained, and the CPU the console spends connected and idle.
#include "benchtiming.h"
#include "journal.h"
#include "mqttclient.h"
#include "mqttpublisher.h"
#include "testbroker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <mosquitto.h>

#include <atomic>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// Notes when each journal id arrives, on the library's thread.
struct Arrivals
{
    QMutex mutex;
    QHash<qint64, Clock::time_point> at;
    std::atomic<int> count{ 0 };

    static void onMessage(mosquitto *, void *self, const mosquitto_message *message)
    {
        const auto now = Clock::now();
        auto *arrivals = static_cast<Arrivals *>(self);
        const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
        const qint64 id = QJsonDocument::fromJson(payload).object().value("id").toVariant().toLongLong();
        QMutexLocker lock(&arrivals->mutex);
        if (!arrivals->at.contains(id)) {
            arrivals->at.insert(id, now);
            ++arrivals->count;
        }
    }
};

mosquitto *subscribe(int port, Arrivals *arrivals)
{
    mosquitto *m = mosquitto_new(nullptr, true, arrivals);
    mosquitto_message_callback_set(m, Arrivals::onMessage);
    mosquitto_connect(m, "127.0.0.1", port, 30);
    mosquitto_subscribe(m, nullptr, "bench/+/journal", 1);
    mosquitto_loop_start(m);
    QTest::qWait(300);
    return m;
}

JournalRecord row(int i)
{
    JournalRecord r = JournalRecord::event(JournalRecord::CurrentList, AlarmType{ 32, quint8(i % 94), 24, 3, 5, 7, 0, 9 },
                                           QStringLiteral("Пожар"));
    r.port = QStringLiteral("/dev/ttyUSB0");
    r.slave = 1;
    return r;
}

MqttSettings settingsFor(int port)
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.prefix = QStringLiteral("bench");
    return s;
}

// User and system time of the whole process, every thread included.
double cpuSeconds()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#else
    return 0;
#endif
}

void latency(QTextStream &out, int port, const QString &dir)
{
    Journal journal;
    journal.open(dir + QStringLiteral("/latency.sqlite"));
    MqttPublisher publisher(&journal);
    publisher.setSettings(settingsFor(port));
    (void)QTest::qWaitFor([&] { return publisher.client()->isConnected(); }, 10000);
    Arrivals arrivals;
    mosquitto *sub = subscribe(port, &arrivals);

    constexpr int Events = 300;
    QHash<qint64, Clock::time_point> sent;
    for (int i = 0; i < Events; ++i) {
        const auto before = Clock::now();
        sent.insert(journal.append(row(i)), before);
        QTest::qWait(10); // events come one by one, not in a burst
    }
    (void)QTest::qWaitFor([&] { return arrivals.count >= Events; }, 20000);
    std::vector<double> ms;
    {
        QMutexLocker lock(&arrivals.mutex);
        for (auto it = sent.cbegin(); it != sent.cend(); ++it) {
            if (arrivals.at.contains(it.key()))
                ms.push_back(std::chrono::duration<double, std::milli>(arrivals.at.value(it.key()) - it.value()).count());
        }
    }
    std::sort(ms.begin(), ms.end());
    out << "Event to subscriber, " << ms.size() << " of " << Events << " events: median "
        << ms[ms.size() / 2] << " ms, p99 " << ms[ms.size() * 99 / 100] << " ms, max " << ms.back() << " ms\n";
    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, false);
    mosquitto_destroy(sub);
}

void backlog(QTextStream &out, int port, const QString &dir)
{
    constexpr int Rows = 100000;
    Journal journal;
    journal.setRowLimit(2 * Rows);
    journal.open(dir + QStringLiteral("/backlog.sqlite"));
    journal.setMetaValue(MqttPublisher::AcknowledgedKey, QStringLiteral("0"));
    {
        QSqlDatabase db = QSqlDatabase::database(journal.connectionName());
        db.transaction(); // the rows are the backlog, not what is timed
        for (int i = 0; i < Rows; ++i)
            journal.append(row(i));
        db.commit();
    }
    Arrivals arrivals;
    mosquitto *sub = subscribe(port, &arrivals);
    MqttPublisher publisher(&journal);
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuSeconds();
    publisher.setSettings(settingsFor(port));
    (void)QTest::qWaitFor([&] { return publisher.acknowledgedId() >= Rows; }, 120000);
    const double acknowledged = timer.nsecsElapsed() / 1e9;
    (void)QTest::qWaitFor([&] { return arrivals.count >= Rows; }, 60000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    out << "Backlog of " << Rows << " rows: acknowledged by the broker up to row " << publisher.acknowledgedId()
        << " in " << acknowledged << " s = " << int(Rows / acknowledged) << " rows/s; " << arrivals.count
        << " at the subscriber after " << seconds << " s (CPU of this process, publisher and subscriber, "
        << int(100 * (cpuSeconds() - cpuBefore) / seconds) << " %)\n";
    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, false);
    mosquitto_destroy(sub);
}

void idle(QTextStream &out, int port, const QString &dir)
{
    Journal journal;
    journal.open(dir + QStringLiteral("/idle.sqlite"));
    MqttPublisher publisher(&journal);
    publisher.setSettings(settingsFor(port));
    (void)QTest::qWaitFor([&] { return publisher.client()->isConnected(); }, 10000);
    constexpr int Seconds = 10;
    const double before = cpuSeconds();
    QEventLoop loop; // qWait would wake every few milliseconds itself
    QTimer::singleShot(Seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    out << "Connected and idle for " << Seconds << " s: CPU " << (cpuSeconds() - before) * 1000 / Seconds
        << " ms per second (" << 100 * (cpuSeconds() - before) / Seconds << " %)\n";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    TestBroker broker;
    broker.addConfig(QStringLiteral("max_queued_messages 0")); // the subscriber must not lose what it is slow to take
    if (!broker.start()) {
        out << "mosquitto did not start\n";
        return 1;
    }
    QTemporaryDir dir;
    latency(out, broker.port(), dir.path());
    out.flush();
    backlog(out, broker.port(), dir.path());
    out.flush();
    idle(out, broker.port(), dir.path());
    return 0;
}
