#ifndef JOURNALQUERY_H
#define JOURNALQUERY_H

#include "journalrecord.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <functional>

class QIODevice;

// What the operator asked to see: a range of arrival dates (inclusive, either
// end may be open), a piece of text looked for in the name and the port, and
// perhaps only the current events no guard has acknowledged.
struct JournalFilter
{
    QDate from;
    QDate to;
    QString text;
    bool unacknowledgedOnly = false;
};

// Reads the journal in pages by id (keyset), never by offset, so a page costs
// the same at either end of a million rows.
class QSqlQuery;

class JournalQuery
{
public:
    JournalQuery(const QString &connectionName, const JournalFilter &filter);

    // The columns a record is read from, in the order recordFrom() takes them.
    static QString recordColumns();
    static JournalRecord recordFrom(const QSqlQuery &query);

    // Up to limit matching rows just before beforeId (0: from the newest), in id order.
    QVector<JournalRecord> older(qint64 beforeId, int limit) const;
    // Up to limit matching rows after afterId, in id order.
    QVector<JournalRecord> newer(qint64 afterId, int limit) const;
    qint64 count() const;

    // Writes every matching row as CSV, oldest first, in the columns of the
    // journal view. progress(done, total) returning false cancels.
    bool writeCsv(QIODevice *device,
                  const std::function<bool(qint64 done, qint64 total)> &progress) const;

    QString errorText() const { return error; }

private:
    QVector<JournalRecord> select(const QString &idCondition, qint64 id, bool descending,
                                  int limit) const;
    QString whereClause(const QString &idCondition) const;
    void bindFilter(class QSqlQuery &query) const;

    QString connection;
    JournalFilter filter;
    mutable QString error;
};

#endif // JOURNALQUERY_H
