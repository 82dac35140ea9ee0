#ifndef FAULTPLAN_H
#define FAULTPLAN_H

#include <QString>
#include <QVector>

// Line and controller faults injected on demand. decide() is asked once per
// request addressed to the simulator and uses up the counted faults.
class FaultPlan
{
public:
    enum Action {
        Answer,        // answer normally
        Drop,          // say nothing
        BrokenCrc,     // answer with a corrupted CRC
        DeviceFailure, // answer with exception 4 (slave device failure)
        GatewayFailure, // answer with gatewayException(): 0x0B target failed to respond, 0x0A no path
        CloseConnection // TCP: close the connection unanswered; serial: say nothing
    };

    // Requests touching registers first..last fail `times` times (Forever: until
    // cleared). function 0 matches every function code, otherwise only that one
    // (3 holding reads, 4 input reads, 6 and 16 writes).
    struct RangeFault {
        int function = 0;
        int first = 0;
        int last = 0;
        int times = 1;
        bool silent = true; // false: exception 4 instead of silence
    };
    static constexpr int Forever = -1;

    void dropNext(int requests) { drops = qMax(0, requests); }
    void breakCrcOfNext(int answers) { brokenCrcs = qMax(0, answers); }
    static constexpr int GatewayPathUnavailable = 0x0A;
    static constexpr int GatewayTargetFailed = 0x0B;
    void failGatewayOfNext(int requests, int exception = GatewayTargetFailed)
    {
        gatewayFailures = qMax(0, requests);
        gatewayCode = exception;
    }
    void closeOnNext(int requests) { closes = qMax(0, requests); }
    void setDelay(int milliseconds) { delay = qMax(0, milliseconds); }
    void setSilent(bool on) { silent = on; }  // stop answering until resumed
    void addRangeFault(const RangeFault &fault);
    void clear();

    Action decide(int function, int address, int count);

    int delayMs() const { return delay; }
    bool isSilent() const { return silent; }
    int pendingDrops() const { return drops; }
    int pendingBrokenCrcs() const { return brokenCrcs; }
    int pendingGatewayFailures() const { return gatewayFailures; }
    int gatewayException() const { return gatewayCode; }
    int pendingCloses() const { return closes; }
    const QVector<RangeFault> &rangeFaults() const { return ranges; }
    QString describe() const;

private:
    int drops = 0;
    int brokenCrcs = 0;
    int gatewayFailures = 0;
    int gatewayCode = GatewayTargetFailed;
    int closes = 0;
    int delay = 0;
    bool silent = false;
    QVector<RangeFault> ranges;
};

#endif // FAULTPLAN_H
