#ifndef TCPCONNECTOR_H
#define TCPCONNECTOR_H

#include "linktarget.h"

#include <QString>

#include <modbus.h>

// Opens a Modbus TCP link: resolves the host itself, so that an unknown
// name is told apart from a refused connection, then tries each address
// with the response time-out of the target set before the connect.
class TcpConnector
{
public:
    // A connected context, or null with *failure set to the user's text.
    static modbus_t *connect(const LinkTarget &target, QString *failure);

    static QString failureText(const LinkTarget &target, const QString &reason);

private:
    static modbus_t *connectTo(const QByteArray &address, const LinkTarget &target, int *error);
    static QString reasonText(int error);
};

#endif // TCPCONNECTOR_H
