#ifndef CONTROLLERENTRY_H
#define CONTROLLERENTRY_H

#include <QString>

// One controller of a site as the console's list keeps it: where it sits on
// which line and whether it is watched. A plain value, copied freely.
struct ControllerEntry
{
    QString name;
    QString portName;
    int baudRate = 9600;
    int address = 1;
    bool polled = true;

    bool operator==(const ControllerEntry &other) const
    {
        return name == other.name && portName == other.portName && baudRate == other.baudRate
            && address == other.address && polled == other.polled;
    }
    bool operator!=(const ControllerEntry &other) const { return !(*this == other); }
};

#endif // CONTROLLERENTRY_H
