#include "dispatchjournalmodel.h"

#include "csvwriter.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

const QString Columns = QStringLiteral(
    "arrived, site, COALESCE(NULLIF(controller, ''), topic), id, kind, name, source, code, occurred, received,"
    " port, slave, guard");

QString shownTime(const QString &iso)
{
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    return time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : iso;
}

QString kindText(const QString &kind)
{
    static const QHash<QString, QString> names{
        { QStringLiteral("event"), QStringLiteral("событие") },
        { QStringLiteral("cleared"), QStringLiteral("список очищен") },
        { QStringLiteral("reset"), QStringLiteral("сброс") },
        { QStringLiteral("line-failure"), QStringLiteral("нет связи") },
        { QStringLiteral("polling-started"), QStringLiteral("начало опроса") },
        { QStringLiteral("polling-stopped"), QStringLiteral("конец опроса") },
        { QStringLiteral("link-restored"), QStringLiteral("связь восстановлена") },
        { QStringLiteral("acknowledged"), QStringLiteral("квитировано") },
    };
    return names.value(kind, kind);
}

QStringList rowOf(const QSqlQuery &q)
{
    const auto number = [&q](int column) { return q.value(column).isNull() ? QString() : q.value(column).toString(); };
    const QString port = q.value(10).toString();
    return { shownTime(q.value(0).toString()), q.value(1).toString(), q.value(2).toString(), number(3),
             kindText(q.value(4).toString()), q.value(5).toString().trimmed(), number(6), number(7),
             shownTime(q.value(8).toString()), shownTime(q.value(9).toString()),
             q.value(11).isNull() || port.isEmpty() ? port : QStringLiteral("%1, адрес %2").arg(port, number(11)),
             q.value(12).toString() };
}

} // namespace

DispatchJournalModel::DispatchJournalModel(const QString &connectionName, QObject *parent)
    : QAbstractTableModel(parent), connection(connectionName)
{
}

void DispatchJournalModel::setFilter(const QDate &fromDate, const QDate &toDate, const QString &filterText)
{
    from = fromDate;
    to = toDate;
    text = filterText.trimmed();
    reload();
}

QString DispatchJournalModel::where() const
{
    QStringList conditions{ QStringLiteral("1") };
    if (from.isValid())
        conditions << QStringLiteral("arrived >= ?");
    if (to.isValid())
        conditions << QStringLiteral("arrived < ?");
    if (!text.isEmpty())
        conditions << QStringLiteral("(instr(lower(site), ?) OR instr(lower(controller), ?) OR instr(lower(name), ?))");
    return QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

// SQLite's lower() knows Latin letters only; Cyrillic is matched as typed
// and with its first letter in either case.
void DispatchJournalModel::bind(QSqlQuery &query) const
{
    if (from.isValid())
        query.addBindValue(from.toString(Qt::ISODate));
    if (to.isValid())
        query.addBindValue(to.addDays(1).toString(Qt::ISODate));
    if (!text.isEmpty()) {
        for (int i = 0; i < 3; ++i)
            query.addBindValue(text.toLower());
    }
}

void DispatchJournalModel::reload()
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("SELECT %1 FROM journal%2 ORDER BY seq DESC LIMIT %3")
                      .arg(Columns, where())
                      .arg(MaxRows));
    bind(query);
    QVector<QStringList> fresh;
    if (query.exec()) {
        while (query.next())
            fresh.prepend(rowOf(query));
    }
    beginResetModel();
    rows.swap(fresh);
    endResetModel();
}

bool DispatchJournalModel::writeCsv(QIODevice *device, const std::function<bool(qint64, qint64)> &progress) const
{
    QSqlQuery count(QSqlDatabase::database(connection, false));
    count.prepare(QStringLiteral("SELECT COUNT(*) FROM journal") + where());
    bind(count);
    const qint64 total = count.exec() && count.next() ? count.value(0).toLongLong() : 0;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM journal%2 ORDER BY seq").arg(Columns, where()));
    bind(query);
    if (!query.exec())
        return false;
    CsvWriter csv(device);
    QStringList header;
    for (int c = 0; c < ColumnCount; ++c)
        header << headerData(c, Qt::Horizontal).toString();
    if (!csv.writeRow(header))
        return false;
    qint64 done = 0;
    while (query.next()) {
        if (!csv.writeRow(rowOf(query)))
            return false;
        if (++done % 1000 == 0 && progress && !progress(done, total))
            return false;
    }
    return true;
}

int DispatchJournalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int DispatchJournalModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DispatchJournalModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= rows.size())
        return QVariant();
    return rows[index.row()].value(index.column());
}

QVariant DispatchJournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList names{ tr("Получено"), tr("Площадка"), tr("Контроллер"), tr("Номер"), tr("Вид"),
                                    tr("Имя события"), tr("Источник"), tr("Код"), tr("Время события"),
                                    tr("Записано на площадке"), tr("Порт"), tr("Квитировал") };
    return names.value(section);
}
