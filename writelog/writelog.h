#ifndef WRITELOG_H
#define WRITELOG_H

#include "writerecord.h"

#include <QCoreApplication>
#include <QString>
#include <QVector>

class QSqlError;

// The record of writes: one SQLite file, one row per write the editor
// started. A row is committed before the first request of its write goes
// out and completed after the last, with WAL and synchronous FULL, so a
// power cut or a killed editor leaves the row, marked unfinished.
//
// Not thread-safe: the window's thread only (tarvik-vlr opens it read-only).
class WriteLog
{
    Q_DECLARE_TR_FUNCTIONS(WriteLog)

public:
    static constexpr int SchemaVersion = 1;
    static constexpr int ApplicationId = 0x54575252; // tells our file from other SQLite files

    WriteLog();
    ~WriteLog();
    WriteLog(const WriteLog &) = delete;
    WriteLog &operator=(const WriteLog &) = delete;

    // TARVIK_WRITE_LOG, or Tarvik/writes.sqlite in the user's data folder.
    static QString defaultPath();

    // False when the file cannot be used; problem() says why. A file that is
    // not a record file (or is damaged) is set aside under a new name and a
    // fresh one started: open() succeeds and problem() tells the user.
    bool open(const QString &path);
    // For reading only: never creates, changes or sets aside a file.
    bool openReadOnly(const QString &path);
    bool isOpen() const { return opened; }
    QString path() const { return filePath; }
    QString problem() const { return problemText; }
    QString setAsidePath() const { return asidePath; }

    // Stores a new row (its id set) and commits it; false with problem() set.
    bool begin(WriteRecord &record);
    bool finish(qint64 id, WriteRecord::Outcome outcome, const QString &outcomeText,
                const QDateTime &ended);

    // Newest first; without the two configurations unless asked for.
    QVector<WriteRecord> records(bool withConfigurations = false) const;
    bool record(qint64 id, WriteRecord *out) const;
    // The newest write over `link` that reached the controller, before the
    // row `beforeId` (any row when 0).
    bool lastReached(const QString &link, qint64 beforeId, WriteRecord *out) const;

private:
    enum class Outcome { Done, NotOurs, Failed };

    bool openFile(bool readOnly);
    Outcome openDatabase(bool readOnly);
    Outcome prepareSchema(bool readOnly);
    bool setFileAside();
    void closeDatabase();
    QVector<WriteRecord> select(const QString &where, const QVariantList &values,
                                bool withConfigurations, int limit) const;
    Outcome outcomeOf(const QSqlError &error);

    QString connection;
    QString filePath;
    QString problemText;
    QString asidePath;
    bool opened = false;
};

#endif // WRITELOG_H
