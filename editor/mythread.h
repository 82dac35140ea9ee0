#ifndef MYTHREAD_H
#define MYTHREAD_H

#include "configimage.h"
#include "configtransfer.h"
#include "linkworker.h"

#include <QMutex>

#include <atomic>

// The editor's worker: one read or one write of the whole configuration per
// job, over the link LinkWorker opens for it.
//
// The worker never touches the window's ConfigImage. Hand-off, both ways by
// copy under imageMutex:
//  - write: the window gathers its image and calls setImage(image) before
//    setMode(2) and resume(); the worker sends that snapshot.
//  - read: the worker reads into its own copy and stores it just before it
//    emits ReadComplete; in its ReadComplete slot the window calls
//    applyReadResult(image), which copies the registers into the window's
//    image (the six file-only bytes stay as they are), then refreshAll().
//    A read that fails stores nothing, so the window's image stays intact.
//  - compare: the same read, but the result goes to a scratch copy that the
//    window takes with takeCompareResult() on CompareComplete; its own image
//    is never touched and ReadComplete is not emitted.
class MyThread : public LinkWorker, private ConfigTransfer::Observer
{
    Q_OBJECT

public:
    enum Mode { NoTransfer = 0, ReadMode = 1, WriteMode = 2, CompareMode = 3 };

    explicit MyThread(QObject *parent = nullptr);
    ~MyThread() override;

    // Called from the window's thread.
    void setMode(int mode);
    void setImage(const ConfigImage &image);
    bool applyReadResult(ConfigImage &image) const;
    // The registers of the last compare read over `image`; false when none arrived.
    bool takeCompareResult(ConfigImage &image);
    // requestStop() and stopAndWait() are LinkWorker's. On the window's close
    // stopAndWait() also sets mode 0, so no further transfer can start on the
    // way out; a transfer in progress runs to its end first.

signals:
    // Signal(QString) comes first, from LinkWorker.
    void StatusBarMes(const QString &text);
    void Progress(int step);
    void ReadComplete();
    void WriteComplete();
    void CompareComplete();

protected:
    bool hasJob() override;
    void runJob(RegisterLink &link) override;
    void onStop() override;

private:
    void transferFailed(const QString &text) override;
    void transferStatus(const QString &text) override;
    void transferProgress(int step) override;
    void transferReadComplete() override;
    void transferWriteComplete() override;

    std::atomic<int> TransferMode{ReadMode};

    mutable QMutex imageMutex;
    ConfigImage writeSnapshot; // guarded by imageMutex
    ConfigImage readResult;    // guarded by imageMutex
    bool hasReadResult = false; // guarded by imageMutex
    ConfigImage compareResult;  // guarded by imageMutex
    bool hasCompareResult = false; // guarded by imageMutex

    ConfigImage jobImage;      // worker thread only
    bool comparing = false;    // worker thread only: the read is a compare
};

#endif // MYTHREAD_H
