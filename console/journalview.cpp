#include "journalview.h"
#include "ui_journalview.h"

#include "journal.h"
#include "journalmodel.h"

#include <QDate>
#include <QHeaderView>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTimer>

namespace {
const int TextDelayMs = 300; // typing a word filters once, not per letter
}

JournalView::JournalView(QWidget *parent)
    : QWidget(parent),
      ui(new Ui::JournalView),
      journalModel(new JournalModel(this)),
      textDelay(new QTimer(this)),
      newRowsDelay(new QTimer(this))
{
    ui->setupUi(this);
    ui->tableJournal->setModel(journalModel);
    sizeColumns();
    ui->dateFrom->setDate(QDate::currentDate());
    ui->dateTo->setDate(QDate::currentDate());

    textDelay->setSingleShot(true);
    textDelay->setInterval(TextDelayMs);
    connect(textDelay, &QTimer::timeout, this, &JournalView::applyFilter);
    connect(ui->lineFilter, &QLineEdit::textChanged, textDelay, qOverload<>(&QTimer::start));
    connect(ui->dateFrom, &QDateEdit::dateChanged, this, &JournalView::applyFilter);
    connect(ui->dateTo, &QDateEdit::dateChanged, this, &JournalView::applyFilter);
    connect(ui->checkUnacknowledged, &QCheckBox::toggled, this, &JournalView::applyFilter);

    // A burst of events refreshes the view once.
    newRowsDelay->setSingleShot(true);
    newRowsDelay->setInterval(0);
    connect(newRowsDelay, &QTimer::timeout, this, &JournalView::showJournaledRows);
    connect(ui->tableJournal->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &JournalView::loadOlderAtTop);
}

JournalView::~JournalView()
{
    delete ui;
}

// Every column as wide as its texts (measured on the rows in view only), so a
// long name is never cut; a narrow window scrolls instead.
void JournalView::sizeColumns()
{
    QHeaderView *header = ui->tableJournal->horizontalHeader();
    for (int column = 0; column < journalModel->columnCount(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->setStretchLastSection(false);
}

void JournalView::setJournal(Journal *journal)
{
    connect(journal, &Journal::appended, newRowsDelay, qOverload<>(&QTimer::start));
    // A journal that stopped, or started a new file, is read again from its newest rows.
    connect(journal, &Journal::failed, journalModel,
            [this, journal] { journalModel->setSource(journal->connectionName()); });
    journalModel->setSource(journal->connectionName());
    ui->tableJournal->scrollToBottom();
}

void JournalView::on_checkPeriod_toggled(bool checked)
{
    ui->dateFrom->setEnabled(checked);
    ui->dateTo->setEnabled(checked);
    applyFilter();
}

void JournalView::applyFilter()
{
    textDelay->stop();
    JournalFilter filter;
    if (ui->checkPeriod->isChecked()) {
        filter.from = ui->dateFrom->date();
        filter.to = ui->dateTo->date();
    }
    filter.text = ui->lineFilter->text();
    filter.unacknowledgedOnly = ui->checkUnacknowledged->isChecked();
    journalModel->setFilter(filter);
    ui->tableJournal->scrollToBottom();
}

void JournalView::showJournaledRows()
{
    // An acknowledgement takes an earlier row out of this list, so it is read again.
    if (ui->checkUnacknowledged->isChecked()) {
        applyFilter();
        return;
    }
    QScrollBar *bar = ui->tableJournal->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    if (journalModel->fetchNewer() > 0 && following)
        ui->tableJournal->scrollToBottom();
}

// Older pages are loaded as the top is reached; the rows in view stay in view.
void JournalView::loadOlderAtTop(int scrollValue)
{
    QScrollBar *bar = ui->tableJournal->verticalScrollBar();
    if (scrollValue != bar->minimum() || !journalModel->hasOlder())
        return;
    const QModelIndex top = ui->tableJournal->indexAt(QPoint(0, 0));
    const int added = journalModel->fetchOlder();
    if (added > 0 && top.isValid())
        ui->tableJournal->scrollTo(journalModel->index(top.row() + added, 0),
                                   QAbstractItemView::PositionAtTop);
}

void JournalView::on_buttonSaveCsv_clicked()
{
    const QString path = CsvFileSaver::askPath(this, QStringLiteral("journal.csv"));
    if (!path.isEmpty())
        saveCsv(path);
}

CsvFileSaver::Result JournalView::saveCsv(const QString &path)
{
    return CsvFileSaver::save(this, path, [this](QIODevice *device, QString *reason) {
        return writeCsv(device, reason);
    });
}

CsvFileSaver::Result JournalView::writeCsv(QIODevice *device, QString *reason)
{
    QProgressDialog progress(tr("Сохранение журнала в CSV…"), tr("Отмена"), 0, 1, this);
    progress.setWindowTitle(tr("Журнал"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    bool cancelled = false;
    const JournalQuery query(journalModel->connectionName(), journalModel->filter());
    const bool written = query.writeCsv(device, [&](qint64 done, qint64 total) {
        progress.setMaximum(int(qMax<qint64>(qMax(total, done), 1)));
        progress.setValue(int(done));
        cancelled = progress.wasCanceled();
        return !cancelled;
    });
    if (written)
        return CsvFileSaver::Saved;
    if (cancelled)
        return CsvFileSaver::Cancelled;
    *reason = query.errorText();
    return CsvFileSaver::Failed;
}
