#ifndef CONTROLLERENTRY_H
#define CONTROLLERENTRY_H

#include "linktarget.h"
#include "linkworker.h"

#include <QString>

// One controller of a site as the console's list keeps it: where it sits
// (a serial line, or a Modbus TCP gateway) and whether it is watched. A plain
// value, copied freely.
struct ControllerEntry
{
    QString name;
    QString portName;   // serial: as the platform lists it
    int baudRate = 9600;
    int address = 1;    // slave address, or the unit identifier behind a gateway
    bool polled = true;

    bool tcp = false;
    QString host;
    int tcpPort = LinkTarget::DefaultTcpPort;
    int responseTimeoutMs = LinkTarget::DefaultResponseTimeoutMs;

    // What a worker opens for this controller.
    LinkTarget linkTarget() const
    {
        return tcp ? LinkTarget::tcp(host, tcpPort, address, responseTimeoutMs)
                   : LinkTarget::serial(LinkWorker::devicePath(portName), baudRate, address);
    }

    // The port name, or "host:port", as the table and the journal show the link.
    QString linkName() const
    {
        return tcp ? LinkTarget::tcp(host, tcpPort, address).peerName() : portName;
    }

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
