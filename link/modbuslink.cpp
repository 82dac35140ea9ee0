#include "modbuslink.h"

#include <QThread>

#ifndef Q_OS_WIN
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#endif

namespace {

// A line that never falls quiet (noise, a babbling device) must not hold
// the worker for ever; after this many quiet intervals it is flushed anyway.
constexpr int MaxQuietIntervals = 4;

} // namespace

ModbusLink::ModbusLink(modbus_t *context)
    : context(context)
{
}

int ModbusLink::readRegisters(int address, int count, quint16 *dest)
{
    settleLine();
    return checked(modbus_read_registers(context, address, count, dest), count);
}

int ModbusLink::readInputRegisters(int address, int count, quint16 *dest)
{
    settleLine();
    return checked(modbus_read_input_registers(context, address, count, dest), count);
}

int ModbusLink::writeRegister(int address, quint16 value)
{
    settleLine();
    return checked(modbus_write_register(context, address, value), 1);
}

int ModbusLink::writeRegisters(int address, int count, const quint16 *src)
{
    settleLine();
    return checked(modbus_write_registers(context, address, count, src), count);
}

void ModbusLink::flush()
{
    modbus_flush(context);
}

int ModbusLink::checked(int result, int expected)
{
    if (result != expected) {
        lineSuspect = true;
        sinceTraffic.start();
    }
    return result;
}

int ModbusLink::quietMilliseconds() const
{
    uint32_t seconds = 0;
    uint32_t microseconds = 0;
    if (modbus_get_response_timeout(context, &seconds, &microseconds) == -1)
        return 500;
    return int(seconds * 1000 + microseconds / 1000);
}

#ifdef Q_OS_WIN

void ModbusLink::settleLine()
{
    if (!lineSuspect)
        return;
    const qint64 left = quietMilliseconds() - sinceTraffic.elapsed();
    if (left > 0)
        QThread::msleep(quint64(left));
    flush();
    lineSuspect = false;
}

#else

// Reads and discards bytes until none has come for a whole response time-out.
void ModbusLink::settleLine()
{
    if (!lineSuspect)
        return;
    const int fd = modbus_get_socket(context);
    const int quiet = quietMilliseconds();
    QElapsedTimer total;
    total.start();
    while (fd >= 0 && total.elapsed() < qint64(quiet) * MaxQuietIntervals) {
        const qint64 left = quiet - sinceTraffic.elapsed();
        pollfd line = { fd, POLLIN, 0 };
        const int ready = poll(&line, 1, int(qMax<qint64>(left, 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || !(line.revents & POLLIN))
            break;
        char junk[256];
        if (read(fd, junk, sizeof junk) <= 0)
            break;
        sinceTraffic.start();
    }
    flush();
    lineSuspect = false;
}

#endif
