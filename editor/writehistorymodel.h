#ifndef WRITEHISTORYMODEL_H
#define WRITEHISTORYMODEL_H

#include "writerecord.h"

#include <QAbstractTableModel>
#include <QVector>

// The rows of "История записей", newest first: time, engineer, link,
// changed fields, outcome. Texts only, so screen readers read every cell.
class WriteHistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, EngineerColumn, Link, Changes, OutcomeColumn, ColumnCount };

    explicit WriteHistoryModel(QObject *parent = nullptr);

    void setRecords(const QVector<WriteRecord> &records);
    const WriteRecord &recordAt(int row) const { return rows.at(row); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static QString timeText(const QDateTime &time);

private:
    QString text(const WriteRecord &record, int column) const;

    QVector<WriteRecord> rows;
};

#endif // WRITEHISTORYMODEL_H
