#include "eventlistreader.h"

#include "registerlink.h"

#include <utility>

constexpr EventListRegisters EventListReader::CurrentEvents;
constexpr EventListRegisters EventListReader::AllEvents;

EventListReader::EventListReader(const EventListRegisters &registers, EventHandler onEvent,
                                 ClearHandler onClear)
    : registers(registers), onEvent(std::move(onEvent)), onClear(std::move(onClear))
{
}

bool EventListReader::step(RegisterLink &link)
{
    switch (currentState) {
    case ReadCount:
        if (!readCount(link))
            return countFailure();
        decide();
        return true;
    case Decide:
        decide();
        return true;
    case WriteIndex:
        return writeIndex(link) || countFailure();
    case AwaitAck:
        return awaitAck(link);
    case ReadRecord:
        return readRecord(link);
    }
    return true;
}

bool EventListReader::countFailure()
{
    if (++errorCount <= MaxErrors)
        return true; // tried again next cycle
    errorCount = 0;
    return false;
}

AlarmType EventListReader::decodeRecord(const quint16 *registers)
{
    AlarmType alarm;
    alarm.source = registers[0];
    alarm.code = quint8(registers[1] & 0xFF);
    alarm.year = quint8(registers[1] >> 8);
    alarm.month = quint8(registers[2] & 0xFF);
    alarm.day = quint8(registers[2] >> 8);
    alarm.hour = quint8(registers[3] & 0xFF);
    alarm.minute = quint8(registers[3] >> 8);
    alarm.second = quint8(registers[4] & 0xFF);
    return alarm;
}

bool EventListReader::readCount(RegisterLink &link)
{
    quint16 value = 0;
    if (link.readInputRegisters(registers.count, 1, &value) != 1)
        return false;
    eventCount = value;
    errorCount = 0;
    return true;
}

void EventListReader::decide()
{
    // An empty or shorter list means the controller dropped what we delivered:
    // start again from its first event.
    if (eventCount == 0 || eventCount < nextIndex) {
        nextIndex = 0;
        onClear();
    }
    currentState = nextIndex < eventCount ? WriteIndex : ReadCount;
}

bool EventListReader::writeIndex(RegisterLink &link)
{
    if (link.writeRegister(registers.index, nextIndex) != 1)
        return false;
    currentState = AwaitAck;
    errorCount = 0;
    ackTryCount = 0;
    return true;
}

bool EventListReader::awaitAck(RegisterLink &link)
{
    quint16 value = 0;
    if (link.readRegisters(registers.ack, 1, &value) != 1)
        return countFailure();
    lastAck = value;
    errorCount = 0;
    if (lastAck == nextIndex) {
        currentState = ReadRecord;
        return readRecord(link);
    }
    if (++ackTryCount <= MaxAckTries)
        return true;
    ackTryCount = 0;
    return false;
}

bool EventListReader::readRecord(RegisterLink &link)
{
    quint16 record[RegisterMap::Events::RecordSize] = {};
    if (link.readInputRegisters(registers.record, RegisterMap::Events::RecordSize, record)
        != RegisterMap::Events::RecordSize)
        return countFailure(); // the same record is read again next time
    errorCount = 0;
    const AlarmType alarm = decodeRecord(record);
    ++nextIndex;
    currentState = Decide;
    onEvent(alarm);
    return true;
}
