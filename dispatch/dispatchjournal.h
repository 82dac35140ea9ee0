#ifndef DISPATCHJOURNAL_H
#define DISPATCHJOURNAL_H

#include "journalrecord.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

#include <utility>
#include <vector>

class QTimer;

// The dispatcher's own journal: every row received from every site, kept
// once per site and id however often it arrives, and the dispatcher's own
// acknowledgements. One SQLite file (WAL, synchronous FULL). Received rows are
// written in short batches: the broker has them acknowledged already, and a
// row lost to a kill before its batch is asked for again as a gap.
class DispatchJournal : public QObject
{
    Q_OBJECT

public:
    static constexpr int FlushDelayMs = 50;
    static constexpr int FlushRows = 1000;

    struct Row
    {
        QString site;
        QString controller; // the topic level the row came on
        JournalRecord record; // record.id is the site's id
    };

    // What the journal tells of one site when the dispatcher starts again.
    struct SiteProgress
    {
        qint64 next = 0;  // one past the newest id held, 0 for none
        qint64 first = 0; // the first id taken live
        std::vector<std::pair<qint64, qint64>> holes; // ids missing between first and newest
        std::vector<std::pair<qint64, qint64>> lost;  // of those, the ones the site no longer has
    };

    explicit DispatchJournal(QObject *parent = nullptr);
    ~DispatchJournal() override;

    // TARVIK_DISPATCH_JOURNAL, or Tarvik/dispatch.sqlite in the user's data folder.
    static QString defaultPath();

    bool open(const QString &path);
    QString problem() const { return problemText; }
    QString connectionName() const { return connection; }

    void add(const Row &row);
    bool contains(const QString &site, qint64 id) const;
    void flush();
    // Journaled at once, with the time it happened.
    bool addAcknowledgement(const QString &site, const QString &controller, const QString &name,
                            const QString &occurred, const QString &guard);

    QStringList sites() const;
    SiteProgress progress(const QString &site) const;
    void setFirst(const QString &site, qint64 first);
    void addLost(const QString &site, qint64 from, qint64 to);
    qint64 rowCount(const QString &site = QString()) const;

signals:
    void written();
    void failed(const QString &text);

private:
    bool exec(const QString &statement);
    void fail(const QString &text);

    QString connection;
    QString problemText;
    QVector<Row> pending;
    QSet<QPair<QString, qint64>> pendingIds;
    QTimer *flushTimer;
    bool opened = false;
};

#endif // DISPATCHJOURNAL_H
