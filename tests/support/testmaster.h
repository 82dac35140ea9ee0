#ifndef TESTMASTER_H
#define TESTMASTER_H

#include <QString>
#include <QVector>

#include <cerrno>

#include <modbus.h>

// A libmodbus RTU master on a device path, for tests that talk to the
// simulator directly. Opens in the constructor, closes in the destructor.
// The response time-out can be shortened so that expected silences cost little.
class TestMaster
{
public:
    explicit TestMaster(const QString &devicePath, int slaveAddress = 1, int baudRate = 9600);
    ~TestMaster();
    TestMaster(const TestMaster &) = delete;
    TestMaster &operator=(const TestMaster &) = delete;

    bool isOpen() const { return open; }
    void setResponseTimeout(int ms) { modbus_set_response_timeout(ctx, uint32_t(ms / 1000), uint32_t(ms % 1000) * 1000); }

    // -1 on failure, as libmodbus; lastError() then holds errno.
    int readHolding(int address, int count, quint16 *dest) { return track(modbus_read_registers(ctx, address, count, dest)); }
    int readInput(int address, int count, quint16 *dest) { return track(modbus_read_input_registers(ctx, address, count, dest)); }
    int writeSingle(int address, quint16 value) { return track(modbus_write_register(ctx, address, value)); }
    int writeMultiple(int address, int count, const quint16 *src) { return track(modbus_write_registers(ctx, address, count, src)); }
    QVector<quint16> holding(int address, int count); // empty on failure
    QVector<quint16> inputs(int address, int count);
    int lastError() const { return error; }

    // Raw bytes on the line: send exactly these bytes, then collect whatever
    // arrives within the given time (on this master's line or any descriptor).
    bool sendRaw(const QByteArray &bytes);
    QByteArray receiveRaw(int milliseconds) { return receiveRaw(modbus_get_socket(ctx), milliseconds); }
    static QByteArray receiveRaw(int descriptor, int milliseconds);

private:
    int track(int result)
    {
        error = result < 0 ? errno : 0;
        return result;
    }

    modbus_t *ctx = nullptr;
    bool open = false;
    int error = 0;
};

#endif // TESTMASTER_H
