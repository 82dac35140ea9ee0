#ifndef EVENTLISTREADER_H
#define EVENTLISTREADER_H

#include "alarmtype.h"
#include "registermap.h"

#include <functional>

class RegisterLink;

// Where one of the controller's event lists lives.
struct EventListRegisters
{
    int count;  // input register: events in the list
    int index;  // holding register written: position to fetch
    int ack;    // holding register read: echoes the index when the record is ready
    int record; // five input registers: the event at that position
};

// Fetches one event list from the controller, one request or two per step,
// by the index / acknowledge / record handshake. The state survives across
// polling runs, so a run that ends mid-handshake resumes where it stopped
// and nothing already delivered is delivered again.
class EventListReader
{
public:
    enum State { ReadCount, Decide, WriteIndex, AwaitAck, ReadRecord };

    using EventHandler = std::function<void(const AlarmType &)>;
    using ClearHandler = std::function<void()>;

    static constexpr EventListRegisters CurrentEvents{
        RegisterMap::Events::Current.count, RegisterMap::Events::Current.index,
        RegisterMap::Events::Current.ack, RegisterMap::Events::Current.record};
    static constexpr EventListRegisters AllEvents{
        RegisterMap::Events::All.count, RegisterMap::Events::All.index,
        RegisterMap::Events::All.ack, RegisterMap::Events::All.record};

    static constexpr int MaxErrors = 5;      // the sixth failure in a row gives up
    static constexpr int MaxAckTries = 1000; // the 1001st stale acknowledge gives up

    EventListReader(const EventListRegisters &registers, EventHandler onEvent,
                    ClearHandler onClear);

    // One step of the handshake. False means the line has failed: the caller
    // reports it and ends the polling run.
    bool step(RegisterLink &link);

    // Counts a failed request of this reader (also used for the reset write,
    // which shares the current reader's count). False on the sixth in a row.
    bool countFailure();
    void clearErrors() { errorCount = 0; }

    static AlarmType decodeRecord(const quint16 *registers);

    // Where the handshake stands, so that another reader of the same
    // controller (a worker rebuilt for a changed site) goes on from there.
    struct Position
    {
        State state = ReadCount;
        quint16 count = 0, index = 0, ack = 0, ackTries = 0;
    };
    Position position() const { return { currentState, eventCount, nextIndex, lastAck, ackTryCount }; }
    void resumeFrom(const Position &at)
    {
        currentState = at.state;
        eventCount = at.count;
        nextIndex = at.index;
        lastAck = at.ack;
        ackTryCount = at.ackTries;
    }

    State state() const { return currentState; }
    quint16 count() const { return eventCount; }
    quint16 index() const { return nextIndex; }
    quint16 ack() const { return lastAck; }
    quint16 ackTries() const { return ackTryCount; }
    quint16 errors() const { return errorCount; }

private:
    bool readCount(RegisterLink &link);
    void decide();
    bool writeIndex(RegisterLink &link);
    bool awaitAck(RegisterLink &link);
    bool readRecord(RegisterLink &link);

    EventListRegisters registers;
    EventHandler onEvent;
    ClearHandler onClear;

    State currentState = ReadCount;
    quint16 eventCount = 0;
    quint16 nextIndex = 0;
    quint16 lastAck = 0;
    quint16 ackTryCount = 0;
    quint16 errorCount = 0;
};

#endif // EVENTLISTREADER_H
