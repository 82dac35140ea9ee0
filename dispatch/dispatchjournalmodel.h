#ifndef DISPATCHJOURNALMODEL_H
#define DISPATCHJOURNALMODEL_H

#include <QAbstractTableModel>
#include <QDate>
#include <QStringList>
#include <QVector>

#include <functional>

class QIODevice;

// "Журнал" over the dispatcher's journal: the newest rows that match a
// period of arrival dates and a text (site, controller, event name), at most
// MaxRows of them in memory; CSV writes every matching row.
class DispatchJournalModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int MaxRows = 10000;

    enum Column { ArrivedColumn, SiteColumn, ControllerColumn, IdColumn, KindColumn, NameColumn, SourceColumn,
                  CodeColumn, OccurredColumn, ReceivedColumn, PortColumn, GuardColumn, ColumnCount };

    explicit DispatchJournalModel(const QString &connectionName, QObject *parent = nullptr);

    void setFilter(const QDate &from, const QDate &to, const QString &text);
    void reload();

    // progress(done, total) returning false cancels.
    bool writeCsv(QIODevice *device, const std::function<bool(qint64, qint64)> &progress = {}) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString where() const;
    void bind(class QSqlQuery &query) const;

    QString connection;
    QDate from;
    QDate to;
    QString text;
    QVector<QStringList> rows;
};

#endif // DISPATCHJOURNALMODEL_H
