// Appending events to the console's tables for a long polling run: time per
// 1000 rows from the first to the last thousand, and the memory the rows take.
// Runs offscreen with the window shown, each append followed by the event
// processing (layout, scrolling, painting) a queued signal would get.
//
//   bench_console_table [rows]    default 10000
//
// The log table sits on the hidden tab (append cost alone); the current table
// is on screen (append, selection, scrolling and painting).
#include "alarmsound.h"
#include "benchtiming.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableWidget>
#include <QTextStream>

#include <cstdio>

namespace {

class SilentSound : public AlarmSound
{
public:
    void play() override {}
    void stop() override {}
};

long rssKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

AlarmType numberedEvent(int n)
{
    AlarmType a;
    a.source = quint16(33 + n % 250);
    a.code = quint8(n % 90);
    a.year = 24;
    a.month = quint8(1 + n % 12);
    a.day = quint8(1 + n % 28);
    a.hour = quint8(n / 3600 % 24);
    a.minute = quint8(n / 60 % 60);
    a.second = quint8(n % 60);
    return a;
}

// burst: rows appended between two passes of the event loop (1: every row is
// painted; larger: queued events arriving back to back share one paint).
void runTable(MainWindow &window, bool current, int rows, int burst)
{
    const char *name = current ? "tableAlarmCurrent" : "tableAlarmAll";
    auto *table = window.findChild<QTableWidget *>(QLatin1String(name));
    std::printf("%s (%s), %d rows, event loop every %d rows\n", name,
                table->isVisible() ? "on screen" : "hidden tab", rows, burst);
    std::printf("  window %dx%d, viewport %dx%d\n", window.width(), window.height(),
                table->viewport()->width(), table->viewport()->height());
    std::printf("  rows         append us/row   events+paint us/row\n");
    const long rssBefore = rssKilobytes();
    QElapsedTimer total;
    total.start();
    QElapsedTimer clock;
    qint64 appendNs = 0;
    qint64 eventNs = 0;
    for (int n = 0; n < rows; ++n) {
        clock.start();
        if (current)
            window.TableAlarmCurrentSet(numberedEvent(n));
        else
            window.TableAlarmAllSet(numberedEvent(n));
        appendNs += clock.nsecsElapsed();
        if ((n + 1) % burst == 0) {
            clock.start();
            QCoreApplication::processEvents();
            eventNs += clock.nsecsElapsed();
        }
        if ((n + 1) % 1000 == 0) {
            std::printf("  %5d-%-5d %10.1f %16.1f\n", n - 998, n + 1, appendNs / 1e6,
                        eventNs / 1e6);
            appendNs = eventNs = 0;
        }
    }
    const long rssAfter = rssKilobytes();
    std::printf("  total %.2f s; selected row %d of %d\n", total.nsecsElapsed() / 1e9,
                table->currentRow() + 1, table->rowCount());
    std::printf("  RSS %ld kB -> %ld kB: %.0f bytes per row\n", rssBefore, rssAfter,
                (rssAfter - rssBefore) * 1024.0 / rows);
    window.TableAlarmAllClear();
    window.TableAlarmCurrentClear();
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    bench::preferOffscreen();
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    if (rows <= 0) {
        std::fprintf(stderr, "usage: bench_console_table [rows]\n");
        return 2;
    }
    MainWindow window;
    window.setAlarmSound(new SilentSound);
    window.show();
    QCoreApplication::processEvents();
    runTable(window, false, rows, 1);
    runTable(window, true, rows, 1);
    runTable(window, true, rows, 100);
    return 0;
}
