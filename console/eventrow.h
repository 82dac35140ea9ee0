#ifndef EVENTROW_H
#define EVENTROW_H

#include "alarmtype.h"

#include <QString>

class EventCatalogue;

// The three texts of one event table row: name, time and date.
struct EventRow
{
    QString name;
    QString time; // hh:mm:ss
    QString date; // dd.mm.20yy; a year of 100 or more keeps all its digits

    static EventRow from(const AlarmType &alarm, const EventCatalogue &catalogue);
    static QString timeText(const AlarmType &alarm);
    static QString dateText(const AlarmType &alarm);
    // At least two digits: 9 or less gets a leading "0".
    static QString twoDigits(int number);
};

#endif // EVENTROW_H
