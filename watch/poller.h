#ifndef POLLER_H
#define POLLER_H

#include "alarmtype.h"
#include "eventlistreader.h"
#include "registermap.h"

#include <atomic>

class RegisterLink;

// The console's three poll steps over one link: the current-events list with
// the operator's reset request, the all-events list, and Vpk.
// Plain C++ on the worker thread; only requestReset() may be called from
// another thread. Each step returns false when the line has failed, after
// telling the listener.
class Poller
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void currentEventRead(const AlarmType &alarm) = 0;
        virtual void currentListCleared() = 0;
        virtual void allEventRead(const AlarmType &alarm) = 0;
        virtual void allListCleared() = 0;
        virtual void vpkRead(quint32 vpk) = 0;
        virtual void lineFailed() = 0;
    };

    static constexpr int ResetRegister = RegisterMap::Events::ResetCurrent;
    static constexpr int VpkRegister = RegisterMap::Vpk::Low;
    static constexpr quint32 VpkForcedBit = RegisterMap::Vpk::Work;
    // Between cycles. A serial line paces the requests itself; over TCP
    // nothing would, and a cycle every millisecond only loads both ends
    // (a whole core's worth against a controller on the network).
    static constexpr int SerialCyclePauseMs = 1;
    static constexpr int NetworkCyclePauseMs = 50;

    explicit Poller(Listener &listener);

    bool pollCurrentEvents(RegisterLink &link);
    bool pollAllEvents(RegisterLink &link);
    bool pollVpk(RegisterLink &link);

    void requestReset() { resetRequested = true; }
    bool isResetRequested() const { return resetRequested; }

    // What a rebuilt worker takes over from the last one of this controller.
    struct Memory
    {
        EventListReader::Position current, all;
    };
    Memory memory() const { return { current.position(), all.position() }; }
    void resumeFrom(const Memory &memory)
    {
        current.resumeFrom(memory.current);
        all.resumeFrom(memory.all);
    }

    const EventListReader &currentReader() const { return current; }
    const EventListReader &allReader() const { return all; }
    quint16 vpkErrors() const { return vpkErrorCount; }
    quint32 lastVpk() const { return vpk; }

private:
    bool writePendingReset(RegisterLink &link);
    bool lineFailure();

    Listener &listener;
    EventListReader current;
    EventListReader all;
    std::atomic<bool> resetRequested{false};
    quint16 vpkErrorCount = 0;
    quint32 vpk = 0;
};

#endif // POLLER_H
