#include "shiftreportdialog.h"
#include "ui_shiftreportdialog.h"

#include "shiftreportdocument.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

ShiftReportDialog::ShiftReportDialog(const QString &guard, const QDateTime &shiftStart,
                                     ReportSource source, QWidget *parent)
    : QDialog(parent), ui(new Ui::ShiftReportDialog), source(std::move(source))
{
    ui->setupUi(this);
    ui->labelGuardName->setText(guard);
    ui->dateTimeFrom->setDateTime(shiftStart);
    ui->dateTimeTo->setDateTime(QDateTime::currentDateTime());
}

ShiftReportDialog::~ShiftReportDialog()
{
    delete ui;
}

QDateTime ShiftReportDialog::from() const
{
    return ui->dateTimeFrom->dateTime();
}

// The minute shown is taken whole, so a report made "until now" holds the
// events of the current minute.
QDateTime ShiftReportDialog::to() const
{
    const QDateTime shown = ui->dateTimeTo->dateTime();
    return shown.addSecs(59 - shown.time().second());
}

// A long shift over a big journal takes a few seconds to read.
ShiftReport ShiftReportDialog::report() const
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShiftReport made = source(from(), to());
    QApplication::restoreOverrideCursor();
    return made;
}

void ShiftReportDialog::on_buttonPdf_clicked()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = QStringLiteral("smena-%1.pdf").arg(from().toString(QStringLiteral("yyyyMMdd-HHmm")));
    const QString path = QFileDialog::getSaveFileName(this, tr("Сохранить отчёт"), QDir(folder).filePath(name),
                                                      tr("Документы PDF (*.pdf)"));
    if (!path.isEmpty())
        savePdf(path);
}

int ShiftReportDialog::savePdf(const QString &path)
{
    QString error;
    const int pages = ShiftReportDocument(report()).writePdf(path, &error);
    if (pages == 0)
        QMessageBox::critical(this, tr("Внимание"), error);
    else
        setWindowTitle(tr("Отчёт за смену — сохранён, страниц: %1").arg(pages));
    return pages;
}

void ShiftReportDialog::on_buttonPrint_clicked()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(tr("Отчёт за смену"));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (ShiftReportDocument(report()).print(&printer) == 0)
        QMessageBox::critical(this, tr("Внимание"), tr("Отчёт не удалось напечатать."));
}
