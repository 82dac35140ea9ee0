#include "journalrecord.h"

const QString JournalRecord::Event = QStringLiteral("event");
const QString JournalRecord::Cleared = QStringLiteral("cleared");
const QString JournalRecord::Reset = QStringLiteral("reset");
const QString JournalRecord::LineFailure = QStringLiteral("line-failure");
const QString JournalRecord::PollingStarted = QStringLiteral("polling-started");
const QString JournalRecord::PollingStopped = QStringLiteral("polling-stopped");
const QString JournalRecord::LinkRestored = QStringLiteral("link-restored");
const QString JournalRecord::Acknowledged = QStringLiteral("acknowledged");
const QString JournalRecord::JournalFailure = QStringLiteral("journal-failure");
const QString JournalRecord::JournalRestored = QStringLiteral("journal-restored");
const QString JournalRecord::CurrentList = QStringLiteral("current");
const QString JournalRecord::AllList = QStringLiteral("all");

JournalRecord JournalRecord::event(const QString &list, const AlarmType &alarm,
                                   const QString &name)
{
    JournalRecord record = note(Event, list, name.trimmed());
    record.source = int(alarm.source);
    record.code = int(alarm.code);
    record.occurred = occurredText(alarm);
    return record;
}

JournalRecord JournalRecord::note(const QString &kind, const QString &list, const QString &name)
{
    JournalRecord record;
    record.received = timeText(QDateTime::currentDateTime());
    record.kind = kind;
    record.list = list;
    record.name = name;
    return record;
}

QString JournalRecord::occurredText(const AlarmType &alarm)
{
    const QDate date(2000 + alarm.year, alarm.month, alarm.day);
    const QTime time(alarm.hour, alarm.minute, alarm.second);
    if (alarm.year <= 99 && date.isValid() && time.isValid())
        return timeText(QDateTime(date, time));
    const auto two = [](int number) { return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0')); };
    return two(alarm.day) + QLatin1Char('.') + two(alarm.month) + QLatin1String(".20") + two(alarm.year)
        + QLatin1Char(' ') + two(alarm.hour) + QLatin1Char(':') + two(alarm.minute) + QLatin1Char(':')
        + two(alarm.second);
}

QString JournalRecord::timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}
