#ifndef EVENTTABLES_H
#define EVENTTABLES_H

#include "alarmtype.h"

#include <QHash>
#include <QObject>
#include <QVector>

class EventCatalogue;
class QTableWidget;

// The window's two event tables: every row is made here. In the site view
// each table has a first column "Контроллер" and a row remembers whose it is,
// so one controller's list can be emptied alone. Each table keeps the newest
// MaxRows rows; the journal keeps everything.
class EventTables : public QObject
{
    Q_OBJECT

public:
    enum List { Current, All };
    static constexpr int MaxRows = 10000;

    EventTables(QTableWidget *current, QTableWidget *all, const EventCatalogue &catalogue,
                QObject *parent = nullptr);

    QTableWidget *table(List list) const { return list == Current ? current : all; }

    // Adds or removes the "Контроллер" column; the rows go, as they were
    // made for the other shape.
    void setSiteView(bool on);
    bool isSiteView() const { return siteView; }

    void append(List list, const AlarmType &alarm, int controller = -1,
                const QString &controllerName = QString());
    void clear(List list);
    void clearController(List list, int controller);
    int rowCount(List list) const;
    int rowsOf(List list, int controller) const;

    // Makes each table that got rows current on its last one and scrolls to
    // it: once per burst, before the window is next painted.
    void followLastRows();

private:
    void selectLastRow(QTableWidget *table);
    void dropOldest(List list);
    void emptyTable(List list);
    static int controllerOf(const QTableWidget *table, int row);

    QTableWidget *current;
    QTableWidget *all;
    const EventCatalogue &catalogue;
    bool siteView = false;
    QVector<QTableWidget *> rowsToFollow;
    // Rows per controller: a controller's empty list is reported in every
    // polling cycle, and asking must not scan a full table each time.
    QHash<int, int> counts[2];
};

#endif // EVENTTABLES_H
