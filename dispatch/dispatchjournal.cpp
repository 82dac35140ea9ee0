#include "dispatchjournal.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTimer>
#include <QVariant>

namespace {

QString uniqueConnectionName()
{
    static int counter = 0;
    return QStringLiteral("tarvik-dispatch-%1").arg(++counter);
}

const char *const Schema[] = {
    "CREATE TABLE IF NOT EXISTS journal ("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT, site TEXT NOT NULL, id INTEGER,"
    " topic TEXT NOT NULL DEFAULT '', received TEXT, kind TEXT NOT NULL, list TEXT,"
    " source INTEGER, code INTEGER, name TEXT, occurred TEXT, port TEXT, slave INTEGER,"
    " controller TEXT, guard TEXT, ref INTEGER, arrived TEXT NOT NULL,"
    " UNIQUE (site, id))",
    "CREATE INDEX IF NOT EXISTS journal_arrived ON journal (arrived)",
    "CREATE TABLE IF NOT EXISTS sites (site TEXT PRIMARY KEY, first INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS lost (site TEXT NOT NULL, fromId INTEGER NOT NULL, toId INTEGER NOT NULL)",
};

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

} // namespace

DispatchJournal::DispatchJournal(QObject *parent)
    : QObject(parent), connection(uniqueConnectionName()), flushTimer(new QTimer(this))
{
    flushTimer->setSingleShot(true);
    flushTimer->setInterval(FlushDelayMs);
    connect(flushTimer, &QTimer::timeout, this, &DispatchJournal::flush);
}

DispatchJournal::~DispatchJournal()
{
    flush();
    if (QSqlDatabase::contains(connection)) {
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
    }
}

QString DispatchJournal::defaultPath()
{
    const QString chosen = qEnvironmentVariable("TARVIK_DISPATCH_JOURNAL");
    if (!chosen.isEmpty())
        return chosen;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Tarvik/dispatch.sqlite");
}

bool DispatchJournal::open(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        problemText = tr("Журнал диспетчерской не ведётся: не удалось создать папку «%1».")
                          .arg(QDir::toNativeSeparators(folder));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    opened = db.open() && exec(QStringLiteral("PRAGMA journal_mode=WAL"))
        && exec(QStringLiteral("PRAGMA synchronous=FULL"));
    for (const char *statement : Schema)
        opened = opened && exec(QString::fromLatin1(statement));
    if (!opened && problemText.isEmpty())
        problemText = tr("Журнал диспетчерской не ведётся: не удалось открыть файл «%1» (%2).")
                          .arg(QDir::toNativeSeparators(path), db.lastError().text());
    return opened;
}

bool DispatchJournal::exec(const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (query.exec(statement))
        return true;
    problemText = tr("Ошибка журнала диспетчерской: %1").arg(query.lastError().text());
    return false;
}

void DispatchJournal::fail(const QString &text)
{
    problemText = text;
    emit failed(text);
}

void DispatchJournal::add(const Row &row)
{
    if (!opened)
        return;
    pending.append(row);
    pendingIds.insert({ row.site, row.record.id });
    if (pending.size() >= FlushRows)
        flush();
    else if (!flushTimer->isActive())
        flushTimer->start();
}

bool DispatchJournal::contains(const QString &site, qint64 id) const
{
    if (pendingIds.contains({ site, id }))
        return true;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("SELECT 1 FROM journal WHERE site = ? AND id = ?"));
    query.addBindValue(site);
    query.addBindValue(id);
    return query.exec() && query.next();
}

void DispatchJournal::flush()
{
    flushTimer->stop();
    if (pending.isEmpty() || !opened)
        return;
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT OR IGNORE INTO journal (site, id, topic, received, kind, list, source, code, name,"
        " occurred, port, slave, controller, guard, ref, arrived)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QString arrived = now();
    bool ok = true;
    for (const Row &row : qAsConst(pending)) {
        const JournalRecord &r = row.record;
        for (const QVariant &value :
             { QVariant(row.site), QVariant(r.id), QVariant(row.controller), QVariant(r.received),
               QVariant(r.kind), QVariant(r.list), r.source, r.code, QVariant(r.name), QVariant(r.occurred),
               QVariant(r.port), r.slave, QVariant(r.controller), QVariant(r.guard), r.ref, QVariant(arrived) })
            insert.addBindValue(value);
        ok = insert.exec() && ok;
    }
    ok = db.commit() && ok;
    pending.clear();
    pendingIds.clear();
    if (!ok)
        fail(tr("Не удалось записать в журнал диспетчерской: %1").arg(db.lastError().text()));
    emit written();
}

bool DispatchJournal::addAcknowledgement(const QString &site, const QString &controller, const QString &name,
                                         const QString &occurred, const QString &guard)
{
    if (!opened)
        return false;
    QSqlQuery insert(QSqlDatabase::database(connection, false));
    insert.prepare(QStringLiteral("INSERT INTO journal (site, topic, received, kind, name, occurred, controller,"
                                  " guard, arrived) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QString at = now();
    for (const QString &value : { site, controller, at, JournalRecord::Acknowledged, name, occurred, controller,
                                  guard, at })
        insert.addBindValue(value.isNull() ? QStringLiteral("") : value); // a null string binds as NULL
    if (!insert.exec()) {
        fail(tr("Не удалось записать квитирование в журнал диспетчерской: %1").arg(insert.lastError().text()));
        return false;
    }
    emit written();
    return true;
}

QStringList DispatchJournal::sites() const
{
    QStringList names;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (query.exec(QStringLiteral("SELECT site FROM sites ORDER BY site"))) {
        while (query.next())
            names << query.value(0).toString();
    }
    return names;
}

DispatchJournal::SiteProgress DispatchJournal::progress(const QString &site) const
{
    SiteProgress p;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("SELECT first, (SELECT MAX(id) FROM journal WHERE site = ?) FROM sites WHERE site = ?"));
    query.addBindValue(site);
    query.addBindValue(site);
    if (!query.exec() || !query.next())
        return p;
    p.first = query.value(0).toLongLong();
    const qint64 newest = query.value(1).toLongLong();
    // Killed before its first rows were written: they are expected again from the first.
    p.next = newest > 0 ? newest + 1 : p.first;
    query.prepare(QStringLiteral(
        "SELECT a.id + 1, (SELECT MIN(b.id) FROM journal b WHERE b.site = a.site AND b.id > a.id) - 1"
        " FROM journal a WHERE a.site = ? AND a.id >= ? AND a.id < ?"
        " AND NOT EXISTS (SELECT 1 FROM journal c WHERE c.site = a.site AND c.id = a.id + 1)"));
    query.addBindValue(site);
    query.addBindValue(p.first);
    query.addBindValue(newest);
    if (query.exec()) {
        while (query.next())
            p.holes.emplace_back(query.value(0).toLongLong(), query.value(1).toLongLong());
    }
    query.prepare(QStringLiteral("SELECT fromId, toId FROM lost WHERE site = ? ORDER BY fromId"));
    query.addBindValue(site);
    if (query.exec()) {
        while (query.next())
            p.lost.emplace_back(query.value(0).toLongLong(), query.value(1).toLongLong());
    }
    return p;
}

void DispatchJournal::setFirst(const QString &site, qint64 first)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO sites (site, first) VALUES (?, ?)"));
    query.addBindValue(site);
    query.addBindValue(first);
    query.exec();
}

void DispatchJournal::addLost(const QString &site, qint64 from, qint64 to)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("INSERT INTO lost (site, fromId, toId) VALUES (?, ?, ?)"));
    query.addBindValue(site);
    query.addBindValue(from);
    query.addBindValue(to);
    query.exec();
}

qint64 DispatchJournal::rowCount(const QString &site) const
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(site.isEmpty() ? QStringLiteral("SELECT COUNT(*) FROM journal WHERE id IS NOT NULL")
                                 : QStringLiteral("SELECT COUNT(*) FROM journal WHERE site = ? AND id IS NOT NULL"));
    if (!site.isEmpty())
        query.addBindValue(site);
    return query.exec() && query.next() ? query.value(0).toLongLong() : 0;
}
