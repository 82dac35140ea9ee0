#include "dispatchsettings.h"

#include <QSettings>
#include <QSysInfo>
#include <QUuid>

const QString DispatchSettings::DefaultRoot = QStringLiteral("tarvik");

namespace {

QString userName()
{
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return user.isEmpty() ? QStringLiteral("диспетчер") : user;
}

} // namespace

DispatchSettings DispatchSettings::defaults()
{
    DispatchSettings s;
    s.broker.enabled = true;
    s.broker.prefix = DefaultRoot;
    s.operatorName = userName();
    return s;
}

DispatchSettings DispatchSettings::load(QSettings &store)
{
    DispatchSettings s = defaults();
    MqttSettings broker = MqttSettings::load(store);
    broker.enabled = true;
    if (!store.contains(QStringLiteral("mqtt/prefix")))
        broker.prefix = DefaultRoot;
    s.broker = broker;
    s.clientId = store.value(QStringLiteral("mqtt/clientId")).toString();
    if (s.clientId.isEmpty()) {
        s.clientId = QStringLiteral("tarvik-dispatch-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        store.setValue(QStringLiteral("mqtt/clientId"), s.clientId);
    }
    s.operatorName = store.value(QStringLiteral("operator"), s.operatorName).toString();
    return s;
}

void DispatchSettings::save(QSettings &store) const
{
    broker.save(store);
    store.setValue(QStringLiteral("mqtt/clientId"), clientId);
    store.setValue(QStringLiteral("operator"), operatorName);
}

QString DispatchSettings::problem() const
{
    if (broker.prefix.isEmpty() || broker.prefix.endsWith(QLatin1Char('/')))
        return QStringLiteral("корень тем не задан");
    return broker.problem();
}
