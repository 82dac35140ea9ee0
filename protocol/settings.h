#ifndef SETTINGS_H
#define SETTINGS_H

#include "linktarget.h"
#include "linkworker.h"

#include <QString>

// The link choice the settings dialog hands out, copied on every request.
struct Settings
{
    QString portName;   // as the platform lists it (COM3), no path prefix; empty when none
    int baudRate = 9600;
    int address = 1;    // Modbus slave address, 1 to 247; the unit identifier over TCP

    bool tcp = false;   // a Modbus TCP gateway instead of the serial port
    QString host;
    int tcpPort = LinkTarget::DefaultTcpPort;
    int responseTimeoutMs = LinkTarget::DefaultResponseTimeoutMs;

    // What a worker opens for this choice.
    LinkTarget linkTarget() const
    {
        return tcp ? LinkTarget::tcp(host, tcpPort, address, responseTimeoutMs)
                   : LinkTarget::serial(LinkWorker::devicePath(portName), baudRate, address);
    }

    // The port name, or "host:port" for a TCP link, as the journal and the
    // controllers list name the link.
    QString linkName() const
    {
        return tcp ? LinkTarget::tcp(host, tcpPort, address).peerName() : portName;
    }
};

#endif // SETTINGS_H
