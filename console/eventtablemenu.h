#ifndef EVENTTABLEMENU_H
#define EVENTTABLEMENU_H

#include "csvfilesaver.h"

#include <QObject>
#include <QStringList>

class QAction;
class QTableWidget;

// The context menu of an event table: "Копировать" puts the selected rows on
// the clipboard, tab-separated; "Сохранить в CSV…" writes the whole table.
// Names lose the padding that only lines them up on screen.
class EventTableMenu : public QObject
{
    Q_OBJECT

public:
    explicit EventTableMenu(QTableWidget *table); // a child of the table

    QString selectedRowsText() const;
    CsvFileSaver::Result saveCsv(const QString &path);

    QAction *copyAction() const { return copy; }
    QAction *saveAction() const { return save; }

private slots:
    void copySelectedRows();
    void askAndSave();

private:
    QStringList headers() const;
    QStringList rowTexts(int row) const;

    QTableWidget *table;
    QAction *copy;
    QAction *save;
};

#endif // EVENTTABLEMENU_H
