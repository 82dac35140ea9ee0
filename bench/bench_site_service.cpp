// The site service as a process: 32 controllers on four 9600-baud lines
// served by TarvikSim processes with wire timing, a private mosquitto on
// loopback. Its resident memory, its CPU while nothing happens, and the time
// from an event raised on any controller to its journal row and to its
// message at the broker (median, p95).
//
//     bench_site_service [events]     (100 by default)

#include "testbroker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

#include <csignal>
#include <unistd.h>

namespace {

constexpr int LineCount = 4;
constexpr int PerLine = 8;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

void waitMs(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QString program(const QString &relative)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../") + relative;
}

// Field n (from 1) of /proc/<pid>/stat, after the command's parentheses.
double cpuSecondsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

long residentKbOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

struct Line
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString link;

    bool start(const QString &dir, int index)
    {
        link = dir + QStringLiteral("/line-%1").arg(index);
        QStringList slaves;
        for (int address = 1; address <= PerLine; ++address)
            slaves << QString::number(address);
        process->setProgram(program(QStringLiteral("sim/TarvikSim")));
        process->setArguments({QStringLiteral("--link"), link, QStringLiteral("--slave"), slaves.join(','),
                               QStringLiteral("--line-timing")});
        process->start();
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(link) && timer.elapsed() < 5000)
            QThread::msleep(20);
        return QFile::exists(link);
    }
    void raise(int slave, int source, int code)
    {
        process->write(QStringLiteral("slave %1\nevent current %2 %3\n").arg(slave).arg(source).arg(code).toUtf8());
    }
    ~Line()
    {
        process->write("quit\n");
        if (!process->waitForFinished(3000))
            process->kill();
    }
};

QByteArray siteIni(const std::vector<std::unique_ptr<Line>> &lines, int brokerPort, const QString &journal)
{
    QByteArray text = "portName=" + lines.front()->link.toUtf8() + "\nbaudRate=9600\naddress=1\n\n[controllers]\nsize="
        + QByteArray::number(LineCount * PerLine) + "\n";
    int row = 0;
    for (int l = 0; l < LineCount; ++l) {
        for (int a = 1; a <= PerLine; ++a) {
            const QByteArray key = QByteArray::number(++row) + "\\";
            text += key + "name=K" + QByteArray::number(l + 1) + "." + QByteArray::number(a) + "\n";
            if (row > 1) {
                text += key + "portName=" + lines[size_t(l)]->link.toUtf8() + "\n" + key + "baudRate=9600\n" + key
                    + "address=" + QByteArray::number(a) + "\n";
            }
        }
    }
    return text + "\n[mqtt]\nenabled=true\nhost=127.0.0.1\nport=" + QByteArray::number(brokerPort)
        + "\ntls=false\nprefix=bench\n\n[journal]\npath=" + journal.toUtf8() + "\n";
}

qint64 newestEventRow(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT max(id) FROM journal WHERE kind = 'event' AND list = 'current'"))
        && query.next())
        return query.value(0).toLongLong();
    return 0;
}

qint64 at(std::vector<qint64> values, double q)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(q * values.size()))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int events = argc > 1 ? QByteArray(argv[1]).toInt() : 100;
    QTemporaryDir dir;
    TestBroker broker;
    if (!broker.start()) {
        out() << "mosquitto did not start" << Qt::endl;
        return 1;
    }
    std::vector<std::unique_ptr<Line>> lines;
    for (int l = 0; l < LineCount; ++l) {
        lines.push_back(std::make_unique<Line>());
        if (!lines.back()->start(dir.path(), l)) {
            out() << "TarvikSim did not start" << Qt::endl;
            return 1;
        }
    }
    const QString journal = dir.filePath(QStringLiteral("journal.sqlite"));
    QFile config(dir.filePath(QStringLiteral("site.ini")));
    if (!config.open(QIODevice::WriteOnly) || config.write(siteIni(lines, broker.port(), journal)) < 0)
        return 1;
    config.close();

    TestSubscriber subscriber(broker.port(), QStringLiteral("bench/+/journal"));
    if (!subscriber.connect())
        return 1;
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(program(QStringLiteral("site/tarvik-site")), {QStringLiteral("--config"), config.fileName()});
    if (!service.waitForStarted(5000))
        return 1;
    const qint64 pid = service.processId();
    waitMs(5000); // every controller's lists read once, the broker connected

    const double cpuBefore = cpuSecondsOf(pid);
    QElapsedTimer idle;
    idle.start();
    waitMs(20000);
    const double idlePercent = 100.0 * (cpuSecondsOf(pid) - cpuBefore) / (idle.elapsed() / 1000.0);
    const long idleKb = residentKbOf(pid);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(journal);
    db.open();
    std::vector<qint64> toRow, toBroker;
    int missed = 0;
    QElapsedTimer clock;
    clock.start();
    for (int k = 0; k < events; ++k) {
        const int id = QRandomGenerator::global()->bounded(LineCount * PerLine);
        waitMs(QRandomGenerator::global()->bounded(400)); // any phase of the round
        const qint64 rowBefore = newestEventRow(db);
        const int messagesBefore = subscriber.messages().size();
        const qint64 raisedAt = clock.elapsed();
        lines[size_t(id / PerLine)]->raise(id % PerLine + 1, 33 + k % 200, k % 10);
        qint64 rowAt = -1, brokerAt = -1;
        while ((rowAt < 0 || brokerAt < 0) && clock.elapsed() - raisedAt < 10000) {
            waitMs(5);
            if (rowAt < 0 && newestEventRow(db) > rowBefore)
                rowAt = clock.elapsed();
            if (brokerAt < 0) {
                const auto got = subscriber.messages();
                for (int m = messagesBefore; m < got.size(); ++m) {
                    const QJsonObject row = QJsonDocument::fromJson(got[m].payload).object();
                    if (row.value(QStringLiteral("kind")).toString() == QLatin1String("event")
                        && row.value(QStringLiteral("list")).toString() == QLatin1String("current"))
                        brokerAt = clock.elapsed();
                }
            }
        }
        if (rowAt < 0 || brokerAt < 0)
            ++missed;
        if (rowAt >= 0)
            toRow.push_back(rowAt - raisedAt);
        if (brokerAt >= 0)
            toBroker.push_back(brokerAt - raisedAt);
    }
    const long busyKb = residentKbOf(pid);
    ::kill(pid_t(pid), SIGTERM);
    QElapsedTimer ending;
    ending.start();
    service.waitForFinished(5000);

    out() << "tarvik-site, " << LineCount * PerLine << " controllers on " << LineCount << " lines, 9600 baud:\n"
          << "  resident memory: " << idleKb / 1024 << " MB idle, " << busyKb / 1024 << " MB after " << events
          << " events\n"
          << "  CPU while idle: " << QString::number(idlePercent, 'f', 2) << " % of a core\n"
          << "  event to journal row: median " << at(toRow, 0.5) << " ms, p95 " << at(toRow, 0.95) << " ms\n"
          << "  event to broker: median " << at(toBroker, 0.5) << " ms, p95 " << at(toBroker, 0.95) << " ms ("
          << missed << " of " << events << " missed)\n"
          << "  SIGTERM to exit: " << ending.elapsed() << " ms, exit code " << service.exitCode() << Qt::endl;
    return 0;
}
