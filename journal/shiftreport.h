#ifndef SHIFTREPORT_H
#define SHIFTREPORT_H

#include <QCoreApplication>
#include <QDateTime>
#include <QPair>
#include <QString>
#include <QVector>

// What a shift report says, read from the journal over a period: who and
// where, how many rows of each kind, the current events with who
// acknowledged them and when, the line failures, and the lamps at the end.
// Plain data; ShiftReportDocument lays it out.
struct ShiftReport
{
    Q_DECLARE_TR_FUNCTIONS(ShiftReport)

public:
    // A shift of a flood of events still prints: the table stops here and says so.
    static constexpr int MaxEvents = 2000;

    struct Event
    {
        QString received;     // dd.MM.yyyy HH:mm:ss, as the journal tab shows
        QString name;
        QString occurred;
        QString controller;
        QString acknowledged; // empty while nobody has
        QString guard;
    };
    struct Failure
    {
        QString received;
        QString text;
    };
    struct Count
    {
        QString what;
        int count = 0;
    };

    QString computer;
    QString guard;
    QDateTime from;
    QDateTime to;
    QStringList lines;                        // lines and controllers polled
    QVector<Count> counts;
    QVector<Event> events;
    int eventTotal = 0;                       // events beyond MaxEvents included
    int unacknowledged = 0;
    QVector<Failure> failures;
    QVector<QPair<QString, QString>> lamps;   // caption, state
    QString lampsOf;                          // in a site, the controller the panel showed
    QString error;                            // why the journal could not be read

    // Rows that arrived from `from` to `to`, both included; acknowledgements
    // made after the period still count for its events.
    static ShiftReport fromJournal(const QString &connectionName, const QDateTime &from,
                                   const QDateTime &to);
    QString periodText() const;
};

#endif // SHIFTREPORT_H
