#include "journalquery.h"

#include "csvwriter.h"
#include "journalmodel.h"

#include <QIODevice>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

const int ExportPage = 5000;

QString likePattern(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// SQLite's LIKE ignores case in Latin letters only: "пожар" is also looked
// for as "Пожар" and "ПОЖАР".
QStringList caseVariants(const QString &text)
{
    const QString lower = text.toLower();
    QStringList variants{text, lower, lower.left(1).toUpper() + lower.mid(1), text.toUpper()};
    variants.removeDuplicates();
    return variants;
}

} // namespace

QString JournalQuery::recordColumns()
{
    return QStringLiteral("id, received, kind, list, source, code, name, occurred, "
                          "port, slave, controller, guard, ref");
}

JournalRecord JournalQuery::recordFrom(const QSqlQuery &query)
{
    JournalRecord record;
    record.id = query.value(0).toLongLong();
    record.received = query.value(1).toString();
    record.kind = query.value(2).toString();
    record.list = query.value(3).toString();
    record.source = query.value(4);
    record.code = query.value(5);
    record.name = query.value(6).toString();
    record.occurred = query.value(7).toString();
    record.port = query.value(8).toString();
    record.slave = query.value(9);
    record.controller = query.value(10).toString();
    record.guard = query.value(11).toString();
    record.ref = query.value(12);
    return record;
}

JournalQuery::JournalQuery(const QString &connectionName, const JournalFilter &filter)
    : connection(connectionName), filter(filter)
{
}

QVector<JournalRecord> JournalQuery::older(qint64 beforeId, int limit) const
{
    QVector<JournalRecord> rows = beforeId > 0
        ? select(QStringLiteral("id < :id"), beforeId, true, limit)
        : select(QString(), 0, true, limit);
    std::reverse(rows.begin(), rows.end());
    return rows;
}

QVector<JournalRecord> JournalQuery::newer(qint64 afterId, int limit) const
{
    return select(QStringLiteral("id > :id"), afterId, false, limit);
}

qint64 JournalQuery::count() const
{
    if (!QSqlDatabase::contains(connection))
        return 0;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM journal") + whereClause(QString()));
    bindFilter(query);
    if (!query.exec() || !query.next()) {
        error = query.lastError().text();
        return 0;
    }
    return query.value(0).toLongLong();
}

QVector<JournalRecord> JournalQuery::select(const QString &idCondition, qint64 id,
                                            bool descending, int limit) const
{
    QVector<JournalRecord> rows;
    if (!QSqlDatabase::contains(connection))
        return rows;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM journal").arg(recordColumns())
                  + whereClause(idCondition) + QStringLiteral(" ORDER BY id ")
                  + (descending ? QStringLiteral("DESC") : QStringLiteral("ASC"))
                  + QStringLiteral(" LIMIT %1").arg(limit));
    if (!idCondition.isEmpty())
        query.bindValue(QStringLiteral(":id"), id);
    bindFilter(query);
    if (!query.exec()) {
        error = query.lastError().text();
        return rows;
    }
    rows.reserve(limit);
    while (query.next())
        rows.append(recordFrom(query));
    return rows;
}

QString JournalQuery::whereClause(const QString &idCondition) const
{
    QStringList conditions;
    if (!idCondition.isEmpty())
        conditions << idCondition;
    if (filter.from.isValid())
        conditions << QStringLiteral("received >= :from");
    if (filter.to.isValid())
        conditions << QStringLiteral("received < :to");
    if (!filter.text.isEmpty()) {
        QStringList matches{QStringLiteral("port LIKE :port ESCAPE '\\'")};
        for (int i = 0; i < caseVariants(filter.text).size(); ++i) {
            matches << QStringLiteral("name LIKE :name%1 ESCAPE '\\'").arg(i)
                    << QStringLiteral("controller LIKE :controller%1 ESCAPE '\\'").arg(i);
        }
        conditions << QLatin1Char('(') + matches.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    if (filter.unacknowledgedOnly) {
        // The subquery is evaluated once into a lookup set, not per row.
        conditions << QStringLiteral("kind = '%1' AND list = '%2' AND id NOT IN "
                                     "(SELECT ref FROM journal WHERE kind = '%3' "
                                     "AND ref IS NOT NULL)")
                          .arg(JournalRecord::Event, JournalRecord::CurrentList,
                               JournalRecord::Acknowledged);
    }
    return conditions.isEmpty() ? QString()
                                : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

// Arrival times are ISO text, so they compare as strings; "to" takes its whole day.
void JournalQuery::bindFilter(QSqlQuery &query) const
{
    if (filter.from.isValid())
        query.bindValue(QStringLiteral(":from"), filter.from.toString(Qt::ISODate));
    if (filter.to.isValid())
        query.bindValue(QStringLiteral(":to"), filter.to.addDays(1).toString(Qt::ISODate));
    if (!filter.text.isEmpty()) {
        query.bindValue(QStringLiteral(":port"), likePattern(filter.text));
        const QStringList variants = caseVariants(filter.text);
        for (int i = 0; i < variants.size(); ++i) {
            query.bindValue(QStringLiteral(":name%1").arg(i), likePattern(variants[i]));
            query.bindValue(QStringLiteral(":controller%1").arg(i), likePattern(variants[i]));
        }
    }
}

bool JournalQuery::writeCsv(QIODevice *device,
                            const std::function<bool(qint64, qint64)> &progress) const
{
    const qint64 total = count();
    CsvWriter csv(device);
    if (!csv.writeRow(JournalModel::headers())) {
        error = device->errorString();
        return false;
    }
    qint64 done = 0;
    qint64 lastId = 0;
    while (progress(done, total)) {
        const QVector<JournalRecord> page = newer(lastId, ExportPage);
        if (!error.isEmpty())
            return false;
        for (const JournalRecord &record : page) {
            if (!csv.writeRow(JournalModel::texts(record))) {
                error = device->errorString();
                return false;
            }
        }
        if (page.isEmpty())
            return true;
        done += page.size();
        lastId = page.last().id;
    }
    return false;
}
