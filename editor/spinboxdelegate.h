#ifndef SPINBOXDELEGATE_H
#define SPINBOXDELEGATE_H

#include <QStringList>
#include <QStyledItemDelegate>

// Drop-down cell editor over a fixed list of texts. A table cell only ever
// holds one of these texts, so the user picks instead of typing.
class SpinBoxDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit SpinBoxDelegate(const QStringList &items, QObject *parent = nullptr);

    QStringList items() const { return itemTexts; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

private:
    const QStringList itemTexts;
};

#endif // SPINBOXDELEGATE_H
