#include "replayrequest.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

constexpr double LargestExact = 9007199254740992.0; // 2^53

bool wholeNumber(const QJsonValue &value, qint64 *number)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (!(d >= 1 && d <= LargestExact) || std::floor(d) != d)
        return false;
    *number = qint64(d);
    return true;
}

const QString TimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

bool timeText(const QJsonObject &object, const QString &key, QString *text)
{
    if (!object.contains(key))
        return true;
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return false;
    *text = value.toString();
    return QDateTime::fromString(*text, TimeFormat).isValid();
}

bool objectOf(const QByteArray &payload, QJsonObject *object)
{
    if (payload.size() > ReplayRequest::MaxPayload)
        return false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    *object = document.object();
    return true;
}

} // namespace

bool ReplayRequest::parse(const QByteArray &payload, ReplayRequest *request)
{
    QJsonObject object;
    ReplayRequest parsed;
    if (!objectOf(payload, &object) || !wholeNumber(object.value(QStringLiteral("from")), &parsed.from)
        || !wholeNumber(object.value(QStringLiteral("to")), &parsed.to) || parsed.from > parsed.to
        || !timeText(object, QStringLiteral("since"), &parsed.since)
        || !timeText(object, QStringLiteral("until"), &parsed.until))
        return false;
    *request = parsed;
    return true;
}

QByteArray ReplayRequest::toJson() const
{
    QJsonObject object{ { QStringLiteral("from"), from }, { QStringLiteral("to"), to } };
    if (!since.isEmpty())
        object.insert(QStringLiteral("since"), since);
    if (!until.isEmpty())
        object.insert(QStringLiteral("until"), until);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray ReplayRequest::Result::toJson() const
{
    return QJsonDocument(QJsonObject{ { QStringLiteral("from"), from },
                                      { QStringLiteral("to"), to },
                                      { QStringLiteral("oldest"), oldest } })
        .toJson(QJsonDocument::Compact);
}

bool ReplayRequest::Result::parse(const QByteArray &payload, Result *result)
{
    QJsonObject object;
    Result parsed;
    if (!objectOf(payload, &object) || !wholeNumber(object.value(QStringLiteral("from")), &parsed.from)
        || !wholeNumber(object.value(QStringLiteral("to")), &parsed.to)
        || !wholeNumber(object.value(QStringLiteral("oldest")), &parsed.oldest) || parsed.from > parsed.to)
        return false;
    *result = parsed;
    return true;
}
