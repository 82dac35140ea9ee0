// The console's polling over loopback Modbus TCP: cycles per second against a
// quiet controller, and how long a gateway whose controller is silent takes
// to be reported as a line failure, for a few response time-outs.
#include "benchlinefailure.h"
#include "benchsimulator.h"
#include "mythread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

// Polls for `seconds`; a cycle is counted by its first request, which comes once a cycle.
void cyclesPerSecond(Simulator &sim, const LinkTarget &target, double seconds)
{
    MyThread worker;
    worker.setLink(target);
    worker.start();
    worker.resume();
    QThread::msleep(300); // past the first connect and handshake
    sim.clearRequestLog();
    QElapsedTimer timer;
    timer.start();
    QThread::msleep(quint64(seconds * 1000));
    const QVector<RequestRecord> log = sim.requestLog();
    const double elapsed = timer.nsecsElapsed() / 1e9;
    worker.pause();
    int cycles = 0;
    for (const RequestRecord &r : log)
        cycles += r.function == log.value(0).function && r.address == log.value(0).address;
    std::printf("%s: %.0f cycles/s, %.0f requests/s\n", qPrintable(target.peerName()), cycles / elapsed,
                log.size() / elapsed);
}

void silentGateway(Simulator &sim, int port, int timeoutMs)
{
    sim.withFaults([](FaultPlan &f) { f.setSilent(true); });
    const qint64 failedMs = bench::msUntilLineFailure(
        sim, LinkTarget::tcp(QStringLiteral("127.0.0.1"), port, 1, timeoutMs), 120000);
    std::printf("silent controller behind the gateway, time-out %d ms: \"Ошибка чтения линии!\" after %.2f s, "
                "%d requests\n", timeoutMs, failedMs / 1000.0, sim.requestLog().size());
    sim.withFaults([](FaultPlan &f) { f.setSilent(false); });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bench::LoopbackSimulator loopback;
    if (!loopback.start())
        return 1;
    Simulator &sim = loopback.sim;
    const QString &pty = loopback.pty;
    TcpServer &tcp = loopback.tcp;
    cyclesPerSecond(sim, LinkTarget::tcp(QStringLiteral("127.0.0.1"), tcp.port(), 1), 3);
    cyclesPerSecond(sim, LinkTarget::serial(pty, 115200, 1), 3);
    for (int timeoutMs : { 1000, 300 })
        silentGateway(sim, tcp.port(), timeoutMs);
    return 0;
}
