#include "currentevents.h"

#include <QDateTime>

#include <algorithm>

const QString CurrentEvents::SiteLost = QStringLiteral("Площадка не в сети");
const QString CurrentEvents::ControllerLost = QStringLiteral("Нет связи с контроллером");

namespace {

QString nowText()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

} // namespace

CurrentEvents::CurrentEvents(QObject *parent) : QAbstractTableModel(parent) {}

void CurrentEvents::setController(const QString &site, const ControllerSnapshot &state)
{
    QVector<Row> wanted;
    for (const ControllerSnapshot::Event &e : state.events)
        wanted.append(Row{ site, state.key, state.name, e.name.trimmed(), e.source, e.code, e.time, true });
    const bool noLink = state.link == ControllerSnapshot::Link::NoLink;
    replaceRows(site, state.key, noLink, wanted);
    if (!noLink)
        return;
    for (const Row &r : qAsConst(rows)) {
        if (r.site == site && r.key == state.key && r.source < 0)
            return; // the loss is already shown, since it began
    }
    appendRow(Row{ site, state.key, state.name, ControllerLost, -1, -1, nowText(), true });
}

void CurrentEvents::setSiteOnline(const QString &site, bool online)
{
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].site == site && rows[i].key.isEmpty()) {
            if (online)
                removeRowAt(i);
            return;
        }
    }
    if (!online)
        appendRow(Row{ site, QString(), QString(), SiteLost, -1, -1, nowText(), true });
}

// Rows that stay keep their acknowledgement; new ones wait.
void CurrentEvents::replaceRows(const QString &site, const QString &key, bool keepLinkRow, QVector<Row> wanted)
{
    for (int i = rows.size() - 1; i >= 0; --i) {
        const Row &r = rows[i];
        if (r.site != site || r.key != key || (keepLinkRow && r.source < 0))
            continue;
        const auto same = std::find_if(wanted.begin(), wanted.end(), [&](const Row &w) { return w.sameEvent(r); });
        if (same != wanted.end() && r.source >= 0)
            wanted.erase(same);
        else
            removeRowAt(i);
    }
    for (const Row &w : qAsConst(wanted))
        appendRow(w);
}

void CurrentEvents::removeRowAt(int index)
{
    const bool waited = rows[index].waiting;
    beginRemoveRows(QModelIndex(), index, index);
    rows.remove(index);
    endRemoveRows();
    if (waited)
        emit waitingChanged(waitingCount());
}

void CurrentEvents::appendRow(const Row &row)
{
    if (rows.size() >= MaxRows)
        return;
    beginInsertRows(QModelIndex(), rows.size(), rows.size());
    rows.append(row);
    endInsertRows();
    emit arrived();
    emit waitingChanged(waitingCount());
}

int CurrentEvents::waitingCount() const
{
    return int(std::count_if(rows.begin(), rows.end(), [](const Row &r) { return r.waiting; }));
}

bool CurrentEvents::acknowledge(int index)
{
    if (index < 0 || index >= rows.size() || !rows[index].waiting)
        return false;
    rows[index].waiting = false;
    emit dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
    emit waitingChanged(waitingCount());
    return true;
}

int CurrentEvents::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int CurrentEvents::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CurrentEvents::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return QVariant();
    const Row &r = rows[index.row()];
    switch (role) {
    case WaitingRole: return r.waiting;
    case SiteRole: return r.site;
    case KeyRole: return r.key;
    case OwnerRole: return owner(r.site, r.key);
    case Qt::DisplayRole: break;
    default: return QVariant();
    }
    const QDateTime time = QDateTime::fromString(r.time, Qt::ISODate);
    switch (index.column()) {
    case SiteColumn: return r.site;
    case ControllerColumn: return r.controller;
    case NameColumn: return r.name;
    case TimeColumn: return time.isValid() ? time.toString(QStringLiteral("HH:mm:ss")) : r.time;
    case DateColumn: return time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy")) : QString();
    }
    return QVariant();
}

QVariant CurrentEvents::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case SiteColumn: return tr("Площадка");
    case ControllerColumn: return tr("Контроллер");
    case NameColumn: return tr("Имя события");
    case TimeColumn: return tr("Время");
    case DateColumn: return tr("Дата");
    }
    return QVariant();
}
