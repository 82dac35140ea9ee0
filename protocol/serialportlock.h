#ifndef SERIALPORTLOCK_H
#define SERIALPORTLOCK_H

#include <QString>

// Keeps a serial port to one master, as Qt's serial port does: on Unix an
// advisory lock on the device, taken before libmodbus opens it and so before
// it changes the line's settings, refuses any other program that locks too
// (root included), and TIOCEXCL then refuses any other open but root's. The
// first master is left alone either way. On Windows the port is opened
// exclusively anyway and this does nothing.
class SerialPortLock
{
public:
    enum Result { Locked, Busy, NotOpened };

    SerialPortLock() = default;
    ~SerialPortLock();
    SerialPortLock(const SerialPortLock &) = delete;
    SerialPortLock &operator=(const SerialPortLock &) = delete;

    // Before the port is opened for the link. NotOpened: the device could not
    // be opened for the lock (absent, not allowed); the link's own open then
    // reports it as before.
    Result acquire(const QString &devicePath);
    // Once the link has opened the port.
    void makeExclusive();

    // "Порт /dev/ttyUSB0 занят другой программой!\n Опрос завершен."
    static QString busyText(const QString &devicePath);

private:
    int fd = -1;
};

#endif // SERIALPORTLOCK_H
