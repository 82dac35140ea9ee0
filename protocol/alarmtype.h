#ifndef ALARMTYPE_H
#define ALARMTYPE_H

#include <QMetaType>
#include <QtGlobal>

// One event as the controller reports it. Passed by value in queued signals,
// so the window always owns its copy. Fields are passed on as read.
struct AlarmType
{
    quint16 source = 0; // 0-31 controller, 32 device without address, 33-287 address + 32
    quint8 code = 0;
    quint8 year = 0;    // within the century
    quint8 month = 0;
    quint8 day = 0;
    quint8 hour = 0;
    quint8 minute = 0;
    quint8 second = 0;
};

inline bool operator==(const AlarmType &a, const AlarmType &b)
{
    return a.source == b.source && a.code == b.code && a.year == b.year
        && a.month == b.month && a.day == b.day && a.hour == b.hour
        && a.minute == b.minute && a.second == b.second;
}

inline bool operator!=(const AlarmType &a, const AlarmType &b)
{
    return !(a == b);
}

Q_DECLARE_METATYPE(AlarmType)

#endif // ALARMTYPE_H
