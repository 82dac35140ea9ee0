#include "closewait.h"

#include "finishingdialog.h"

#include <QCoreApplication>
#include <QWidget>

CloseWait::CloseWait(QWidget *window) : window(window) {}

CloseWait::~CloseWait()
{
    delete box;
}

CloseWait::Answer CloseWait::onClose(bool transferBusy, const QString &stage)
{
    if (transferBusy && !workerFinished) {
        if (box)
            return KeepWaiting;
        box = new FinishingDialog(
            stage + QLatin1Char('\n')
                + QCoreApplication::translate(
                    "MainWindow", "Программа закроется, как только обмен с контроллером завершится."),
            window);
        box->setWindowTitle(window->windowTitle());
        box->show();
        return StartWaiting;
    }
    delete box;
    box = nullptr;
    return CloseNow;
}

bool CloseWait::workerDone()
{
    workerFinished = true;
    return box && !failureBoxOpen;
}
