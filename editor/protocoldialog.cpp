#include "protocoldialog.h"
#include "ui_protocoldialog.h"

#include "textfit.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
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

// An addressed configuration fills some thirty pages: seconds of layout.
int ProtocolDialog::savePdf(const QString &path)
{
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int pages = document().writePdf(path, &error);
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
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int pages = document().print(&printer);
    QApplication::restoreOverrideCursor();
    if (pages == 0) {
        QMessageBox::critical(this, tr("Внимание"), tr("Протокол не напечатан."), QMessageBox::Ok);
        return;
    }
    accept();
}
