#include "spinboxdelegate.h"

#include <QComboBox>

SpinBoxDelegate::SpinBoxDelegate(const QStringList &items, QObject *parent)
    : QStyledItemDelegate(parent), itemTexts(items)
{
}

QWidget *SpinBoxDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                       const QModelIndex &) const
{
    auto *editor = new QComboBox(parent);
    editor->setEditable(false);
    editor->addItems(itemTexts);
    return editor;
}

void SpinBoxDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *comboBox = qobject_cast<QComboBox *>(editor);
    if (!comboBox)
        return;
    const QString text = index.data(Qt::EditRole).toString();
    // A text outside the list (the "0.0" delay, say) leaves the first item chosen.
    const int position = itemTexts.indexOf(text);
    comboBox->setCurrentIndex(position >= 0 ? position : 0);
}

void SpinBoxDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                   const QModelIndex &index) const
{
    auto *comboBox = qobject_cast<QComboBox *>(editor);
    if (!comboBox || !model)
        return;
    model->setData(index, comboBox->currentText(), Qt::EditRole);
}

void SpinBoxDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                           const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}
