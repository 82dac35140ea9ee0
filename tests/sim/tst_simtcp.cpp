// The simulator as a Modbus TCP server, run as the program a user starts, and
// the socat recipe that reaches a serial device server through a pseudo-terminal.
#include "linkworker.h"
#include "simharness.h"
#include "testmaster.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <modbus.h>

#include <memory>

namespace {

// A libmodbus TCP master on 127.0.0.1; the outcome of each read as text.
class TcpMaster
{
public:
    TcpMaster(int port, int unit, int timeoutMs = 300)
        : ctx(modbus_new_tcp_pi("127.0.0.1", QByteArray::number(port).constData()))
    {
        modbus_set_response_timeout(ctx, 0, uint32_t(timeoutMs) * 1000);
        modbus_set_slave(ctx, unit);
        connected = modbus_connect(ctx) == 0;
    }
    ~TcpMaster()
    {
        modbus_close(ctx);
        modbus_free(ctx);
    }
    bool isConnected() const { return connected; }
    // The register in hexadecimal, or the error: "timeout", "reset", "0x0B", ...
    QString read(int address)
    {
        quint16 value = 0;
        if (modbus_read_registers(ctx, address, 1, &value) == 1)
            return QString::number(value, 16);
        if (errno == ETIMEDOUT)
            return "timeout";
        if (errno == ECONNRESET)
            return "reset";
        if (errno > MODBUS_ENOBASE && errno < MODBUS_ENOBASE + 16)
            return QString("0x%1").arg(errno - MODBUS_ENOBASE, 2, 16, QChar('0')).toUpper().replace("0X", "0x");
        return QString("errno %1").arg(errno);
    }
    bool write(int address, quint16 value) { return modbus_write_register(ctx, address, value) == 1; }
    void close() { modbus_close(ctx); }
    void reconnect()
    {
        modbus_close(ctx);
        connected = modbus_connect(ctx) == 0;
    }

private:
    modbus_t *ctx;
    bool connected = false;
};

// Reads stdout of a process up to a line matching the pattern, within the time.
QRegularExpressionMatch waitForLine(QProcess &process, const QString &pattern, int ms = 5000)
{
    const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
    QByteArray seen;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        process.waitForReadyRead(50);
        seen += process.readAllStandardOutput() + process.readAllStandardError();
        const QRegularExpressionMatch match = expression.match(QString::fromLocal8Bit(seen));
        if (match.hasMatch())
            return match;
    }
    qWarning("no line like %s in: %s", qPrintable(pattern), seen.constData());
    return QRegularExpressionMatch();
}

void stopProcess(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(1000);
}

} // namespace

class TestSimTcp : public QObject
{
    Q_OBJECT

    QProcess sim;
    int port = 0;

    // A control command on standard input, answered "ok".
    bool command(const QString &line)
    {
        sim.write((line + "\n").toLocal8Bit());
        return waitForLine(sim, "^ok$", 3000).hasMatch();
    }

private slots:
    void init()
    {
        sim.start(TARVIK_SIM_PATH, { "--tcp", "0", "--address", "5" });
        const QRegularExpressionMatch bound = waitForLine(sim, "^tcp 127\\.0\\.0\\.1:(\\d+)$");
        QVERIFY(bound.hasMatch());
        port = bound.captured(1).toInt();
        QVERIFY(command("set holding 10 0xbeef"));
    }
    void cleanup() { stopProcess(sim); }

    // Clients are served in turn: the second waits in the queue until the first goes.
    // Unit 5 is the controller; another unit gets the gateway's 0x0B. Writes hold.
    void servesClientsInTurn()
    {
        auto first = std::make_unique<TcpMaster>(port, 5);
        auto second = std::make_unique<TcpMaster>(port, 5);
        QVERIFY(first->isConnected() && second->isConnected());
        QCOMPARE(first->read(10), QString("beef"));
        QCOMPARE(second->read(10), QString("timeout"));
        QVERIFY(first->write(10, 0x1234));
        first.reset();
        second->reconnect(); // its late answer went to the old connection
        QCOMPARE(second->read(10), QString("1234"));
        second.reset();
        TcpMaster stranger(port, 6);
        QCOMPARE(stranger.read(10), QString("0x0B"));
        QCOMPARE(TcpMaster(port, 0xFF).read(10), QString("timeout")); // queued behind the stranger
    }

    // The fault commands over TCP: exceptions 0x0B and 0x0A, silence, delay, closing the
    // connection; a broken checksum shows as the gateway's 0x0B.
    void faultCommandsWorkOverTcp()
    {
        TcpMaster master(port, 5);
        QVERIFY(master.isConnected());
        QStringList outcomes;
        for (const char *fault : { "fault gateway 1", "fault path 1", "fault crc 1", "fault drop 1", "fault delay 400",
                                   "fault delay 0", "fault close 1" }) {
            QVERIFY(command(fault));
            outcomes << master.read(10);
            if (outcomes.last() == "reset" || outcomes.last() == "timeout")
                master.reconnect();
        }
        outcomes << master.read(10);
        master.close();
        outcomes << TcpMaster(port, 0xFF).read(10); // "this device": unit 5
        QCOMPARE(outcomes, QString("0x0B 0x0A 0x0B timeout timeout beef reset beef beef").split(' '));
    }

    // A transparent serial server on loopback (socat between a TCP port and the
    // simulator's terminal), reached through the recipe's pseudo-terminal: socat with a
    // link named in TARVIK_PORTS. It survives the link being opened job after job.
    void rtuOverTcpThroughSocat()
    {
        if (QStandardPaths::findExecutable("socat").isEmpty())
            QSKIP("socat is not installed");
        SimHarness rtuSim(3);
        QVERIFY(rtuSim.isReady());
        rtuSim.setHolding(10, 0xCAFE);
        QProcess server, recipe;
        server.start("socat", { "-d", "-d", "TCP-LISTEN:0,bind=127.0.0.1,reuseaddr",
                                "OPEN:" + rtuSim.devicePath() + ",rawer" });
        const QRegularExpressionMatch bound = waitForLine(server, "listening on AF=2 127\\.0\\.0\\.1:(\\d+)");
        QVERIFY(bound.hasMatch());
        QTemporaryDir dir;
        const QString link = dir.filePath("ttyGW");
        recipe.start("socat", { "PTY,link=" + link + ",rawer,echo=0", "TCP:127.0.0.1:" + bound.captured(1) });
        QTRY_VERIFY(QFileInfo::exists(link));
        for (int job = 0; job < 3; ++job) {
            TestMaster master(LinkWorker::devicePath(link), 3);
            QVERIFY(master.isOpen());
            QCOMPARE(master.holding(10, 1), QVector<quint16>{ 0xCAFE });
        }
        stopProcess(recipe);
        stopProcess(server);
    }
};

QTEST_GUILESS_MAIN(TestSimTcp)
#include "tst_simtcp.moc"
