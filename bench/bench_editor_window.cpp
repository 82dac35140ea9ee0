// How long the real editor window takes: construction, refreshAll() in the
// addressed layout, a polling mode switch by click (gather then refresh) and
// one "Для всех", each with the repaint it causes; and the peak memory.
// Runs offscreen unless a platform is given.
#include "mainwindow.h"

#include "benchtiming.h"

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


namespace {

constexpr int Rounds = 11;

using bench::Timing;
using bench::peakRssKb;

Timing median(const std::function<void()> &step, const std::function<void()> &prepare = {})
{
    return bench::median(Rounds, step, prepare);
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
    bench::preferOffscreen();
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
