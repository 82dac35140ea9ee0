#include "shortcuttips.h"

#include <QAction>
#include <QHelpEvent>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

ShortcutTips::ShortcutTips(QObject *parent)
    : QObject(parent)
{
}

void ShortcutTips::install(QToolBar *bar)
{
    auto *tips = bar->findChild<ShortcutTips *>(QString(), Qt::FindDirectChildrenOnly);
    if (!tips)
        tips = new ShortcutTips(bar);
    const auto actions = bar->actions();
    for (QAction *action : actions) {
        if (QWidget *button = bar->widgetForAction(action)) {
            button->removeEventFilter(tips);
            button->installEventFilter(tips);
        }
    }
}

QString ShortcutTips::tipOf(const QAction *action)
{
    const QString key = action->shortcut().toString(QKeySequence::NativeText);
    if (key.isEmpty())
        return action->toolTip();
    return QStringLiteral("%1 (%2)").arg(action->toolTip(), key);
}

bool ShortcutTips::eventFilter(QObject *watched, QEvent *event)
{
    auto *button = qobject_cast<QToolButton *>(watched);
    if (event->type() != QEvent::ToolTip || !button || !button->defaultAction())
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    QToolTip::showText(help->globalPos(), tipOf(button->defaultAction()), button);
    return true;
}
