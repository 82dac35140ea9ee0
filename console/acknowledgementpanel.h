#ifndef ACKNOWLEDGEMENTPANEL_H
#define ACKNOWLEDGEMENTPANEL_H

#include "acknowledgementledger.h"
#include "dutyroster.h"
#include "lampstate.h"
#include "shiftreport.h"

#include <QObject>

#include <functional>

class Journal;
class QAbstractItemModel;
class QAction;
class QLabel;
class QMainWindow;
class QModelIndex;
class QTableWidget;

// Acknowledging the current events and the shift around it, attached to the
// window's current-events table and tool bar. A waiting row is bold with a
// marker in its name cell; "Квитировать" (double click, context menu, Space)
// and "Квитировать все" journal who acknowledged what and when. "Смена…"
// names the guard and starts a shift, "Отчёт за смену…" reports on one.
// Rows are known by their journal id, kept on every cell of the row.
class AcknowledgementPanel : public QObject
{
    Q_OBJECT

public:
    static constexpr int IdRole = Qt::UserRole + 24;

    AcknowledgementPanel(QMainWindow *window, QTableWidget *table, Journal *journal);

    // The panel's state for the report's last section.
    // In a site, owner names the controller whose lamps the panel shows.
    void setLampSource(std::function<LampState()> source, std::function<QString()> owner = {});
    // The table's row `row` now shows the event journaled as `journalId`
    // (0 without a journal). True when it waits for a guard; false when the
    // controller sent an event already acknowledged again (after its list
    // shrank): that acknowledgement is journaled for the new row and stands.
    bool eventShown(int row, qint64 journalId, const JournalRecord &event);

    const AcknowledgementLedger &ledger() const { return acknowledgements; }
    const DutyRoster &duty() const { return roster; }
    bool isRowWaiting(int row) const;

    QAction *acknowledgeAction() const { return acknowledgeRows; }
    QAction *acknowledgeAllAction() const { return acknowledgeEvery; }
    QAction *shiftAction() const { return shift; }
    QAction *reportAction() const { return reportOnShift; }

    ShiftReport report(const QDateTime &from, const QDateTime &to) const;

public slots:
    void acknowledgeSelected();
    void acknowledgeRow(int row);
    void acknowledgeAll();
    void startShift(const QString &guard);

signals:
    // Every event on show has been acknowledged (the alarm may rest).
    void allAcknowledged();

private slots:
    void forgetRemovedRows();
    void askGuard();
    void askReport();

private:
    qint64 rowId(int row) const;
    int nameColumn() const;
    void markRow(int row, bool waiting);
    void widenColumnsFor(int row);
    void journal(const JournalRecord &acknowledgement);
    void afterAcknowledging();
    void showGuard();
    QVector<QPair<QString, QString>> lampTexts() const;

    QMainWindow *window;
    QTableWidget *table;
    QAbstractItemModel *rows; // the table's own, for as long as the table lives
    Journal *journalFile;
    AcknowledgementLedger acknowledgements;
    DutyRoster roster;
    std::function<LampState()> lampSource;
    std::function<QString()> lampOwner;
    QAction *acknowledgeRows;
    QAction *acknowledgeEvery;
    QAction *shift;
    QAction *reportOnShift;
    QLabel *guardLabel;
};

#endif // ACKNOWLEDGEMENTPANEL_H
