#include "journalmodel.h"

JournalModel::JournalModel(QObject *parent) : QAbstractTableModel(parent) {}

void JournalModel::setSource(const QString &connectionName)
{
    connection = connectionName;
    reload();
}

void JournalModel::setFilter(const JournalFilter &filter)
{
    currentFilter = filter;
    reload();
}

void JournalModel::reload()
{
    beginResetModel();
    rows = JournalQuery(connection, currentFilter).older(0, PageSize);
    olderLeft = rows.size() == PageSize;
    endResetModel();
}

int JournalModel::fetchOlder()
{
    if (!olderLeft || rows.isEmpty())
        return 0;
    const QVector<JournalRecord> page
        = JournalQuery(connection, currentFilter).older(rows.first().id, PageSize);
    olderLeft = page.size() == PageSize;
    if (page.isEmpty())
        return 0;
    beginInsertRows(QModelIndex(), 0, page.size() - 1);
    rows = page + rows;
    endInsertRows();
    return page.size();
}

int JournalModel::fetchNewer()
{
    const qint64 lastId = rows.isEmpty() ? 0 : rows.last().id;
    const QVector<JournalRecord> page
        = JournalQuery(connection, currentFilter).newer(lastId, PageSize);
    if (page.isEmpty())
        return 0;
    beginInsertRows(QModelIndex(), rows.size(), rows.size() + page.size() - 1);
    rows += page;
    endInsertRows();
    dropOldestBeyond(MaxLoadedRows);
    return page.size() + fetchNewer();
}

// A console that runs for a month journals without end; what scrolled out
// at the top is read again when the view scrolls back up.
void JournalModel::dropOldestBeyond(int limit)
{
    const int excess = rows.size() - limit;
    if (excess <= 0)
        return;
    beginRemoveRows(QModelIndex(), 0, excess - 1);
    rows.remove(0, excess);
    olderLeft = true;
    endRemoveRows();
}

int JournalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int JournalModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : headers().size();
}

QVariant JournalModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return texts(rows.at(index.row())).value(index.column());
    return QVariant();
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return headers().value(section);
    return section + 1;
}

QStringList JournalModel::headers()
{
    return {tr("Получено"), tr("Контроллер"), tr("Запись"), tr("Список"), tr("Событие"),
            tr("Время события")};
}

QStringList JournalModel::texts(const JournalRecord &record)
{
    // Who acknowledged goes with the kind: the columns stay those of every row.
    const QString kind = record.guard.isEmpty() ? kindText(record.kind)
                                                : kindText(record.kind) + QStringLiteral(": ") + record.guard;
    return {timeText(record.received), record.controller, kind, listText(record.list), record.name,
            timeText(record.occurred)};
}

QString JournalModel::kindText(const QString &kind)
{
    if (kind == JournalRecord::Event)
        return tr("Событие");
    if (kind == JournalRecord::Cleared)
        return tr("Список очищен");
    if (kind == JournalRecord::Reset)
        return tr("Сброс");
    if (kind == JournalRecord::LineFailure)
        return tr("Отказ линии");
    if (kind == JournalRecord::PollingStarted)
        return tr("Опрос начат");
    if (kind == JournalRecord::PollingStopped)
        return tr("Опрос завершен");
    if (kind == JournalRecord::Acknowledged)
        return tr("Квитировано");
    if (kind == JournalRecord::LinkRestored)
        return tr("Связь восстановлена");
    if (kind == JournalRecord::JournalFailure)
        return tr("Журнал не записывается");
    if (kind == JournalRecord::JournalRestored)
        return tr("Журнал записывается снова");
    return kind; // written by a later version
}

QString JournalModel::listText(const QString &list)
{
    if (list == JournalRecord::CurrentList)
        return tr("Текущие события");
    if (list == JournalRecord::AllList)
        return tr("Все события");
    return list;
}

// yyyy-MM-ddTHH:mm:ss shown the Russian way, by moving its parts (an export
// of a million rows calls this twice a row); a text of any other form, such
// as a controller's impossible date, is shown as stored.
QString JournalModel::timeText(const QString &isoTime)
{
    const bool iso = isoTime.size() == 19 && isoTime.at(4) == QLatin1Char('-')
        && isoTime.at(7) == QLatin1Char('-') && isoTime.at(10) == QLatin1Char('T');
    if (!iso)
        return isoTime;
    QString shown;
    shown.reserve(19);
    shown += isoTime.midRef(8, 2);
    shown += QLatin1Char('.');
    shown += isoTime.midRef(5, 2);
    shown += QLatin1Char('.');
    shown += isoTime.leftRef(4);
    shown += QLatin1Char(' ');
    shown += isoTime.rightRef(8);
    return shown;
}
