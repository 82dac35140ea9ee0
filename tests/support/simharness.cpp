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

void SimHarness::setHoldings(int address, const QVector<quint16> &values)
{
    state([&](ControllerState &s) {
        for (int i = 0; i < values.size(); ++i)
            s.setHolding(address + i, values.at(i));
    });
}
