#include "shiftreport.h"

#include "journalmodel.h"
#include "journalrecord.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Every query asks for the rows of the period; the journal's index on the
// arrival time keeps that to the period's rows, whatever the journal's size.
const QString InPeriod = QStringLiteral(" FROM journal WHERE received >= :from AND received <= :to ");

class PeriodQuery
{
public:
    PeriodQuery(const QString &connection, const QString &from, const QString &to, QString *error)
        : query(QSqlDatabase::database(connection, false)), from(from), to(to), error(error)
    {
        query.setForwardOnly(true);
    }

    // False, with the reason kept, when the statement fails.
    bool run(const QString &statement)
    {
        query.prepare(statement);
        query.bindValue(QStringLiteral(":from"), from);
        query.bindValue(QStringLiteral(":to"), to);
        query.bindValue(QStringLiteral(":event"), JournalRecord::Event);
        query.bindValue(QStringLiteral(":current"), JournalRecord::CurrentList);
        query.bindValue(QStringLiteral(":ack"), JournalRecord::Acknowledged);
        query.bindValue(QStringLiteral(":failure"), JournalRecord::LineFailure);
        query.bindValue(QStringLiteral(":started"), JournalRecord::PollingStarted);
        if (query.exec())
            return true;
        if (error->isEmpty())
            *error = query.lastError().text();
        return false;
    }
    bool next() { return query.next(); }
    QVariant value(int column) const { return query.value(column); }

private:
    QSqlQuery query;
    QString from;
    QString to;
    QString *error;
};

QString countLabel(const QString &kind, const QString &list)
{
    const QString text = JournalModel::kindText(kind);
    return list.isEmpty() ? text : text + QStringLiteral(" (") + JournalModel::listText(list) + QLatin1Char(')');
}

const QString CurrentEvents = QStringLiteral("AND kind = :event AND list = :current ");
// Acknowledgements always come after their event, so those from the
// period's start on are all the period's events can have.
const QString Acknowledged = QStringLiteral("(SELECT ref FROM journal WHERE received >= :from AND kind = :ack "
                                            "AND ref IS NOT NULL)");

void readCounts(PeriodQuery &query, ShiftReport *report)
{
    if (!query.run(QStringLiteral("SELECT kind, list, COUNT(*)") + InPeriod
                   + QStringLiteral("GROUP BY kind, list ORDER BY MIN(id)")))
        return;
    while (query.next()) {
        const QString kind = query.value(0).toString();
        const QString list = query.value(1).toString();
        const int count = query.value(2).toInt();
        report->counts.append({countLabel(kind, list), count});
        if (kind == JournalRecord::Event && list == JournalRecord::CurrentList)
            report->eventTotal = count;
    }
    if (query.run(QStringLiteral("SELECT COUNT(*)") + InPeriod + CurrentEvents + QStringLiteral("AND id NOT IN ")
                  + Acknowledged)
        && query.next())
        report->unacknowledged = query.value(0).toInt();
}

void readLines(PeriodQuery &query, ShiftReport *report)
{
    const QString statements[] = {
        QStringLiteral("SELECT name") + InPeriod + QStringLiteral("AND kind = :started GROUP BY name ORDER BY MIN(id)"),
        QStringLiteral("SELECT controller") + InPeriod
            + QStringLiteral("AND controller <> '' GROUP BY controller ORDER BY MIN(id)"),
    };
    for (const QString &statement : statements) {
        if (!query.run(statement))
            return;
        while (query.next())
            report->lines.append(query.value(0).toString());
    }
}

void readEvents(PeriodQuery &query, ShiftReport *report)
{
    QHash<qint64, QPair<QString, QString>> acknowledgements; // event id: time, guard
    if (!query.run(QStringLiteral("SELECT ref, received, guard FROM journal WHERE received >= :from AND kind = :ack "
                                  "AND ref IN (SELECT id") + InPeriod + CurrentEvents
                   + QStringLiteral("ORDER BY id LIMIT %1) ORDER BY id").arg(ShiftReport::MaxEvents)))
        return;
    while (query.next()) {
        const qint64 ref = query.value(0).toLongLong();
        if (!acknowledgements.contains(ref)) // the first one counts
            acknowledgements.insert(ref, {JournalModel::timeText(query.value(1).toString()), query.value(2).toString()});
    }
    if (!query.run(QStringLiteral("SELECT id, received, name, occurred, controller") + InPeriod + CurrentEvents
                   + QStringLiteral("ORDER BY id LIMIT %1").arg(ShiftReport::MaxEvents)))
        return;
    while (query.next()) {
        const auto acknowledgement = acknowledgements.value(query.value(0).toLongLong());
        report->events.append({JournalModel::timeText(query.value(1).toString()), query.value(2).toString(),
                               JournalModel::timeText(query.value(3).toString()), query.value(4).toString(),
                               acknowledgement.first, acknowledgement.second});
    }
}

void readFailures(PeriodQuery &query, ShiftReport *report)
{
    if (!query.run(QStringLiteral("SELECT received, name") + InPeriod
                   + QStringLiteral("AND kind = :failure ORDER BY id LIMIT %1").arg(ShiftReport::MaxEvents)))
        return;
    while (query.next())
        report->failures.append({JournalModel::timeText(query.value(0).toString()), query.value(1).toString()});
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
    PeriodQuery query(connectionName, JournalRecord::timeText(from), JournalRecord::timeText(to), &report.error);
    readCounts(query, &report);
    readLines(query, &report);
    readEvents(query, &report);
    readFailures(query, &report);
    return report;
}

QString ShiftReport::periodText() const
{
    const QString format = QStringLiteral("dd.MM.yyyy HH:mm");
    return tr("с %1 по %2").arg(from.toString(format), to.toString(format));
}
