#ifndef SHIFTREPORTDIALOG_H
#define SHIFTREPORTDIALOG_H

#include "shiftreport.h"

#include <QDialog>

#include <functional>

namespace Ui {
class ShiftReportDialog;
}

// "Отчёт за смену…": the period (from the shift's start until now by
// default), then a PDF or the printer. The report is read from the journal
// when a button is pressed, so it holds everything up to that moment.
class ShiftReportDialog : public QDialog
{
    Q_OBJECT

public:
    using ReportSource = std::function<ShiftReport(const QDateTime &from, const QDateTime &to)>;

    ShiftReportDialog(const QString &guard, const QDateTime &shiftStart, ReportSource source,
                      QWidget *parent = nullptr);
    ~ShiftReportDialog() override;

    QDateTime from() const;
    QDateTime to() const;
    ShiftReport report() const;

    // Returns the pages written; tells the user either way.
    int savePdf(const QString &path);

private slots:
    void on_buttonPdf_clicked();
    void on_buttonPrint_clicked();

private:
    Ui::ShiftReportDialog *ui;
    ReportSource source;
};

#endif // SHIFTREPORTDIALOG_H
