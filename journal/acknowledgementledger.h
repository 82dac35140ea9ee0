#ifndef ACKNOWLEDGEMENTLEDGER_H
#define ACKNOWLEDGEMENTLEDGER_H

#include "journalrecord.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

// Which of the events on show in "Текущие события" a guard has acknowledged.
// An event is known by its journal id, whatever table or controller shows it;
// without a journal it gets a local negative id, so acknowledging still works
// (only the journal row then has no reference).
class AcknowledgementLedger
{
public:
    // Returns the id the event is known by from now on. After a list shrinks
    // the controller sends the rest of it again as new events: one that was
    // acknowledged before (same controller, event and controller time) comes
    // back acknowledged, and *earlier tells by whom and when.
    struct Acknowledgement
    {
        QString guard;
        QDateTime when;
    };
    qint64 add(qint64 journalId, const JournalRecord &event, Acknowledgement *earlier = nullptr);
    // The event left the controller's list; acknowledged or not, it is
    // forgotten, but for an acknowledgement its event may bring back.
    void remove(qint64 id);
    void clear();

    bool contains(qint64 id) const { return entries.contains(id); }
    bool isAcknowledged(qint64 id) const;
    int size() const { return entries.size(); }
    QList<qint64> ids() const { return entries.keys(); }
    int unacknowledgedCount() const { return waiting; }
    bool allAcknowledged() const { return waiting == 0; }

    // The journal row that records the acknowledgement, or false when the id
    // is not on show or was acknowledged already.
    bool acknowledge(qint64 id, const QString &guard, const QDateTime &when,
                     JournalRecord *record);
    // Every waiting event, in the order they were shown.
    QVector<JournalRecord> acknowledgeAll(const QString &guard, const QDateTime &when);

    static JournalRecord acknowledgementOf(const JournalRecord &event, qint64 id,
                                           const QString &guard, const QDateTime &when);

private:
    static constexpr int RememberedLimit = 1000;

    struct Entry
    {
        JournalRecord event;
        qint64 order = 0;
        bool acknowledged = false;
        Acknowledgement by;
    };

    static QString sameEventKey(const JournalRecord &event);
    void remember(const Entry &entry);

    QHash<qint64, Entry> entries;
    qint64 nextOrder = 0;
    qint64 nextLocalId = -1;
    int waiting = 0;
    QHash<QString, Acknowledgement> acknowledgedGone; // by sameEventKey()
    QVector<QString> goneOrder;                        // oldest first, for the limit
};

#endif // ACKNOWLEDGEMENTLEDGER_H
