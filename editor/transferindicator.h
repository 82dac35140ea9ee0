#ifndef TRANSFERINDICATOR_H
#define TRANSFERINDICATOR_H

#include <QList>

class QAction;
class QProgressBar;
class QStatusBar;

// What the window shows of a transfer: the progress bar in the status bar
// and the commands that may not start another one meanwhile.
class TransferIndicator
{
public:
    // The bar ("progressBar") goes into the status bar, hidden.
    TransferIndicator(QStatusBar *statusBar, const QList<QAction *> &transferActions);

    // Bar shown from 0 with the step count of the transfer, commands off.
    void begin(int lastStep);
    // Steps past the bar's range (the tail of a read or the commit of a
    // write) leave it full.
    void setProgress(int step);
    void hideProgress();
    void setActionsEnabled(bool enabled);
    bool isBusy() const { return busy; }

private:
    QProgressBar *bar;
    QList<QAction *> actions;
    bool busy = false;
};

#endif // TRANSFERINDICATOR_H
