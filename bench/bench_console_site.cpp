// The console watching a site: controllers on 9600-baud lines served by TarvikSim
// processes with wire timing (so this process is the console alone). For eight
// controllers on one line and for thirty-two on four lines: time from an event
// raised on any controller to its row in the current-events table (median, p95),
// polling cycles per second per controller, and the console's CPU while nothing
// happens. The same for eight units behind one loopback Modbus TCP gateway
// (no wire timing there: the console's own cost per turn). Then the window's
// memory over 100,000 events.
//
//     bench_console_site [site|gateway|memory]     (all by default)
#include "alarmsound.h"
#include "controllerlist.h"
#include "eventcatalogue.h"
#include "eventtables.h"
#include "mainwindow.h"
#include "sitesession.h"

#include "benchtiming.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

double cpuSeconds()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#else
    return 0;
#endif
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Sleeps in the event loop, so this thread costs no CPU meanwhile.
void waitMs(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// One TarvikSim process: a line of controllers at 9600 baud with wire timing,
// or a loopback gateway with the controllers behind it.
struct Line
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString link;
    int tcpPort = 0;

    bool startGateway(int controllers)
    {
        QStringList slaves;
        for (int address = 1; address <= controllers; ++address)
            slaves << QString::number(address);
        process->setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/TarvikSim"));
        process->setArguments({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--slave"),
                               slaves.join(',')});
        process->start();
        // It prints "tcp 127.0.0.1:PORT" once listening.
        QElapsedTimer timer;
        timer.start();
        QByteArray printed;
        while (!printed.contains('\n') && timer.elapsed() < 5000) {
            process->waitForReadyRead(100);
            printed += process->readAllStandardOutput();
        }
        const int colon = printed.indexOf("tcp 127.0.0.1:");
        if (colon >= 0)
            tcpPort = printed.mid(colon + 14).trimmed().split('\n').first().toInt();
        return tcpPort > 0;
    }

    bool start(const QString &dir, int index, int controllers)
    {
        link = dir + QStringLiteral("/line-%1").arg(index);
        QStringList slaves;
        for (int address = 1; address <= controllers; ++address)
            slaves << QString::number(address);
        process->setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/TarvikSim"));
        process->setArguments({QStringLiteral("--link"), link, QStringLiteral("--slave"), slaves.join(','),
                               QStringLiteral("--line-timing")});
        process->start();
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(link) && timer.elapsed() < 5000)
            QThread::msleep(20);
        return QFile::exists(link);
    }
    void raise(int slave, int source, int code)
    {
        process->write(QStringLiteral("slave %1\nevent current %2 %3\n").arg(slave).arg(source).arg(code).toUtf8());
    }
    ~Line()
    {
        process->write("quit\n");
        if (!process->waitForFinished(3000))
            process->kill();
    }
};

void siteRun(int lineCount, int perLine, int events, bool gateways = false)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<Line>> lines;
    QVector<ControllerEntry> entries;
    for (int l = 0; l < lineCount; ++l) {
        lines.push_back(std::make_unique<Line>());
        if (gateways ? !lines.back()->startGateway(perLine) : !lines.back()->start(dir.path(), l, perLine)) {
            out() << "TarvikSim did not start" << Qt::endl;
            return;
        }
        for (int a = 1; a <= perLine; ++a) {
            ControllerEntry entry;
            entry.name = QStringLiteral("К%1.%2").arg(l + 1).arg(a);
            entry.portName = lines.back()->link;
            entry.tcp = gateways;
            entry.host = QStringLiteral("127.0.0.1");
            entry.tcpPort = lines.back()->tcpPort;
            entry.address = a;
            entries << entry;
        }
    }
    const EventCatalogue catalogue(EventCatalogue::Console);
    QTableWidget current(0, 3), all(0, 3);
    EventTables tables(&current, &all, catalogue);
    tables.setSiteView(true);
    SiteSession session{ControllerList(entries)};
    QVector<int> cycles(entries.size());
    QElapsedTimer clock;
    clock.start();
    qint64 rowAt = -1;
    QEventLoop rowLoop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &rowLoop, &QEventLoop::quit);
    QObject::connect(&session, &SiteSession::eventRead, [&](int id, bool isCurrent, AlarmType alarm) {
        tables.append(isCurrent ? EventTables::Current : EventTables::All, alarm, id, session.name(id));
        if (isCurrent) {
            rowAt = clock.elapsed();
            rowLoop.quit();
        }
    });
    QObject::connect(&session, &SiteSession::vpkChanged, [&](int id) { ++cycles[id]; });
    int lost = 0;
    QObject::connect(&session, &SiteSession::linkLost, [&](int) { ++lost; });
    session.start();
    waitMs(3000); // every controller's lists read once

    // Idle: polling goes on, nothing happens.
    std::fill(cycles.begin(), cycles.end(), 0);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer idle;
    idle.start();
    waitMs(10000);
    const double idleSeconds = idle.elapsed() / 1000.0;
    const double cpuPercent = 100.0 * (cpuSeconds() - cpuBefore) / idleSeconds;
    std::vector<int> sorted(cycles.begin(), cycles.end());
    std::sort(sorted.begin(), sorted.end());

    std::vector<qint64> latencies;
    int missed = 0;
    for (int k = 0; k < events; ++k) {
        const int id = QRandomGenerator::global()->bounded(entries.size());
        waitMs(QRandomGenerator::global()->bounded(400)); // any phase of the round
        rowAt = -1;
        const qint64 raisedAt = clock.elapsed();
        lines[id / perLine]->raise(id % perLine + 1, 33 + k % 200, k % 10);
        if (rowAt < 0) {
            guard.start(10000);
            rowLoop.exec();
            guard.stop();
        }
        if (rowAt < 0)
            ++missed;
        else
            latencies.push_back(rowAt - raisedAt);
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies.empty() ? -1 : latencies[std::min(latencies.size() - 1, size_t(q * latencies.size()))];
    };
    out() << lineCount * perLine << " controllers on " << lineCount
          << (gateways ? " loopback Modbus TCP gateway(s):\n" : " line(s), 9600 baud:\n")
          << "  event to row: median " << at(0.5) << " ms, p95 " << at(0.95) << " ms, max "
          << (latencies.empty() ? -1 : latencies.back()) << " ms (" << latencies.size() << " events, "
          << missed << " missed)\n"
          << "  polling cycles per controller: " << QString::number(sorted.front() / idleSeconds, 'f', 2)
          << " to " << QString::number(sorted.back() / idleSeconds, 'f', 2) << " per second\n"
          << "  console CPU while idle: " << QString::number(cpuPercent, 'f', 2) << " % of a core\n"
          << "  lost controllers: " << lost << Qt::endl;
    session.stop();
}

struct SilentSound : AlarmSound
{
    void play() override {}
    void stop() override {}
};

// The window with one controller, fed through its slots: every event is
// journaled and shown in both tables.
void memoryRun()
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    qputenv("TARVIK_JOURNAL", QFile::encodeName(dir.filePath(QStringLiteral("journal.sqlite"))));
    MainWindow window;
    window.setAlarmSound(new SilentSound);
    window.show();
    QCoreApplication::processEvents();
    out() << "window memory, events shown in both tables and journaled:\n  0: " << residentKb() / 1024
          << " MB resident" << Qt::endl;
    QElapsedTimer timer;
    timer.start();
    for (int n = 1; n <= 100000; ++n) {
        const AlarmType alarm{quint16(33 + n % 250), quint8(n % 10), 24, 3, 12, quint8(n / 3600 % 24),
                              quint8(n / 60 % 60), quint8(n % 60)};
        window.TableAlarmCurrentSet(alarm);
        window.TableAlarmAllSet(alarm);
        if (n % 1000 == 0)
            QCoreApplication::processEvents();
        if (n % 20000 == 0) {
            out() << "  " << n << ": " << residentKb() / 1024 << " MB resident, "
                  << timer.elapsed() / 1000.0 << " s" << Qt::endl;
        }
    }
    out() << "  peak " << bench::peakRssKb() / 1024 << " MB" << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::preferOffscreen();
    QApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (what.isEmpty() || what == QLatin1String("site")) {
        siteRun(1, 8, 40);
        siteRun(4, 8, 40);
    }
    if (what.isEmpty() || what == QLatin1String("gateway"))
        siteRun(1, 8, 40, true);
    if (what.isEmpty() || what == QLatin1String("memory"))
        memoryRun();
    return 0;
}
