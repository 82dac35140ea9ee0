#ifndef CLOSEWAIT_H
#define CLOSEWAIT_H

#include <QString>

class FinishingDialog;
class QWidget;

// A close asked for during a transfer: the transfer runs to its end and the
// window waits for it without blocking its event loop, saying why in the
// modal "finishingDialog"; then the window closes itself.
class CloseWait
{
public:
    enum Answer { CloseNow, StartWaiting, KeepWaiting };

    explicit CloseWait(QWidget *window);
    ~CloseWait();

    bool isWaiting() const { return box != nullptr; }
    // At a close event; StartWaiting shows the box with `stage` on it.
    Answer onClose(bool transferBusy, const QString &stage);
    // A failure box is open: the window goes only after the user has seen it.
    void setFailureBoxOpen(bool open) { failureBoxOpen = open; }
    bool isFailureBoxOpen() const { return failureBoxOpen; }
    // The worker has ended; true when the window should close now.
    bool workerDone();

private:
    QWidget *window;
    FinishingDialog *box = nullptr;
    bool failureBoxOpen = false;
    bool workerFinished = false;
};

#endif // CLOSEWAIT_H
