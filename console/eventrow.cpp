#include "eventrow.h"

#include "eventcatalogue.h"

EventRow EventRow::from(const AlarmType &alarm, const EventCatalogue &catalogue)
{
    return { catalogue.eventText(alarm.source, alarm.code), timeText(alarm), dateText(alarm) };
}

QString EventRow::timeText(const AlarmType &alarm)
{
    return twoDigits(alarm.hour) + QLatin1Char(':') + twoDigits(alarm.minute)
        + QLatin1Char(':') + twoDigits(alarm.second);
}

QString EventRow::dateText(const AlarmType &alarm)
{
    return twoDigits(alarm.day) + QLatin1Char('.') + twoDigits(alarm.month)
        + QLatin1String(".20") + twoDigits(alarm.year);
}

QString EventRow::twoDigits(int number)
{
    return number <= 9 ? QLatin1Char('0') + QString::number(number) : QString::number(number);
}
