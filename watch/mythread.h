#ifndef MYTHREAD_H
#define MYTHREAD_H

#include "alarmtype.h"
#include "linkworker.h"
#include "poller.h"

#include <atomic>

// The console's worker: while polling is on it runs the three poll steps
// over and over and reports what it reads through queued signals. Its
// readers keep their state for the whole process, across polling runs.
class MyThread : public LinkWorker, private Poller::Listener
{
    Q_OBJECT

public:
    explicit MyThread(QObject *parent = nullptr);
    ~MyThread() override;

    // Called from the window's thread. resume() is LinkWorker's and turns
    // polling on. LinkWorker's requestStop() ends the thread for the
    // application's exit: it halts polling and stops and wakes the worker; no
    // request starts after it, so the thread ends once the request in flight
    // is over. stopAndWait() also waits for that. Both are safe to call more
    // than once.
    void pause();
    void requestReset();

    static QString lineFailureText(); // "Ошибка чтения линии!\n Опрос завершен."

signals:
    void SignalAlarmAll(AlarmType Alarm);
    void SignalAlarmAllClear();
    void SignalAlarmCurrent(AlarmType Alarm);
    void SignalAlarmCurrentClear();
    void SignalVpk(quint32 Vpk);
    // The last request was answered or not; sent when that changes, so the
    // window can say so long before the line-failure rule gives up.
    void answeringChanged(bool answering);

protected:
    bool hasJob() override;
    void runJob(RegisterLink &link) override;
    void onPark() override;
    void onOpenFailed() override;
    void onResume() override;
    void onStop() override;

private:
    void currentEventRead(const AlarmType &alarm) override;
    void currentListCleared() override;
    void allEventRead(const AlarmType &alarm) override;
    void allListCleared() override;
    void vpkRead(quint32 vpk) override;
    void lineFailed() override;

    Poller poller;
    std::atomic<bool> halted{false};
};

#endif // MYTHREAD_H
