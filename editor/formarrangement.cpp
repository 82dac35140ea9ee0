#include "formarrangement.h"
#include "ui_mainwindow.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QScrollBar>

namespace {

// What a layout gives the widget at least: its set minimum or its contents'.
int leastWidth(const QWidget *widget)
{
    return qMax(widget->minimumWidth(), widget->minimumSizeHint().width());
}

} // namespace

FormArrangement::FormArrangement(Ui::MainWindow *form)
    : area(form->scrollArea)
    , grid(form->gridLayout)
    , mode(form->groupBox_5)
    , clock(form->groupBox)
    , relays(form->groupBox_2)
    , phones(form->groupBox_3)
    , inputs(form->groupBox_6)
    , valves(form->groupBox_8)
    , sensors(form->groupBox_7)
{
}

int FormArrangement::wideWidth() const
{
    const int spacing = grid->horizontalSpacing();
    const QMargins margins = grid->contentsMargins();
    const int left = qMax(qMax(leastWidth(mode), leastWidth(clock)) + spacing + leastWidth(relays),
                          leastWidth(phones));
    const int top = left + spacing + leastWidth(inputs) + spacing + leastWidth(valves);
    return margins.left() + qMax(top, leastWidth(sensors)) + margins.right();
}

// The vertical scroll bar's room is always set aside, so that the bar coming
// and going with the height never flips the arrangement back and forth.
int FormArrangement::availableWidth() const
{
    const int bar = area->verticalScrollBar()->sizeHint().width();
    return area->width() - 2 * area->frameWidth() - bar;
}

bool FormArrangement::fitToView()
{
    const bool wanted = wideWidth() > availableWidth();
    if (wanted == narrow)
        return false;
    place(wanted);
    return true;
}

void FormArrangement::place(bool narrowForm)
{
    narrow = narrowForm;
    for (QWidget *group : {valves, phones, sensors})
        grid->removeWidget(group);
    // Narrow, the inputs take two thirds of the height the two tables share.
    grid->setRowStretch(2, narrow ? 2 : 0);
    grid->setRowStretch(3, narrow ? 1 : 0);
    if (narrow) {
        grid->addWidget(phones, 2, 0, 2, 2);
        grid->addWidget(valves, 3, 2, 1, 1);
        grid->addWidget(sensors, 4, 0, 1, 4);
    } else {
        grid->addWidget(phones, 2, 0, 1, 2);
        grid->addWidget(valves, 0, 3, 3, 1);
        grid->addWidget(sensors, 3, 0, 1, 4);
    }
}

// Widgets that take the keyboard, in the order the form creates them, which
// is row by row; the line edits inside spin and combo boxes are theirs.
QList<QWidget *> FormArrangement::focusStops(const QWidget *group)
{
    QList<QWidget *> stops;
    const auto children = group->findChildren<QWidget *>();
    for (QWidget *child : children) {
        QWidget *parent = child->parentWidget();
        const bool inner = qobject_cast<QAbstractSpinBox *>(parent) || qobject_cast<QComboBox *>(parent)
                || qobject_cast<QAbstractItemView *>(parent) || qobject_cast<QAbstractScrollArea *>(parent);
        // A combo box's drop-down is a window of its own.
        if (!inner && child->window() == group->window() && (child->focusPolicy() & Qt::TabFocus))
            stops << child;
    }
    return stops;
}

void FormArrangement::applyTabOrder()
{
    QList<QWidget *> order;
    for (const QWidget *group : {mode, clock, relays, phones, inputs, valves, sensors})
        order << focusStops(group);
    // Tab leaves a table for the next control; the arrows move between cells.
    for (QWidget *stop : qAsConst(order)) {
        if (auto *table = qobject_cast<QAbstractItemView *>(stop))
            table->setTabKeyNavigation(false);
    }
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}
