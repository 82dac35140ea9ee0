#include "inputfaults.h"

Q_LOGGING_CATEGORY(tarvikDispatch, "tarvik.dispatch", QtInfoMsg)

void InputFaults::note(Kind kind, const QString &topic)
{
    if (counts[kind]++ == 0) {
        qCWarning(tarvikDispatch, "Ignored %s on %s (further ones are only counted)",
                  qUtf8Printable(describe(kind)), qUtf8Printable(topic.left(200)));
    }
}

qint64 InputFaults::total() const
{
    qint64 sum = 0;
    for (qint64 c : counts)
        sum += c;
    return sum;
}

QString InputFaults::describe(Kind kind)
{
    switch (kind) {
    case Oversize: return QStringLiteral("an oversize payload");
    case InvalidUtf8: return QStringLiteral("a payload that is not UTF-8");
    case InvalidJson: return QStringLiteral("a payload that is not JSON");
    case WrongType: return QStringLiteral("a payload with a field of the wrong type");
    case UnknownShape: return QStringLiteral("a payload of unknown shape");
    case TooManySites: return QStringLiteral("a site beyond the limit");
    case TooManyControllers: return QStringLiteral("a controller beyond the limit of its site");
    case IdBackwards: return QStringLiteral("a journal row whose id went backwards");
    case KindCount: break;
    }
    return QString();
}
