#include "eventtables.h"

#include "eventrow.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableWidget>

#include <utility>

constexpr int EventTables::MaxRows;

namespace {

constexpr int ControllerRole = Qt::UserRole + 1;

} // namespace

EventTables::EventTables(QTableWidget *current, QTableWidget *all, const EventCatalogue &catalogue,
                         QObject *parent)
    : QObject(parent), current(current), all(all), catalogue(catalogue)
{
    const QString tip = tr("Показаны последние %L1 строк; журнал хранит все события.").arg(MaxRows);
    current->setToolTip(tip);
    all->setToolTip(tip);
}

void EventTables::setSiteView(bool on)
{
    if (on == siteView)
        return;
    siteView = on;
    for (List list : { Current, All }) {
        emptyTable(list);
        QTableWidget *table = this->table(list);
        if (on) {
            table->insertColumn(0);
            table->setHorizontalHeaderItem(0, new QTableWidgetItem(tr("Контроллер")));
            table->resizeColumnToContents(0);
        } else {
            table->removeColumn(0);
        }
    }
}

void EventTables::append(List list, const AlarmType &alarm, int controller,
                         const QString &controllerName)
{
    QTableWidget *table = this->table(list);
    if (table->rowCount() >= MaxRows)
        dropOldest(list);
    const EventRow row = EventRow::from(alarm, catalogue);
    QStringList texts{ row.name, row.time, row.date };
    if (siteView)
        texts.prepend(controllerName);
    const int rowIndex = table->rowCount();
    table->insertRow(rowIndex);
    for (int column = 0; column < texts.size(); ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        table->setItem(rowIndex, column, item);
    }
    const int nameColumn = siteView ? 1 : 0;
    // The name column is narrower than a name with its device address.
    table->item(rowIndex, nameColumn)->setToolTip(row.name.trimmed());
    table->item(rowIndex, 0)->setData(ControllerRole, controller);
    ++counts[list][controller];
    selectLastRow(table);
}

// A burst past the limit drops a tenth at once: one removal per row would
// shift the whole table each time.
void EventTables::dropOldest(List list)
{
    QTableWidget *table = this->table(list);
    const int excess = table->rowCount() - MaxRows + 1;
    const int drop = qMax(excess, MaxRows / 10);
    for (int row = 0; row < drop; ++row)
        --counts[list][controllerOf(table, row)];
    table->model()->removeRows(0, drop);
}

void EventTables::clear(List list)
{
    emptyTable(list);
}

int EventTables::controllerOf(const QTableWidget *table, int row)
{
    return table->item(row, 0)->data(ControllerRole).toInt();
}

void EventTables::clearController(List list, int controller)
{
    QTableWidget *table = this->table(list);
    if (rowsOf(list, controller) == 0)
        return;
    if (rowsOf(list, controller) == table->rowCount()) {
        emptyTable(list);
        return;
    }
    counts[list].remove(controller);
    // Runs of the controller's rows go together, from the bottom up.
    for (int row = table->rowCount() - 1; row >= 0;) {
        if (controllerOf(table, row) != controller) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && controllerOf(table, first - 1) == controller)
            --first;
        table->model()->removeRows(first, row - first + 1);
        row = first - 1;
    }
}

int EventTables::rowCount(List list) const
{
    return table(list)->rowCount();
}

int EventTables::rowsOf(List list, int controller) const
{
    return counts[list].value(controller);
}

// selectRow() lays the table out and scrolls at once: on screen about a
// millisecond per row, and in any case a pass over every row, so a burst of
// events would stall the window. The row is selected at once; it is made
// current and scrolled to once per burst.
void EventTables::selectLastRow(QTableWidget *table)
{
    const int row = table->rowCount() - 1;
    table->selectionModel()->select(table->model()->index(row, 0),
                                    QItemSelectionModel::ClearAndSelect
                                        | QItemSelectionModel::Rows);
    if (!rowsToFollow.contains(table)) {
        rowsToFollow.append(table);
        QMetaObject::invokeMethod(this, &EventTables::followLastRows, Qt::QueuedConnection);
    }
}

void EventTables::followLastRows()
{
    const QVector<QTableWidget *> tables = std::exchange(rowsToFollow, {});
    for (QTableWidget *table : tables) {
        if (table->rowCount() > 0) {
            table->selectRow(table->rowCount() - 1);
            // selectRow() can scroll before the burst's rows are laid out and
            // leave the last row out of view; scrollToBottom() lays them out first.
            table->scrollToBottom();
        }
    }
}

// The worker reports an empty list in every cycle.
void EventTables::emptyTable(List list)
{
    counts[list].clear();
    QTableWidget *table = this->table(list);
    if (table->rowCount() == 0)
        return;
    table->clearContents();
    table->setRowCount(0);
}
