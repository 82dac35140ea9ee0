#ifndef REPLAYREQUEST_H
#define REPLAYREQUEST_H

#include <QByteArray>
#include <QString>

// A receiver's request for journal rows again: ids from..to, optionally only
// those that arrived between since and until (local time, yyyy-MM-ddTHH:mm:ss).
struct ReplayRequest
{
    static constexpr qint64 MaxRows = 10000;
    static constexpr int MaxPayload = 1024;

    qint64 from = 0;
    qint64 to = 0;
    QString since;
    QString until;

    bool hasPeriod() const { return !since.isEmpty() || !until.isEmpty(); }

    // False for anything but a JSON object with whole numbers 1 <= from <= to
    // and, when present, valid times in since and until.
    static bool parse(const QByteArray &payload, ReplayRequest *request);
    QByteArray toJson() const;

    // What the site answers once a request is served: the range it covered
    // (to is lowered when the row cap was reached) and its oldest row; rows
    // from..oldest-1 are gone for good.
    struct Result
    {
        qint64 from = 0;
        qint64 to = 0;
        qint64 oldest = 0;
        QByteArray toJson() const;
        static bool parse(const QByteArray &payload, Result *result);
    };
};

#endif // REPLAYREQUEST_H
