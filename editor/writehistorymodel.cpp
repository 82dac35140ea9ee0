#include "writehistorymodel.h"

WriteHistoryModel::WriteHistoryModel(QObject *parent) : QAbstractTableModel(parent) {}

void WriteHistoryModel::setRecords(const QVector<WriteRecord> &records)
{
    beginResetModel();
    rows = records;
    endResetModel();
}

int WriteHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int WriteHistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString WriteHistoryModel::timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QString WriteHistoryModel::text(const WriteRecord &record, int column) const
{
    switch (column) {
    case Time:
        return timeText(record.started);
    case EngineerColumn:
        return record.engineer;
    case Link:
        return record.link;
    case Changes:
        return record.changesText();
    case OutcomeColumn:
        return record.outcomeDisplay();
    default:
        return QString();
    }
}

QVariant WriteHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return QVariant();
    const WriteRecord &record = rows.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return text(record, index.column());
    if (role == Qt::TextAlignmentRole && index.column() == Changes)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant WriteHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time:
        return tr("Время");
    case EngineerColumn:
        return tr("Инженер");
    case Link:
        return tr("Подключение");
    case Changes:
        return tr("Изменено полей");
    case OutcomeColumn:
        return tr("Итог");
    default:
        return QVariant();
    }
}
