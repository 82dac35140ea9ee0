#include "transferindicator.h"

#include <QAction>
#include <QProgressBar>
#include <QStatusBar>

TransferIndicator::TransferIndicator(QStatusBar *statusBar, const QList<QAction *> &transferActions)
    : bar(new QProgressBar(statusBar->window()))
    , actions(transferActions)
{
    bar->setObjectName(QStringLiteral("progressBar"));
    bar->setValue(0);
    bar->hide();
    // Permanent, so that no status text (the clearing tick's " " included)
    // hides it in the middle of a transfer; the transfer's own ending hides it.
    statusBar->addPermanentWidget(bar, 1);
}

void TransferIndicator::begin(int lastStep)
{
    bar->setRange(0, lastStep);
    bar->setValue(0);
    bar->show();
    setActionsEnabled(false);
}

void TransferIndicator::setProgress(int step)
{
    bar->setValue(qBound(bar->minimum(), step, bar->maximum()));
}

void TransferIndicator::hideProgress()
{
    bar->hide();
    bar->setValue(0);
}

void TransferIndicator::setActionsEnabled(bool enabled)
{
    busy = !enabled;
    for (QAction *action : qAsConst(actions))
        action->setEnabled(enabled);
}
