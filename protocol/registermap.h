#ifndef REGISTERMAP_H
#define REGISTERMAP_H

#include <QtGlobal>

// The controller's Modbus register map: the one place its addresses are
// written. The programs and the simulator both take them from here; the tests
// keep their own literal numbers as the independent check.
namespace RegisterMap {

// Configuration blocks in holding registers; register base + k holds bytes
// 2k (low) and 2k + 1 (high) of the block.
namespace Config {
constexpr int MainBase = 0;
constexpr int MainCount = 1326;  // ends at 1325; the file-only tail stays home
constexpr int PhoneBase = 1999;
constexpr int PhoneCount = 96;
constexpr int ClockBase = 2999;
constexpr int ClockCount = 4;
} // namespace Config

// Byte offsets in the clock block; the year is 16 bits, low byte first, and
// counts from 2000. Byte 5 is not the clock's.
namespace Clock {
constexpr int Hour = 0;
constexpr int Minute = 1;
constexpr int Second = 2;
constexpr int Month = 3;
constexpr int Day = 4;
constexpr int Year = 6;
constexpr int YearBase = 2000;
} // namespace Clock

// The handshake after a write: each commit register is written 1 and reads
// back 0 once the controller has taken the data over; then the SIM card.
namespace Commit {
constexpr int Stage1 = 4004;
constexpr int Stage2 = 4005;
constexpr int Stage3 = 4006;
constexpr int SimBusy = 4007;
constexpr int SimPending = 4008;
constexpr int SimReady = 4009;
} // namespace Commit

// One of the two event lists: the count (input register), the index the
// master writes and the acknowledge that echoes it (holding registers), and
// the record at that index (input registers).
struct EventList
{
    int count;
    int index;
    int ack;
    int record;
};

namespace Events {
constexpr EventList Current{1029, 4001, 4002, 1019};
constexpr EventList All{1009, 3999, 4000, 999}; // every event, cleared or not (the simulator's log)
constexpr int ResetCurrent = 4003;              // written 1: the operator's reset

// The five-register record: +0 source; +1 code | year << 8;
// +2 month | day << 8; +3 hour | minute << 8; +4 second.
constexpr int RecordSize = 5;
} // namespace Events

// The status word (Vpk; the simulator keeps the longer name): two input
// registers, low word first, whose bits drive the console's lamps.
namespace Vpk {
constexpr int Low = 1039;
constexpr int High = 1040;

constexpr quint32 BreakIn = 0x1;
constexpr quint32 Fire = 0x4;
constexpr quint32 PressureAlarm = 0x8;
constexpr quint32 EquipmentAlarm = 0x20;
constexpr quint32 ChThreshold1 = 0x8000;  // CH lamp blinks
constexpr quint32 ChThreshold2 = 0x10000; // CH lamp steady
constexpr quint32 CoThreshold1 = 0x20000; // CO lamp blinks
constexpr quint32 CoThreshold2 = 0x40000; // CO lamp steady
constexpr quint32 Fault = 0x100000;
constexpr quint32 ValveClosed = 0x200000;
constexpr quint32 Work = 0x400000;        // set by the console on every good read
} // namespace Vpk

} // namespace RegisterMap

#endif // REGISTERMAP_H
