#ifndef JOURNALVIEW_H
#define JOURNALVIEW_H

#include "csvfilesaver.h"

#include <QWidget>

class Journal;
class JournalModel;
class QTimer;

namespace Ui {
class JournalView;
}

// The "Журнал" tab: the journal in a table, newest at the bottom, with a
// range of dates, a text filter and a CSV export of what it shows.
class JournalView : public QWidget
{
    Q_OBJECT

public:
    explicit JournalView(QWidget *parent = nullptr);
    ~JournalView() override;

    // Binds to the journal's rows; a journal that is not open shows none.
    void setJournal(Journal *journal);
    JournalModel *model() const { return journalModel; }

    // Writes every row the filters let through, showing a cancellable progress.
    CsvFileSaver::Result saveCsv(const QString &path);

private slots:
    void on_buttonSaveCsv_clicked();
    void on_checkPeriod_toggled(bool checked);
    void applyFilter();
    void showJournaledRows();
    void loadOlderAtTop(int scrollValue);

private:
    void sizeColumns();
    CsvFileSaver::Result writeCsv(QIODevice *device, QString *reason);

    Ui::JournalView *ui;
    JournalModel *journalModel;
    QTimer *textDelay;
    QTimer *newRowsDelay;
};

#endif // JOURNALVIEW_H
