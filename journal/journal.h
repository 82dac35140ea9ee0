#ifndef JOURNAL_H
#define JOURNAL_H

#include "journalrecord.h"

#include <QObject>
#include <QSqlQuery>
#include <QString>

class QSqlError;

// The console's persistent journal: one SQLite file, one row per thing the
// operator saw. Every append is committed before it returns (WAL, synchronous
// NORMAL), so a row shown after append() survives the process being killed.
// A journal that cannot be used never stops the console: it reports one
// Russian text through failed() and further appends do nothing.
class Journal : public QObject
{
    Q_OBJECT

public:
    static constexpr int SchemaVersion = 2;
    static constexpr qint64 DefaultRowLimit = 1000000;

    explicit Journal(QObject *parent = nullptr);
    ~Journal() override;

    // TARVIK_JOURNAL, or Tarvik/journal.sqlite in the user's data folder.
    static QString defaultPath();

    // Rows beyond the limit are removed, oldest first, by open() only.
    void setRowLimit(qint64 limit) { rowLimit = limit; }

    // False when the journal cannot be used; problem() then says why. A
    // corrupt file is set aside (setAsidePath()) and a fresh one started:
    // open() succeeds and problem() tells the user.
    bool open(const QString &path);
    bool isOpen() const { return opened; }
    QString path() const { return filePath; }
    QString connectionName() const { return connection; }
    QString problem() const { return problemText; }
    QString setAsidePath() const { return asidePath; }

    // Stores the record and returns its id, or 0 when the journal is not in use.
    qint64 append(const JournalRecord &record);

    // Small values kept in the journal file beside its rows (such as how far
    // the rows have been handed on); empty when absent or not in use.
    QString metaValue(const QString &key) const;
    bool setMetaValue(const QString &key, const QString &value);

signals:
    void appended(qint64 id);
    // When the journal stops working, or had to start a new file in place of
    // a corrupt one; the text is for the user.
    void failed(const QString &text);

private:
    enum class Outcome { Done, Corrupt, Failed };

    Outcome openDatabase();
    Outcome prepareSchema();
    Outcome upgradeSchema(int fromVersion);
    bool trimToLimit();
    bool exec(const QString &statement);
    bool setCorruptFileAside();
    void closeDatabase();
    bool insert(const JournalRecord &record);
    void fail(const QString &text);
    Outcome outcomeOf(const QSqlError &error);
    QString describe(const QSqlError &error) const;

    QString connection;
    QString filePath;
    QString problemText;
    QString asidePath;
    QSqlQuery insertQuery;
    qint64 rowLimit = DefaultRowLimit;
    bool opened = false;
};

#endif // JOURNAL_H
