#ifndef SITESMODEL_H
#define SITESMODEL_H

#include "controllersnapshot.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QVector>

// Every site seen under the root with its controllers, one row per
// controller (a site with none yet has a row of its own). Rows keep their
// place; SeverityRole lets a view put the worst first. Bounded: sites and
// controllers beyond the caps are refused and counted.
class SitesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int MaxSites = 1000;
    static constexpr int MaxControllersPerSite = 64;

    enum Column { SiteColumn, ControllerColumn, StatusColumn, LinkColumn, EventsColumn, LastColumn,
                  JournalColumn, ColumnCount };
    enum Role { SiteRole = Qt::UserRole + 1, KeyRole, SeverityRole };
    enum Severity { Normal, WithEvents, NoAnswer, NoLink, Offline };

    explicit SitesModel(QObject *parent = nullptr);

    // False when the site or controller would pass a cap.
    bool setStatus(const QString &site, bool online);
    bool setState(const QString &site, const QString &key, const ControllerSnapshot &state);
    bool touch(const QString &site, const QString &key); // a journal row came
    void setJournalNote(const QString &site, const QString &note);

    bool hasSite(const QString &site) const { return siteIndex.contains(site); }
    bool hasController(const QString &site, const QString &key) const;
    bool isOnline(const QString &site) const;
    const ControllerSnapshot *state(const QString &site, const QString &key) const;
    QStringList siteNames() const;
    int siteCount() const { return sites.size(); }
    int controllerCount() const;
    int severityOfRow(int row) const;
    // Worst first, then by site and controller.
    bool worseThan(int row, int other) const;
    // Every controller's (site, key), worst first.
    QVector<QPair<QString, QString>> worstFirst() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString linkText(ControllerSnapshot::Link link);

private:
    struct Controller
    {
        QString key;
        ControllerSnapshot state;
        bool stateKnown = false;
        QDateTime last;
        int row = -1;
    };
    struct Site
    {
        QString name;
        bool online = false;
        bool statusKnown = false;
        QDateTime last;
        QString journalNote;
        QVector<Controller> controllers;
        QHash<QString, int> controllerIndex;
        int ownRow = -1; // while it has no controller
    };

    int siteFor(const QString &site);
    int controllerFor(int site, const QString &key);
    void rowsOfSiteChanged(int site);
    void rowChanged(int row);

    QVector<Site> sites;
    QHash<QString, int> siteIndex;
    QVector<QPair<int, int>> rows; // site, controller (-1: the site's own row)
};

#endif // SITESMODEL_H
