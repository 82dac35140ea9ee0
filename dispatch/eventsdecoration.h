#ifndef EVENTSDECORATION_H
#define EVENTSDECORATION_H

#include <QIdentityProxyModel>
#include <QSortFilterProxyModel>

// What the console's event tables show of a row that waits for a guard:
// bold, with a warning marker in the name cell. Accessibility tools read
// the same cells, with "ожидает квитирования" in the name's description.
class EventsDecoration : public QIdentityProxyModel
{
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};

// The sites in the order a guard needs them (worst first), alarms in red.
class SitesOrder : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit SitesOrder(QObject *parent = nullptr);
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
};

#endif // EVENTSDECORATION_H
