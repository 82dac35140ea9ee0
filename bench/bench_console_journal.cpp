// The console's journal: the cost of journaling one event and a burst of
// 1000, opening "Журнал" over a million rows to its first paint, exporting
// them to CSV, and the file size per event; then, with every other current
// event acknowledged, the "Неквитированные" filter and the data of a shift
// report over the last 12 hours and over the whole journal.
// Run: bench_console_journal [rows]
#include "benchjournal.h"
#include "benchtiming.h"
#include "journal.h"
#include "journalmodel.h"
#include "journalquery.h"
#include "journalview.h"
#include "shiftreport.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace {

// Acknowledges every other current event (every 4th row), one transaction.
bool acknowledgeHalf(const Journal &journal, int rows)
{
    QSqlDatabase db = QSqlDatabase::database(journal.connectionName());
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO journal(received, kind, list, name, guard, ref) "
                                  "VALUES(?, ?, ?, ?, ?, ?)"));
    const QString now = JournalRecord::timeText(QDateTime::currentDateTime());
    for (int n = 0; n < rows; n += 4) {
        for (const QVariant &value : {QVariant(now), QVariant(JournalRecord::Acknowledged),
                                      QVariant(JournalRecord::CurrentList), QVariant(numberedEvent(n).name),
                                      QVariant(QStringLiteral("Петров")), QVariant(qint64(n + 1))})
            insert.addBindValue(value);
        if (!insert.exec())
            return false;
    }
    return db.commit();
}

// Paint events reaching the view's viewport.
struct PaintWatch : QObject
{
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    const int bigRows = argc > 1 ? QString(argv[1]).toInt() : 1000000;
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/journal-bench-XXXXXX"));

    {
        Journal journal;
        if (!journal.open(dir.filePath(QStringLiteral("events.sqlite")))) {
            out << journal.problem() << '\n';
            return 1;
        }
        std::vector<double> single;
        for (int n = 0; n < 2000; ++n) {
            QElapsedTimer timer;
            timer.start();
            journal.append(numberedEvent(n));
            single.push_back(bench::elapsedMs(timer));
        }
        out << "one event: median " << bench::percentile(single, 0.5) << " ms, p99 "
            << bench::percentile(single, 0.99) << " ms\n";
        std::vector<double> bursts;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            timer.start();
            for (int n = 0; n < 1000; ++n)
                journal.append(numberedEvent(n));
            bursts.push_back(bench::elapsedMs(timer));
        }
        out << "1000-event burst: median " << bench::percentile(bursts, 0.5) << " ms ("
            << bench::percentile(bursts, 0.5) / 1000 << " ms per event)\n";
    }

    const QString bigPath = dir.filePath(QStringLiteral("big.sqlite"));
    {
        Journal journal;
        journal.open(bigPath);
        QElapsedTimer timer;
        timer.start();
        if (!fillJournal(journal, bigRows)) {
            out << "could not fill the journal\n";
            return 1;
        }
        QSqlQuery(QSqlDatabase::database(journal.connectionName()))
            .exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        out << "filled " << bigRows << " rows in " << bench::elapsedMs(timer) << " ms\n";
    }
    out << "file size: " << QFileInfo(bigPath).size() << " bytes, "
        << double(QFileInfo(bigPath).size()) / bigRows << " bytes per event\n";
    out.flush();

    // Start-up over a full journal, then the tab to its first paint.
    QElapsedTimer timer;
    timer.start();
    Journal journal;
    journal.open(bigPath);
    const double opened = bench::elapsedMs(timer);
    JournalView view;
    view.resize(900, 600);
    view.setJournal(&journal);
    PaintWatch watch;
    view.findChild<QTableView *>()->viewport()->installEventFilter(&watch);
    view.show();
    while (!watch.painted)
        QCoreApplication::processEvents();
    const double firstPaint = bench::elapsedMs(timer);
    out << "open the journal (row count, limit check): " << opened << " ms\n";
    out << QStringLiteral("\"Журнал\" over ") << bigRows << " rows, to first paint: " << firstPaint << " ms\n";

    timer.restart();
    view.model()->fetchOlder();
    out << "one older page while scrolling up: " << bench::elapsedMs(timer) << " ms\n";
    const QDate today = QDate::currentDate();
    const std::pair<const char *, JournalFilter> filters[] = {
        {"today's rows", {today, today, {}}},
        {"a text in every 250th row", {{}, {}, QStringLiteral("Адрес 250")}},
        {"a text in no row", {{}, {}, QStringLiteral("нет такого")}},
    };
    for (const auto &filter : filters) {
        timer.restart();
        view.model()->setFilter(filter.second);
        out << "filter, " << filter.first << ": " << bench::elapsedMs(timer) << " ms, "
            << view.model()->rowCount() << " rows loaded\n";
    }
    view.model()->setFilter({});

    QFile csv(dir.filePath(QStringLiteral("journal.csv")));
    csv.open(QIODevice::WriteOnly);
    timer.restart();
    const bool written = JournalQuery(journal.connectionName(), {}).writeCsv(
        &csv, [](qint64, qint64) { return true; });
    csv.close();
    out << "CSV export of " << bigRows << " rows: " << bench::elapsedMs(timer) << " ms, "
        << csv.size() << " bytes" << (written ? "" : " (FAILED)") << '\n';

    if (!acknowledgeHalf(journal, bigRows)) {
        out << "could not acknowledge\n";
        return 1;
    }
    JournalFilter unacknowledged;
    unacknowledged.unacknowledgedOnly = true;
    timer.restart();
    view.model()->setFilter(unacknowledged);
    out << QStringLiteral("filter, \"Неквитированные\": ") << bench::elapsedMs(timer) << " ms, "
        << view.model()->rowCount() << " rows loaded\n";
    timer.restart();
    const qint64 waiting = JournalQuery(journal.connectionName(), unacknowledged).count();
    out << QStringLiteral("count of \"Неквитированные\": ") << bench::elapsedMs(timer) << " ms, " << waiting
        << " rows\n";
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto &period : {std::make_pair("the last 12 hours", now.addSecs(-12 * 3600)),
                               std::make_pair("the whole journal", now.addSecs(-bigRows - 60))}) {
        timer.restart();
        const ShiftReport report = ShiftReport::fromJournal(journal.connectionName(), period.second, now);
        out << "shift report data, " << period.first << ": " << bench::elapsedMs(timer) << " ms, "
            << report.eventTotal << " current events, " << report.unacknowledged << " unacknowledged"
            << (report.error.isEmpty() ? QString() : QStringLiteral(" (") + report.error + ')') << '\n';
    }
    out << "peak RSS: " << bench::peakRssKb() << " kB\n";
    return 0;
}
