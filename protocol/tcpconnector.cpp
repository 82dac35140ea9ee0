#include "tcpconnector.h"

#include "modbuslink.h"

#include <QByteArrayList>

#include <cerrno>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace {

constexpr int UnknownHost = -1;

// Numeric addresses of the host, in the resolver's order; empty if unknown.
QByteArrayList resolve(const QString &host)
{
    QByteArrayList addresses;
    if (LinkTarget::isReservedInvalid(host))
        return addresses;
#ifdef Q_OS_WIN
    static const bool winsockReady = [] { WSADATA data; return WSAStartup(MAKEWORD(2, 2), &data) == 0; }();
    Q_UNUSED(winsockReady)
#endif
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0)
        return addresses;
    for (addrinfo *entry = found; entry; entry = entry->ai_next) {
        char text[NI_MAXHOST];
        if (getnameinfo(entry->ai_addr, socklen_t(entry->ai_addrlen), text, sizeof text, nullptr, 0,
                        NI_NUMERICHOST) == 0 && !addresses.contains(text))
            addresses << QByteArray(text);
    }
    freeaddrinfo(found);
    return addresses;
}

} // namespace

modbus_t *TcpConnector::connect(const LinkTarget &target, QString *failure)
{
    const QByteArrayList addresses = resolve(target.host);
    int error = UnknownHost;
    for (const QByteArray &address : addresses) {
        if (modbus_t *context = connectTo(address, target, &error))
            return context;
    }
    qCDebug(tarvikLink, "connecting to %s failed: %s", qPrintable(target.peerName()),
            error == UnknownHost ? "unknown host" : modbus_strerror(error));
    *failure = failureText(target, reasonText(error));
    return nullptr;
}

QString TcpConnector::failureText(const LinkTarget &target, const QString &reason)
{
    return QStringLiteral("Ошибка соединения с %1: %2!\n Опрос завершен.").arg(target.peerName(), reason);
}

modbus_t *TcpConnector::connectTo(const QByteArray &address, const LinkTarget &target, int *error)
{
    const QByteArray service = QByteArray::number(target.tcpPort);
    modbus_t *context = modbus_new_tcp_pi(address.constData(), service.constData());
    if (!context) {
        *error = errno;
        return nullptr;
    }
    const int timeoutMs = qMax(1, target.responseTimeoutMs);
    modbus_set_response_timeout(context, uint32_t(timeoutMs / 1000), uint32_t(timeoutMs % 1000) * 1000);
    if (modbus_connect(context) == -1) {
        *error = errno;
        modbus_free(context);
        return nullptr;
    }
    return context;
}

QString TcpConnector::reasonText(int error)
{
    switch (error) {
    case UnknownHost:
        return QStringLiteral("адрес не найден");
    case ECONNREFUSED:
        return QStringLiteral("соединение отвергнуто");
    case ETIMEDOUT:
        return QStringLiteral("нет ответа");
    case ENETUNREACH:
    case EHOSTUNREACH:
        return QStringLiteral("сеть недоступна");
    default:
        return QStringLiteral("соединение не установлено");
    }
}
