// How fast the console's worker takes events off the controller simulator:
// a burst of 1000 current events, the requests each event costs, and the
// time from an event appearing to its signal in the window's thread.
#include "mythread.h"
#include "registermap.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

SimEvent numberedEvent(int n)
{
    const QDateTime when(QDate(2024, 3, 1 + n % 28), QTime(n / 60 % 24, n % 60, n % 60));
    return SimEvent::at(SimEvent::deviceSource(1 + n % 250), quint8(n % 10), when);
}

// Counts the worker's current events as they reach this thread.
class Counter : public QObject
{
public:
    explicit Counter(MyThread &worker)
    {
        clock.start();
        timeout.setSingleShot(true);
        connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(&worker, &MyThread::SignalAlarmCurrent, this, [this](AlarmType) {
            ++received;
            lastAtNs = clock.nsecsElapsed();
            if (received >= wanted)
                loop.quit();
        });
        connect(&worker, &MyThread::SignalAlarmAll, this, [this](AlarmType) { ++receivedAll; });
        connect(&worker, &MyThread::SignalAlarmCurrentClear, this, [this] {
            ++clears;
            if (awaitingClear)
                loop.quit();
        });
    }

    // Runs the event loop until the worker has seen an empty current list.
    bool waitForClear(int timeoutMs)
    {
        const int before = clears;
        awaitingClear = true;
        timeout.start(timeoutMs);
        loop.exec();
        timeout.stop();
        awaitingClear = false;
        return clears > before;
    }

    // Runs the event loop until `total` events have arrived or time runs out.
    bool waitFor(int total, int timeoutMs)
    {
        wanted = total;
        if (received >= wanted)
            return true;
        timeout.start(timeoutMs);
        loop.exec();
        timeout.stop();
        return received >= wanted;
    }

    QElapsedTimer clock;
    int received = 0;
    int receivedAll = 0;
    int clears = 0;
    qint64 lastAtNs = 0;

private:
    QEventLoop loop;
    QTimer timeout;
    int wanted = 0;
    bool awaitingClear = false;
};

bool isCurrentListRequest(const RequestRecord &r)
{
    const RegisterMap::EventList &list = RegisterMap::Events::Current;
    return r.address == list.count || r.address == list.index || r.address == list.ack
        || r.address == list.record;
}

// Empties both lists and waits until the worker has seen it, so that the
// next events start again from position 0.
void emptyLists(Simulator &sim, Counter &counter)
{
    sim.withState([](ControllerState &s) {
        s.clearCurrentEvents();
        s.clearLoggedEvents();
    });
    counter.waitForClear(5000);
}

void burst(Simulator &sim, Counter &counter, int events, bool alsoLog)
{
    emptyLists(sim, counter);
    const int before = counter.received;
    const int allBefore = counter.receivedAll;
    sim.clearRequestLog();
    sim.withState([&](ControllerState &s) {
        for (int i = 0; i < events; ++i)
            s.addCurrentEvent(numberedEvent(i), alsoLog);
    });
    const qint64 startNs = counter.clock.nsecsElapsed();
    if (!counter.waitFor(before + events, 120000)) {
        std::printf("burst: only %d of %d events arrived\n", counter.received - before, events);
        return;
    }
    const double seconds = double(counter.lastAtNs - startNs) / 1e9;
    const QVector<RequestRecord> log = sim.requestLog();
    const auto currentRequests = std::count_if(log.begin(), log.end(), isCurrentListRequest);
    // Logged events arrive in the same cycles, so they share the requests.
    const int delivered = events + counter.receivedAll - allBefore;
    std::printf("burst of %d current events%s: %.3f s, %.0f current events/s, "
                "%.2f current-list requests per current event, "
                "%.2f requests of all kinds per delivered event (%d delivered)\n",
                events, alsoLog ? " (also logged)" : "", seconds, events / seconds,
                double(currentRequests) / events, double(log.size()) / delivered, delivered);
}

void latency(Simulator &sim, Counter &counter, int samples)
{
    emptyLists(sim, counter);
    QVector<double> ms;
    QRandomGenerator random(7);
    for (int i = 0; i < samples; ++i) {
        // Let the worker settle into idle count reads at a random phase.
        QEventLoop idle;
        QTimer::singleShot(int(random.bounded(5, 25)), &idle, &QEventLoop::quit);
        idle.exec();
        const int before = counter.received;
        const qint64 addedNs = counter.clock.nsecsElapsed();
        sim.withState([&](ControllerState &s) { s.addCurrentEvent(numberedEvent(i), false); });
        if (!counter.waitFor(before + 1, 5000)) {
            std::printf("latency: event %d never arrived\n", i);
            return;
        }
        ms.append(double(counter.lastAtNs - addedNs) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("event appearing -> signal received (%d samples): median %.2f ms, "
                "90th percentile %.2f ms, max %.2f ms\n",
                samples, ms.at(ms.size() / 2), ms.at(ms.size() * 9 / 10), ms.last());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Simulator sim;
    QString error;
    const QString path = sim.addPseudoTerminal(QString(), &error);
    if (path.isEmpty() || !sim.start()) {
        std::printf("simulator did not start: %s\n", qPrintable(error));
        return 1;
    }

    MyThread worker;
    Counter counter(worker);
    worker.setPort(path, 9600, 1);
    worker.start();
    worker.resume();

    std::printf("pseudo-terminal, no line timing\n");
    burst(sim, counter, 1000, false);
    burst(sim, counter, 1000, true);
    latency(sim, counter, 100);

    worker.stopAndWait();
    return 0;
}
