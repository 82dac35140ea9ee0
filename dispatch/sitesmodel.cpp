#include "sitesmodel.h"

#include <algorithm>
#include <numeric>
#include <utility>

SitesModel::SitesModel(QObject *parent) : QAbstractTableModel(parent) {}

QString SitesModel::linkText(ControllerSnapshot::Link link)
{
    switch (link) {
    case ControllerSnapshot::Link::Idle: return tr("не опрашивается");
    case ControllerSnapshot::Link::Polling: return tr("опрос");
    case ControllerSnapshot::Link::NoAnswer: return tr("нет ответа");
    case ControllerSnapshot::Link::NoLink: return tr("нет связи");
    }
    return QString();
}

int SitesModel::siteFor(const QString &name)
{
    const auto found = siteIndex.constFind(name);
    if (found != siteIndex.constEnd())
        return *found;
    if (sites.size() >= MaxSites)
        return -1;
    Site site;
    site.name = name;
    site.ownRow = rows.size();
    beginInsertRows(QModelIndex(), rows.size(), rows.size());
    sites.append(site);
    siteIndex.insert(name, sites.size() - 1);
    rows.append({ sites.size() - 1, -1 });
    endInsertRows();
    return sites.size() - 1;
}

// The first controller takes over its site's own row.
int SitesModel::controllerFor(int s, const QString &key)
{
    Site &site = sites[s];
    const auto found = site.controllerIndex.constFind(key);
    if (found != site.controllerIndex.constEnd())
        return *found;
    if (site.controllers.size() >= MaxControllersPerSite)
        return -1;
    Controller controller;
    controller.key = key;
    controller.state.key = key;
    controller.state.name = key;
    if (site.ownRow >= 0) {
        controller.row = std::exchange(site.ownRow, -1);
        site.controllers.append(controller);
        rows[controller.row].second = 0;
        site.controllerIndex.insert(key, 0);
        rowChanged(controller.row);
        return 0;
    }
    controller.row = rows.size();
    beginInsertRows(QModelIndex(), rows.size(), rows.size());
    site.controllers.append(controller);
    site.controllerIndex.insert(key, site.controllers.size() - 1);
    rows.append({ s, site.controllers.size() - 1 });
    endInsertRows();
    return site.controllers.size() - 1;
}

bool SitesModel::setStatus(const QString &name, bool online)
{
    const int s = siteFor(name);
    if (s < 0)
        return false;
    Site &site = sites[s];
    site.online = online;
    site.statusKnown = true;
    site.last = QDateTime::currentDateTime();
    rowsOfSiteChanged(s);
    return true;
}

bool SitesModel::setState(const QString &name, const QString &key, const ControllerSnapshot &state)
{
    const int s = siteFor(name);
    const int c = s < 0 ? -1 : controllerFor(s, key);
    if (c < 0)
        return false;
    Controller &controller = sites[s].controllers[c];
    controller.state = state;
    controller.state.key = key;
    controller.stateKnown = true;
    controller.last = sites[s].last = QDateTime::currentDateTime();
    rowChanged(controller.row);
    return true;
}

bool SitesModel::touch(const QString &name, const QString &key)
{
    const int s = siteFor(name);
    const int c = s < 0 ? -1 : controllerFor(s, key);
    if (c < 0)
        return false;
    Controller &controller = sites[s].controllers[c];
    controller.last = sites[s].last = QDateTime::currentDateTime();
    rowChanged(controller.row);
    return true;
}

void SitesModel::setJournalNote(const QString &name, const QString &note)
{
    const auto found = siteIndex.constFind(name);
    if (found == siteIndex.constEnd() || sites[*found].journalNote == note)
        return;
    sites[*found].journalNote = note;
    rowsOfSiteChanged(*found);
}

void SitesModel::rowsOfSiteChanged(int s)
{
    const Site &site = sites[s];
    if (site.ownRow >= 0)
        rowChanged(site.ownRow);
    for (const Controller &c : site.controllers)
        rowChanged(c.row);
}

void SitesModel::rowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

bool SitesModel::hasController(const QString &name, const QString &key) const
{
    const auto found = siteIndex.constFind(name);
    return found != siteIndex.constEnd() && sites[*found].controllerIndex.contains(key);
}

bool SitesModel::isOnline(const QString &name) const
{
    const auto found = siteIndex.constFind(name);
    return found != siteIndex.constEnd() && sites[*found].online;
}

const ControllerSnapshot *SitesModel::state(const QString &name, const QString &key) const
{
    const auto found = siteIndex.constFind(name);
    if (found == siteIndex.constEnd())
        return nullptr;
    const Site &site = sites[*found];
    const auto c = site.controllerIndex.constFind(key);
    return c == site.controllerIndex.constEnd() || !site.controllers[*c].stateKnown
        ? nullptr
        : &site.controllers[*c].state;
}

QStringList SitesModel::siteNames() const
{
    QStringList names;
    for (const Site &site : sites)
        names << site.name;
    names.sort();
    return names;
}

int SitesModel::controllerCount() const
{
    int count = 0;
    for (const Site &site : sites)
        count += site.controllers.size();
    return count;
}

int SitesModel::severityOfRow(int row) const
{
    const Site &site = sites[rows[row].first];
    if (site.statusKnown && !site.online)
        return Offline;
    if (rows[row].second < 0)
        return Normal;
    const ControllerSnapshot &state = site.controllers[rows[row].second].state;
    switch (state.link) {
    case ControllerSnapshot::Link::NoLink: return NoLink;
    case ControllerSnapshot::Link::NoAnswer: return NoAnswer;
    default: return state.events.isEmpty() ? Normal : WithEvents;
    }
}

QVector<QPair<QString, QString>> SitesModel::worstFirst() const
{
    QVector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [this](int a, int b) { return worseThan(a, b); });
    QVector<QPair<QString, QString>> out;
    for (int row : order) {
        const Site &site = sites[rows[row].first];
        out.append({ site.name, rows[row].second < 0 ? QString() : site.controllers[rows[row].second].key });
    }
    return out;
}

bool SitesModel::worseThan(int row, int other) const
{
    const int severity = severityOfRow(row), otherSeverity = severityOfRow(other);
    if (severity != otherSeverity)
        return severity > otherSeverity;
    const Site &site = sites[rows[row].first];
    const Site &otherSite = sites[rows[other].first];
    if (site.name != otherSite.name)
        return site.name < otherSite.name;
    const auto key = [](const Site &s, int c) { return c < 0 ? QString() : s.controllers[c].key; };
    return key(site, rows[row].second) < key(otherSite, rows[other].second);
}

int SitesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int SitesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SitesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size())
        return QVariant();
    const Site &site = sites[rows[index.row()].first];
    const Controller *controller = rows[index.row()].second < 0 ? nullptr : &site.controllers[rows[index.row()].second];
    switch (role) {
    case SiteRole: return site.name;
    case KeyRole: return controller ? controller->key : QString();
    case SeverityRole: return severityOfRow(index.row());
    case Qt::DisplayRole: break;
    default: return QVariant();
    }
    switch (index.column()) {
    case SiteColumn: return site.name;
    case ControllerColumn: return controller ? controller->state.name : QString();
    case StatusColumn: return !site.statusKnown ? QString() : site.online ? tr("в сети") : tr("не в сети");
    case LinkColumn: return controller && controller->stateKnown ? linkText(controller->state.link) : QString();
    case EventsColumn: return controller && controller->stateKnown ? QVariant(controller->state.events.size()) : QVariant();
    case LastColumn: {
        const QDateTime &last = controller ? controller->last : site.last;
        return last.isValid() ? last.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString();
    }
    case JournalColumn: return site.journalNote;
    }
    return QVariant();
}

QVariant SitesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case SiteColumn: return tr("Площадка");
    case ControllerColumn: return tr("Контроллер");
    case StatusColumn: return tr("Площадка в сети");
    case LinkColumn: return tr("Связь");
    case EventsColumn: return tr("События");
    case LastColumn: return tr("Последнее сообщение");
    case JournalColumn: return tr("Журнал");
    }
    return QVariant();
}
