#ifndef SIMHARNESS_H
#define SIMHARNESS_H

#include "alarmtype.h"
#include "controllerstate.h"
#include "faultplan.h"
#include "requestrecord.h"
#include "simevent.h"
#include "simulator.h"
#include "tcpserver.h"

#include <QString>
#include <QVector>

#include <memory>

// Events as the programs' readers deliver them.
inline QVector<AlarmType> alarmsOf(const QVector<SimEvent> &events)
{
    QVector<AlarmType> alarms;
    for (const SimEvent &e : events)
        alarms.append({e.source, e.code, e.year, e.month, e.day, e.hour, e.minute, e.second});
    return alarms;
}

// A controller simulator for a test: the constructor opens a new
// pseudo-terminal and serves it from a background thread; the destructor stops
// it (within about 100 ms) and removes the terminal. Point the master under
// test at devicePath().
//
// Every call is thread-safe and may be made while a master is talking to the
// simulator. For anything without a shortcut here use
//     harness.state([](ControllerState &s) { s.setSimCard({true, 3, true}); });
//     harness.faults([](FaultPlan &f) { f.addRangeFault({3, 441, 503, 6, false}); });
class SimHarness
{
public:
    explicit SimHarness(int slaveAddress = 1, int baudRate = 9600);
    // Several controllers on the one line; the shortcuts below address the
    // first, stateOf() and faultsOf() any of them.
    explicit SimHarness(const QVector<int> &slaves, int baudRate = 9600);
    ~SimHarness()
    {
        tcp.reset();
        sim.stop();
    }
    SimHarness(const SimHarness &) = delete;
    SimHarness &operator=(const SimHarness &) = delete;

    bool isReady() const { return ready; }       // false: see errorString()
    QString errorString() const { return error; }
    QString devicePath() const { return path; }  // e.g. /dev/pts/7

    // Serves the same controller over Modbus TCP on 127.0.0.1, on a free
    // port unless told which, besides the pseudo-terminal; false with
    // errorString() set.
    bool serveTcp(int port = 0);
    int tcpPort() const { return tcp ? tcp->port() : 0; }
    int tcpConnections() const { return tcp ? tcp->connectionsAccepted() : 0; }

    // Run f(ControllerState &) or f(FaultPlan &) under the simulator's lock.
    template <typename F>
    auto state(F f) -> decltype(f(std::declval<ControllerState &>())) { return sim.withState(f); }
    template <typename F>
    auto faults(F f) -> decltype(f(std::declval<FaultPlan &>())) { return sim.withFaults(f); }
    ControllerState stateCopy() const { return sim.stateCopy(); }
    template <typename F>
    void stateOf(int slave, F f) { sim.withStateOf(slave, f); }
    template <typename F>
    void faultsOf(int slave, F f) { sim.withFaultsOf(slave, f); }
    ControllerState stateCopyOf(int slave)
    {
        ControllerState copy;
        sim.withStateOf(slave, [&](ControllerState &s) { copy = s; });
        return copy;
    }

    // Registers, without the controller's side effects.
    quint16 holding(int address) const { return stateCopy().holding(address); }
    void setHolding(int address, quint16 value) { state([&](auto &s) { s.setHolding(address, value); }); }

    // Events and status word.
    void addCurrentEvent(const SimEvent &event, bool alsoLog = true)
    {
        state([&](auto &s) { s.addCurrentEvent(event, alsoLog); });
    }
    void addLoggedEvent(const SimEvent &event) { state([&](auto &s) { s.addLoggedEvent(event); }); }
    void clearCurrentEvents() { state([](auto &s) { s.clearCurrentEvents(); }); }
    void setStatusWord(quint32 value) { state([&](auto &s) { s.setStatusWord(value); }); }

    // Handshake behaviours (see ControllerState).
    void setSimCard(const ControllerState::SimCard &card) { state([&](auto &s) { s.setSimCard(card); }); }
    void setAckFrozen(ControllerState::EventList list, bool frozen)
    {
        state([&](auto &s) { s.setAckFrozen(list, frozen); });
    }

    // Line faults (see FaultPlan).
    void setDelay(int milliseconds) { faults([&](auto &f) { f.setDelay(milliseconds); }); }
    void setSilent(bool on) { faults([&](auto &f) { f.setSilent(on); }); }
    void failRange(int function, int first, int last, int times, bool silent = true)
    {
        faults([&](auto &f) { f.addRangeFault({function, first, last, times, silent}); });
    }
    void clearFaults() { faults([](auto &f) { f.clear(); }); }
    void failGatewayOfNext(int requests) { faults([&](auto &f) { f.failGatewayOfNext(requests); }); }
    void closeOnNext(int requests) { faults([&](auto &f) { f.closeOnNext(requests); }); }

    // Requests received since the start or the last clearRequests().
    QVector<RequestRecord> requests() const { return sim.requestLog(); }
    void clearRequests() { sim.clearRequestLog(); }
    Simulator::Statistics statistics() const { return sim.statistics(); }

private:
    Simulator sim;
    std::unique_ptr<TcpServer> tcp;
    QString path;
    QString error;
    bool ready = false;
};

#endif // SIMHARNESS_H
