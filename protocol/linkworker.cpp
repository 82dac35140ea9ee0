#include "linkworker.h"

#include "modbuslink.h"

#include <QMutexLocker>
#include <QSerialPortInfo>

#include <cerrno>

#ifndef Q_OS_WIN
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

std::atomic<int> contextsAlive{0};

modbus_t *newContext(const QByteArray &path, int baudRate)
{
    // libmodbus refuses an empty path with a note on stderr; refuse it quietly.
    if (path.isEmpty())
        return nullptr;
    modbus_t *context = modbus_new_rtu(path.constData(), baudRate, 'N', 8, 1);
    if (context)
        ++contextsAlive;
    return context;
}

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

// Owns the context: closing puts the port's previous settings back.
struct LinkWorker::Connection
{
    explicit Connection(modbus_t *context) : context(context), link(context) {}
    ~Connection()
    {
        modbus_close(context);
        freeContext(context);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

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
    QMutexLocker locker(&mutex);
    portPath = path;
    this->baudRate = baudRate;
    this->slaveAddress = quint8(slaveAddress);
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
    QByteArray path;
    int rate;
    quint8 slave;
    {
        QMutexLocker locker(&mutex);
        path = portPath.toLocal8Bit();
        rate = baudRate;
        slave = slaveAddress;
    }
    modbus_t *context = newContext(path, rate);
    if (!context)
        qCDebug(tarvikLink, "no libmodbus context for \"%s\"", path.constData());
    if (context && modbus_connect(context) != -1) {
        switchModemLinesOff(context);
        connection = std::make_unique<Connection>(context);
        connection->link.flush(); // nothing left from before may pass for an answer
        if (lineUnsettledSince)
            connection->link.setUnsettledSince(*lineUnsettledSince);
        modbus_set_slave(context, slave);
        return true;
    }
    if (context)
        qCDebug(tarvikLink, "opening %s failed: %s", path.constData(), modbus_strerror(errno));
    emit Signal(QString::fromUtf8(openFailedText()));
    onOpenFailed();
    if (context)
        freeContext(context);
    return false;
}

void LinkWorker::closeLink()
{
    if (!connection)
        return;
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
