#ifndef CONTROLLERENTRY_H
#define CONTROLLERENTRY_H

#include "settings.h"

#include <QString>

// One controller of a site as the console's list keeps it: its name, its
// link as the settings dialog describes one (a serial line, or a Modbus TCP
// gateway with the unit identifier as address) and whether it is watched. A
// plain value, copied freely.
struct ControllerEntry : Settings
{
    QString name;
    bool polled = true;

    // Controllers with the same key share one line and so one worker. Host
    // names are not case-sensitive.
    QString linkKey() const
    {
        return tcp ? QStringLiteral("tcp ") + linkName().toLower() : QStringLiteral("serial ") + portName;
    }

    bool operator==(const ControllerEntry &other) const
    {
        return name == other.name && portName == other.portName && baudRate == other.baudRate
            && address == other.address && polled == other.polled && tcp == other.tcp
            && host == other.host && tcpPort == other.tcpPort
            && responseTimeoutMs == other.responseTimeoutMs;
    }
    bool operator!=(const ControllerEntry &other) const { return !(*this == other); }
};

#endif // CONTROLLERENTRY_H
