#include "eventtablemenu.h"

#include "csvwriter.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTableWidget>

#include <algorithm>

EventTableMenu::EventTableMenu(QTableWidget *table)
    : QObject(table),
      table(table),
      copy(new QAction(tr("Копировать"), table)),
      save(new QAction(tr("Сохранить в CSV…"), table))
{
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &EventTableMenu::copySelectedRows);
    connect(save, &QAction::triggered, this, &EventTableMenu::askAndSave);
    table->addAction(copy);
    table->addAction(save);
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString EventTableMenu::selectedRowsText() const
{
    QVector<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QString text;
    for (int row : rows)
        text += rowTexts(row).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

void EventTableMenu::copySelectedRows()
{
    const QString text = selectedRowsText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void EventTableMenu::askAndSave()
{
    const QString path = CsvFileSaver::askPath(table, QStringLiteral("events.csv"));
    if (!path.isEmpty())
        saveCsv(path);
}

CsvFileSaver::Result EventTableMenu::saveCsv(const QString &path)
{
    return CsvFileSaver::save(table, path, [this](QIODevice *device, QString *) {
        CsvWriter csv(device);
        bool written = csv.writeRow(headers());
        for (int row = 0; written && row < table->rowCount(); ++row)
            written = csv.writeRow(rowTexts(row));
        return written ? CsvFileSaver::Saved : CsvFileSaver::Failed;
    });
}

QStringList EventTableMenu::headers() const
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem *item = table->horizontalHeaderItem(column);
        texts << (item ? item->text() : QString());
    }
    return texts;
}

QStringList EventTableMenu::rowTexts(int row) const
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem *item = table->item(row, column);
        texts << (item ? item->text().trimmed() : QString());
    }
    return texts;
}
