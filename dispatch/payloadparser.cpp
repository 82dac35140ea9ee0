#include "payloadparser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextCodec>

#include <cmath>

namespace PayloadParser {

namespace {

using Kind = InputFaults::Kind;

constexpr int MaxLamps = 32;
constexpr double LargestExact = 9007199254740992.0; // 2^53

Outcome failed(Kind kind)
{
    return Outcome{ false, kind };
}

Outcome accepted()
{
    return Outcome{ true, InputFaults::UnknownShape };
}

bool validUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

// Size and encoding first: the JSON parser would take invalid UTF-8 in.
Outcome objectOf(const QByteArray &payload, QJsonObject *object)
{
    if (payload.size() > MaxPayload)
        return failed(InputFaults::Oversize);
    if (!validUtf8(payload))
        return failed(InputFaults::InvalidUtf8);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError)
        return failed(InputFaults::InvalidJson);
    if (!document.isObject())
        return failed(InputFaults::UnknownShape);
    *object = document.object();
    return accepted();
}

// Reads the object's fields, remembering the first fault met.
class Fields
{
public:
    explicit Fields(const QJsonObject &object) : object(object) {}

    QString text(const QString &key, bool required)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return missing(required), QString();
        if (!value.isString())
            return wrong(), QString();
        return value.toString();
    }

    QVariant number(const QString &key, bool required, double largest = LargestExact)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return missing(required), QVariant();
        const double d = value.toDouble(-1);
        if (!value.isDouble() || !(d >= 0 && d <= largest) || std::floor(d) != d)
            return wrong(), QVariant();
        return QVariant(qint64(d));
    }

    QJsonValue value(const QString &key, bool (QJsonValue::*isKind)() const)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            missing(true);
        else if (!(value.*isKind)())
            wrong();
        return value;
    }

    Outcome outcome() const { return fault >= 0 ? failed(Kind(fault)) : accepted(); }
    bool good() const { return fault < 0; }
    void wrong() { set(InputFaults::WrongType); }
    void adopt(const Fields &other)
    {
        if (other.fault >= 0)
            set(Kind(other.fault));
    }

private:
    void missing(bool required)
    {
        if (required)
            set(InputFaults::UnknownShape);
    }
    void set(Kind kind)
    {
        if (fault < 0)
            fault = kind;
    }

    const QJsonObject &object;
    int fault = -1; // a Kind once one is met
};

bool linkOf(const QString &text, ControllerSnapshot::Link *link)
{
    static const QStringList names{ QStringLiteral("idle"), QStringLiteral("polling"),
                                    QStringLiteral("no-answer"), QStringLiteral("no-link") };
    const int index = names.indexOf(text);
    if (index < 0)
        return false;
    *link = ControllerSnapshot::Link(index);
    return true;
}

bool lampOf(const QJsonValue &value, ControllerSnapshot::Lamp *lamp)
{
    static const QStringList names{ QStringLiteral("off"), QStringLiteral("on"), QStringLiteral("blinking") };
    const int index = value.isString() ? names.indexOf(value.toString()) : -1;
    if (index < 0)
        return false;
    *lamp = ControllerSnapshot::Lamp(index);
    return true;
}

void readLamps(const QJsonObject &lamps, Fields &fields, ControllerSnapshot *state)
{
    if (lamps.size() > MaxLamps)
        return fields.wrong();
    for (auto it = lamps.begin(); it != lamps.end(); ++it) {
        ControllerSnapshot::Lamp lamp;
        if (!lampOf(it.value(), &lamp))
            return fields.wrong();
        state->lamps.append({ it.key(), lamp });
    }
}

void readEvents(const QJsonArray &events, Fields &fields, ControllerSnapshot *state)
{
    for (const QJsonValue &value : events) {
        if (!value.isObject())
            return fields.wrong();
        const QJsonObject object = value.toObject();
        Fields event(object);
        ControllerSnapshot::Event e;
        e.name = event.text(QStringLiteral("name"), true);
        e.source = event.number(QStringLiteral("source"), true, 65535).toInt();
        e.code = event.number(QStringLiteral("code"), true, 65535).toInt();
        e.time = event.text(QStringLiteral("time"), true);
        if (!event.good())
            return fields.adopt(event);
        state->events.append(e);
    }
}

} // namespace

Topic classify(const QString &root, const QString &topic)
{
    Topic t;
    if (!topic.startsWith(root + QLatin1Char('/')))
        return t;
    const QStringList levels = topic.mid(root.size() + 1).split(QLatin1Char('/'));
    if (levels.first().isEmpty())
        return t;
    t.site = levels.first();
    if (levels.size() == 2 && levels.at(1) == QLatin1String("status")) {
        t.kind = Topic::Kind::Status;
    } else if (levels.size() == 3 && levels.at(1) == QLatin1String("replay")
               && levels.at(2) == QLatin1String("result")) {
        t.kind = Topic::Kind::ReplayResult;
    } else if (levels.size() == 3 && !levels.at(1).isEmpty()) {
        t.controller = levels.at(1);
        if (levels.at(2) == QLatin1String("state"))
            t.kind = Topic::Kind::State;
        else if (levels.at(2) == QLatin1String("journal"))
            t.kind = Topic::Kind::Journal;
    }
    return t;
}

QStringList filters(const QString &root)
{
    return { root + QStringLiteral("/+/status"), root + QStringLiteral("/+/+/state"),
             root + QStringLiteral("/+/+/journal"), root + QStringLiteral("/+/replay/result") };
}

Outcome parseStatus(const QByteArray &payload, bool *online)
{
    if (payload.size() > MaxPayload)
        return failed(InputFaults::Oversize);
    if (!validUtf8(payload))
        return failed(InputFaults::InvalidUtf8);
    if (payload != "online" && payload != "offline")
        return failed(InputFaults::UnknownShape);
    *online = payload == "online";
    return accepted();
}

Outcome parseState(const QByteArray &payload, ControllerSnapshot *state)
{
    QJsonObject object;
    const Outcome read = objectOf(payload, &object);
    if (!read.ok)
        return read;
    Fields fields(object);
    ControllerSnapshot parsed;
    parsed.name = fields.text(QStringLiteral("controller"), true);
    const QString link = fields.text(QStringLiteral("link"), true);
    parsed.vpk = quint32(fields.number(QStringLiteral("vpk"), true, 4294967295.0).toLongLong());
    const QJsonValue lamps = fields.value(QStringLiteral("lamps"), &QJsonValue::isObject);
    const QJsonValue events = fields.value(QStringLiteral("events"), &QJsonValue::isArray);
    if (fields.good() && !linkOf(link, &parsed.link))
        fields.wrong();
    if (fields.good())
        readLamps(lamps.toObject(), fields, &parsed);
    if (fields.good())
        readEvents(events.toArray(), fields, &parsed);
    if (fields.good())
        *state = parsed;
    return fields.outcome();
}

Outcome parseJournal(const QByteArray &payload, JournalRecord *row)
{
    QJsonObject object;
    const Outcome read = objectOf(payload, &object);
    if (!read.ok)
        return read;
    Fields fields(object);
    JournalRecord parsed;
    const QVariant id = fields.number(QStringLiteral("id"), true);
    parsed.kind = fields.text(QStringLiteral("kind"), true);
    parsed.name = fields.text(QStringLiteral("name"), true);
    parsed.received = fields.text(QStringLiteral("received"), true);
    parsed.port = fields.text(QStringLiteral("port"), true);
    parsed.list = fields.text(QStringLiteral("list"), false);
    parsed.occurred = fields.text(QStringLiteral("occurred"), false);
    parsed.controller = fields.text(QStringLiteral("controller"), false);
    parsed.guard = fields.text(QStringLiteral("guard"), false);
    parsed.source = fields.number(QStringLiteral("source"), false);
    parsed.code = fields.number(QStringLiteral("code"), false);
    parsed.slave = fields.number(QStringLiteral("slave"), false);
    parsed.ref = fields.number(QStringLiteral("ref"), false);
    parsed.id = id.toLongLong();
    if (fields.good() && (parsed.id < 1 || parsed.kind.isEmpty()))
        return failed(InputFaults::UnknownShape);
    if (fields.good())
        *row = parsed;
    return fields.outcome();
}

} // namespace PayloadParser
