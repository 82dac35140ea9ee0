#include "eventsdecoration.h"

#include "currentevents.h"
#include "sitesmodel.h"

#include <QApplication>
#include <QBrush>
#include <QFont>
#include <QStyle>

QVariant EventsDecoration::data(const QModelIndex &index, int role) const
{
    const bool waiting = QIdentityProxyModel::data(index, CurrentEvents::WaitingRole).toBool();
    if (role == Qt::FontRole && waiting) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (index.column() == CurrentEvents::NameColumn && waiting) {
        if (role == Qt::DecorationRole)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        if (role == Qt::AccessibleDescriptionRole)
            return tr("ожидает квитирования");
    }
    return QIdentityProxyModel::data(index, role);
}

SitesOrder::SitesOrder(QObject *parent) : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
    sort(0);
}

QVariant SitesOrder::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ForegroundRole) {
        const int severity = QSortFilterProxyModel::data(index, SitesModel::SeverityRole).toInt();
        if (severity >= SitesModel::NoLink)
            return QBrush(Qt::red);
    }
    return QSortFilterProxyModel::data(index, role);
}

bool SitesOrder::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    return static_cast<const SitesModel *>(sourceModel())->worseThan(left.row(), right.row());
}
