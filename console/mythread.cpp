#include "mythread.h"

#include "registerlink.h"

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
    // halted is looked at between steps too, so a stop or pause never waits
    // for more than the requests of one step.
    while (!halted) {
        if (!poller.pollCurrentEvents(link) || halted)
            break;
        if (!poller.pollAllEvents(link) || halted)
            break;
        if (!poller.pollVpk(link))
            break;
        msleep(1);
    }
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

void MyThread::lineFailed()
{
    emit Signal(lineFailureText());
    parkAfterJob();
    halted = true;
}
