#ifndef LINKWORKER_H
#define LINKWORKER_H

#include "linktarget.h"

#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class RegisterLink;
class SerialPortLock;
struct _modbus;
typedef struct _modbus modbus_t;

// The worker skeleton both programs share: it parks until the window hands it
// a job, opens the link for that job (Modbus RTU or TCP), runs it and closes the link
// when it parks again. Only this thread ever touches the libmodbus context.
//
// A job runs once per resume(): when runJob() returns the worker parks again,
// unless resume() was called while the job ran. The base owns the flags it
// shares with the window's thread; a program worker adds to resume() and
// stopAndWait() through onResume() and onStop(), and asks to park through
// parkAfterJob().
class LinkWorker : public QThread
{
    Q_OBJECT

public:
    explicit LinkWorker(QObject *parent = nullptr);
    ~LinkWorker() override;

    // Called from the window's thread.
    void setPort(const QString &path, int baudRate, int slaveAddress); // a serial link
    void setLink(const LinkTarget &target);
    void resume();        // onResume(), then wakes the worker for a job
    void requestStop();   // onStop(), then clears waiting, sets stopRequested and wakes the worker
    void stopAndWait();   // requestStop(), then waits for the thread to end

    // True while the worker sleeps parked with the link closed.
    bool isParked() const;

    // The path libmodbus opens for a port name as the settings dialog lists it:
    // "\\.\COM3" on Windows, the system location (/dev/ttyUSB0) elsewhere, or
    // the name itself when it already is a path.
    static QString devicePath(const QString &portName);

    static const char *openFailedText(); // "Ошибка открытия порта!\n Опрос завершен."

    // libmodbus contexts created and not yet freed, in this process.
    static int liveContexts();

signals:
    void Signal(const QString &text);

protected:
    void run() override;

    // Hooks for the program's worker; all run on the worker thread.
    virtual bool hasJob() { return true; }   // false: woken without work, park again (mutex held)
    virtual void runJob(RegisterLink &link) = 0;
    virtual void onPark() {}                 // before parking (console: SignalVpk(0))
    virtual void onOpenFailed() {}           // after the open failure text (console: halt)

    // Hooks on the window's thread.
    virtual void onResume() {}               // before the wake-up (console: polling on)
    virtual void onStop() {}                 // before the stop request (console: polling off)

    // Any thread: the worker parks when the job in hand returns, unless
    // resumed after this.
    void parkAfterJob();
    bool isStopRequested() const { return stopRequested; }
    // Worker thread, during runJob(): the job's link is a network one (TCP).
    bool isNetworkJob() const { return networkJob; }
    // Held while hasJob() runs: job settings written under it are seen whole.
    QMutex &jobMutex() const { return mutex; }

private:
    // Flags shared with the window's thread.
    std::atomic<bool> waiting{true};
    std::atomic<bool> stopRequested{false};
    mutable QMutex mutex;
    QWaitCondition condition;

    // Job parameters, written under the mutex by setPort() and setLink().
    LinkTarget target = LinkTarget::serial(QStringLiteral("\\\\.\\COM1"), 9600, 1);

    bool openLink();
    modbus_t *openSerial(const LinkTarget &job, SerialPortLock &lock, QString *failure);
    void reportOpenFailure(const QString &text);
    void closeLink();
    void parkUntilWoken();
    void parkUnlessResumedSince(quint64 resumeTicket);
    quint64 takeJob(bool *hasWork);

    struct Connection;
    std::unique_ptr<Connection> connection; // the libmodbus context and its RegisterLink
    bool networkJob = false;                // worker thread only
    quint64 resumeCount = 0;                // guarded by the mutex
    bool parked = false;                    // guarded by the mutex
    // A failed exchange whose late answer may still come, carried from one
    // job's link to the next. Worker thread only.
    std::optional<std::chrono::steady_clock::time_point> lineUnsettledSince;
};

#endif // LINKWORKER_H
