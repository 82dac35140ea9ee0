#include "linkworker.h"

#include "modbuslink.h"
#include "serialportlock.h"
#include "tcpconnector.h"

#include <QMutexLocker>
#include <QSerialPortInfo>

#include <cerrno>

#ifndef Q_OS_WIN
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

std::atomic<int> contextsAlive{0};

void freeContext(modbus_t *context)
{
    modbus_free(context);
    --contextsAlive;
}

// The controller's line wants DTR and RTS off. A pseudo-terminal has no
// modem lines and refuses the request, which is fine.
void switchModemLinesOff(modbus_t *context)
{
#ifdef Q_OS_WIN
    Q_UNUSED(context) // libmodbus opens the port with DTR and RTS disabled
#else
    const int fd = modbus_get_socket(context);
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (fd >= 0)
        ioctl(fd, TIOCMBIC, &lines);
#endif
}

} // namespace

// Owns the context: closing puts the port's previous settings back, then
// lets the port go to another program.
struct LinkWorker::Connection
{
    Connection(modbus_t *context, ModbusLink::Transport transport, std::unique_ptr<SerialPortLock> portLock)
        : portLock(std::move(portLock)), context(context), link(context, transport)
    {
    }
    ~Connection()
    {
        modbus_close(context);
        freeContext(context);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    std::unique_ptr<SerialPortLock> portLock; // null over TCP
    modbus_t *context;
    ModbusLink link;
};

LinkWorker::LinkWorker(QObject *parent)
    : QThread(parent)
{
}

// A program worker stops its thread in its own destructor, while runJob()
// still exists; this is only the last safety net.
LinkWorker::~LinkWorker()
{
    if (isRunning()) {
        requestStop();
        wait();
    }
    closeLink();
}

void LinkWorker::setPort(const QString &path, int baudRate, int slaveAddress)
{
    setLink(LinkTarget::serial(path, baudRate, slaveAddress));
}

void LinkWorker::setLink(const LinkTarget &target)
{
    QMutexLocker locker(&mutex);
    this->target = target;
    this->target.slave = quint8(target.slave);
}

void LinkWorker::resume()
{
    onResume();
    QMutexLocker locker(&mutex);
    waiting = false;
    ++resumeCount;
    condition.wakeOne();
}

void LinkWorker::requestStop()
{
    onStop();
    QMutexLocker locker(&mutex);
    waiting = false;
    stopRequested = true;
    condition.wakeOne();
}

void LinkWorker::stopAndWait()
{
    requestStop();
    wait();
}

void LinkWorker::parkAfterJob()
{
    QMutexLocker locker(&mutex);
    waiting = true;
}

bool LinkWorker::isParked() const
{
    QMutexLocker locker(&mutex);
    return parked;
}

QString LinkWorker::devicePath(const QString &portName)
{
#ifdef Q_OS_WIN
    if (portName.startsWith(QLatin1String("\\\\")))
        return portName;
    return QStringLiteral("\\\\.\\") + portName;
#else
    if (portName.isEmpty() || portName.contains(QLatin1Char('/')))
        return portName;
    const QString location = QSerialPortInfo(portName).systemLocation();
    return location.isEmpty() ? QStringLiteral("/dev/") + portName : location;
#endif
}

const char *LinkWorker::openFailedText()
{
    return "Ошибка открытия порта!\n Опрос завершен.";
}

int LinkWorker::liveContexts()
{
    return contextsAlive;
}

void LinkWorker::run()
{
    while (!stopRequested) {
        if (waiting) {
            onPark();
            closeLink();
            parkUntilWoken();
            continue;
        }
        bool hasWork = false;
        const quint64 ticket = takeJob(&hasWork);
        if (!hasWork || !openLink()) {
            parkUnlessResumedSince(ticket);
            continue;
        }
        runJob(connection->link);
        parkUnlessResumedSince(ticket);
    }
    closeLink();
}

// Asks hasJob() under the mutex, so that a job set and resumed meanwhile is
// either seen now or counted as a later resume.
quint64 LinkWorker::takeJob(bool *hasWork)
{
    QMutexLocker locker(&mutex);
    *hasWork = hasJob();
    return resumeCount;
}

bool LinkWorker::openLink()
{
    closeLink(); // a job resumed without parking gets a fresh link too
    LinkTarget job;
    {
        QMutexLocker locker(&mutex);
        job = target;
    }
    QString failure = QString::fromUtf8(openFailedText());
    auto portLock = job.isTcp() ? nullptr : std::make_unique<SerialPortLock>();
    modbus_t *context = job.isTcp() ? TcpConnector::connect(job, &failure) : openSerial(job, *portLock, &failure);
    if (!context) {
        reportOpenFailure(failure);
        return false;
    }
    ++contextsAlive;
    networkJob = job.isTcp();
    if (job.isTcp()) {
        connection = std::make_unique<Connection>(context, ModbusLink::Tcp, nullptr);
    } else {
        switchModemLinesOff(context);
        connection = std::make_unique<Connection>(context, ModbusLink::Rtu, std::move(portLock));
        connection->link.flush(); // nothing left from before may pass for an answer
        if (lineUnsettledSince)
            connection->link.setUnsettledSince(*lineUnsettledSince);
    }
    modbus_set_slave(context, job.slave);
    return true;
}

// A connected RTU context holding the port to itself, or null with the
// failure text set when another program has the port.
modbus_t *LinkWorker::openSerial(const LinkTarget &job, SerialPortLock &lock, QString *failure)
{
    const QByteArray path = job.portPath.toLocal8Bit();
    if (lock.acquire(job.portPath) == SerialPortLock::Busy) {
        qCDebug(tarvikLink, "%s is in use by another program", path.constData());
        *failure = SerialPortLock::busyText(job.portPath);
        return nullptr;
    }
    // libmodbus refuses an empty path with a note on stderr; refuse it quietly.
    modbus_t *context = path.isEmpty() ? nullptr : modbus_new_rtu(path.constData(), job.baudRate, 'N', 8, 1);
    if (!context) {
        qCDebug(tarvikLink, "no libmodbus context for \"%s\"", path.constData());
        return nullptr;
    }
    if (modbus_connect(context) == -1) {
        qCDebug(tarvikLink, "opening %s failed: %s", path.constData(), modbus_strerror(errno));
        modbus_free(context);
        return nullptr;
    }
    lock.makeExclusive();
    return context;
}

void LinkWorker::reportOpenFailure(const QString &text)
{
    emit Signal(text);
    onOpenFailed();
}

void LinkWorker::closeLink()
{
    if (!connection)
        return;
    if (connection->link.isSerial()) // a TCP job leaves the serial line's state alone
        lineUnsettledSince = connection->link.unsettledSince();
    connection.reset();
}

void LinkWorker::parkUntilWoken()
{
    QMutexLocker locker(&mutex);
    parked = true;
    while (waiting && !stopRequested)
        condition.wait(&mutex);
    parked = false;
}

// A resume() that came while the job ran or the link was opening starts the
// next job instead of being lost.
void LinkWorker::parkUnlessResumedSince(quint64 resumeTicket)
{
    QMutexLocker locker(&mutex);
    if (resumeCount == resumeTicket)
        waiting = true;
}
