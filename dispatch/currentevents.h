#ifndef CURRENTEVENTS_H
#define CURRENTEVENTS_H

#include "controllersnapshot.h"

#include <QAbstractTableModel>
#include <QVector>

// "Текущие события" across all sites: each controller's current events as
// its state names them, plus a row for a site that went offline and one for
// a controller without link. A row waits for acknowledgement from the moment
// it appears until a guard acknowledges it or it leaves.
class CurrentEvents : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int MaxRows = 20000;

    enum Column { SiteColumn, ControllerColumn, NameColumn, TimeColumn, DateColumn, ColumnCount };
    enum Role { WaitingRole = Qt::UserRole + 1, SiteRole, KeyRole, OwnerRole };

    // OwnerRole's text: the site and the controller's topic level.
    static QString owner(const QString &site, const QString &key) { return site + QLatin1Char('\n') + key; }

    struct Row
    {
        QString site;
        QString key;        // the controller's topic level; empty for the site itself
        QString controller; // its name as shown
        QString name;
        int source = -1;    // -1 for the rows the dispatcher makes
        int code = -1;
        QString time;       // ISO 8601 when it is a valid date
        bool waiting = true;
        bool sameEvent(const Row &o) const
        {
            return site == o.site && key == o.key && name == o.name && source == o.source && code == o.code
                && time == o.time;
        }
    };

    static const QString SiteLost;
    static const QString ControllerLost;

    explicit CurrentEvents(QObject *parent = nullptr);

    // The controller's events as its latest state lists them; the link row follows its link.
    void setController(const QString &site, const ControllerSnapshot &state);
    void setSiteOnline(const QString &site, bool online);

    const Row &row(int index) const { return rows.at(index); }
    int waitingCount() const;
    // Marks it acknowledged; false when it was not waiting.
    bool acknowledge(int index);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // A row that waits has appeared: the alarm sounds.
    void arrived();
    void waitingChanged(int count);

private:
    void replaceRows(const QString &site, const QString &key, bool keepLinkRow, QVector<Row> wanted);
    void removeRowAt(int index);
    void appendRow(const Row &row);

    QVector<Row> rows;
};

#endif // CURRENTEVENTS_H
