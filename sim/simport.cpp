#include "simport.h"

#include <QFile>

#include <modbus.h>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// libmodbus waits this long for the rest of a frame once its first byte came.
constexpr int ByteTimeoutUs = 100000;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

modbus_t *newContext(const QString &path, int slaveAddress, int baudRate, QString *error)
{
    modbus_t *ctx = modbus_new_rtu(QFile::encodeName(path).constData(), baudRate, 'N', 8, 1);
    if (!ctx) {
        if (error)
            *error = QStringLiteral("cannot create an RTU context for %1: %2").arg(path, systemError());
        return nullptr;
    }
    modbus_set_slave(ctx, slaveAddress);
    modbus_set_byte_timeout(ctx, 0, ByteTimeoutUs);
    return ctx;
}

} // namespace

SimPort::~SimPort()
{
    if (!linkPath.isEmpty())
        QFile::remove(linkPath);
    if (ctx) {
        modbus_set_socket(ctx, -1); // the descriptor is closed below
        modbus_free(ctx);
    }
    if (deviceCtx) {
        modbus_close(deviceCtx);
        modbus_free(deviceCtx);
    }
#ifdef Q_OS_UNIX
    if (!deviceCtx && fd >= 0)
        ::close(fd);
    if (ptySlaveFd >= 0)
        ::close(ptySlaveFd);
#endif
}

void SimPort::renewContext(int slaveAddress)
{
    if (slaveAddress > 0)
        slave = slaveAddress;
    modbus_t *fresh = newContext(devicePath, slave, baud, nullptr);
    if (!fresh)
        return;
    modbus_set_socket(fresh, fd);
    modbus_set_socket(ctx, -1);
    modbus_free(ctx);
    ctx = fresh;
}

std::unique_ptr<SimPort> SimPort::openPseudoTerminal(int slaveAddress, int baudRate, QString *error)
{
#ifdef Q_OS_UNIX
    std::unique_ptr<SimPort> port(new SimPort);
    struct termios raw;
    std::memset(&raw, 0, sizeof raw);
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    char name[256] = {};
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(systemError());
        return nullptr;
    }
    port->fd = master;
    port->ptySlaveFd = slave;
    port->slave = slaveAddress;
    port->baud = baudRate;
    port->devicePath = QFile::decodeName(name);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    // A master that stops reading must not block the simulator on write.
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    port->ctx = newContext(port->devicePath, slaveAddress, baudRate, error);
    if (!port->ctx)
        return nullptr;
    modbus_set_socket(port->ctx, master);
    return port;
#else
    Q_UNUSED(slaveAddress)
    Q_UNUSED(baudRate)
    if (error)
        *error = QStringLiteral("pseudo-terminals are not available on this system");
    return nullptr;
#endif
}

std::unique_ptr<SimPort> SimPort::openDevice(const QString &path, int slaveAddress, int baudRate,
                                             QString *error)
{
    std::unique_ptr<SimPort> port(new SimPort);
    port->slave = slaveAddress;
    port->baud = baudRate;
    port->devicePath = path;
    modbus_t *device = newContext(path, slaveAddress, baudRate, error);
    if (!device)
        return nullptr;
    if (modbus_connect(device) != 0) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(modbus_strerror(errno)));
        modbus_free(device);
        return nullptr;
    }
    port->deviceCtx = device;
    port->fd = modbus_get_socket(device);
    port->ctx = newContext(path, slaveAddress, baudRate, error);
    if (!port->ctx)
        return nullptr;
    modbus_set_socket(port->ctx, port->fd);
    return port;
}

bool SimPort::addLink(const QString &path, QString *error)
{
    QFile::remove(path); // a stale link from an earlier run
    if (!QFile::link(devicePath, path)) {
        if (error)
            *error = QStringLiteral("cannot create the link %1 to %2").arg(path, devicePath);
        return false;
    }
    linkPath = path;
    return true;
}

void SimPort::drainInput()
{
#ifdef Q_OS_UNIX
    if (fd < 0)
        return;
    const int flags = fcntl(fd, F_GETFL);
    if (!(flags & O_NONBLOCK))
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    char buffer[256];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    if (!(flags & O_NONBLOCK))
        fcntl(fd, F_SETFL, flags);
#endif
}

bool SimPort::writeRaw(const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    return fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
#else
    Q_UNUSED(bytes)
    return false;
#endif
}
