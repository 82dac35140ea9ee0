#ifndef LINKTARGET_H
#define LINKTARGET_H

#include <QString>

// Where one job's requests go: a serial port, or a Modbus TCP peer (a
// gateway or a controller with its own network port). A plain value, copied
// to the worker for each job, so a list of controllers can mix both kinds.
struct LinkTarget
{
    enum Kind { Serial, Tcp };
    static constexpr int DefaultTcpPort = 502;
    static constexpr int DefaultResponseTimeoutMs = 1000; // a gateway adds its own wait

    Kind kind = Serial;
    QString portPath;       // serial: the device path libmodbus opens
    int baudRate = 9600;
    QString host;           // TCP: host name, IPv4 or IPv6 address
    int tcpPort = DefaultTcpPort;
    int responseTimeoutMs = DefaultResponseTimeoutMs; // TCP only; serial keeps libmodbus's
    int slave = 1;          // slave address, or the unit identifier over TCP

    static LinkTarget serial(const QString &portPath, int baudRate, int slave);
    static LinkTarget tcp(const QString &host, int port, int unit,
                          int responseTimeoutMs = DefaultResponseTimeoutMs);

    bool isTcp() const { return kind == Tcp; }
    // "host:port" ("[::1]:502" for IPv6) or the port path.
    QString peerName() const;

    // Why this text cannot name a TCP peer, in Russian; empty when it can.
    static QString hostProblem(const QString &host);
    static QString portProblem(int port);
    // Names the network must never be asked about (RFC 6761 ".invalid").
    static bool isReservedInvalid(const QString &host);
};

#endif // LINKTARGET_H
