#include "journal.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QStandardPaths>
#include <QVariant>

namespace {

// SQLite's primary result codes that matter here.
const QString Busy = QStringLiteral("5");
const QString Locked = QStringLiteral("6");
const QString Corrupt = QStringLiteral("11");
const QString NotADatabase = QStringLiteral("26");

const int TrimBatch = 20000;
// A write waits this long for another program's lock: short, the window must not stall.
const int BusyTimeoutMs = 200;

QString uniqueConnectionName()
{
    static int counter = 0;
    return QStringLiteral("tarvik-journal-%1").arg(++counter);
}

const QString Continues = QStringLiteral(" Опрос контроллера продолжается без журнала.");

} // namespace

Journal::Journal(QObject *parent) : QObject(parent), connection(uniqueConnectionName()) {}

Journal::~Journal()
{
    closeDatabase();
}

QString Journal::defaultPath()
{
    const QString chosen = qEnvironmentVariable("TARVIK_JOURNAL");
    if (!chosen.isEmpty())
        return chosen;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Tarvik/journal.sqlite");
}

bool Journal::open(const QString &path)
{
    closeDatabase();
    filePath = path;
    problemText.clear();
    asidePath.clear();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        problemText = tr("Журнал событий не ведётся: не удалось создать папку «%1».")
                          .arg(QDir::toNativeSeparators(folder)) + Continues;
        return false;
    }
    Outcome outcome = openDatabase();
    if (outcome == Outcome::Corrupt) {
        closeDatabase();
        if (!setCorruptFileAside()) {
            problemText = tr("Журнал событий не ведётся: файл «%1» повреждён, и его не удалось "
                             "переименовать.").arg(QDir::toNativeSeparators(path)) + Continues;
            return false;
        }
        outcome = openDatabase();
        if (outcome == Outcome::Done)
            problemText = tr("Файл журнала событий был повреждён. Он сохранён как «%1», начат "
                             "новый журнал.").arg(QDir::toNativeSeparators(asidePath));
    }
    if (outcome != Outcome::Done) {
        closeDatabase();
        return false;
    }
    opened = true;
    return true;
}

Journal::Outcome Journal::openDatabase()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(filePath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open())
        return outcomeOf(db.lastError());
    const Outcome schema = prepareSchema();
    if (schema != Outcome::Done)
        return schema;
    if (!trimToLimit())
        return Outcome::Failed;
    insertQuery = QSqlQuery(db);
    if (!insertQuery.prepare(QStringLiteral(
            "INSERT INTO journal(received, kind, list, source, code, name, occurred, port, slave, "
            "controller, guard, ref) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
        return outcomeOf(insertQuery.lastError());
    return Outcome::Done;
}

Journal::Outcome Journal::prepareSchema()
{
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    QSqlQuery query(db);
    // The first read of the file tells a database from anything else.
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return outcomeOf(query.lastError());
    const int version = query.value(0).toInt();
    if (version > SchemaVersion) {
        problemText = tr("Журнал событий не ведётся: файл «%1» создан более новой версией "
                         "программы.").arg(QDir::toNativeSeparators(filePath)) + Continues;
        return Outcome::Failed;
    }
    query.finish();
    const QString statements[] = {
        QStringLiteral("PRAGMA journal_mode=WAL"),
        QStringLiteral("PRAGMA synchronous=NORMAL"),
    };
    for (const QString &statement : statements) {
        if (!query.exec(statement))
            return outcomeOf(query.lastError());
        query.finish();
    }
    return version == SchemaVersion ? Outcome::Done : upgradeSchema(version);
}

// One transaction: a file is either still at its old version with every row,
// or wholly at the new one. Older rows get empty new columns.
Journal::Outcome Journal::upgradeSchema(int fromVersion)
{
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    QStringList statements;
    if (fromVersion < 1) {
        statements << QStringLiteral("CREATE TABLE IF NOT EXISTS journal(id INTEGER PRIMARY KEY, "
                                     "received TEXT, kind TEXT, list TEXT, source INTEGER, "
                                     "code INTEGER, name TEXT, occurred TEXT, port TEXT, "
                                     "slave INTEGER, controller TEXT, guard TEXT, ref INTEGER)");
    } else {
        statements << QStringLiteral("ALTER TABLE journal ADD COLUMN controller TEXT")
                   << QStringLiteral("ALTER TABLE journal ADD COLUMN guard TEXT")
                   << QStringLiteral("ALTER TABLE journal ADD COLUMN ref INTEGER");
    }
    statements << QStringLiteral("CREATE INDEX IF NOT EXISTS journal_received ON journal(received)")
               << QStringLiteral("CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT)")
               << QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion);
    if (!db.transaction())
        return outcomeOf(db.lastError());
    QSqlQuery query(db);
    for (const QString &statement : qAsConst(statements)) {
        if (!query.exec(statement)) {
            const Outcome outcome = outcomeOf(query.lastError());
            query.finish();
            db.rollback();
            return outcome;
        }
        query.finish();
    }
    return db.commit() ? Outcome::Done : outcomeOf(db.lastError());
}

QString Journal::metaValue(const QString &key) const
{
    if (!opened)
        return QString();
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    query.addBindValue(key);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

bool Journal::setMetaValue(const QString &key, const QString &value)
{
    if (!opened)
        return false;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)"));
    query.addBindValue(key);
    query.addBindValue(value);
    return query.exec();
}

// Ids only grow, so the oldest rows are those with the smallest ids.
bool Journal::trimToLimit()
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM journal")) || !query.next()) {
        outcomeOf(query.lastError());
        return false;
    }
    qint64 excess = query.value(0).toLongLong() - rowLimit;
    query.finish();
    while (excess > 0) {
        const qint64 batch = qMin<qint64>(excess, TrimBatch);
        if (!exec(QStringLiteral("DELETE FROM journal WHERE id IN "
                                 "(SELECT id FROM journal ORDER BY id LIMIT %1)").arg(batch)))
            return false;
        excess -= batch;
    }
    return true;
}

bool Journal::exec(const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (query.exec(statement))
        return true;
    outcomeOf(query.lastError());
    return false;
}

// The time in the name keeps every set-aside file; the file's WAL goes with it.
bool Journal::setCorruptFileAside()
{
    const QFileInfo info(filePath);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside;
    for (int n = 0; aside.isEmpty() || QFileInfo::exists(aside); ++n) {
        aside = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
            + QStringLiteral(".corrupt-") + stamp + (n ? QStringLiteral("-%1").arg(n) : QString())
            + (info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix());
    }
    if (!QFile::rename(filePath, aside))
        return false;
    QFile::rename(filePath + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(filePath + QStringLiteral("-shm"));
    asidePath = aside;
    return true;
}

void Journal::closeDatabase()
{
    opened = false;
    insertQuery = QSqlQuery();
    if (QSqlDatabase::contains(connection)) {
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
    }
}

qint64 Journal::append(const JournalRecord &record)
{
    if (!opened)
        return 0;
    if (!insert(record)) {
        // A file spoilt while in use is set aside like one found spoilt at start.
        const bool corrupt = outcomeOf(insertQuery.lastError()) == Outcome::Corrupt;
        const QString reason = describe(insertQuery.lastError());
        if (!(corrupt && open(filePath) && insert(record))) {
            fail(tr("Журнал событий больше не ведётся: не удалось записать в файл «%1» (%2).")
                     .arg(QDir::toNativeSeparators(filePath), reason) + Continues);
            return 0;
        }
        emit failed(problemText); // set aside and started again
    }
    const qint64 id = insertQuery.lastInsertId().toLongLong();
    insertQuery.finish();
    emit appended(id);
    return id;
}

bool Journal::insert(const JournalRecord &record)
{
    insertQuery.addBindValue(record.received);
    insertQuery.addBindValue(record.kind);
    insertQuery.addBindValue(record.list);
    insertQuery.addBindValue(record.source);
    insertQuery.addBindValue(record.code);
    insertQuery.addBindValue(record.name);
    insertQuery.addBindValue(record.occurred);
    insertQuery.addBindValue(record.port);
    insertQuery.addBindValue(record.slave);
    insertQuery.addBindValue(record.controller);
    insertQuery.addBindValue(record.guard);
    insertQuery.addBindValue(record.ref);
    return insertQuery.exec();
}

void Journal::fail(const QString &text)
{
    closeDatabase();
    problemText = text;
    emit failed(text);
}

Journal::Outcome Journal::outcomeOf(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    if (code == Corrupt || code == NotADatabase)
        return Outcome::Corrupt;
    if (problemText.isEmpty()) {
        const QString file = QDir::toNativeSeparators(filePath);
        problemText = (code == Busy || code == Locked)
            ? tr("Журнал событий не ведётся: файл «%1» занят другой программой.").arg(file)
            : tr("Журнал событий не ведётся: файл «%1» недоступен (%2).").arg(file, describe(error));
        problemText += Continues;
    }
    return Outcome::Failed;
}

QString Journal::describe(const QSqlError &error) const
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}
