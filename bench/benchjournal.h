#ifndef BENCHJOURNAL_H
#define BENCHJOURNAL_H

// Journal rows for the benchmarks that need a big journal quickly.
#include "journal.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>

inline JournalRecord numberedEvent(int n)
{
    const AlarmType alarm{quint16(33 + n % 250), quint8(n % 40), 24, quint8(1 + n % 12),
                          quint8(1 + n % 28), quint8(n % 24), quint8(n % 60), quint8(n % 60)};
    JournalRecord record = JournalRecord::event(n % 2 ? JournalRecord::AllList : JournalRecord::CurrentList,
                                                alarm, QStringLiteral("Порог CH 1, Адрес %1").arg(1 + n % 250));
    record.port = QStringLiteral("COM3");
    record.slave = 1;
    return record;
}

// One transaction, as a tool would fill it, one second apart up to now.
inline bool fillJournal(const Journal &journal, int rows)
{
    QSqlDatabase db = QSqlDatabase::database(journal.connectionName());
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO journal(received, kind, list, source, code, name, "
                                  "occurred, port, slave) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime start = QDateTime::currentDateTime().addSecs(-rows);
    for (int n = 0; n < rows; ++n) {
        const JournalRecord r = numberedEvent(n);
        for (const QVariant &value : {QVariant(JournalRecord::timeText(start.addSecs(n))), QVariant(r.kind),
                                      QVariant(r.list), r.source, r.code, QVariant(r.name),
                                      QVariant(r.occurred), QVariant(r.port), r.slave})
            insert.addBindValue(value);
        if (!insert.exec())
            return false;
    }
    insert.finish();
    return db.commit();
}

#endif // BENCHJOURNAL_H
