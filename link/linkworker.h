#ifndef LINKWORKER_H
#define LINKWORKER_H

#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <memory>

class RegisterLink;

// The worker skeleton both programs share: it parks until the window hands it
// a job, opens the Modbus RTU link for that job, runs it and closes the link
// when it parks again. Only this thread ever touches the libmodbus context.
class LinkWorker : public QThread
{
    Q_OBJECT

public:
    explicit LinkWorker(QObject *parent = nullptr);
    ~LinkWorker() override;

    // Called from the window's thread.
    void setPort(const QString &path, int baudRate, int slaveAddress);
    void resume();

    // The path libmodbus opens for a port name as the settings dialog lists it:
    // "\\.\COM3" on Windows, the system location (/dev/ttyUSB0) elsewhere, or
    // the name itself when it already is a path.
    static QString devicePath(const QString &portName);

    static const char *openFailedText(); // "Ошибка открытия порта!\n Опрос завершен."

signals:
    void Signal(const QString &text);

protected:
    void run() override;

    // Hooks for the program's worker; all run on the worker thread.
    virtual bool hasJob() { return true; }   // false: woken without work, loop again
    virtual void runJob(RegisterLink &link) = 0;
    virtual void onPark() {}                 // before parking (console: SignalVpk(0))
    virtual void onOpenFailed() {}           // after the open failure text (console: halt)

    // Flags shared with the window's thread.
    std::atomic<bool> waiting{true};
    std::atomic<bool> stopRequested{false};
    QMutex mutex;
    QWaitCondition condition;

    // Job parameters, written under the mutex by setPort().
    QString portPath = QStringLiteral("\\\\.\\COM1");
    int baudRate = 9600;
    quint8 slaveAddress = 1;

private:
    bool openLink();
    void closeLink();
    void parkUntilWoken();

    struct Connection;
    std::unique_ptr<Connection> connection; // the libmodbus context and its RegisterLink
};

#endif // LINKWORKER_H
