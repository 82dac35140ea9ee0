// The editor's whole-configuration read and write through its worker to the
// simulator over loopback Modbus TCP, connect and disconnect included, next to
// the same over a pseudo-terminal without line timing.
#include "benchsimulator.h"
#include "mythread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rounds = 20;

// Milliseconds from resume() to the job's end, or -1 when it failed.
double runJob(MyThread &worker, int mode)
{
    QEventLoop loop;
    bool ok = false;
    const auto done = [&] { ok = true; loop.quit(); };
    const auto c1 = QObject::connect(&worker, &MyThread::ReadComplete, &loop, done);
    const auto c2 = QObject::connect(&worker, &MyThread::WriteComplete, &loop, done);
    const auto c3 = QObject::connect(&worker, &MyThread::Signal, &loop, [&] { loop.quit(); });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    worker.setMode(mode);
    worker.resume();
    loop.exec();
    const double ms = timer.nsecsElapsed() / 1e6;
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    QObject::disconnect(c3);
    while (!worker.isParked())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return ok ? ms : -1;
}

void measure(Simulator &sim, const char *name, const LinkTarget &target)
{
    MyThread worker;
    worker.setLink(target);
    worker.start();
    for (int mode : { MyThread::ReadMode, MyThread::WriteMode }) {
        std::vector<double> times;
        int failures = 0;
        sim.resetStatistics();
        for (int round = 0; round < Rounds; ++round) {
            const double ms = runJob(worker, mode);
            if (ms < 0)
                ++failures;
            else
                times.push_back(ms);
        }
        std::sort(times.begin(), times.end());
        if (times.empty()) {
            std::printf("%s %s: every job failed\n", name, mode == MyThread::ReadMode ? "read " : "write");
            continue;
        }
        std::printf("%s %s: median %.1f ms, best %.1f ms, worst %.1f ms, failures %d of %d, %llu requests a job\n",
                    name, mode == MyThread::ReadMode ? "read " : "write", times[times.size() / 2], times.front(),
                    times.back(), failures, Rounds, sim.statistics().answered / Rounds);
    }
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
    std::printf("whole configuration through the editor's worker, %d jobs each (target: TCP read < 150 ms)\n", Rounds);
    measure(sim, "TCP 127.0.0.1", LinkTarget::tcp(QStringLiteral("127.0.0.1"), tcp.port(), 1));
    measure(sim, "pseudo-terminal", LinkTarget::serial(pty, 115200, 1));
    return 0;
}
