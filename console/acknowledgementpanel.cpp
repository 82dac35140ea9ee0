#include "acknowledgementpanel.h"

#include "journal.h"
#include "shiftreportdialog.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMainWindow>
#include <QSet>
#include <QStatusBar>
#include <QStyle>
#include <QSysInfo>
#include <QTableWidget>
#include <QToolBar>

#include <algorithm>

namespace {

// The form's caption label of each lamp, in the order of LampState::Lamp.
const char *const LampCaptions[LampState::LampCount] = {
    "label", "label_12", "label_15", "label_14", "label_13", "label_2", "label_17", "label_16", "label_11"};

const QString NameHeader = QStringLiteral("Имя события");

} // namespace

AcknowledgementPanel::AcknowledgementPanel(QMainWindow *window, QTableWidget *table, Journal *journal)
    : QObject(window),
      window(window),
      table(table),
      rows(table->model()),
      journalFile(journal),
      acknowledgeRows(new QAction(tr("Квитировать"), table)),
      acknowledgeEvery(new QAction(tr("Квитировать все"), window)),
      shift(new QAction(tr("Смена…"), window)),
      reportOnShift(new QAction(tr("Отчёт за смену…"), window)),
      guardLabel(new QLabel(window))
{
    QStyle *style = QApplication::style();
    acknowledgeRows->setObjectName(QStringLiteral("actionAcknowledge"));
    acknowledgeRows->setShortcut(Qt::Key_Space);
    acknowledgeRows->setShortcutContext(Qt::WidgetShortcut);
    acknowledgeEvery->setObjectName(QStringLiteral("actionAcknowledgeAll"));
    acknowledgeEvery->setIcon(style->standardIcon(QStyle::SP_DialogApplyButton));
    acknowledgeEvery->setEnabled(false);
    shift->setObjectName(QStringLiteral("actionShift"));
    shift->setIcon(style->standardIcon(QStyle::SP_FileDialogInfoView));
    shift->setToolTip(tr("Смена: дежурный"));
    reportOnShift->setObjectName(QStringLiteral("actionShiftReport"));
    reportOnShift->setIcon(style->standardIcon(QStyle::SP_FileDialogDetailedView));

    // Before the table's own copy and save, as the first thing a guard does.
    const QList<QAction *> tableActions = table->actions();
    table->insertAction(tableActions.isEmpty() ? nullptr : tableActions.first(), acknowledgeRows);
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
    QToolBar *toolBar = window->findChild<QToolBar *>();
    if (toolBar) {
        toolBar->addSeparator();
        toolBar->addActions({acknowledgeEvery, shift, reportOnShift});
    }
    guardLabel->setObjectName(QStringLiteral("labelGuard"));
    window->statusBar()->addPermanentWidget(guardLabel);
    showGuard();

    connect(acknowledgeRows, &QAction::triggered, this, &AcknowledgementPanel::acknowledgeSelected);
    connect(acknowledgeEvery, &QAction::triggered, this, &AcknowledgementPanel::acknowledgeAll);
    connect(shift, &QAction::triggered, this, &AcknowledgementPanel::askGuard);
    connect(reportOnShift, &QAction::triggered, this, &AcknowledgementPanel::askReport);
    connect(table, &QTableWidget::cellDoubleClicked, this, [this](int row) { acknowledgeRow(row); });
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &AcknowledgementPanel::forgetRemovedRows);
    connect(rows, &QAbstractItemModel::modelReset, this, &AcknowledgementPanel::forgetRemovedRows);
}

void AcknowledgementPanel::setLampSource(std::function<LampState()> source,
                                         std::function<QString()> owner)
{
    lampSource = std::move(source);
    lampOwner = std::move(owner);
}

bool AcknowledgementPanel::eventShown(int row, qint64 journalId, const JournalRecord &event)
{
    AcknowledgementLedger::Acknowledgement earlier;
    const qint64 id = acknowledgements.add(journalId, event, &earlier);
    for (int column = 0; column < table->columnCount(); ++column) {
        if (QTableWidgetItem *item = table->item(row, column))
            item->setData(IdRole, id);
    }
    const bool waits = !acknowledgements.isAcknowledged(id);
    if (!waits)
        journal(AcknowledgementLedger::acknowledgementOf(event, id, earlier.guard, earlier.when));
    markRow(row, waits);
    widenColumnsFor(row);
    acknowledgeEvery->setEnabled(!acknowledgements.allAcknowledged());
    return waits;
}

// The columns were fitted to texts in the plain font; in bold, and the name
// with its marker, they need more. Measured as the view measures a cell, for
// this row only, so a burst of events costs a few measurements each.
void AcknowledgementPanel::widenColumnsFor(int row)
{
    QStyleOptionViewItem option;
    option.initFrom(table);
    option.font = table->font();
    option.fontMetrics = table->fontMetrics();
    const int iconSize = table->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, table);
    option.decorationSize = table->iconSize().isValid() ? table->iconSize() : QSize(iconSize, iconSize);
    option.decorationPosition = QStyleOptionViewItem::Left;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QModelIndex index = table->model()->index(row, column);
        const int needed = table->itemDelegate(index)->sizeHint(option, index).width() + (table->showGrid() ? 1 : 0);
        if (needed > table->columnWidth(column))
            table->setColumnWidth(column, needed);
    }
}

// Read from the model alone: the model also reports while its table is
// being destroyed, when the table may no longer be used.
qint64 AcknowledgementPanel::rowId(int row) const
{
    for (int column = 0; column < rows->columnCount(); ++column) {
        const QVariant id = rows->index(row, column).data(IdRole);
        if (id.isValid())
            return id.toLongLong();
    }
    return 0;
}

bool AcknowledgementPanel::isRowWaiting(int row) const
{
    const qint64 id = rowId(row);
    return acknowledgements.contains(id) && !acknowledgements.isAcknowledged(id);
}

// Found by its caption: another column may come before it.
int AcknowledgementPanel::nameColumn() const
{
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem *header = table->horizontalHeaderItem(column);
        if (header && header->text() == NameHeader)
            return column;
    }
    return 0;
}

// Bold and a marker, not colour alone: a waiting row reads as such in any
// palette and on a monochrome screen.
void AcknowledgementPanel::markRow(int row, bool waiting)
{
    const int name = nameColumn();
    for (int column = 0; column < table->columnCount(); ++column) {
        QTableWidgetItem *item = table->item(row, column);
        if (!item)
            continue;
        QFont font = item->font();
        font.setBold(waiting);
        item->setFont(font);
        if (column == name) {
            item->setIcon(waiting ? QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
            item->setData(Qt::AccessibleDescriptionRole, waiting ? tr("не квитировано") : tr("квитировано"));
        }
    }
}

void AcknowledgementPanel::acknowledgeSelected()
{
    QVector<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty() && table->currentRow() >= 0)
        rows << table->currentRow();
    std::sort(rows.begin(), rows.end());
    for (int row : qAsConst(rows))
        acknowledgeRow(row);
}

void AcknowledgementPanel::acknowledgeRow(int row)
{
    JournalRecord record;
    if (!acknowledgements.acknowledge(rowId(row), roster.guard(), QDateTime::currentDateTime(), &record))
        return;
    journal(record);
    markRow(row, false);
    afterAcknowledging();
}

void AcknowledgementPanel::acknowledgeAll()
{
    const QVector<JournalRecord> records = acknowledgements.acknowledgeAll(roster.guard(), QDateTime::currentDateTime());
    if (records.isEmpty())
        return;
    if (journalFile)
        journalFile->appendAll(records); // one sync for the lot
    for (int row = 0; row < table->rowCount(); ++row)
        markRow(row, false);
    afterAcknowledging();
}

void AcknowledgementPanel::journal(const JournalRecord &acknowledgement)
{
    if (journalFile)
        journalFile->append(acknowledgement);
}

void AcknowledgementPanel::afterAcknowledging()
{
    acknowledgeEvery->setEnabled(!acknowledgements.allAcknowledged());
    if (acknowledgements.allAcknowledged())
        emit allAcknowledged();
}

// A table emptied by clearContents() has lost its items before its rows go,
// so what is still on show is read back from the rows that remain.
void AcknowledgementPanel::forgetRemovedRows()
{
    const bool wasWaiting = !acknowledgements.allAcknowledged();
    QSet<qint64> shown;
    for (int row = 0; row < rows->rowCount(); ++row)
        shown.insert(rowId(row));
    for (qint64 id : acknowledgements.ids()) {
        if (!shown.contains(id))
            acknowledgements.remove(id);
    }
    acknowledgeEvery->setEnabled(!acknowledgements.allAcknowledged());
    if (wasWaiting && acknowledgements.allAcknowledged() && acknowledgements.size() > 0)
        emit allAcknowledged();
}

void AcknowledgementPanel::startShift(const QString &guard)
{
    roster.startShift(guard, QDateTime::currentDateTime());
    showGuard();
}

void AcknowledgementPanel::showGuard()
{
    guardLabel->setText(tr("Дежурный: %1").arg(roster.guard()));
    guardLabel->setToolTip(tr("Смена начата %1").arg(roster.shiftStart().toString(QStringLiteral("dd.MM.yyyy HH:mm"))));
}

void AcknowledgementPanel::askGuard()
{
    bool accepted = false;
    const QString name = QInputDialog::getText(window, tr("Смена"),
                                               tr("Новая смена. Дежурный (пусто: пользователь %1):")
                                                   .arg(DutyRoster::accountName()),
                                               QLineEdit::Normal, roster.isNamed() ? roster.guard() : QString(),
                                               &accepted);
    if (accepted)
        startShift(name);
}

void AcknowledgementPanel::askReport()
{
    ShiftReportDialog dialog(roster.guard(), roster.shiftStart(),
                             [this](const QDateTime &from, const QDateTime &to) { return report(from, to); },
                             window);
    dialog.exec();
}

ShiftReport AcknowledgementPanel::report(const QDateTime &from, const QDateTime &to) const
{
    ShiftReport made = ShiftReport::fromJournal(journalFile && journalFile->isOpen() ? journalFile->connectionName()
                                                                                    : QString(),
                                                from, to);
    made.computer = QSysInfo::machineHostName();
    made.guard = roster.guard();
    made.lamps = lampTexts();
    made.lampsOf = lampOwner ? lampOwner() : QString();
    return made;
}

QVector<QPair<QString, QString>> AcknowledgementPanel::lampTexts() const
{
    QVector<QPair<QString, QString>> texts;
    if (!lampSource)
        return texts;
    const LampState state = lampSource();
    for (int lamp = 0; lamp < LampState::LampCount; ++lamp) {
        const auto *caption = window->findChild<QLabel *>(QLatin1String(LampCaptions[lamp]));
        const bool steady = state.isLit(LampState::Lamp(lamp), false);
        const bool blinking = !steady && state.isLit(LampState::Lamp(lamp), true);
        texts.append({caption ? caption->text() : QString::number(lamp + 1),
                      steady ? tr("горит") : blinking ? tr("мигает") : tr("не горит")});
    }
    return texts;
}
