#include "testmaster.h"

#include <QElapsedTimer>
#include <QFile>

#include <poll.h>
#include <unistd.h>

TestMaster::TestMaster(const QString &devicePath, int slaveAddress, int baudRate)
{
    ctx = modbus_new_rtu(QFile::encodeName(devicePath).constData(), baudRate, 'N', 8, 1);
    if (!ctx)
        return;
    modbus_set_slave(ctx, slaveAddress);
    open = modbus_connect(ctx) == 0;
}

TestMaster::~TestMaster()
{
    if (open)
        modbus_close(ctx);
    if (ctx)
        modbus_free(ctx);
}

QVector<quint16> TestMaster::holding(int address, int count)
{
    QVector<quint16> values(count);
    return readHolding(address, count, values.data()) == count ? values : QVector<quint16>();
}

QVector<quint16> TestMaster::inputs(int address, int count)
{
    QVector<quint16> values(count);
    return readInput(address, count, values.data()) == count ? values : QVector<quint16>();
}

bool TestMaster::sendRaw(const QByteArray &bytes)
{
    const int fd = modbus_get_socket(ctx);
    return fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray TestMaster::receiveRaw(int descriptor, int milliseconds)
{
    QByteArray bytes;
    QElapsedTimer timer;
    timer.start();
    for (qint64 left = milliseconds; left > 0; left = milliseconds - timer.elapsed()) {
        pollfd p = {descriptor, POLLIN, 0};
        char buffer[256];
        ssize_t n = 0;
        if (::poll(&p, 1, int(left)) <= 0 || (n = ::read(descriptor, buffer, sizeof buffer)) <= 0)
            break;
        bytes.append(buffer, int(n));
    }
    return bytes;
}
