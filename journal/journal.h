#ifndef JOURNAL_H
#define JOURNAL_H

#include "journalrecord.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSqlQuery>
#include <QString>
#include <QVector>

class QSqlError;
class QTimer;

// The console's persistent journal: one SQLite file, one row per thing the
// operator saw. Every append is committed and synced before it returns (WAL,
// synchronous FULL), so a row shown after append() survives a power cut.
// A journal that cannot be opened never stops the console: it reports one
// Russian text through failed() and further appends do nothing.
//
// A write that fails once the journal is open (disk full, file removed, I/O
// error, another program's lock) stops nothing either: writingStopped() tells
// why, the rows are held in memory with their final ids and written, in
// order, as soon as the file takes them again (retried on a timer and on
// every append); only then are they announced through appended(). The file
// itself records both moments (journal-failure, journal-restored rows).
class Journal : public QObject
{
    Q_OBJECT

public:
    static constexpr int SchemaVersion = 2;
    static constexpr qint64 DefaultRowLimit = 1000000;
    // About 46 MB of rows (bench_journal): days of a busy site. Past it new
    // rows are counted, not kept, so the ids handed out stay consecutive; the
    // count goes into the journal-restored row.
    static constexpr int MaxHeldRows = 100000;
    static constexpr int RetryIntervalMs = 2000;
    // An append retries too, but not sooner than this after the last try:
    // each try of a large backlog, or against a lock, takes its time.
    static constexpr int AppendRetryGapMs = 250;

    explicit Journal(QObject *parent = nullptr);
    ~Journal() override;

    // TARVIK_JOURNAL, or Tarvik/journal.sqlite in the user's data folder.
    static QString defaultPath();

    // Rows beyond the limit when the journal is opened are removed, oldest
    // first, in short steps after open() returns (isTrimming() meanwhile).
    void setRowLimit(qint64 limit) { rowLimit = limit; }
    bool isTrimming() const;
    void setHeldRowLimit(int limit) { heldLimit = limit; }

    // False when the journal cannot be used; problem() then says why. A
    // corrupt file is set aside (setAsidePath()) and a fresh one started:
    // open() succeeds and problem() tells the user.
    bool open(const QString &path);
    bool isOpen() const { return opened; }
    QString path() const { return filePath; }
    QString connectionName() const { return connection; }
    QString problem() const { return problemText; }
    QString setAsidePath() const { return asidePath; }

    // Stores the record and returns its id, or 0 when the journal is not in
    // use or the row was dropped (held rows past MaxHeldRows).
    qint64 append(const JournalRecord &record);
    // A burst in one transaction: one sync for all. Ids in the records' order.
    QVector<qint64> appendAll(const QVector<JournalRecord> &records);

    // While writes fail: why (Russian, for the user), and how many rows wait.
    bool isWritingStopped() const { return stopped; }
    QString writingProblem() const { return stopReason; }
    int heldCount() const { return held.size(); }
    qint64 droppedCount() const { return dropped; }

    // Small values kept in the journal file beside its rows (such as how far
    // the rows have been handed on); empty when absent or not in use.
    QString metaValue(const QString &key) const;
    bool setMetaValue(const QString &key, const QString &value);

signals:
    void appended(qint64 id);
    // When the journal had to start a new file in place of one spoilt while
    // in use; the text is for the user.
    void failed(const QString &text);
    // Rows can no longer be written (again emitted when the reason changes),
    // and writing works again with every held row in the file.
    void writingStopped(const QString &reason);
    void writingResumed();

private:
    enum class Outcome { Done, Corrupt, Failed };

    bool connectFile();
    Outcome openDatabase();
    Outcome prepareSchema();
    Outcome upgradeSchema(int fromVersion);
    qint64 largestId() const;
    void startTrim();
    void trimStep();
    bool exec(const QString &statement);
    bool setCorruptFileAside();
    void closeDatabase();
    bool insert(const JournalRecord &record);
    bool write(const QVector<JournalRecord> &rows);
    bool writeOnce(const QVector<JournalRecord> &rows);
    bool failWith(const QSqlError &error);
    bool failWithFileGone();
    void reconnect();
    void hold(const QVector<JournalRecord> &records, QVector<qint64> *ids);
    void stopWriting();
    void writeHeld();
    void renumberHeldFrom(qint64 firstId);
    Outcome outcomeOf(const QSqlError &error);
    QString describe(const QSqlError &error) const;
    QString reasonOf(const QSqlError &error) const;

    QString connection;
    QString filePath;
    QString problemText;
    QString asidePath;
    QSqlQuery insertQuery;
    qint64 rowLimit = DefaultRowLimit;
    bool opened = false;    // in use: open() succeeded
    bool connected = false; // the file is open on the connection now

    qint64 nextId = 1;
    QVector<JournalRecord> held; // numbered, oldest first
    qint64 dropped = 0;
    int heldLimit = MaxHeldRows;
    QElapsedTimer lastTry;
    bool stopped = false;
    QString stopReason;
    QString lastErrorCode; // of the last failed write, SQLite's primary code
    QTimer *retryTimer;

    QTimer *trimTimer;
    qint64 trimExcess = 0;
};

#endif // JOURNAL_H
