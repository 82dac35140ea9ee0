#include "textfit.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QVariant>

namespace {

// QLineEdit keeps this many pixels between its frame and its text on each side.
constexpr int LineEditTextMargin = 2;
// The widths fitColumn() gave, kept on the table.
const char FittedWidths[] = "tarvikFittedWidths";
// A second header line is worth it only when it saves at least this much.
constexpr int MinimumGain = 8;

int trailingSpaces(const QString &text)
{
    int count = 0;
    while (count < text.size() && text.at(text.size() - 1 - count).isSpace())
        ++count;
    return count;
}

int widestText(const QFontMetrics &metrics, const QStringList &texts)
{
    int widest = 0;
    for (const QString &text : texts)
        widest = qMax(widest, TextFit::visibleWidth(metrics, text));
    return widest;
}

} // namespace

// Catalogue texts are padded with spaces, which a cell or a box never shows.
int TextFit::visibleWidth(const QFontMetrics &metrics, const QString &text)
{
    return metrics.horizontalAdvance(text.left(text.size() - trailingSpaces(text)));
}

void TextFit::useFormFont(QWidget *window)
{
#ifdef Q_OS_WIN
    Q_UNUSED(window)
#else
    QFont font = window->font();
    font.setFamily(QStringLiteral("Arial"));
    window->setFont(font);
#endif
}

// As the item delegate measures a plain text item, plus the grid line.
int TextFit::cellWidth(const QTableView *table, const QString &text)
{
    QStyleOptionViewItem option;
    option.initFrom(table);
    option.font = table->font();
    option.fontMetrics = table->fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = text.left(text.size() - trailingSpaces(text));
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    const QSize size = table->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), table);
    return size.width() + (table->showGrid() ? 1 : 0);
}

// Label margins on both sides, and room for the sort arrow where the header shows it.
int TextFit::headerWidth(const QHeaderView *header, int section)
{
    const QString text = header->model()->headerData(section, header->orientation()).toString();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    int width = widestText(header->fontMetrics(), text.split(QLatin1Char('\n'))) + 2 * margin;
    if (header->isSortIndicatorShown() && header->sortIndicatorSection() == section)
        width += header->sizeHint().height() / 2 + 2 * margin;
    return width;
}

// Breaks at the space that leaves the wider line narrowest, when the caption
// is clearly wider than the column's widest text.
QString TextFit::twoLineCaption(const QFontMetrics &metrics, const QString &caption, int valueWidth)
{
    QString best = caption;
    int bestWidth = metrics.horizontalAdvance(caption);
    if (bestWidth <= valueWidth + MinimumGain)
        return caption;
    for (int at = caption.indexOf(QLatin1Char(' ')); at > 0; at = caption.indexOf(QLatin1Char(' '), at + 1)) {
        const int width = qMax(metrics.horizontalAdvance(caption.left(at)),
                               metrics.horizontalAdvance(caption.mid(at + 1)));
        if (width < bestWidth) {
            bestWidth = width;
            best = caption.left(at) + QLatin1Char('\n') + caption.mid(at + 1);
        }
    }
    return best;
}

void TextFit::wrapCaption(QTableView *table, int column, const QStringList &texts)
{
    QAbstractItemModel *model = table->model();
    const QString caption = model->headerData(column, Qt::Horizontal).toString();
    int valueWidth = 0;
    for (const QString &text : texts)
        valueWidth = qMax(valueWidth, cellWidth(table, text));
    const QFontMetrics metrics = table->horizontalHeader()->fontMetrics();
    model->setHeaderData(column, Qt::Horizontal, twoLineCaption(metrics, caption, valueWidth));
}

void TextFit::fitColumn(QTableView *table, int column, const QStringList &texts)
{
    int width = headerWidth(table->horizontalHeader(), column);
    for (const QString &text : texts)
        width = qMax(width, cellWidth(table, text));
    table->setColumnWidth(column, width);
    QVariantList fitted = table->property(FittedWidths).toList();
    while (fitted.size() <= column)
        fitted.append(0);
    fitted[column] = width;
    table->setProperty(FittedWidths, fitted);
}

void TextFit::fitLabel(QLabel *label)
{
    const QMargins margins = label->contentsMargins();
    const int needed = visibleWidth(label->fontMetrics(), label->text()) + margins.left()
            + margins.right() + 2 * qMax(label->margin(), 0);
    if (label->width() < needed)
        label->resize(needed, label->height());
}

// A box's lists are fixed for a given length, so a box already fitted with as
// many items is left alone: refreshing a window costs no measuring.
bool TextFit::fitComboBox(QComboBox *box)
{
    static const char fittedCount[] = "textFitItemCount";
    const QVariant fitted = box->property(fittedCount);
    if (fitted.isValid() && fitted.toInt() == box->count())
        return false;
    box->setProperty(fittedCount, box->count());
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    // The label is drawn one pixel in from each side of the edit field.
    const QSize text(widestText(box->fontMetrics(), items) + 2, box->fontMetrics().height());
    const int needed = box->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, box).width();
    if (needed <= box->minimumWidth())
        return false;
    box->setMinimumWidth(needed);
    return true;
}

void TextFit::fitLineEdit(QLineEdit *edit, int digits)
{
    const QMargins text = edit->textMargins();
    const int frame = edit->hasFrame()
            ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit) : 0;
    const int needed = edit->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0')))
            + text.left() + text.right() + 2 * (LineEditTextMargin + frame);
    edit->setMinimumWidth(qMax(edit->minimumWidth(), needed));
}

// Once the contents outgrow a cap or a floor of the form, the layout takes over
// from it: a minimum set in the form would hide what the contents need later
// (other lists after a mode switch), a maximum would cut them.
void TextFit::allowContents(QWidget *widget)
{
    const int needed = widget->minimumSizeHint().width();
    if (widget->maximumWidth() < needed)
        widget->setMaximumWidth(QWIDGETSIZE_MAX);
    if (widget->minimumWidth() > 0 && widget->minimumWidth() <= needed)
        widget->setMinimumWidth(0);
}

int TextFit::tableWidth(const QTableView *table)
{
    int width = 2 * table->frameWidth()
            + table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
    if (!table->verticalHeader()->isHidden())
        width += table->verticalHeader()->sizeHint().width();
    const QVariantList fitted = table->property(FittedWidths).toList();
    for (int column = 0; column < table->model()->columnCount(); ++column) {
        // A stretched last column is as wide as the table happens to be.
        const bool stretched = column == table->model()->columnCount() - 1
                && table->horizontalHeader()->stretchLastSection() && column < fitted.size();
        width += stretched ? fitted.at(column).toInt() : table->columnWidth(column);
    }
    return width;
}
