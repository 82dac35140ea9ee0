#include "acknowledgementledger.h"

#include <algorithm>

qint64 AcknowledgementLedger::add(qint64 journalId, const JournalRecord &event)
{
    // A journal that failed returns 0; a row id is never reused, even when
    // the same event comes back after the list shrank.
    const qint64 id = journalId > 0 && !entries.contains(journalId) ? journalId : nextLocalId--;
    Entry entry;
    entry.event = event;
    entry.order = nextOrder++;
    entries.insert(id, entry);
    ++waiting;
    return id;
}

void AcknowledgementLedger::remove(qint64 id)
{
    const auto found = entries.constFind(id);
    if (found == entries.constEnd())
        return;
    if (!found->acknowledged)
        --waiting;
    entries.erase(found);
}

void AcknowledgementLedger::clear()
{
    entries.clear();
    waiting = 0;
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
