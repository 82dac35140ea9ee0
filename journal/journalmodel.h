#ifndef JOURNALMODEL_H
#define JOURNALMODEL_H

#include "journalquery.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

// The journal as a table, newest row at the bottom. Holds only the pages
// loaded so far: the newest page at first, older ones as the view scrolls up
// (fetchOlder), rows journaled since at the bottom (fetchNewer), which push
// the oldest loaded ones out beyond MaxLoadedRows.
class JournalModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int PageSize = 500;
    static constexpr int MaxLoadedRows = 20 * PageSize; // newer rows push the oldest out

    explicit JournalModel(QObject *parent = nullptr);

    // Starts again from the newest page of the journal on that connection.
    void setSource(const QString &connectionName);
    void setFilter(const JournalFilter &filter);
    JournalFilter filter() const { return currentFilter; }
    QString connectionName() const { return connection; }

    int fetchOlder();   // rows added at the top
    int fetchNewer();   // rows added at the bottom
    bool hasOlder() const { return olderLeft; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The columns' captions and one row's texts, shared with the CSV export.
    static QStringList headers();
    static QStringList texts(const JournalRecord &record);
    static QString kindText(const QString &kind);
    static QString listText(const QString &list);
    static QString timeText(const QString &isoTime);

private:
    void reload();
    void dropOldestBeyond(int limit);

    QString connection;
    JournalFilter currentFilter;
    QVector<JournalRecord> rows;
    bool olderLeft = false;
};

#endif // JOURNALMODEL_H
