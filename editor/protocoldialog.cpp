#include "protocoldialog.h"
#include "ui_protocoldialog.h"

#include "textfit.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QSettings>

namespace {

const QString ObjectKey = QStringLiteral("protocolObject");

QString storedObject()
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                             QStringLiteral("Editor"));
    return settings.value(ObjectKey).toString();
}

void storeObject(const QString &object)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                       QStringLiteral("Editor"));
    settings.setValue(ObjectKey, object);
}

} // namespace

ProtocolDialog::ProtocolDialog(const ProtocolDocument::Content &content, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ProtocolDialog)
    , content(content)
{
    ui->setupUi(this);
    TextFit::useFormFont(this);
    ui->lineEditObject->setText(storedObject());
    ui->labelLink->setText(content.link);
    ui->labelEngineer->setText(content.engineer);
}

ProtocolDialog::~ProtocolDialog()
{
    delete ui;
}

ProtocolDocument ProtocolDialog::document()
{
    content.object = ui->lineEditObject->text().simplified();
    storeObject(content.object);
    return ProtocolDocument(content);
}

// An addressed configuration fills some thirty pages: seconds of work, shown
// page by page (the pages are painted on this thread, so nothing can be cancelled).
PagedDocument::Progress ProtocolDialog::pageProgress(QProgressDialog *dialog)
{
    dialog->setWindowTitle(windowTitle());
    dialog->setCancelButton(nullptr);
    dialog->setMinimumDuration(0);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setRange(0, 0);
    dialog->setLabelText(tr("Протокол: разметка страниц…"));
    dialog->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return [dialog](int page, int pages) {
        dialog->setMaximum(pages);
        dialog->setValue(page - 1);
        dialog->setLabelText(tr("Протокол: страница %1 из %2").arg(page).arg(pages));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
}

// An addressed configuration fills some thirty pages: seconds of layout.
int ProtocolDialog::savePdf(const QString &path)
{
    QString error;
    QProgressDialog progress(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int pages = document().writePdf(path, &error, pageProgress(&progress));
    QApplication::restoreOverrideCursor();
    if (pages == 0)
        QMessageBox::critical(this, tr("Внимание"), error, QMessageBox::Ok);
    return pages;
}

QString ProtocolDialog::askPdfFileName()
{
    return QFileDialog::getSaveFileName(this, tr("Сохранить протокол"),
                                        QDir::current().filePath(tr("Протокол настройки.pdf")),
                                        tr("PDF (*.pdf)"));
}

void ProtocolDialog::on_pushButtonPdf_clicked()
{
    const QString path = askPdfFileName();
    if (!path.isEmpty() && savePdf(path) > 0)
        accept();
}

void ProtocolDialog::on_pushButtonPrint_clicked()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QProgressDialog progress(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int pages = document().print(&printer, pageProgress(&progress));
    QApplication::restoreOverrideCursor();
    if (pages == 0) {
        QMessageBox::critical(this, tr("Внимание"), tr("Протокол не напечатан."), QMessageBox::Ok);
        return;
    }
    accept();
}
