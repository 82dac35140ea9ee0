// How long the real editor window takes: construction, refreshAll() in the
// addressed layout, a polling mode switch by click (gather then refresh) and
// one "Для всех", each with the repaint it causes; and the peak memory.
// Runs offscreen unless a platform is given.
#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

constexpr int Rounds = 11;

struct Timing {
    double call;    // the operation itself
    double repaint; // the window catching up on the events it caused
};

QTextStream &operator<<(QTextStream &out, const Timing &t)
{
    return out << t.call + t.repaint << " ms (call " << t.call << ", repaint " << t.repaint << ")";
}

double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Medians over the rounds; prepare() runs untimed before each round.
Timing median(const std::function<void()> &step, const std::function<void()> &prepare = {})
{
    std::vector<double> calls, repaints;
    for (int i = 0; i < Rounds; ++i) {
        if (prepare) {
            prepare();
            QCoreApplication::processEvents();
        }
        QElapsedTimer timer;
        timer.start();
        step();
        calls.push_back(elapsedMs(timer));
        timer.restart();
        QCoreApplication::processEvents();
        repaints.push_back(elapsedMs(timer));
    }
    std::sort(calls.begin(), calls.end());
    std::sort(repaints.begin(), repaints.end());
    return {calls[Rounds / 2], repaints[Rounds / 2]};
}

long peakRssKb()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return -1;
#endif
}

template <class T>
T *child(QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << "peak RSS before any window: " << peakRssKb() << " kB\n";

    std::unique_ptr<MainWindow> window;
    out << "construct window (shown maximised): "
        << median([&] { window = std::make_unique<MainWindow>(); }, [&] { window.reset(); }) << "\n";

    auto *addressed = child<QRadioButton>(*window, "radioButtonModeAdr");
    auto *single = child<QRadioButton>(*window, "radioButtonModeNoAdr");
    addressed->click();
    QCoreApplication::processEvents();
    out << "refreshAll (addressed): " << median([&] { window->refreshAll(); }) << "\n";
    out << "gatherAll (addressed): " << median([&] { window->gatherAll(); }) << "\n";
    out << "mode switch to addressed (click): "
        << median([&] { addressed->click(); }, [&] { single->click(); }) << "\n";
    out << "mode switch to non-addressed (click): "
        << median([&] { single->click(); }, [&] { addressed->click(); }) << "\n";

    addressed->click();
    child<QComboBox>(*window, "comboBoxSensorFireValve")->setCurrentIndex(10);
    auto *fireValve = child<QPushButton>(*window, "pushButtonSensorFireValve");
    out << QStringLiteral("\"Для всех\" fire valve (250 rows): ") << median([&] { fireValve->click(); }) << "\n";
    auto *stateRelay = child<QPushButton>(*window, "pushButtonRelayValveClose");
    out << QStringLiteral("\"Для всех\" valve state relay (251 rows): ") << median([&] { stateRelay->click(); }) << "\n";
    auto *inputName = child<QPushButton>(*window, "pushButtonDiscreteInputName");
    out << QStringLiteral("\"Для всех\" input name (24 rows): ") << median([&] { inputName->click(); }) << "\n";

    out << "peak RSS with the window: " << peakRssKb() << " kB\n";
    return 0;
}
