#ifndef SIMPORT_H
#define SIMPORT_H

#include <QByteArray>
#include <QString>

#include <memory>

struct _modbus;
typedef struct _modbus modbus_t;

// One serial endpoint the simulator answers on, with its own libmodbus RTU
// slave context: either a pseudo-terminal it creates (the master opens
// path()) or a real serial device opened by path.
class SimPort
{
public:
    ~SimPort();
    SimPort(const SimPort &) = delete;
    SimPort &operator=(const SimPort &) = delete;

    static std::unique_ptr<SimPort> openPseudoTerminal(int slaveAddress, int baudRate, QString *error);
    static std::unique_ptr<SimPort> openDevice(const QString &path, int slaveAddress, int baudRate,
                                               QString *error);

    QString path() const { return devicePath; }
    int descriptor() const { return fd; }
    modbus_t *context() const { return ctx; }
    int baudRate() const { return baud; }

    // A symbolic link to the device, removed again with the port.
    bool addLink(const QString &linkPath, QString *error);
    QString link() const { return linkPath; }

    // libmodbus expects another slave's answer after a frame for that slave
    // and would swallow the next frame as it; a fresh context forgets that.
    // Also how it starts answering another of the line's slave addresses.
    void renewContext(int slaveAddress = -1);

    void drainInput();
    bool writeRaw(const QByteArray &bytes);

private:
    SimPort() = default;

    modbus_t *ctx = nullptr;        // receives and answers, on fd
    modbus_t *deviceCtx = nullptr;  // opened a real device and restores it on close
    int fd = -1;
    int ptySlaveFd = -1; // held open so the master side never reports a hang-up
    int slave = 1;
    int baud = 9600;
    QString devicePath;
    QString linkPath;
};

#endif // SIMPORT_H
