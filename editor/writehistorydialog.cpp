#include "writehistorydialog.h"
#include "ui_writehistorydialog.h"

#include "comparedialog.h"
#include "configdiff.h"
#include "configfile.h"
#include "textfit.h"
#include "writehistorymodel.h"
#include "writelog.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>

WriteHistoryDialog::WriteHistoryDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::WriteHistoryDialog)
    , model(new WriteHistoryModel(this))
{
    ui->setupUi(this);
    TextFit::useFormFont(this);
    ui->tableRecords->setModel(model);
    connect(ui->tableRecords, &QTableView::doubleClicked, this, &WriteHistoryDialog::compareSelected);
    connect(ui->tableRecords->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &WriteHistoryDialog::updateButtons);
    updateButtons();
}

WriteHistoryDialog::~WriteHistoryDialog()
{
    delete ui;
}

// The selected write stays selected; the newest is selected otherwise.
void WriteHistoryDialog::reload(WriteLog *writeLog, const QString &problem)
{
    const int selected = selectedRow();
    const qint64 selectedId = selected < 0 ? 0 : model->recordAt(selected).id;
    log = writeLog;
    model->setRecords(log ? log->records() : QVector<WriteRecord>());
    ui->labelFile->setText(log ? tr("Файл: %1").arg(QDir::toNativeSeparators(log->path())) : problem);
    fitColumns();
    int row = model->rowCount() > 0 ? 0 : -1;
    for (int k = 0; k < model->rowCount() && selectedId; ++k) {
        if (model->recordAt(k).id == selectedId)
            row = k;
    }
    if (row >= 0)
        selectRow(row);
    updateButtons();
}

// Each column as wide as its widest text; the dialog grows to show them side
// by side as far as the screen allows, and the table scrolls sideways beyond.
void WriteHistoryDialog::fitColumns()
{
    QTableView *table = ui->tableRecords;
    for (int column = 0; column < model->columnCount(); ++column) {
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts.append(model->index(row, column).data().toString());
        TextFit::fitColumn(table, column, texts);
    }
    const int room = screen() ? screen()->availableGeometry().width() : width();
    const QMargins margins = layout()->contentsMargins();
    const int needed = margins.left() + TextFit::tableWidth(table) + margins.right();
    if (needed > width())
        resize(qMin(needed, room), height());
}

int WriteHistoryDialog::selectedRow() const
{
    const QModelIndexList rows = ui->tableRecords->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void WriteHistoryDialog::selectRow(int row)
{
    ui->tableRecords->selectRow(row);
}

void WriteHistoryDialog::updateButtons()
{
    const int row = selectedRow();
    const bool beforeKnown = row >= 0 && model->recordAt(row).beforeSource != WriteRecord::BeforeUnknown;
    ui->pushButtonCompare->setEnabled(beforeKnown);
    ui->pushButtonSaveBefore->setEnabled(beforeKnown);
    ui->pushButtonLoadBefore->setEnabled(beforeKnown);
    ui->pushButtonSaveWritten->setEnabled(row >= 0);
    ui->pushButtonLoadWritten->setEnabled(row >= 0);
}

// The rows hold no configurations; the selected one is read when needed.
bool WriteHistoryDialog::selectedImage(Side side, ConfigImage *image, bool quiet)
{
    const int row = selectedRow();
    WriteRecord record;
    if (row < 0 || !log || !log->record(model->recordAt(row).id, &record))
        return false;
    const QByteArray &bytes = side == Before ? record.before : record.written;
    if (ConfigFile::fromBytes(bytes, image))
        return true;
    if (!quiet)
        showCritical(side == Before ? tr("Конфигурация до этой записи неизвестна.")
                                    : tr("Записанная конфигурация не сохранилась в истории."));
    return false;
}

bool WriteHistoryDialog::compareSelected()
{
    ConfigImage before;
    ConfigImage written;
    if (!selectedImage(Before, &before) || !selectedImage(Written, &written, true))
        return false;
    const WriteRecord &record = model->recordAt(selectedRow());
    if (!comparison)
        comparison = new CompareDialog(this);
    comparison->setRecordComparison(
        tr("Запись %1, %2").arg(WriteHistoryModel::timeText(record.started), record.link),
        ConfigDiff::compare(before, written));
    comparison->show();
    comparison->raise();
    return true;
}

bool WriteHistoryDialog::saveSelected(Side side, const QString &path)
{
    ConfigImage image;
    if (!selectedImage(side, &image))
        return false;
    QString error;
    if (ConfigFile::save(path, image, &error))
        return true;
    showCritical(error);
    return false;
}

void WriteHistoryDialog::saveSide(Side side)
{
    const QString path = askSaveFileName(side);
    if (!path.isEmpty())
        saveSelected(side, path);
}

void WriteHistoryDialog::loadSide(Side side)
{
    ConfigImage image;
    if (selectedImage(side, &image))
        emit loadRequested(image);
}

QString WriteHistoryDialog::askSaveFileName(Side side)
{
    const QString name = side == Before ? tr("до записи") : tr("записано");
    return QFileDialog::getSaveFileName(this, tr("Сохранить файл"), QDir::current().filePath(name),
                                        tr("ВелиДор (*.vlr)"));
}

void WriteHistoryDialog::showCritical(const QString &text)
{
    QMessageBox::critical(this, tr("Внимание"), text, QMessageBox::Ok);
}

void WriteHistoryDialog::on_pushButtonCompare_clicked() { compareSelected(); }
void WriteHistoryDialog::on_pushButtonSaveBefore_clicked() { saveSide(Before); }
void WriteHistoryDialog::on_pushButtonSaveWritten_clicked() { saveSide(Written); }
void WriteHistoryDialog::on_pushButtonLoadBefore_clicked() { loadSide(Before); }
void WriteHistoryDialog::on_pushButtonLoadWritten_clicked() { loadSide(Written); }
