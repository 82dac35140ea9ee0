#include "mythread.h"

#include <QMutexLocker>

MyThread::MyThread(QObject *parent)
    : LinkWorker(parent)
{
}

MyThread::~MyThread()
{
    // runJob() belongs to this class: the thread must be gone before it is.
    if (isRunning())
        stopAndWait();
}

void MyThread::setMode(int mode)
{
    QMutexLocker locker(&jobMutex());
    TransferMode = mode;
}

void MyThread::setImage(const ConfigImage &image)
{
    QMutexLocker locker(&imageMutex);
    writeSnapshot = image;
}

static void copyRegisters(const ConfigImage &from, ConfigImage &to)
{
    for (auto block : { ConfigImage::Main, ConfigImage::Phone, ConfigImage::Clock }) {
        const int count = ConfigImage::registerCount(block);
        for (int k = 0; k < count; ++k)
            to.setReg(block, k, from.reg(block, k));
    }
}

bool MyThread::applyReadResult(ConfigImage &image) const
{
    QMutexLocker locker(&imageMutex);
    if (!hasReadResult)
        return false;
    copyRegisters(readResult, image);
    return true;
}

bool MyThread::takeCompareResult(ConfigImage &image)
{
    QMutexLocker locker(&imageMutex);
    if (!hasCompareResult)
        return false;
    copyRegisters(compareResult, image);
    hasCompareResult = false;
    return true;
}

// The stop alone would do; this makes sure no further transfer can start on
// the way out.
void MyThread::onStop()
{
    setMode(NoTransfer);
}

bool MyThread::hasJob()
{
    return TransferMode != NoTransfer;
}

void MyThread::runJob(RegisterLink &link)
{
    ConfigTransfer transfer(link, *this);
    transfer.setSleeper([](int milliseconds) { QThread::msleep(milliseconds); });
    const int mode = TransferMode; // a mode set meanwhile is the next job's
    if (mode == WriteMode) {
        {
            QMutexLocker locker(&imageMutex);
            jobImage = writeSnapshot;
        }
        transfer.writeConfig(jobImage);
    }
    if (mode == ReadMode || mode == CompareMode) {
        comparing = mode == CompareMode;
        {
            QMutexLocker locker(&imageMutex);
            (comparing ? hasCompareResult : hasReadResult) = false;
        }
        jobImage = ConfigImage();
        transfer.readConfig(jobImage);
    }
}

void MyThread::transferFailed(const QString &text)
{
    emit Signal(text);
}

void MyThread::transferStatus(const QString &text)
{
    emit StatusBarMes(text);
}

void MyThread::transferProgress(int step)
{
    emit Progress(step);
}

// The result is in place before the window hears of it.
void MyThread::transferReadComplete()
{
    {
        QMutexLocker locker(&imageMutex);
        (comparing ? compareResult : readResult) = jobImage;
        (comparing ? hasCompareResult : hasReadResult) = true;
    }
    if (comparing)
        emit CompareComplete();
    else
        emit ReadComplete();
}

void MyThread::transferWriteComplete()
{
    emit WriteComplete();
}
