#include "choicedelegate.h"

#include <QApplication>
#include <QComboBox>
#include <QStyle>

ChoiceDelegate::ChoiceDelegate(const QStringList &items, bool editable, QObject *parent)
    : QStyledItemDelegate(parent), items(items), editable(editable)
{
}

QWidget *ChoiceDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *box = new QComboBox(parent);
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setToolTip(toolTip);
    box->addItems(items);
    return box;
}

void ChoiceDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = qobject_cast<QComboBox *>(editor);
    if (!box)
        return;
    const QString text = index.data(Qt::EditRole).toString();
    if (!text.isEmpty() && box->findText(text) < 0)
        box->addItem(text);
    box->setCurrentIndex(box->findText(text));
    if (editable)
        box->setEditText(text);
}

void ChoiceDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *box = qobject_cast<QComboBox *>(editor);
    if (box && model)
        model->setData(index, box->currentText().trimmed(), Qt::EditRole);
}

void ChoiceDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                          const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}

// Room for the drop-down's arrow, so the box does not cut the text it opens on.
QSize ChoiceDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    size.rwidth() += style->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * style->pixelMetric(QStyle::PM_ComboBoxFrameWidth) + 8;
    return size;
}
