#ifndef COMPAREDIALOG_H
#define COMPAREDIALOG_H

#include "configdiff.h"

#include <QDialog>

namespace Ui {
class CompareDialog;
}

// Shows one comparison of the window's configuration with the controller's
// or a file's: a row per difference, or "Различий нет". The rows can be
// copied as tab-separated text.
class CompareDialog : public QDialog
{
    Q_OBJECT

public:
    enum Source { Controller, File, Record };

    explicit CompareDialog(QWidget *parent = nullptr);
    ~CompareDialog() override;

    // Replaces what the dialog shows; the title and the third header follow the source.
    void setComparison(Source source, const QVector<ConfigDiff::Entry> &entries);
    // One dialog, reused: it stays open beside the window while the user
    // works. Creates it when `dialog` is null; returns it shown.
    static CompareDialog *showIn(CompareDialog *dialog, QWidget *parent, Source source,
                                 const QVector<ConfigDiff::Entry> &entries);
    // A write from the record: "До записи" against "Записано", titled `title`.
    void setRecordComparison(const QString &title, const QVector<ConfigDiff::Entry> &entries);

    // The header line and one line per row, cells separated by tabs.
    QString tabSeparatedText() const;

public slots:
    void copyToClipboard();

private slots:
    void on_pushButtonCopy_clicked();

private:
    void present(const QString &title, const QString &left, const QString &right,
              const QVector<ConfigDiff::Entry> &entries);
    void fillRows(const QVector<ConfigDiff::Entry> &entries);
    void fitColumns(const QVector<ConfigDiff::Entry> &entries);

    Ui::CompareDialog *ui;
};

#endif // COMPAREDIALOG_H
