#include "mqttsettings.h"

#include <QFileInfo>
#include <QSysInfo>
#include <QSettings>

#include <tuple>

namespace {

const QString group = QStringLiteral("mqtt");

QString unreadable(const QString &what, const QString &path)
{
    return QStringLiteral("не удаётся прочитать %1 «%2»").arg(what, path);
}

} // namespace

QString MqttSettings::defaultPrefix()
{
    QString name = QSysInfo::machineHostName();
    name.replace(QLatin1Char('/'), QLatin1Char('_'))
        .replace(QLatin1Char('+'), QLatin1Char('_'))
        .replace(QLatin1Char('#'), QLatin1Char('_'));
    return QStringLiteral("tarvik/") + (name.isEmpty() ? QStringLiteral("console") : name);
}

MqttSettings MqttSettings::load(QSettings &store)
{
    MqttSettings s;
    store.beginGroup(group);
    s.enabled = store.value(QStringLiteral("enabled"), s.enabled).toBool();
    s.host = store.value(QStringLiteral("host"), s.host).toString();
    s.tls = store.value(QStringLiteral("tls"), s.tls).toBool();
    s.port = store.value(QStringLiteral("port"), s.tls ? TlsPort : PlainPort).toInt();
    s.caFile = store.value(QStringLiteral("caFile")).toString();
    s.certFile = store.value(QStringLiteral("certFile")).toString();
    s.keyFile = store.value(QStringLiteral("keyFile")).toString();
    s.user = store.value(QStringLiteral("user")).toString();
    s.prefix = store.value(QStringLiteral("prefix"), s.prefix).toString();
    store.endGroup();
    return s;
}

void MqttSettings::save(QSettings &store) const
{
    store.beginGroup(group);
    store.setValue(QStringLiteral("enabled"), enabled);
    store.setValue(QStringLiteral("host"), host);
    store.setValue(QStringLiteral("port"), port);
    store.setValue(QStringLiteral("tls"), tls);
    store.setValue(QStringLiteral("caFile"), caFile);
    store.setValue(QStringLiteral("certFile"), certFile);
    store.setValue(QStringLiteral("keyFile"), keyFile);
    store.setValue(QStringLiteral("user"), user);
    store.setValue(QStringLiteral("prefix"), prefix);
    store.remove(QStringLiteral("password")); // never on disk, whatever an older file had
    store.endGroup();
}

bool MqttSettings::applyOverride(const QString &value)
{
    const int colon = value.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const int number = value.mid(colon + 1).toInt(&ok);
    if (colon <= 0 || !ok || number <= 0 || number > 65535)
        return false;
    enabled = true;
    host = value.left(colon);
    port = number;
    tls = false;
    return true;
}

QString MqttSettings::problem() const
{
    if (host.trimmed().isEmpty())
        return QStringLiteral("не указан адрес брокера");
    if (port <= 0 || port > 65535)
        return QStringLiteral("неверный порт %1").arg(port);
    if (prefix.isEmpty() || prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')))
        return QStringLiteral("префикс тем не должен быть пустым и содержать «+» или «#»");
    if (tls) {
        if (caFile.isEmpty())
            return QStringLiteral("для TLS нужен файл сертификата центра сертификации");
        if (!QFileInfo(caFile).isReadable())
            return unreadable(QStringLiteral("сертификат центра сертификации"), caFile);
        if (certFile.isEmpty() != keyFile.isEmpty())
            return QStringLiteral("сертификату клиента нужен его ключ, и наоборот");
        if (!certFile.isEmpty() && !QFileInfo(certFile).isReadable())
            return unreadable(QStringLiteral("сертификат клиента"), certFile);
        if (!keyFile.isEmpty() && !QFileInfo(keyFile).isReadable())
            return unreadable(QStringLiteral("ключ клиента"), keyFile);
    }
    return QString();
}

QString MqttSettings::passwordKey() const
{
    return QStringLiteral("mqtt://%1@%2:%3").arg(user, host).arg(port);
}

bool MqttSettings::operator==(const MqttSettings &o) const
{
    return std::tie(enabled, host, port, tls, caFile, certFile, keyFile, user, password, prefix)
        == std::tie(o.enabled, o.host, o.port, o.tls, o.caFile, o.certFile, o.keyFile, o.user,
                    o.password, o.prefix);
}
