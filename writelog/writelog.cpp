#include "writelog.h"

#include "databasefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

namespace {

// SQLite's primary result codes for a file that is not a usable database.
const QString Corrupt = QStringLiteral("11");
const QString NotADatabase = QStringLiteral("26");

// A write waits this long for another editor's lock.
const int BusyTimeoutMs = 2000;

const QString Columns = QStringLiteral(
    "id, started, ended, engineer, link, before_source, changes, outcome, outcome_text");

QString uniqueConnectionName()
{
    static int counter = 0;
    return QStringLiteral("tarvik-writelog-%1").arg(++counter);
}

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime timeFrom(const QVariant &value)
{
    QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return time.isValid() ? time.toLocalTime() : time;
}

} // namespace

WriteLog::WriteLog() : connection(uniqueConnectionName()) {}

WriteLog::~WriteLog()
{
    closeDatabase();
}

QString WriteLog::defaultPath()
{
    const QString chosen = qEnvironmentVariable("TARVIK_WRITE_LOG");
    if (!chosen.isEmpty())
        return chosen;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Tarvik/writes.sqlite");
}

bool WriteLog::open(const QString &path)
{
    filePath = path;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        closeDatabase();
        problemText = tr("Не удалось создать папку «%1».").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    return openFile(false);
}

bool WriteLog::openReadOnly(const QString &path)
{
    filePath = path;
    if (!QFileInfo(path).isFile()) {
        closeDatabase();
        problemText = tr("Файл «%1» не найден.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return openFile(true);
}

bool WriteLog::openFile(bool readOnly)
{
    closeDatabase();
    problemText.clear();
    asidePath.clear();
    Outcome outcome = openDatabase(readOnly);
    if (outcome == Outcome::NotOurs && readOnly) {
        problemText = tr("Файл «%1» не является файлом записей.").arg(QDir::toNativeSeparators(filePath));
        outcome = Outcome::Failed;
    }
    if (outcome == Outcome::NotOurs) {
        closeDatabase();
        if (!setFileAside()) {
            problemText = tr("Файл «%1» не является файлом записей или повреждён, и его не удалось "
                             "переименовать.").arg(QDir::toNativeSeparators(filePath));
            return false;
        }
        outcome = openDatabase(false);
        if (outcome == Outcome::Done)
            problemText = tr("Файл записей «%1» не читался как файл записей. Он сохранён как «%2», "
                             "начат новый файл.")
                              .arg(QDir::toNativeSeparators(filePath), QDir::toNativeSeparators(asidePath));
    }
    if (outcome != Outcome::Done) {
        closeDatabase();
        if (problemText.isEmpty())
            problemText = tr("Не удалось открыть файл записей «%1».").arg(QDir::toNativeSeparators(filePath));
        return false;
    }
    opened = true;
    return true;
}

WriteLog::Outcome WriteLog::openDatabase(bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(filePath);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    if (!db.open())
        return outcomeOf(db.lastError());
    return prepareSchema(readOnly);
}

// A file with our application id, or an empty database that becomes ours;
// anything else is someone else's file.
WriteLog::Outcome WriteLog::prepareSchema(bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA application_id")) || !query.next())
        return outcomeOf(query.lastError());
    const int application = query.value(0).toInt();
    query.finish();
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) || !query.next())
        return outcomeOf(query.lastError());
    const bool empty = query.value(0).toInt() == 0;
    query.finish();
    if (application != ApplicationId && !(empty && application == 0))
        return Outcome::NotOurs;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return outcomeOf(query.lastError());
    const int version = query.value(0).toInt();
    query.finish();
    if (version > SchemaVersion) {
        problemText = tr("Файл записей «%1» создан более новой версией программы.")
                          .arg(QDir::toNativeSeparators(filePath));
        return Outcome::Failed;
    }
    if (readOnly)
        return empty ? Outcome::NotOurs : Outcome::Done;
    const QStringList statements = {
        QStringLiteral("PRAGMA journal_mode=WAL"),
        // Every commit reaches the disk before the write's first request goes out.
        QStringLiteral("PRAGMA synchronous=FULL"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS writes(id INTEGER PRIMARY KEY, started TEXT, "
                       "ended TEXT, engineer TEXT, link TEXT, before_source INTEGER, before BLOB, "
                       "written BLOB, changes INTEGER, outcome INTEGER, outcome_text TEXT)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS writes_link ON writes(link)"),
        QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId),
        QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion),
    };
    for (const QString &statement : statements) {
        if (!query.exec(statement))
            return outcomeOf(query.lastError());
        query.finish();
    }
    return Outcome::Done;
}

bool WriteLog::setFileAside()
{
    const QString aside = DatabaseFile::setAside(filePath, QStringLiteral("not-records"));
    if (aside.isEmpty())
        return false;
    asidePath = aside;
    return true;
}

void WriteLog::closeDatabase()
{
    opened = false;
    if (QSqlDatabase::contains(connection)) {
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
    }
}

WriteLog::Outcome WriteLog::outcomeOf(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    if (code == Corrupt || code == NotADatabase)
        return Outcome::NotOurs;
    problemText = tr("Файл записей «%1»: %2.").arg(QDir::toNativeSeparators(filePath), error.text());
    return Outcome::Failed;
}

bool WriteLog::begin(WriteRecord &record)
{
    if (!opened)
        return false;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("INSERT INTO writes(started, ended, engineer, link, before_source, "
                                 "before, written, changes, outcome, outcome_text) "
                                 "VALUES(?, NULL, ?, ?, ?, ?, ?, ?, ?, ?)"));
    record.changes = record.before.isEmpty() ? -1 : WriteRecord::countChanges(record.before, record.written);
    for (const QVariant &value : QVariantList{timeText(record.started), record.engineer, record.link,
                                              int(record.beforeSource), record.before, record.written,
                                              record.changes, int(WriteRecord::Unfinished), QString()})
        query.addBindValue(value);
    if (!query.exec()) {
        outcomeOf(query.lastError());
        if (problemText.isEmpty())
            problemText = tr("Файл записей «%1» повреждён.").arg(QDir::toNativeSeparators(filePath));
        return false;
    }
    record.id = query.lastInsertId().toLongLong();
    record.outcome = WriteRecord::Unfinished;
    return true;
}

bool WriteLog::finish(qint64 id, WriteRecord::Outcome outcome, const QString &outcomeText,
                      const QDateTime &ended)
{
    if (!opened)
        return false;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.prepare(QStringLiteral("UPDATE writes SET ended = ?, outcome = ?, outcome_text = ? WHERE id = ?"));
    query.addBindValue(timeText(ended));
    query.addBindValue(int(outcome));
    query.addBindValue(outcomeText);
    query.addBindValue(id);
    if (query.exec() && query.numRowsAffected() == 1)
        return true;
    outcomeOf(query.lastError());
    return false;
}

QVector<WriteRecord> WriteLog::records(bool withConfigurations) const
{
    return select(QString(), {}, withConfigurations, -1);
}

bool WriteLog::record(qint64 id, WriteRecord *out) const
{
    const QVector<WriteRecord> found = select(QStringLiteral("WHERE id = ?"), {id}, true, 1);
    if (found.isEmpty())
        return false;
    *out = found.first();
    return true;
}

bool WriteLog::lastReached(const QString &link, qint64 beforeId, WriteRecord *out) const
{
    const QVector<WriteRecord> found =
        select(QStringLiteral("WHERE link = ? AND outcome IN (%1, %2, %3) AND (? = 0 OR id < ?)")
                   .arg(int(WriteRecord::Written))
                   .arg(int(WriteRecord::SimNotReady))
                   .arg(int(WriteRecord::SimFailed)),
               {link, beforeId, beforeId}, true, 1);
    if (found.isEmpty())
        return false;
    *out = found.first();
    return true;
}

QVector<WriteRecord> WriteLog::select(const QString &where, const QVariantList &values,
                                      bool withConfigurations, int limit) const
{
    QVector<WriteRecord> found;
    if (!opened)
        return found;
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1%2 FROM writes %3 ORDER BY id DESC LIMIT %4")
                      .arg(Columns, withConfigurations ? QStringLiteral(", before, written") : QString(),
                           where)
                      .arg(limit));
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec())
        return found;
    while (query.next()) {
        WriteRecord record;
        record.id = query.value(0).toLongLong();
        record.started = timeFrom(query.value(1));
        record.ended = timeFrom(query.value(2));
        record.engineer = query.value(3).toString();
        record.link = query.value(4).toString();
        record.beforeSource = WriteRecord::Before(qBound(0, query.value(5).toInt(), 3));
        record.changes = query.value(6).isNull() ? -1 : query.value(6).toInt();
        record.outcome = WriteRecord::Outcome(qBound(0, query.value(7).toInt(), 4));
        record.outcomeText = query.value(8).toString();
        if (withConfigurations) {
            record.before = query.value(9).toByteArray();
            record.written = query.value(10).toByteArray();
        }
        found.append(record);
    }
    return found;
}
