#ifndef WRITEHISTORYDIALOG_H
#define WRITEHISTORYDIALOG_H

#include "configimage.h"

#include <QDialog>

class CompareDialog;
class WriteHistoryModel;
class WriteLog;
struct WriteRecord;

namespace Ui {
class WriteHistoryDialog;
}

// "История записей": the record's rows, newest first. A row opens the
// comparison of the configuration before the write with the one written;
// either side can be saved as a .vlr file or taken into the window.
class WriteHistoryDialog : public QDialog
{
    Q_OBJECT

public:
    enum Side { Before, Written };

    explicit WriteHistoryDialog(QWidget *parent = nullptr);
    ~WriteHistoryDialog() override;

    // Rereads the rows; a null log shows why there are none.
    void reload(WriteLog *log, const QString &problem);
    int selectedRow() const;
    void selectRow(int row);

    // The selected row against its configuration before; false when none is selected.
    bool compareSelected();
    CompareDialog *compareDialog() const { return comparison; }
    // False with the reason shown when the side is unknown or the file cannot be written.
    bool saveSelected(Side side, const QString &path);

signals:
    void loadRequested(const ConfigImage &image);

protected:
    virtual QString askSaveFileName(Side side);

private slots:
    void on_pushButtonCompare_clicked();
    void on_pushButtonSaveBefore_clicked();
    void on_pushButtonSaveWritten_clicked();
    void on_pushButtonLoadBefore_clicked();
    void on_pushButtonLoadWritten_clicked();
    void updateButtons();

private:
    void fitColumns();
    bool selectedImage(Side side, ConfigImage *image, bool quiet = false);
    void loadSide(Side side);
    void saveSide(Side side);
    void showCritical(const QString &text);

    Ui::WriteHistoryDialog *ui;
    WriteHistoryModel *model;
    WriteLog *log = nullptr;
    CompareDialog *comparison = nullptr;
};

#endif // WRITEHISTORYDIALOG_H
