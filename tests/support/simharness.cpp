#include "simharness.h"

namespace {

Simulator::Options harnessOptions(int slaveAddress, int baudRate)
{
    Simulator::Options options;
    options.slaveAddress = slaveAddress;
    options.baudRate = baudRate;
    return options;
}

} // namespace

SimHarness::SimHarness(int slaveAddress, int baudRate)
    : sim(harnessOptions(slaveAddress, baudRate))
{
    path = sim.addPseudoTerminal(QString(), &error);
    if (path.isEmpty())
        return;
    ready = sim.start();
    if (!ready)
        error = QStringLiteral("the simulator thread did not start");
}

SimHarness::~SimHarness()
{
    sim.stop();
}

quint16 SimHarness::holding(int address) const
{
    return sim.stateCopy().holding(address);
}

void SimHarness::setHolding(int address, quint16 value)
{
    sim.withState([&](ControllerState &s) { s.setHolding(address, value); });
}

void SimHarness::setHoldings(int address, const QVector<quint16> &values)
{
    sim.withState([&](ControllerState &s) {
        for (int i = 0; i < values.size(); ++i)
            s.setHolding(address + i, values.at(i));
    });
}

quint16 SimHarness::input(int address) const
{
    return sim.stateCopy().input(address);
}

void SimHarness::setInput(int address, quint16 value)
{
    sim.withState([&](ControllerState &s) { s.setInput(address, value); });
}

void SimHarness::addCurrentEvent(const SimEvent &event, bool alsoLog)
{
    sim.withState([&](ControllerState &s) { s.addCurrentEvent(event, alsoLog); });
}

void SimHarness::addLoggedEvent(const SimEvent &event)
{
    sim.withState([&](ControllerState &s) { s.addLoggedEvent(event); });
}

void SimHarness::clearCurrentEvents()
{
    sim.withState([](ControllerState &s) { s.clearCurrentEvents(); });
}

void SimHarness::setStatusWord(quint32 value)
{
    sim.withState([&](ControllerState &s) { s.setStatusWord(value); });
}

void SimHarness::setCommitReadsBeforeClear(int stage, int reads)
{
    sim.withState([&](ControllerState &s) { s.setCommitReadsBeforeClear(stage, reads); });
}

void SimHarness::setSimCard(const ControllerState::SimCard &card)
{
    sim.withState([&](ControllerState &s) { s.setSimCard(card); });
}

void SimHarness::setAckFrozen(ControllerState::EventList list, bool frozen)
{
    sim.withState([&](ControllerState &s) { s.setAckFrozen(list, frozen); });
}

void SimHarness::dropNext(int requests)
{
    sim.withFaults([&](FaultPlan &f) { f.dropNext(requests); });
}

void SimHarness::breakCrcOfNext(int answers)
{
    sim.withFaults([&](FaultPlan &f) { f.breakCrcOfNext(answers); });
}

void SimHarness::setDelay(int milliseconds)
{
    sim.withFaults([&](FaultPlan &f) { f.setDelay(milliseconds); });
}

void SimHarness::setSilent(bool on)
{
    sim.withFaults([&](FaultPlan &f) { f.setSilent(on); });
}

void SimHarness::failRange(int function, int first, int last, int times, bool silent)
{
    FaultPlan::RangeFault fault;
    fault.function = function;
    fault.first = first;
    fault.last = last;
    fault.times = times;
    fault.silent = silent;
    sim.withFaults([&](FaultPlan &f) { f.addRangeFault(fault); });
}

void SimHarness::clearFaults()
{
    sim.withFaults([](FaultPlan &f) { f.clear(); });
}
