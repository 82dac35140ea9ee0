// The journal's storage alone, on this machine's disk: the cost of one event
// and of a 1000-event burst with synchronous FULL and NORMAL (one append per
// event, and one transaction per burst), then start-up over a full journal
// (the row limit plus a burst): how long open() keeps the caller waiting and
// how long the trim of the excess takes in all.
// Run: bench_journal [rows]
#include "benchjournal.h"
#include "benchtiming.h"
#include "journal.h"
#include "journalquery.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace {

bool setSynchronous(const Journal &journal, const QString &mode)
{
    return QSqlQuery(QSqlDatabase::database(journal.connectionName()))
        .exec(QStringLiteral("PRAGMA synchronous=") + mode);
}

void measureAppends(QTextStream &out, const QString &path, const QString &mode)
{
    Journal journal;
    if (!journal.open(path) || !setSynchronous(journal, mode)) {
        out << "cannot open " << path << '\n';
        return;
    }
    std::vector<double> single;
    for (int n = 0; n < 500; ++n) {
        QElapsedTimer timer;
        timer.start();
        journal.append(numberedEvent(n));
        single.push_back(bench::elapsedMs(timer));
    }
    out << mode << ", one event: median " << bench::percentile(single, 0.5) << " ms, p99 "
        << bench::percentile(single, 0.99) << " ms\n";
    std::vector<double> bursts;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < 1000; ++n)
            journal.append(numberedEvent(n));
        bursts.push_back(bench::elapsedMs(timer));
    }
    out << mode << ", 1000-event burst, one append each: median " << bench::percentile(bursts, 0.5) << " ms\n";
    bursts.clear();
    for (int round = 0; round < 5; ++round) {
        QVector<JournalRecord> burst;
        for (int n = 0; n < 1000; ++n)
            burst.append(numberedEvent(n));
        QElapsedTimer timer;
        timer.start();
        journal.appendAll(burst);
        bursts.push_back(bench::elapsedMs(timer));
    }
    out << mode << ", 1000-event burst, appendAll: median " << bench::percentile(bursts, 0.5) << " ms\n";
    out.flush();
}

// One transaction straight into the table: only to have a big journal quickly.
bool fill(const QString &path, int rows)
{
    Journal journal;
    if (!journal.open(path) || !fillJournal(journal, rows))
        return false;
    return QSqlQuery(QSqlDatabase::database(journal.connectionName()))
        .exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

// Start-up over a journal past its limit: how long open() keeps the caller
// waiting, the longest event-loop turn while the excess goes, and the total.
void startUp(QTextStream &out, const QString &path, int limit)
{
    QElapsedTimer timer;
    timer.start();
    Journal journal;
    journal.setRowLimit(limit);
    journal.open(path);
    const double opened = bench::elapsedMs(timer);
    const JournalQuery all(journal.connectionName(), {});
    const qint64 before = all.count();
    timer.restart();
    double longestTurn = 0;
    while (journal.isTrimming() && timer.elapsed() < 600000) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        longestTurn = std::max(longestTurn, bench::elapsedMs(turn));
    }
    out << "start-up, limit " << limit << ": open() returns after " << opened << " ms ("
        << before << " rows left then), longest event-loop turn after it " << longestTurn
        << " ms, trimmed to " << all.count() << " rows " << bench::elapsedMs(timer) << " ms after open()\n";
    out.flush();
}

// A folder removed with a file in its way: nothing can be written until the
// file goes. The memory of a full backlog, and the one commit that writes it.
void heldBacklog(QTextStream &out, const QString &folder)
{
    Journal journal;
    if (!journal.open(folder + QStringLiteral("/held.sqlite")))
        return;
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    blocker.open(QIODevice::WriteOnly);
    blocker.close();
    const long before = bench::peakRssKb();
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < Journal::MaxHeldRows + 1000; ++n)
        journal.append(numberedEvent(n));
    const double holding = bench::elapsedMs(timer);
    out << "held " << journal.heldCount() << " rows (" << journal.droppedCount() << " dropped) in "
        << holding << " ms, memory " << (bench::peakRssKb() - before) / 1024 << " MB\n";
    QFile::remove(folder);
    timer.restart();
    double longestTurn = 0; // the retry that writes the backlog
    while (journal.isWritingStopped() && timer.elapsed() < 60000) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
        longestTurn = std::max(longestTurn, bench::elapsedMs(turn));
    }
    out << "the backlog written in one commit: " << longestTurn << " ms\n";
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    const int limit = argc > 1 ? QString(argv[1]).toInt() : int(Journal::DefaultRowLimit);
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/journal-bench-XXXXXX"));

    measureAppends(out, dir.filePath(QStringLiteral("normal.sqlite")), QStringLiteral("NORMAL"));
    measureAppends(out, dir.filePath(QStringLiteral("full.sqlite")), QStringLiteral("FULL"));
    heldBacklog(out, dir.filePath(QStringLiteral("held")));
    if (qEnvironmentVariableIsSet("BENCH_JOURNAL_NO_TRIM"))
        return 0;

    const QString bigPath = dir.filePath(QStringLiteral("big.sqlite"));
    QElapsedTimer timer;
    timer.start();
    if (!fill(bigPath, limit + 1000)) {
        out << "could not fill the journal\n";
        return 1;
    }
    out << "filled " << limit + 1000 << " rows in " << bench::elapsedMs(timer) << " ms\n";
    out.flush();

    startUp(out, bigPath, limit);
    // A journal that grew far past a lowered limit: nearly every row goes.
    startUp(out, bigPath, 1000);
    out << "peak RSS: " << bench::peakRssKb() << " kB\n";
    return 0;
}
