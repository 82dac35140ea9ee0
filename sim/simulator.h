#ifndef SIMULATOR_H
#define SIMULATOR_H

#include "controllerstate.h"
#include "faultplan.h"
#include "requestrecord.h"
#include "rtuframe.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class SimPort;
class DemoScript;
struct _modbus_mapping_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

// The controller simulator: one ControllerState per slave address answered
// as Modbus RTU slaves on one or more serial ports by a background thread.
// Several addresses make a line with several controllers, each with its own
// state, faults and demo.
//
// Add the ports, then start(). Every public call is thread-safe: the state,
// the fault plan, the request log and the statistics sit behind one mutex,
// and withState()/withFaults() run the given function under it. stop() (also
// done by the destructor) returns within about 100 ms.
class Simulator
{
public:
    struct Options {
        int slaveAddress = 1;     // 1..247
        int baudRate = 9600;
        bool lineTiming = false;  // delay answers as a real line at baudRate would
        QVector<int> moreSlaves;  // further controllers on the same line
    };
    struct Statistics {
        quint64 requests = 0;    // frames addressed to us, broadcasts included
        quint64 answered = 0;    // answers sent, exceptions included
        quint64 exceptions = 0;
        quint64 unanswered = 0;  // dropped by a fault or broadcast
        quint64 brokenFrames = 0;
        quint64 otherSlave = 0;  // well-formed frames for another address
    };
    static constexpr int MaxLoggedRequests = 100000;
    static constexpr int GatewayTargetFailed = FaultPlan::GatewayTargetFailed;

    // What the controller does about one request.
    struct Answer {
        enum Kind { None, Normal, Exception, Broken, Close };
        Kind kind = None;
        int exception = 0;
        int function = 0;
        int address = 0;
        int count = 0;
        int delayMs = 0;
        QVector<quint16> values; // registers of a read answer
        QByteArray raw;          // a corrupted answer sent past libmodbus
    };

    Simulator();
    explicit Simulator(const Options &options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Ports; only while stopped. Each returns the device path a master opens,
    // or an empty string with *error set.
    QString addPseudoTerminal(const QString &linkPath = QString(), QString *error = nullptr);
    QString addDevice(const QString &path, QString *error = nullptr);
    QStringList devicePaths() const;
    QStringList linkPaths() const;

    bool start();
    void stop();
    bool isRunning() const { return running.load(); }
    Options options() const { return opts; }

    // The addresses served, the first one first.
    QVector<int> slaves() const;
    // The controller withState(), withFaults() and the copies address;
    // false for an address not served.
    bool selectSlave(int address);
    int selectedSlave() const;

    // Run f(ControllerState &) / f(FaultPlan &) under the lock; returns f's value.
    template <typename F>
    auto withState(F f) -> decltype(f(std::declval<ControllerState &>()))
    {
        std::lock_guard<std::mutex> locker(mutex);
        return f(units[selected].state);
    }
    template <typename F>
    auto withFaults(F f) -> decltype(f(std::declval<FaultPlan &>()))
    {
        std::lock_guard<std::mutex> locker(mutex);
        return f(units[selected].faults);
    }
    // The same for one address; f is not run for an address not served.
    template <typename F>
    void withStateOf(int address, F f)
    {
        std::lock_guard<std::mutex> locker(mutex);
        if (Unit *unit = unitOf(address))
            f(unit->state);
    }
    template <typename F>
    void withFaultsOf(int address, F f)
    {
        std::lock_guard<std::mutex> locker(mutex);
        if (Unit *unit = unitOf(address))
            f(unit->faults);
    }
    ControllerState stateCopy() const;
    FaultPlan faultsCopy() const;

    QVector<RequestRecord> requestLog() const;
    void clearRequestLog();
    Statistics statistics() const;
    void resetStatistics();

    // A request that came over Modbus TCP, given from its unit identifier on
    // (no MBAP header): the answer, counted and logged as on a serial port. A
    // unit not served (0xFF, "this device", is the first) gets the gateway's 0x0B.
    Answer answerTcpRequest(const quint8 *unitAndPdu, int length);

    // Demo mode: now and then raise a plausible event or clear a current one.
    void setDemo(bool enabled, int periodMs = 5000);
    bool demoEnabled() const;

private:
    struct Unit {
        int address = 1;
        ControllerState state;
        FaultPlan faults;
        std::unique_ptr<DemoScript> demo;
        qint64 nextDemoAt = 0;
    };
    Unit *unitOf(int address);

    void run();
    void serve(SimPort &port);
    int receive(SimPort &port, quint8 *frame);
    Answer prepareAnswer(const quint8 *frame, int length);
    void serveRequest(Unit &unit, const RtuFrame::Request &request, const quint8 *frame, int length,
                      Answer &answer);
    void breakAnswer(const RtuFrame::Request &request, const quint8 *frame, Answer &answer);
    void recordRequest(const RtuFrame::Request &request, int length, Answer &answer);
    int validate(int function, int address, int count, int byteCount, int length) const;
    void applyRequest(ControllerState &state, const quint8 *frame, int length, int function,
                      int address, int count, Answer &answer);
    void send(SimPort &port, const quint8 *frame, int length, const Answer &answer);
    int lineDelayMs(int requestBytes, int answerBytes) const;
    bool pause(int milliseconds);
    void demoTick();
    void wake();

    Options opts;
    mutable std::mutex mutex;
    std::vector<Unit> units; // never empty
    int selected = 0;        // index into units
    QVector<RequestRecord> log;
    Statistics stats;
    int demoPeriodMs = 5000;

    std::vector<std::unique_ptr<SimPort>> ports;
    modbus_mapping_t *mapping = nullptr;
    std::thread thread;
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequested{false};
    int wakePipe[2] = {-1, -1};
};

#endif // SIMULATOR_H
