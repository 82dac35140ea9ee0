#ifndef PAYLOADPARSER_H
#define PAYLOADPARSER_H

#include "controllersnapshot.h"
#include "inputfaults.h"
#include "journalrecord.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The messages sites publish, read strictly: anything that is not exactly
// the documented shape is refused with the kind of fault it is.
namespace PayloadParser {

constexpr int MaxPayload = 64 * 1024;

// Where a message belongs under the watched root: <root>/<site>/status,
// <root>/<site>/<controller>/state|journal, <root>/<site>/replay/result.
struct Topic
{
    enum class Kind { Status, State, Journal, ReplayResult, Other };
    Kind kind = Kind::Other;
    QString site;
    QString controller;
};
Topic classify(const QString &root, const QString &topic);

// The subscriptions that cover every kind above.
QStringList filters(const QString &root);

struct Outcome
{
    bool ok = false;
    InputFaults::Kind fault = InputFaults::UnknownShape;
};

Outcome parseStatus(const QByteArray &payload, bool *online);
Outcome parseState(const QByteArray &payload, ControllerSnapshot *state);
// The row keeps the site's id; a row without one is of unknown shape.
Outcome parseJournal(const QByteArray &payload, JournalRecord *row);

} // namespace PayloadParser

#endif // PAYLOADPARSER_H
