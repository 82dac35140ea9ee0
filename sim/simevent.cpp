#include "simevent.h"

SimEvent SimEvent::at(quint16 source, quint8 code, const QDateTime &when)
{
    SimEvent event;
    event.source = source;
    event.code = code;
    const QDate date = when.date();
    const QTime time = when.time();
    event.year = quint8(date.year() % 100);
    event.month = quint8(date.month());
    event.day = quint8(date.day());
    event.hour = quint8(time.hour());
    event.minute = quint8(time.minute());
    event.second = quint8(time.second());
    return event;
}

SimEvent SimEvent::now(quint16 source, quint8 code)
{
    return at(source, code, QDateTime::currentDateTime());
}

void SimEvent::toRegisters(quint16 *dest) const
{
    dest[0] = source;
    dest[1] = quint16(code | (year << 8));
    dest[2] = quint16(month | (day << 8));
    dest[3] = quint16(hour | (minute << 8));
    dest[4] = second;
}

bool SimEvent::operator==(const SimEvent &other) const
{
    return source == other.source && code == other.code && year == other.year
        && month == other.month && day == other.day && hour == other.hour
        && minute == other.minute && second == other.second;
}
