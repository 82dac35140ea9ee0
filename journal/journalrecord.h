#ifndef JOURNALRECORD_H
#define JOURNALRECORD_H

#include "alarmtype.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

// One row of the journal as stored: what happened, when it arrived and on
// which line. Events carry their source, code, name and the controller's time;
// the other kinds leave those empty (a line failure keeps its message as name).
// An acknowledgement names its event, its guard and the event's row (ref).
struct JournalRecord
{
    qint64 id = 0;
    QString received; // local time of arrival, yyyy-MM-ddTHH:mm:ss
    QString kind;     // one of the kind constants below
    QString list;     // "current" or "all" for events and clears, else empty
    QVariant source;  // null unless an event
    QVariant code;
    QString name;
    QString occurred; // the controller's time, ISO 8601 when it is a valid date
    QString port;
    QVariant slave;
    QString controller; // the controller's name in a site console, else empty
    QString guard;      // who acknowledged, for an acknowledgement
    QVariant ref;       // the id of the row an acknowledgement is about, else null

    static const QString Event;
    static const QString Cleared;
    static const QString Reset;
    static const QString LineFailure;
    static const QString PollingStarted;
    static const QString PollingStopped;
    static const QString LinkRestored;
    static const QString Acknowledged;
    static const QString JournalFailure;  // the file stopped taking rows; name says why
    static const QString JournalRestored; // it takes them again; name counts any dropped
    static const QString CurrentList;
    static const QString AllList;

    static JournalRecord event(const QString &list, const AlarmType &alarm, const QString &name);
    static JournalRecord note(const QString &kind, const QString &list = QString(),
                              const QString &name = QString());
    // The controller's time as ISO 8601; a date that does not exist keeps the
    // tables' dd.mm.20yy hh:mm:ss form, so nothing read is lost or invented.
    static QString occurredText(const AlarmType &alarm);
    static QString timeText(const QDateTime &time);
};

#endif // JOURNALRECORD_H
