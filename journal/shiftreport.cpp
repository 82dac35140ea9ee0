#include "shiftreport.h"

#include "journalmodel.h"
#include "journalrecord.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

struct Acknowledgement
{
    QString time;
    QString guard;
};

const QString Columns = QStringLiteral("id, received, kind, list, name, occurred, controller, guard, ref");
enum Column { Id, Received, Kind, List, Name, Occurred, Controller, Guard, Ref };

QString countLabel(const QString &kind, const QString &list)
{
    const QString text = JournalModel::kindText(kind);
    return list.isEmpty() ? text : text + QStringLiteral(" (") + JournalModel::listText(list) + QLatin1Char(')');
}

// Acknowledgements always come after their event, so those from the
// period's start on are all the period's events can have.
bool readAcknowledgements(QSqlDatabase db, const QString &from, QHash<qint64, Acknowledgement> *found,
                          QString *error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ref, received, guard FROM journal WHERE received >= ? "
                                 "AND kind = ? AND ref IS NOT NULL ORDER BY id"));
    query.addBindValue(from);
    query.addBindValue(JournalRecord::Acknowledged);
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        const qint64 ref = query.value(0).toLongLong();
        if (!found->contains(ref)) // the first one counts
            found->insert(ref, {JournalModel::timeText(query.value(1).toString()), query.value(2).toString()});
    }
    return true;
}

} // namespace

ShiftReport ShiftReport::fromJournal(const QString &connectionName, const QDateTime &from,
                                     const QDateTime &to)
{
    ShiftReport report;
    report.from = from;
    report.to = to;
    if (!QSqlDatabase::contains(connectionName)) {
        report.error = tr("журнал событий не ведётся");
        return report;
    }
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    const QString fromText = JournalRecord::timeText(from);
    QHash<qint64, Acknowledgement> acknowledgements;
    if (!readAcknowledgements(db, fromText, &acknowledgements, &report.error))
        return report;

    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ") + Columns
                  + QStringLiteral(" FROM journal WHERE received >= ? AND received <= ? ORDER BY id"));
    query.addBindValue(fromText);
    query.addBindValue(JournalRecord::timeText(to));
    if (!query.exec()) {
        report.error = query.lastError().text();
        return report;
    }
    QVector<QString> countOrder;
    QHash<QString, int> counted;
    while (query.next()) {
        const QString kind = query.value(Kind).toString();
        const QString list = query.value(List).toString();
        const QString label = countLabel(kind, list);
        if (!counted.contains(label))
            countOrder.append(label);
        ++counted[label];

        const QString received = JournalModel::timeText(query.value(Received).toString());
        const QString controller = query.value(Controller).toString();
        if (!controller.isEmpty() && !report.lines.contains(controller))
            report.lines.append(controller);
        if (kind == JournalRecord::PollingStarted && !report.lines.contains(query.value(Name).toString()))
            report.lines.append(query.value(Name).toString());
        if (kind == JournalRecord::LineFailure)
            report.failures.append({received, query.value(Name).toString()});
        if (kind != JournalRecord::Event || list != JournalRecord::CurrentList)
            continue;
        const Acknowledgement ack = acknowledgements.value(query.value(Id).toLongLong());
        if (ack.time.isEmpty())
            ++report.unacknowledged;
        if (++report.eventTotal > MaxEvents)
            continue;
        report.events.append({received, query.value(Name).toString(),
                              JournalModel::timeText(query.value(Occurred).toString()), controller,
                              ack.time, ack.guard});
    }
    for (const QString &label : qAsConst(countOrder))
        report.counts.append({label, counted.value(label)});
    return report;
}

QString ShiftReport::periodText() const
{
    const QString format = QStringLiteral("dd.MM.yyyy HH:mm");
    return tr("с %1 по %2").arg(from.toString(format), to.toString(format));
}
