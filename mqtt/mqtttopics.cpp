#include "mqtttopics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace MqttTopics {

QString statusTopic(const QString &prefix)
{
    return prefix + QStringLiteral("/status");
}

QString stateTopic(const QString &prefix, const QString &controllerKey)
{
    return prefix + QLatin1Char('/') + controllerKey + QStringLiteral("/state");
}

QString journalTopic(const QString &prefix, const QString &controllerKey)
{
    return prefix + QLatin1Char('/') + controllerKey + QStringLiteral("/journal");
}

QString topicSafe(const QString &text)
{
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        const bool kept = c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')
            || c == QLatin1Char('.');
        safe += kept ? c : QLatin1Char('_');
    }
    // "/dev/ttyUSB0" reads better as dev_ttyUSB0 than as __dev_...
    while (safe.startsWith(QLatin1Char('_')))
        safe.remove(0, 1);
    return safe.isEmpty() ? QStringLiteral("controller") : safe;
}

QString controllerKey(const QString &controller, const QString &port, const QVariant &slave)
{
    if (!controller.isEmpty())
        return topicSafe(controller);
    if (port.isEmpty())
        return QStringLiteral("controller");
    return topicSafe(port) + QLatin1Char('-') + QString::number(slave.toInt());
}

QString controllerKey(const JournalRecord &row)
{
    return controllerKey(row.controller, row.port, row.slave);
}

namespace {

void putIfSet(QJsonObject &object, const QString &key, const QString &value)
{
    if (!value.isEmpty())
        object.insert(key, value);
}

void putIfSet(QJsonObject &object, const QString &key, const QVariant &value)
{
    if (!value.isNull())
        object.insert(key, value.toLongLong());
}

QString linkText(ControllerSnapshot::Link link)
{
    switch (link) {
    case ControllerSnapshot::Link::Idle: return QStringLiteral("idle");
    case ControllerSnapshot::Link::Polling: return QStringLiteral("polling");
    case ControllerSnapshot::Link::NoAnswer: return QStringLiteral("no-answer");
    case ControllerSnapshot::Link::NoLink: return QStringLiteral("no-link");
    }
    return QString();
}

QString lampText(ControllerSnapshot::Lamp lamp)
{
    switch (lamp) {
    case ControllerSnapshot::Lamp::Off: return QStringLiteral("off");
    case ControllerSnapshot::Lamp::On: return QStringLiteral("on");
    case ControllerSnapshot::Lamp::Blinking: return QStringLiteral("blinking");
    }
    return QString();
}

} // namespace

QByteArray journalPayload(const JournalRecord &row)
{
    QJsonObject object;
    object.insert(QStringLiteral("id"), row.id);
    object.insert(QStringLiteral("kind"), row.kind);
    putIfSet(object, QStringLiteral("list"), row.list);
    object.insert(QStringLiteral("name"), row.name);
    putIfSet(object, QStringLiteral("source"), row.source);
    putIfSet(object, QStringLiteral("code"), row.code);
    object.insert(QStringLiteral("received"), row.received);
    putIfSet(object, QStringLiteral("occurred"), row.occurred);
    object.insert(QStringLiteral("port"), row.port);
    putIfSet(object, QStringLiteral("slave"), row.slave);
    putIfSet(object, QStringLiteral("controller"), row.controller);
    putIfSet(object, QStringLiteral("guard"), row.guard);
    putIfSet(object, QStringLiteral("ref"), row.ref);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray statePayload(const ControllerSnapshot &state)
{
    QJsonObject lamps;
    for (const ControllerSnapshot::LampShown &lamp : state.lamps)
        lamps.insert(lamp.caption, lampText(lamp.state));
    QJsonArray events;
    for (const ControllerSnapshot::Event &event : state.events) {
        events.append(QJsonObject{ { QStringLiteral("name"), event.name },
                                   { QStringLiteral("source"), event.source },
                                   { QStringLiteral("code"), event.code },
                                   { QStringLiteral("time"), event.time } });
    }
    const QJsonObject object{ { QStringLiteral("controller"), state.name },
                              { QStringLiteral("link"), linkText(state.link) },
                              { QStringLiteral("vpk"), qint64(state.vpk) },
                              { QStringLiteral("lamps"), lamps },
                              { QStringLiteral("events"), events } };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace MqttTopics
