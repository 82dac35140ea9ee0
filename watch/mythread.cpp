#include "mythread.h"

#include "registerlink.h"
#include "stoppablelink.h"
#include "watchedlink.h"

#include <QMutexLocker>

MyThread::MyThread(QObject *parent)
    : LinkWorker(parent), poller(*this)
{
    // Before the window connects the signals that carry it.
    qRegisterMetaType<AlarmType>("AlarmType");
}

MyThread::~MyThread()
{
    // A running QThread must never be destroyed: that aborts the process.
    stopAndWait();
}

void MyThread::pause()
{
    parkAfterJob();
    halted = true;
}

void MyThread::requestReset()
{
    poller.requestReset();
}


QString MyThread::lineFailureText()
{
    return QStringLiteral("Ошибка чтения линии!\n Опрос завершен.");
}

bool MyThread::hasJob()
{
    return !isStopRequested();
}

void MyThread::runJob(RegisterLink &link)
{
    // halted is looked at between steps too, so a pause never waits for more
    // than the requests of one step; a stop cuts the step itself short.
    StoppableLink stoppable(link, [this] { return isStopRequested(); });
    WatchedLink watched(stoppable);
    bool answering = true;
    const auto watch = [&](bool lineUp) {
        if (watched.lastAnswered() != answering) {
            answering = watched.lastAnswered();
            emit answeringChanged(answering);
        }
        return lineUp && !halted;
    };
    while (!halted) {
        if (!watch(poller.pollCurrentEvents(watched)))
            break;
        if (!watch(poller.pollAllEvents(watched)))
            break;
        if (!watch(poller.pollVpk(watched)))
            break;
        msleep(isNetworkJob() ? Poller::NetworkCyclePauseMs : Poller::SerialCyclePauseMs);
    }
    if (!answering)
        emit answeringChanged(true); // the run is over; the window reports its end
}

void MyThread::onPark()
{
    emit SignalVpk(0);
}

void MyThread::onOpenFailed()
{
    halted = true;
}

void MyThread::onResume()
{
    halted = false;
}

// The polling loop ends after the current step.
void MyThread::onStop()
{
    halted = true;
}

void MyThread::currentEventRead(const AlarmType &alarm)
{
    emit SignalAlarmCurrent(alarm);
}

void MyThread::currentListCleared()
{
    emit SignalAlarmCurrentClear();
}

void MyThread::allEventRead(const AlarmType &alarm)
{
    emit SignalAlarmAll(alarm);
}

void MyThread::allListCleared()
{
    emit SignalAlarmAllClear();
}

void MyThread::vpkRead(quint32 vpk)
{
    emit SignalVpk(vpk);
}

// The flags go first: a window that resumes on the message must find the
// worker already halted, or its resume would be overwritten and lost.
void MyThread::lineFailed()
{
    halted = true;
    parkAfterJob();
    emit Signal(lineFailureText());
}
