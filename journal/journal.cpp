#include "journal.h"

#include "databasefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QStandardPaths>
#include <QTimer>
#include <QVariant>

namespace {

// SQLite's primary result codes that matter here.
const QString Busy = QStringLiteral("5");
const QString Locked = QStringLiteral("6");
const QString ReadOnly = QStringLiteral("8");
const QString IoError = QStringLiteral("10");
const QString Corrupt = QStringLiteral("11");
const QString Full = QStringLiteral("13");
const QString CantOpen = QStringLiteral("14");
const QString NotADatabase = QStringLiteral("26");
// Not SQLite's: a connection goes on writing into a file removed under it.
const QString FileGone = QStringLiteral("gone");

// One step of the start-up trim: short enough to keep the event loop turning.
const int TrimChunk = 2000;
// A write waits this long for another program's lock: short, the window must not stall.
const int BusyTimeoutMs = 200;

QString uniqueConnectionName()
{
    static int counter = 0;
    return QStringLiteral("tarvik-journal-%1").arg(++counter);
}

const QString Continues = QStringLiteral(" Опрос контроллера продолжается без журнала.");

} // namespace

Journal::Journal(QObject *parent)
    : QObject(parent), connection(uniqueConnectionName()), retryTimer(new QTimer(this)),
      trimTimer(new QTimer(this))
{
    retryTimer->setInterval(RetryIntervalMs);
    connect(retryTimer, &QTimer::timeout, this, &Journal::writeHeld);
    connect(trimTimer, &QTimer::timeout, this, &Journal::trimStep);
}

Journal::~Journal()
{
    // A last chance for held rows; nobody is left to hear about it.
    blockSignals(true);
    writeHeld();
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
    opened = false;
    retryTimer->stop();
    held.clear();
    dropped = 0;
    stopped = false;
    stopReason.clear();
    filePath = path;
    if (!connectFile())
        return false;
    opened = true;
    nextId = largestId() + 1;
    startTrim();
    return true;
}

bool Journal::connectFile()
{
    problemText.clear();
    asidePath.clear();
    const QString folder = QFileInfo(filePath).absolutePath();
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
                             "переименовать.").arg(QDir::toNativeSeparators(filePath)) + Continues;
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
    connected = true;
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
    insertQuery = QSqlQuery(db);
    // The journal numbers its rows itself: held rows get their ids before they reach the file.
    if (!insertQuery.prepare(QStringLiteral(
            "INSERT INTO journal(id, received, kind, list, source, code, name, occurred, port, "
            "slave, controller, guard, ref) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
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
        // WAL with FULL syncs at every commit: a committed row survives a power cut.
        QStringLiteral("PRAGMA synchronous=FULL"),
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
    if (!opened || !connected)
        return QString();
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    query.addBindValue(key);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

bool Journal::setMetaValue(const QString &key, const QString &value)
{
    if (!opened || !connected)
        return false;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)"));
    query.addBindValue(key);
    query.addBindValue(value);
    return query.exec();
}

qint64 Journal::largestId() const
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    return query.exec(QStringLiteral("SELECT MAX(id) FROM journal")) && query.next()
        ? query.value(0).toLongLong() : 0;
}

bool Journal::isTrimming() const
{
    return trimExcess != 0;
}

// Counted first, then removed a chunk per turn of the event loop, so that
// polling starts at once however far the file is past its limit.
void Journal::startTrim()
{
    trimExcess = -1;
    trimTimer->start(0);
}

// Ids only grow, so the oldest rows are those with the smallest ids.
void Journal::trimStep()
{
    if (stopped || !connected) {
        trimTimer->stop(); // goes on when writing works again
        return;
    }
    if (trimExcess < 0) {
        QSqlQuery query(QSqlDatabase::database(connection, false));
        const bool counted = query.exec(QStringLiteral("SELECT COUNT(*) FROM journal")) && query.next();
        trimExcess = counted ? qMax<qint64>(0, query.value(0).toLongLong() - rowLimit) : 0;
    } else {
        const qint64 chunk = qMin<qint64>(trimExcess, TrimChunk);
        // A failure leaves the rest for the next start; the journal only grows a little.
        trimExcess = exec(QStringLiteral("DELETE FROM journal WHERE id IN "
                                         "(SELECT id FROM journal ORDER BY id LIMIT %1)").arg(chunk))
            ? trimExcess - chunk : 0;
    }
    if (trimExcess == 0)
        trimTimer->stop();
}

bool Journal::exec(const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    return query.exec(statement);
}

bool Journal::setCorruptFileAside()
{
    const QString aside = DatabaseFile::setAside(filePath, QStringLiteral("corrupt"));
    if (aside.isEmpty())
        return false;
    asidePath = aside;
    return true;
}

void Journal::closeDatabase()
{
    connected = false;
    trimTimer->stop();
    insertQuery = QSqlQuery();
    if (QSqlDatabase::contains(connection)) {
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
    }
}

qint64 Journal::append(const JournalRecord &record)
{
    return appendAll({record}).value(0);
}

QVector<qint64> Journal::appendAll(const QVector<JournalRecord> &records)
{
    QVector<qint64> ids;
    if (!opened || records.isEmpty())
        return QVector<qint64>(records.size(), 0);
    if (stopped) {
        hold(records, &ids);
        if (lastTry.hasExpired(AppendRetryGapMs))
            writeHeld();
        return ids;
    }
    // Another program may have added rows to the file meanwhile.
    nextId = qMax(nextId, largestId() + 1);
    QVector<JournalRecord> rows = records;
    for (JournalRecord &row : rows) {
        row.id = nextId + ids.size();
        ids.append(row.id);
    }
    if (write(rows)) {
        nextId += rows.size();
        for (qint64 id : qAsConst(ids))
            emit appended(id);
        return ids;
    }
    ids.clear();
    stopWriting(); // its own row comes before the rows it is about
    hold(records, &ids);
    return ids;
}

bool Journal::insert(const JournalRecord &record)
{
    insertQuery.addBindValue(record.id);
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
    const bool done = insertQuery.exec();
    if (done)
        insertQuery.finish();
    return done;
}

// A file spoilt while in use is set aside like one found spoilt at start.
bool Journal::write(const QVector<JournalRecord> &rows)
{
    if (writeOnce(rows))
        return true;
    if (lastErrorCode != Corrupt && lastErrorCode != NotADatabase)
        return false;
    reconnect();
    return writeOnce(rows);
}

// All the rows or none: a batch is one transaction.
bool Journal::writeOnce(const QVector<JournalRecord> &rows)
{
    if (!connected) {
        lastErrorCode = CantOpen;
        stopReason = tr("файл «%1» не открывается").arg(QDir::toNativeSeparators(filePath));
        return false;
    }
    if (!QFileInfo::exists(filePath))
        return failWithFileGone();
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    const bool batch = rows.size() > 1;
    if (batch && !db.transaction())
        return failWith(db.lastError());
    for (const JournalRecord &row : rows) {
        if (!insert(row)) {
            const QSqlError error = insertQuery.lastError();
            insertQuery.finish();
            if (batch)
                db.rollback();
            return failWith(error);
        }
    }
    if (batch && !db.commit()) {
        const QSqlError error = db.lastError();
        db.rollback();
        return failWith(error);
    }
    // What went into a removed file is gone with it: those rows are still to be written.
    return QFileInfo::exists(filePath) || failWithFileGone();
}

bool Journal::failWith(const QSqlError &error)
{
    lastErrorCode = error.nativeErrorCode();
    stopReason = reasonOf(error);
    return false;
}

bool Journal::failWithFileGone()
{
    lastErrorCode = FileGone;
    stopReason = tr("файл «%1» удалён").arg(QDir::toNativeSeparators(filePath));
    return false;
}

// The failure's own row is held first, stamped with the moment it happened.
void Journal::stopWriting()
{
    stopped = true;
    lastTry.start();
    hold({JournalRecord::note(JournalRecord::JournalFailure, QString(), stopReason)}, nullptr);
    retryTimer->start();
    emit writingStopped(stopReason);
}

void Journal::hold(const QVector<JournalRecord> &records, QVector<qint64> *ids)
{
    for (const JournalRecord &record : records) {
        qint64 id = 0;
        if (held.size() < heldLimit) {
            held.append(record);
            held.last().id = id = nextId++;
        } else {
            ++dropped;
        }
        if (ids)
            ids->append(id);
    }
}

void Journal::writeHeld()
{
    if (!stopped || !opened)
        return;
    // A lock or a full disk passes on the same connection; after anything
    // else the file is opened again (made again when it was removed).
    if (!connected || (lastErrorCode != Full && lastErrorCode != Busy && lastErrorCode != Locked))
        reconnect();
    const qint64 largest = connected ? largestId() : 0;
    if (!held.isEmpty() && largest >= held.first().id)
        renumberHeldFrom(largest + 1);
    QVector<JournalRecord> rows = held;
    rows.append(JournalRecord::note(JournalRecord::JournalRestored, QString(),
                                    dropped ? tr("Не записано строк: %1").arg(dropped) : QString()));
    rows.last().id = nextId;
    const QString reasonBefore = stopReason;
    lastTry.start();
    if (!write(rows)) {
        if (stopReason != reasonBefore)
            emit writingStopped(stopReason);
        return;
    }
    ++nextId;
    held.clear();
    dropped = 0;
    stopped = false;
    stopReason.clear();
    retryTimer->stop();
    for (const JournalRecord &row : qAsConst(rows))
        emit appended(row.id);
    emit writingResumed();
    if (trimExcess != 0)
        trimTimer->start(0);
}

// Only when another program took the held rows' ids: they and the
// acknowledgements among them that refer to them move up together.
void Journal::renumberHeldFrom(qint64 firstId)
{
    const qint64 oldFirst = held.first().id;
    const qint64 shift = firstId - oldFirst;
    for (JournalRecord &row : held) {
        row.id += shift;
        if (!row.ref.isNull() && row.ref.toLongLong() >= oldFirst)
            row.ref = row.ref.toLongLong() + shift;
    }
    nextId = held.last().id + 1;
}

void Journal::reconnect()
{
    closeDatabase();
    if (!connectFile())
        return;
    trimExcess = 0; // perhaps another file now; the trim waits for the next start
    if (!problemText.isEmpty())
        emit failed(problemText); // set aside and started again
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

QString Journal::reasonOf(const QSqlError &error) const
{
    const QString code = error.nativeErrorCode();
    if (code == Full)
        return tr("нет места на диске");
    if (code == Busy || code == Locked)
        return tr("файл занят другой программой");
    if (code == ReadOnly)
        return tr("файл доступен только для чтения");
    if (code == IoError)
        return tr("ошибка ввода-вывода (%1)").arg(describe(error));
    if (code == CantOpen)
        return tr("файл «%1» не открывается").arg(QDir::toNativeSeparators(filePath));
    return describe(error);
}

QString Journal::describe(const QSqlError &error) const
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}
