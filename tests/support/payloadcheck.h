#ifndef PAYLOADCHECK_H
#define PAYLOADCHECK_H

#include "currentevents.h"
#include "payloadparser.h"
#include "replayrequest.h"
#include "sitesmodel.h"

#include <QByteArray>
#include <QString>

// What must hold for any payload a broker hands the dispatcher, whatever its
// bytes: each parser takes it within the documented bounds or refuses it, and
// what it takes passes through the models. Empty when all holds, else why not.
namespace PayloadCheck {

inline QString check(const QByteArray &bytes)
{
    static SitesModel sites;
    static CurrentEvents events;

    ControllerSnapshot state;
    if (PayloadParser::parseState(bytes, &state).ok) {
        if (state.lamps.size() > 32 || bytes.size() > PayloadParser::MaxPayload)
            return QStringLiteral("a state beyond its bounds was taken");
        state.key = QStringLiteral("K");
        sites.setState(QStringLiteral("site"), state.key, state);
        events.setController(QStringLiteral("site"), state);
        for (int row = 0; row < events.rowCount(); ++row) {
            for (int column = 0; column < events.columnCount(); ++column)
                events.index(row, column).data();
        }
        if (events.rowCount() > CurrentEvents::MaxRows)
            return QStringLiteral("the current events grew past their cap");
    }
    JournalRecord row;
    if (PayloadParser::parseJournal(bytes, &row).ok && (row.id < 1 || row.kind.isEmpty()))
        return QStringLiteral("a journal row without id or kind was taken");
    bool online = false;
    if (PayloadParser::parseStatus(bytes, &online).ok && bytes != (online ? "online" : "offline"))
        return QStringLiteral("a status other than online or offline was taken");
    ReplayRequest request;
    if (ReplayRequest::parse(bytes, &request) && (request.from < 1 || request.from > request.to))
        return QStringLiteral("a replay request with an empty range was taken");
    ReplayRequest::Result result;
    if (ReplayRequest::Result::parse(bytes, &result) && result.from > result.to)
        return QStringLiteral("a replay result with an empty range was taken");
    return QString();
}

} // namespace PayloadCheck

#endif // PAYLOADCHECK_H
