#ifndef PROTOCOLDIALOG_H
#define PROTOCOLDIALOG_H

#include "protocoldocument.h"

#include <QDialog>

class QProgressDialog;

namespace Ui {
class ProtocolDialog;
}

// "Протокол настройки…": the object's name is typed here, then the protocol
// is saved as a PDF or printed. The object's name is kept for the next time.
class ProtocolDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProtocolDialog(const ProtocolDocument::Content &content, QWidget *parent = nullptr);
    ~ProtocolDialog() override;

    // The pages written, 0 with the reason shown.
    int savePdf(const QString &path);

protected:
    virtual QString askPdfFileName();

private slots:
    void on_pushButtonPdf_clicked();
    void on_pushButtonPrint_clicked();

private:
    PagedDocument::Progress pageProgress(QProgressDialog *dialog);
    ProtocolDocument document();

    Ui::ProtocolDialog *ui;
    ProtocolDocument::Content content;
};

#endif // PROTOCOLDIALOG_H
