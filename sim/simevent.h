#ifndef SIMEVENT_H
#define SIMEVENT_H

#include "registermap.h"

#include <QDateTime>
#include <QtGlobal>

// One event as the controller keeps it in its lists and shows it in the five
// record registers: source, code, and the time it was raised.
struct SimEvent
{
    static constexpr int RegisterCount = RegisterMap::Events::RecordSize;

    quint16 source = 0; // 0-31 the controller itself, 32 device without address, 33+ device address + 32
    quint8 code = 0;
    quint8 year = 0;    // within the century
    quint8 month = 1;
    quint8 day = 1;
    quint8 hour = 0;
    quint8 minute = 0;
    quint8 second = 0;

    // Sources of the two kinds of events.
    static constexpr quint16 DeviceBase = 32;
    static quint16 deviceSource(int address) { return quint16(DeviceBase + address); }

    static SimEvent at(quint16 source, quint8 code, const QDateTime &when);
    static SimEvent now(quint16 source, quint8 code);

    // record + 0: source; +1: code | year << 8; +2: month | day << 8;
    // +3: hour | minute << 8; +4: second.
    void toRegisters(quint16 *dest) const;

    bool operator==(const SimEvent &other) const;
    bool operator!=(const SimEvent &other) const { return !(*this == other); }
};

#endif // SIMEVENT_H
