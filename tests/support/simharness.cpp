#include "simharness.h"

SimHarness::SimHarness(int slaveAddress, int baudRate)
    : sim(Simulator::Options{slaveAddress, baudRate, false})
{
    path = sim.addPseudoTerminal(QString(), &error);
    if (path.isEmpty())
        return;
    ready = sim.start();
    if (!ready)
        error = QStringLiteral("the simulator thread did not start");
}
