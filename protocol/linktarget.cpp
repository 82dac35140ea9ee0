#include "linktarget.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>

LinkTarget LinkTarget::serial(const QString &portPath, int baudRate, int slave)
{
    LinkTarget target;
    target.portPath = portPath;
    target.baudRate = baudRate;
    target.slave = slave;
    return target;
}

LinkTarget LinkTarget::tcp(const QString &host, int port, int unit, int responseTimeoutMs)
{
    LinkTarget target;
    target.kind = Tcp;
    target.host = host;
    target.tcpPort = port;
    target.slave = unit;
    target.responseTimeoutMs = responseTimeoutMs;
    return target;
}

QString LinkTarget::peerName() const
{
    if (!isTcp())
        return portPath;
    const QString shownHost = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shownHost + QLatin1Char(':') + QString::number(tcpPort);
}

QString LinkTarget::hostProblem(const QString &host)
{
    if (host.isEmpty())
        return QStringLiteral("Не указан адрес шлюза.");
    if (QHostAddress(host).protocol() != QAbstractSocket::UnknownNetworkLayerProtocol)
        return QString();
    static const QRegularExpression addressLike(QStringLiteral("^[0-9A-Fa-f:.]+$"));
    if (host.contains(QLatin1Char(':')) && addressLike.match(host).hasMatch())
        return QStringLiteral("Адрес «%1» не является адресом IPv6.").arg(host);
    // A host name: dot-separated labels of letters, digits and inner hyphens.
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    const QStringList labels = host.endsWith(QLatin1Char('.')) ? host.chopped(1).split(QLatin1Char('.'))
                                                               : host.split(QLatin1Char('.'));
    // An all-digit last label is a mistyped IPv4 address, not a name.
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    bool valid = host.size() <= 253 && !digits.match(labels.last()).hasMatch();
    for (const QString &part : labels)
        valid = valid && label.match(part).hasMatch();
    if (!valid)
        return QStringLiteral("«%1» не является ни именем узла, ни адресом IPv4 или IPv6.").arg(host);
    return QString();
}

QString LinkTarget::portProblem(int port)
{
    if (port >= 1 && port <= 65535)
        return QString();
    return QStringLiteral("TCP порт должен быть числом от 1 до 65535.");
}

bool LinkTarget::isReservedInvalid(const QString &host)
{
    const QString name = host.endsWith(QLatin1Char('.')) ? host.chopped(1) : host;
    return name.compare(QLatin1String("invalid"), Qt::CaseInsensitive) == 0
        || name.endsWith(QLatin1String(".invalid"), Qt::CaseInsensitive);
}
