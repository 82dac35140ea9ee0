#include "acknowledgementledger.h"

#include <algorithm>

qint64 AcknowledgementLedger::add(qint64 journalId, const JournalRecord &event,
                                  Acknowledgement *earlier)
{
    // A journal that failed returns 0; a row id is never reused, even when
    // the same event comes back after the list shrank.
    const qint64 id = journalId > 0 && !entries.contains(journalId) ? journalId : nextLocalId--;
    Entry entry;
    entry.event = event;
    entry.order = nextOrder++;
    const auto gone = acknowledgedGone.find(sameEventKey(event));
    if (gone != acknowledgedGone.end()) {
        entry.acknowledged = true;
        entry.by = *gone;
        if (earlier)
            *earlier = *gone;
        goneOrder.removeOne(gone.key());
        acknowledgedGone.erase(gone);
    } else {
        ++waiting;
    }
    entries.insert(id, entry);
    return id;
}

QString AcknowledgementLedger::sameEventKey(const JournalRecord &event)
{
    return QStringList{event.controller, event.port, event.slave.toString(),
                       event.source.toString(), event.code.toString(), event.occurred, event.name}
        .join(QChar(0x1f));
}

void AcknowledgementLedger::remember(const Entry &entry)
{
    const QString key = sameEventKey(entry.event);
    if (!acknowledgedGone.contains(key))
        goneOrder.append(key);
    acknowledgedGone.insert(key, entry.by);
    while (goneOrder.size() > RememberedLimit)
        acknowledgedGone.remove(goneOrder.takeFirst());
}

void AcknowledgementLedger::remove(qint64 id)
{
    const auto found = entries.constFind(id);
    if (found == entries.constEnd())
        return;
    if (found->acknowledged)
        remember(*found);
    else
        --waiting;
    entries.erase(found);
}

void AcknowledgementLedger::clear()
{
    entries.clear();
    waiting = 0;
    acknowledgedGone.clear();
    goneOrder.clear();
}

bool AcknowledgementLedger::isAcknowledged(qint64 id) const
{
    const auto found = entries.constFind(id);
    return found != entries.constEnd() && found->acknowledged;
}

bool AcknowledgementLedger::acknowledge(qint64 id, const QString &guard, const QDateTime &when,
                                        JournalRecord *record)
{
    const auto found = entries.find(id);
    if (found == entries.end() || found->acknowledged)
        return false;
    found->acknowledged = true;
    found->by = {guard, when};
    --waiting;
    if (record)
        *record = acknowledgementOf(found->event, id, guard, when);
    return true;
}

QVector<JournalRecord> AcknowledgementLedger::acknowledgeAll(const QString &guard,
                                                             const QDateTime &when)
{
    QVector<QPair<qint64, qint64>> waitingIds; // order, id
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (!it->acknowledged)
            waitingIds.append({it->order, it.key()});
    }
    std::sort(waitingIds.begin(), waitingIds.end());
    QVector<JournalRecord> records;
    records.reserve(waitingIds.size());
    for (const auto &waitingId : qAsConst(waitingIds)) {
        JournalRecord record;
        acknowledge(waitingId.second, guard, when, &record);
        records.append(record);
    }
    return records;
}

// The row repeats what the event was, so it reads on its own in any export.
JournalRecord AcknowledgementLedger::acknowledgementOf(const JournalRecord &event, qint64 id,
                                                       const QString &guard,
                                                       const QDateTime &when)
{
    JournalRecord record = event;
    record.id = 0;
    record.kind = JournalRecord::Acknowledged;
    record.received = JournalRecord::timeText(when);
    record.guard = guard;
    record.ref = id > 0 ? QVariant(id) : QVariant(QVariant::LongLong);
    return record;
}
