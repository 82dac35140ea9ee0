// How quickly the console goes when the operator chooses Выход, and how long a
// silent controller takes to be reported as a line failure.
//
// Quitting: the program runs itself as a child console (offscreen) polling the
// simulator, triggers the tray's Выход at a different moment each round and
// notes when it did and when the window was gone; this parent notes when the
// child process has ended. Both use the monotonic clock, which processes share.
//
// Failure detection: a console worker on a silent simulator, from resume() to
// the line failure text.
#include "mainwindow.h"
#include "benchlinefailure.h"
#include "mythread.h"
#include "simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

qint64 monotonicNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void storePort(const QString &storeDir, const QString &port)
{
    qputenv("TARVIK_PORTS", port.toLocal8Bit());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir);
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    store.setValue("portName", port);
    store.setValue("baudRate", "9600");
    store.setValue("address", "1");
    store.sync();
}

// The child: a console polling `port`, quitting from the tray after quitAfterMs.
// Prints "trigger <ns> gone <ns>"; the window counts as gone once it is hidden
// and the event loop has run (so the hiding reached the screen), or once it is
// destroyed if it stays up until then.
int runConsole(int argc, char *argv[])
{
    QApplication app(argc, argv);
    storePort(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2]));
    const int quitAfterMs = QByteArray(argv[4]).toInt();
    qint64 triggerNs = 0, goneNs = 0;
    int code = -1;
    {
        MainWindow window;
        window.show();
        window.findChild<QAction *>("actionEnablePoll")->trigger();
        QTimer::singleShot(quitAfterMs, &window, [&] {
            QAction *exit = window.findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(2);
            triggerNs = monotonicNs();
            exit->trigger();
            if (!window.isVisible())
                QTimer::singleShot(0, [&] { goneNs = monotonicNs(); });
        });
        code = app.exec();
    }
    if (goneNs == 0)
        goneNs = monotonicNs();
    std::printf("trigger %lld gone %lld\n", triggerNs, goneNs);
    std::fflush(stdout);
    return code;
}

struct QuitTiming
{
    double goneMs;
    double exitMs;
    int exitCode;
};

bool quitOnce(const QString &program, const QString &port, int quitAfterMs, QuitTiming *timing)
{
    QTemporaryDir store;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {"--console", port, store.path(), QString::number(quitAfterMs)});
    if (!child.waitForFinished(60000))
        return false;
    const qint64 exitNs = monotonicNs();
    const QList<QByteArray> words = child.readAllStandardOutput().simplified().split(' ');
    if (words.size() != 4)
        return false;
    const qint64 triggerNs = words[1].toLongLong();
    timing->goneMs = double(words[3].toLongLong() - triggerNs) / 1e6;
    timing->exitMs = double(exitNs - triggerNs) / 1e6;
    timing->exitCode = child.exitCode();
    return true;
}

void quitting(const QString &program, Simulator &sim, bool silent, int rounds)
{
    sim.withFaults([silent](FaultPlan &f) { f.setSilent(silent); });
    const QString port = sim.devicePaths().value(0);
    QVector<double> gone, exited;
    QVector<int> codes;
    for (int round = 0; round < rounds; ++round) {
        // Spread over the 1 s a silent request and its settling take.
        const int quitAfterMs = 2000 + round * 1000 / rounds;
        QuitTiming timing{};
        if (!quitOnce(program, port, quitAfterMs, &timing)) {
            std::printf("  round %d: the console did not report or end\n", round);
            continue;
        }
        gone << timing.goneMs;
        exited << timing.exitMs;
        codes << timing.exitCode;
    }
    if (gone.isEmpty())
        return;
    std::sort(gone.begin(), gone.end());
    std::sort(exited.begin(), exited.end());
    std::printf("%s controller, Выход -> window gone: median %.1f ms, max %.1f ms; "
                "-> process ended: median %.0f ms, max %.0f ms; exit codes %s (%d rounds)\n",
                silent ? "silent" : "responsive", gone[gone.size() / 2], gone.last(),
                exited[exited.size() / 2], exited.last(),
                std::all_of(codes.begin(), codes.end(), [](int c) { return c == 0; }) ? "all 0" : "NOT all 0",
                int(gone.size()));
}

void failureDetection(Simulator &sim, int rounds)
{
    sim.withFaults([](FaultPlan &f) { f.setSilent(true); });
    const QString port = sim.devicePaths().value(0);
    for (int round = 0; round < rounds; ++round) {
        const qint64 failedMs = bench::msUntilLineFailure(sim, LinkTarget::serial(port, 9600, 1), 60000);
        std::printf("silent controller, resume -> \"Ошибка чтения линии!\": %.2f s, %d requests sent "
                    "(a plain 0.5 s time-out each would give %.1f s)\n",
                    failedMs / 1000.0, sim.requestLog().size(), sim.requestLog().size() * 0.5);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 5 && QByteArray(argv[1]) == "--console")
        return runConsole(argc, argv);

    QCoreApplication app(argc, argv);
    Simulator sim;
    QString error;
    if (sim.addPseudoTerminal(QString(), &error).isEmpty() || !sim.start()) {
        std::printf("simulator did not start: %s\n", qPrintable(error));
        return 1;
    }
    const QString program = QCoreApplication::applicationFilePath();
    std::printf("offscreen console on a pseudo-terminal, 9600 baud\n");
    quitting(program, sim, false, 10);
    quitting(program, sim, true, 10);
    failureDetection(sim, 2);
    return 0;
}
