#include "comparedialog.h"
#include "ui_comparedialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>

namespace {

constexpr int FieldColumnWidth = 340;
constexpr int ValueColumnWidth = 190;

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setToolTip(text);
    return item;
}

} // namespace

CompareDialog::CompareDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CompareDialog)
{
    ui->setupUi(this);
    ui->tableDifferences->setColumnWidth(0, FieldColumnWidth);
    ui->tableDifferences->setColumnWidth(1, ValueColumnWidth);
}

CompareDialog::~CompareDialog()
{
    delete ui;
}

void CompareDialog::setComparison(Source source, const QVector<ConfigDiff::Entry> &entries)
{
    const bool controller = source == Controller;
    setWindowTitle(controller ? tr("Сравнение с контроллером") : tr("Сравнение с файлом"));
    ui->tableDifferences->horizontalHeaderItem(2)->setText(controller ? tr("В контроллере")
                                                                      : tr("В файле"));
    fillRows(entries);
    ui->labelNoDifferences->setVisible(entries.isEmpty());
    ui->tableDifferences->setVisible(!entries.isEmpty());
    ui->pushButtonCopy->setEnabled(!entries.isEmpty());
}

// One pass without repaints: every field of the configuration may differ.
void CompareDialog::fillRows(const QVector<ConfigDiff::Entry> &entries)
{
    QTableWidget *table = ui->tableDifferences;
    table->setUpdatesEnabled(false);
    table->clearContents();
    table->setRowCount(entries.size());
    for (int row = 0; row < entries.size(); ++row) {
        const ConfigDiff::Entry &entry = entries.at(row);
        table->setItem(row, 0, cell(entry.field));
        table->setItem(row, 1, cell(entry.left));
        table->setItem(row, 2, cell(entry.right));
    }
    table->setUpdatesEnabled(true);
}

QString CompareDialog::tabSeparatedText() const
{
    const QTableWidget *table = ui->tableDifferences;
    QString text;
    auto appendLine = [&text](const QStringList &cells) {
        QStringList shown;
        for (const QString &cellText : cells)
            shown.append(ConfigDiff::printable(cellText));
        text += shown.join(QLatin1Char('\t')) + QLatin1Char('\n');
    };
    QStringList headers;
    for (int column = 0; column < table->columnCount(); ++column)
        headers.append(table->horizontalHeaderItem(column)->text());
    appendLine(headers);
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells.append(table->item(row, column) ? table->item(row, column)->text() : QString());
        appendLine(cells);
    }
    return text;
}

void CompareDialog::copyToClipboard()
{
    QGuiApplication::clipboard()->setText(tabSeparatedText());
}

void CompareDialog::on_pushButtonCopy_clicked()
{
    copyToClipboard();
}
