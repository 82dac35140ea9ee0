#ifndef CHOICEDELEGATE_H
#define CHOICEDELEGATE_H

#include <QStringList>
#include <QStyledItemDelegate>

// A drop-down over a list of texts as a table cell's editor, as the editor's
// tables have: the cell keeps its text in the model, so accessibility tools
// read it, and the box exists only while the cell is edited. An editable one
// also takes a typed text (a gateway's host:port); a text not in the list
// stays offered, as the line it names may come back.
class ChoiceDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    ChoiceDelegate(const QStringList &items, bool editable, QObject *parent = nullptr);

    void setEditorToolTip(const QString &text) { toolTip = text; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    const QStringList items;
    const bool editable;
    QString toolTip;
};

#endif // CHOICEDELEGATE_H
