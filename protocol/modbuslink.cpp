#include "modbuslink.h"

#include <QThread>

#include <cerrno>

#ifndef Q_OS_WIN
#include <poll.h>
#include <unistd.h>
#endif

using namespace std::chrono;

Q_LOGGING_CATEGORY(tarvikLink, "tarvik.link", QtInfoMsg)

namespace {

// A line that never falls quiet (noise, a babbling device) must not hold
// the worker for ever; after this many quiet intervals it is flushed anyway.
constexpr int MaxQuietIntervals = 4;

// A whole answer came, only it said no: the connection is in step.
bool isExceptionAnswer(int error)
{
    return error > MODBUS_ENOBASE && error < MODBUS_ENOBASE + MODBUS_EXCEPTION_MAX;
}

const char *gatewayMeaning(int error)
{
    return error == EMBXGPATH ? "gateway path unavailable"
                              : "gateway target device failed to respond";
}

} // namespace

ModbusLink::ModbusLink(modbus_t *context, Transport transport)
    : context(context), transport(transport)
{
}

int ModbusLink::readRegisters(int address, int count, quint16 *dest)
{
    prepare();
    return checked(modbus_read_registers(context, address, count, dest), count, 3, address);
}

int ModbusLink::readInputRegisters(int address, int count, quint16 *dest)
{
    prepare();
    return checked(modbus_read_input_registers(context, address, count, dest), count, 4, address);
}

int ModbusLink::writeRegister(int address, quint16 value)
{
    prepare();
    return checked(modbus_write_register(context, address, value), 1, 6, address);
}

int ModbusLink::writeRegisters(int address, int count, const quint16 *src)
{
    prepare();
    return checked(modbus_write_registers(context, address, count, src), count, 16, address);
}

bool ModbusLink::setSlave(int address)
{
    return modbus_set_slave(context, address) == 0;
}

void ModbusLink::flush()
{
    modbus_flush(context);
}

std::optional<ModbusLink::Clock::time_point> ModbusLink::unsettledSince() const
{
    return lastTraffic;
}

void ModbusLink::setUnsettledSince(Clock::time_point lastTraffic)
{
    this->lastTraffic = lastTraffic;
}

void ModbusLink::prepare()
{
    if (transport == Tcp)
        reconnectIfBroken();
    else
        settleLine();
}

void ModbusLink::reconnectIfBroken()
{
    if (!connectionSuspect)
        return;
    connectionSuspect = false;
    modbus_close(context);
    if (modbus_connect(context) == -1)
        qCDebug(tarvikLink, "reconnecting failed: %s", modbus_strerror(errno));
}

int ModbusLink::checked(int result, int expected, int function, int address)
{
    if (result == expected)
        return result;
    const int error = errno; // before anything else can change it
    if (transport == Rtu)
        lastTraffic = Clock::now();
    else
        connectionSuspect = result >= 0 || !isExceptionAnswer(error);
    if (error == EMBXGPATH || error == EMBXGTAR)
        qCInfo(tarvikLink, "FC %d at %d: gateway exception 0x%02X, %s", function, address,
               error - MODBUS_ENOBASE, gatewayMeaning(error));
    else if (result < 0)
        qCDebug(tarvikLink, "FC %d at %d failed: %s", function, address, modbus_strerror(error));
    else
        qCDebug(tarvikLink, "FC %d at %d: %d of %d registers", function, address, result, expected);
    return result;
}

milliseconds ModbusLink::quietInterval() const
{
    uint32_t seconds = 0;
    uint32_t microseconds = 0;
    if (modbus_get_response_timeout(context, &seconds, &microseconds) == -1)
        return milliseconds(500);
    return duration_cast<milliseconds>(std::chrono::seconds(seconds)
                                       + std::chrono::microseconds(microseconds));
}

#ifdef Q_OS_WIN

void ModbusLink::settleLine()
{
    if (!lastTraffic)
        return;
    const auto quietAt = *lastTraffic + quietInterval();
    const auto now = Clock::now();
    if (quietAt > now)
        QThread::msleep(quint64(duration_cast<milliseconds>(quietAt - now).count()));
    flush();
    lastTraffic.reset();
}

#else

// Reads and discards bytes until none has come for a whole response time-out.
void ModbusLink::settleLine()
{
    if (!lastTraffic)
        return;
    const int fd = modbus_get_socket(context);
    const milliseconds quiet = quietInterval();
    const auto giveUpAt = Clock::now() + quiet * MaxQuietIntervals;
    while (fd >= 0 && Clock::now() < giveUpAt) {
        const auto left = duration_cast<milliseconds>(*lastTraffic + quiet - Clock::now());
        pollfd line = { fd, POLLIN, 0 };
        const int ready = poll(&line, 1, int(qMax<qint64>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || !(line.revents & POLLIN))
            break;
        char junk[256];
        if (read(fd, junk, sizeof junk) <= 0)
            break;
        lastTraffic = Clock::now();
    }
    flush();
    lastTraffic.reset();
}

#endif
