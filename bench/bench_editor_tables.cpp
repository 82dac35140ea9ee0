// How long the editor's tables take to rebuild: refresh of all six tables in
// the addressed layout, a polling mode switch (gather then refresh) and one
// "Для всех" assignment. Runs offscreen unless a platform is given.
#include "configimage.h"
#include "configtables.h"

#include "benchtiming.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QTableWidget>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>


namespace {

constexpr int Rounds = 15;

// A window shaped like the editor's: every table in a group box with its
// assignment boxes below, so layout and painting cost what they cost there.
struct Window {
    QWidget root;
    ConfigTables::Widgets w;

    QTableWidget *table(const char *name, QGroupBox *assign, std::vector<QComboBox **> boxes,
                        int column)
    {
        auto *group = new QGroupBox(QString::fromLatin1(name), &root);
        auto *layout = new QGridLayout(group);
        auto *view = new QTableWidget(group);
        layout->addWidget(view, 0, 0);
        if (!assign)
            assign = new QGroupBox(group);
        auto *assignLayout = new QGridLayout(assign);
        int boxColumn = 0;
        for (QComboBox **box : boxes)
            assignLayout->addWidget(*box = new QComboBox(assign), 0, boxColumn++);
        layout->addWidget(assign, 1, 0);
        static_cast<QGridLayout *>(root.layout())->addWidget(group, column / 4, column % 4);
        return view;
    }

    Window()
    {
        new QGridLayout(&root);
        w.groupBoxValve = new QGroupBox;
        w.groupBoxThres1 = new QGroupBox;
        w.groupBoxThres2 = new QGroupBox;
        w.groupBoxDefect = new QGroupBox;
        w.groupBoxFire = new QGroupBox;
        w.tableDiscreteInput = table("inputs", nullptr,
            {&w.comboBoxDiscreteInputType, &w.comboBoxDiscreteInputName, &w.comboBoxDiscreteInputRelay,
             &w.comboBoxDiscreteInputValve, &w.comboBoxDiscreteInputDelay}, 0);
        w.tableValve = table("valves", w.groupBoxValve,
            {&w.comboBoxValveEventBreack, &w.comboBoxValveEventClose, &w.comboBoxRelayValveClose}, 1);
        w.tableSensorThres1 = table("thres1", w.groupBoxThres1,
            {&w.comboBoxSensorThres1Relay, &w.comboBoxSensorThres1Valve}, 4);
        w.tableSensorThres2 = table("thres2", w.groupBoxThres2,
            {&w.comboBoxSensorThres2Relay, &w.comboBoxSensorThres2Valve}, 5);
        w.tableSensorDefect = table("defect", w.groupBoxDefect,
            {&w.comboBoxSensorDefectRelay, &w.comboBoxSensorDefectValve}, 6);
        w.tableSensorFire = table("fire", w.groupBoxFire,
            {&w.comboBoxSensorFireRelay, &w.comboBoxSensorFireValve}, 7);
        root.resize(1371, 907);
    }
};

using bench::Timing;
using bench::peakRssKb;

Timing median(const std::function<void()> &step, const std::function<void()> &prepare = {})
{
    return bench::median(Rounds, step, prepare);
}

} // namespace

int main(int argc, char *argv[])
{
    bench::preferOffscreen();
    QApplication app(argc, argv);
    QTextStream out(stdout);

    auto image = std::make_unique<ConfigImage>();
    image->applyDefaults();
    image->setWord(ConfigImage::PollingMode, 1);
    Window window;
    ConfigTables tables(*image, window.w);
    // The window builds its tables before it is first shown.
    QElapsedTimer timer;
    timer.start();
    tables.refreshAllTables();
    out << "first refreshAll (addressed, before show): " << timer.nsecsElapsed() / 1e6 << " ms\n";
    timer.restart();
    window.root.show();
    QCoreApplication::processEvents();
    out << "first show and paint: " << timer.nsecsElapsed() / 1e6 << " ms\n";

    out << "refreshAll (addressed), median: "
        << median([&] { tables.refreshAllTables(); }) << "\n";
    out << "  of which refreshInputTable: "
        << median([&] { tables.refreshInputTable(); }) << "\n";
    out << "  of which refreshValveTable: "
        << median([&] { tables.refreshValveTable(); }) << "\n";
    out << "  of which refreshSensorTables: "
        << median([&] { tables.refreshSensorTables(); }) << "\n";
    out << "gatherAll (addressed), median: "
        << median([&] { tables.gatherAllTables(); }) << "\n";

    int mode = 1;
    out << "mode switch gather+refresh, median: " << median([&] {
        tables.gatherAllTables();
        mode = 1 - mode;
        image->setWord(ConfigImage::PollingMode, quint16(mode));
        tables.refreshAllTables();
    }) << "\n";
    image->setWord(ConfigImage::PollingMode, 1);
    tables.refreshAllTables();

    window.w.comboBoxSensorFireValve->setCurrentIndex(10);
    out << "applyToAll (fire valve), median: "
        << median([&] { tables.applyToAll(ConfigTables::SensorFireValve); }) << "\n";
    out << "applyToAll (valve state relay), median: "
        << median([&] { tables.applyToAll(ConfigTables::RelayValveClose); }) << "\n";
    out << "peak RSS: " << peakRssKb() << " kB\n";
    return 0;
}
