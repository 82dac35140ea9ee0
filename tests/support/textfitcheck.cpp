#include "textfitcheck.h"

#include <QtWidgets>

namespace {

constexpr int FreeTextDigits = 16;

QString visible(const QString &text)
{
    int end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

// Notes a text that needs more room than its widget gives it; true if cut.
bool noteCut(QStringList *cuts, const QWidget *widget, const QString &text, int needed, int room)
{
    if (needed > room)
        cuts->append(QStringLiteral("%1 \"%2\": needs %3, has %4")
                         .arg(widget->objectName(), visible(text)).arg(needed).arg(room));
    return needed > room;
}

void checkLabel(const QLabel *label, QStringList *cuts)
{
    if (label->wordWrap() || Qt::mightBeRichText(label->text()) || label->text().isEmpty())
        return;
    noteCut(cuts, label, label->text(), label->fontMetrics().horizontalAdvance(visible(label->text())),
            label->contentsRect().width() - 2 * qMax(label->margin(), 0));
}

void checkComboBox(const QComboBox *box, QStringList *cuts)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    // The label is drawn one pixel in from each side of the edit field.
    const int room = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, box).width() - 2;
    for (int i = 0; i < box->count(); ++i) {
        if (noteCut(cuts, box, box->itemText(i), box->fontMetrics().horizontalAdvance(visible(box->itemText(i))), room))
            return;
    }
}

void checkLineEdit(const QLineEdit *edit, QStringList *cuts)
{
    if (qobject_cast<const QComboBox *>(edit->parentWidget()))
        return;
    const bool inSpinBox = qobject_cast<const QAbstractSpinBox *>(edit->parentWidget());
    const QString text = inSpinBox ? edit->text() : QString(FreeTextDigits, QLatin1Char('0'));
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame()
            ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    const QMargins margins = edit->textMargins();
    // QLineEdit keeps 2 pixels between its contents rectangle and the text.
    const int room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width()
            - margins.left() - margins.right() - 4;
    noteCut(cuts, edit, text, edit->fontMetrics().horizontalAdvance(text), room);
}

// The text beside a check box's or radio button's indicator, or inside a push button.
void checkButton(const QAbstractButton *button, QStringList *cuts)
{
    if (qobject_cast<const QToolButton *>(button) || button->text().isEmpty())
        return;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QStyle::SubElement contents = qobject_cast<const QCheckBox *>(button)
            ? QStyle::SE_CheckBoxContents
            : qobject_cast<const QRadioButton *>(button) ? QStyle::SE_RadioButtonContents
                                                         : QStyle::SE_PushButtonContents;
    noteCut(cuts, button, button->text(), button->fontMetrics().horizontalAdvance(button->text()),
            button->style()->subElementRect(contents, &option, button).width());
}

bool showsText(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return !Qt::mightBeRichText(label->text()) && !label->text().isEmpty();
    if (qobject_cast<const QLineEdit *>(widget))
        return !qobject_cast<const QAbstractSpinBox *>(widget->parentWidget())
               && !qobject_cast<const QComboBox *>(widget->parentWidget());
    return qobject_cast<const QComboBox *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)
           || qobject_cast<const QTableView *>(widget)
           || (qobject_cast<const QAbstractButton *>(widget) && !qobject_cast<const QToolButton *>(widget));
}

// A layout given less than its minimum pushes its widgets over one another or
// out of their parent; the widths alone would not show it.
void checkPlacement(QWidget *parent, QStringList *cuts)
{
    QList<QWidget *> shown;
    for (QWidget *child : parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && showsText(child))
            shown << child;
    }
    for (int i = 0; i < shown.size(); ++i) {
        if (!parent->rect().contains(shown[i]->geometry()))
            cuts->append(QStringLiteral("%1 sticks out of %2").arg(shown[i]->objectName(), parent->objectName()));
        for (int j = i + 1; j < shown.size(); ++j) {
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                cuts->append(QStringLiteral("%1 overlaps %2").arg(shown[i]->objectName(), shown[j]->objectName()));
        }
    }
}

// What a cell of the table needs for a text, as its item delegate measures it.
int cellNeed(const QTableView *table, const QString &text)
{
    QStyleOptionViewItem option;
    option.initFrom(table);
    option.font = table->font();
    option.fontMetrics = table->fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = visible(text);
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    const QSize size = table->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), table);
    return size.width() + (table->showGrid() ? 1 : 0);
}

// The choices of the column's drop-down editor, if it has one.
QStringList editorChoices(QTableView *table, int column)
{
    QAbstractItemDelegate *delegate = table->itemDelegateForColumn(column);
    if (!delegate || table->model()->rowCount() == 0)
        return {};
    const QModelIndex index = table->model()->index(0, column);
    QScopedPointer<QWidget> editor(delegate->createEditor(table->viewport(), QStyleOptionViewItem(), index));
    QStringList choices;
    if (auto *box = qobject_cast<QComboBox *>(editor.data())) {
        for (int i = 0; i < box->count(); ++i)
            choices << box->itemText(i);
    }
    return choices;
}

void checkTable(QTableView *table, QStringList *cuts)
{
    const QHeaderView *header = table->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int column = 0; column < table->model()->columnCount(); ++column) {
        if (table->isColumnHidden(column))
            continue;
        const int width = table->columnWidth(column);
        const QString caption = table->model()->headerData(column, Qt::Horizontal).toString();
        const QStringList lines = caption.split(QLatin1Char('\n'));
        int captionNeed = 0;
        for (const QString &line : lines)
            captionNeed = qMax(captionNeed, header->fontMetrics().horizontalAdvance(visible(line)));
        captionNeed += 2 * margin;
        noteCut(cuts, table, QStringLiteral("%1 lines of header").arg(lines.size()),
                lines.size() * header->fontMetrics().height(), header->height());
        if (header->isSortIndicatorShown() && header->sortIndicatorSection() == column)
            captionNeed += header->height() / 2 + 2 * margin;
        noteCut(cuts, table, caption, captionNeed, width);
        // What the view itself would widen the column to for its rows.
        noteCut(cuts, table, QStringLiteral("rows of column %1").arg(column),
                static_cast<QAbstractItemView *>(table)->sizeHintForColumn(column), width);
        for (const QString &choice : editorChoices(table, column)) {
            if (noteCut(cuts, table, choice, cellNeed(table, choice), width))
                break;
        }
    }
}

} // namespace

QStringList cutTexts(QWidget *window)
{
    QStringList cuts;
    checkPlacement(window, &cuts);
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisible())
            continue;
        checkPlacement(widget, &cuts);
        if (auto *label = qobject_cast<QLabel *>(widget))
            checkLabel(label, &cuts);
        else if (auto *box = qobject_cast<QComboBox *>(widget))
            checkComboBox(box, &cuts);
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            checkLineEdit(edit, &cuts);
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            checkButton(button, &cuts);
        else if (auto *table = qobject_cast<QTableView *>(widget))
            checkTable(table, &cuts);
    }
    return cuts;
}
