#include "comparedialog.h"
#include "ui_comparedialog.h"

#include "textfit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSet>

namespace {

constexpr int FieldColumnWidth = 340;
constexpr int ValueColumnWidth = 190;

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setToolTip(text);
    return item;
}

// Measuring thousands of texts costs tens of milliseconds, yet the texts
// repeat but for their numbers ("Клапан 3: Сообщение", "Клапан 250: ...").
// The forms' fonts draw every digit equally wide, so each text is measured as
// its pattern with the digits made zeros, and each pattern once.
class WidestText
{
public:
    explicit WidestText(const QFontMetrics &fontMetrics) : metrics(fontMetrics) {}
    void add(QString text)
    {
        for (QChar &c : text) {
            if (c.isDigit())
                c = QLatin1Char('0');
        }
        if (measured.contains(text))
            return;
        measured.insert(text);
        const int width = TextFit::visibleWidth(metrics, text);
        if (width > widestWidth) {
            widest = text;
            widestWidth = width;
        }
    }
    // A text as wide as the widest added.
    QString text() const { return widest; }

private:
    QFontMetrics metrics;
    QSet<QString> measured;
    QString widest;
    int widestWidth = -1;
};

} // namespace

CompareDialog::CompareDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CompareDialog)
{
    ui->setupUi(this);
    TextFit::useFormFont(this);
}

CompareDialog::~CompareDialog()
{
    delete ui;
}

void CompareDialog::setComparison(Source source, const QVector<ConfigDiff::Entry> &entries)
{
    const bool controller = source == Controller;
    present(controller ? tr("Сравнение с контроллером") : tr("Сравнение с файлом"), tr("В окне"),
           controller ? tr("В контроллере") : tr("В файле"), entries);
}

CompareDialog *CompareDialog::showIn(CompareDialog *dialog, QWidget *parent, Source source,
                                     const QVector<ConfigDiff::Entry> &entries)
{
    if (!dialog)
        dialog = new CompareDialog(parent);
    dialog->setComparison(source, entries);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void CompareDialog::setRecordComparison(const QString &title, const QVector<ConfigDiff::Entry> &entries)
{
    present(title, tr("До записи"), tr("Записано"), entries);
}

void CompareDialog::present(const QString &title, const QString &left, const QString &right,
                         const QVector<ConfigDiff::Entry> &entries)
{
    setWindowTitle(title);
    ui->tableDifferences->horizontalHeaderItem(1)->setText(left);
    ui->tableDifferences->horizontalHeaderItem(2)->setText(right);
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
    fitColumns(entries);
    table->setUpdatesEnabled(true);
}

// Each column as wide as its widest text, so no value is cut short; the
// dialog grows to show them side by side as far as the screen allows, and
// the table scrolls sideways beyond that.
void CompareDialog::fitColumns(const QVector<ConfigDiff::Entry> &entries)
{
    QTableWidget *table = ui->tableDifferences;
    WidestText field(table->fontMetrics());
    // Both value columns alike, so "В окне" and the other side line up.
    WidestText value(table->fontMetrics());
    for (const ConfigDiff::Entry &entry : entries) {
        field.add(entry.field);
        value.add(entry.left);
        value.add(entry.right);
    }
    TextFit::fitColumn(table, 0, {field.text()});
    for (int column : {1, 2})
        TextFit::fitColumn(table, column, {value.text()});
    for (int column = 0; column < 3; ++column)
        table->setColumnWidth(column, qMax(table->columnWidth(column),
                                           column == 0 ? FieldColumnWidth : ValueColumnWidth));
    const int room = screen() ? screen()->availableGeometry().width() : width();
    const QMargins margins = layout()->contentsMargins();
    const int needed = margins.left() + TextFit::tableWidth(table) + margins.right();
    if (needed > width())
        resize(qMin(needed, room), height());
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
