#include "linkworker.h"
#include "registerlink.h"
#include "simharness.h"
#include "tcpserver.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <functional>

namespace {

// Runs the test's job; hooks are set, outcomes read, only while parked.
class TestWorker : public LinkWorker
{
public:
    ~TestWorker() override { stopAndWait(); }

    std::function<void(RegisterLink &)> job = [](RegisterLink &) {};
    std::function<void()> parkHook = [] {};
    std::atomic<int> jobsRun{0};
    QStringList outcomes;

protected:
    void runJob(RegisterLink &link) override { ++jobsRun; job(link); }
    void onPark() override { parkHook(); }
};

void startParked(TestWorker &worker, const SimHarness &sim)
{
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    worker.setPort(sim.devicePath(), 9600, 1);
    worker.start();
    QTRY_VERIFY(worker.isParked());
}

void runOnce(TestWorker &worker, int expectedJobs)
{
    worker.resume();
    QTRY_VERIFY(worker.jobsRun == expectedJobs && worker.isParked());
}

// What a read of one register gave: its value in hexadecimal, or "failed".
QString readText(RegisterLink &link, int address)
{
    quint16 value = 0;
    return link.readRegisters(address, 1, &value) == 1 ? QString::number(value, 16) : "failed";
}

// A worker parked on the harness's TCP port, unit 1, with this response time-out.
void startParkedOnTcp(TestWorker &worker, SimHarness &sim, int timeoutMs = 1000)
{
    QVERIFY2(sim.isReady() && sim.serveTcp(), qPrintable(sim.errorString()));
    worker.setLink(LinkTarget::tcp("127.0.0.1", sim.tcpPort(), 1, timeoutMs));
    worker.start();
    QTRY_VERIFY(worker.isParked());
}

// A loopback port nobody listens on: bound by a server that has stopped again.
int closedPort()
{
    Simulator idle;
    TcpServer server(idle);
    return server.listen("127.0.0.1", 0) ? server.port() : 0;
}

QString tcpFailure(const QString &peer, const QString &reason)
{
    return QString::fromUtf8("Ошибка соединения с %1: %2!\n Опрос завершен.").arg(peer, reason);
}

} // namespace

class TestLinkWorker : public QObject
{
    Q_OBJECT

private slots:
    // No port touched before a job; each job on a link of its own at 8N1 to slave 263
    // cut to 8 bits (7), closed at the park with the port's settings put back; failed
    // opens reported at once. A resume() during a job or on its way to park runs it
    // once more, and only once; a stop during a job lets it finish first.
    void jobsRunOnLinksOpenOnlyWhileTheyRun()
    {
        QCOMPARE(LinkWorker::devicePath("/dev/pts/3") + LinkWorker::devicePath(""), QString("/dev/pts/3"));
        QCOMPARE(LinkWorker::devicePath("ttyUSB7"), QString("/dev/ttyUSB7"));
        SimHarness sim(7);
        sim.setHolding(10, 0xBEEF);
        const QString good = sim.devicePath();
        const int probe = ::open(QFile::encodeName(good).constData(), O_RDWR | O_NOCTTY);
        termios before {}, during {}, after {};
        QVERIFY(probe >= 0 && tcgetattr(probe, &before) == 0);
        before.c_cflag |= CSTOPB;
        before.c_iflag |= IXON | ICRNL;
        cfsetspeed(&before, B2400);
        QVERIFY(tcsetattr(probe, TCSANOW, &before) == 0 && tcgetattr(probe, &before) == 0);

        TestWorker worker;
        QSignalSpy failures(&worker, &LinkWorker::Signal);
        std::atomic<bool> stopInJob{false}, resumeInJob{false}, resumeInPark{false};
        worker.job = [&](RegisterLink &link) {
            if (stopInJob.exchange(false))
                worker.requestStop();
            tcgetattr(probe, &during);
            worker.outcomes << QString::number(LinkWorker::liveContexts()) + " " + readText(link, 10);
            if (resumeInJob.exchange(false))
                worker.resume();
        };
        worker.parkHook = [&] {
            if (resumeInPark.exchange(false))
                worker.resume();
        };
        startParked(worker, sim);
        QVERIFY(worker.jobsRun == 0 && LinkWorker::liveContexts() == 0);
        const QString paths[] = { good, "", "/dev/tarvik-no-such-port", "/dev/null", // not a terminal
                                  "/dev/" + QString(300, 'x'), good };
        for (const QString &path : paths) {
            const int done = worker.jobsRun + failures.count();
            worker.setPort(path, 19200, 256 + 7);
            worker.resume();
            QTRY_VERIFY_WITH_TIMEOUT(worker.jobsRun + failures.count() == done + 1 && worker.isParked(),
                                     (path == good ? 5000 : 400)); // no time-out on a bad port
            QVERIFY(LinkWorker::liveContexts() == 0 && tcgetattr(probe, &after) == 0);
            QVERIFY(cfgetospeed(&after) == B2400 && after.c_cflag == before.c_cflag && after.c_iflag == before.c_iflag);
        }
        const QVariantList failure = { QString::fromUtf8("Ошибка открытия порта!\n Опрос завершен.") };
        QCOMPARE(QList<QVariantList>(failures), QVector<QVariantList>(4, failure).toList());
        QVERIFY(cfgetospeed(&during) == B19200 && (during.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) == CS8);
        // A pseudo-terminal keeps CS8 even if asked for parity, which then shows as INPCK.
        QCOMPARE(during.c_iflag & (IXON | IXOFF | IXANY | INPCK | ICRNL | IGNCR | INLCR), tcflag_t(0));

        resumeInJob = true;
        runOnce(worker, 4);
        resumeInPark = true;
        runOnce(worker, 6);
        stopInJob = true; // a job more than these seven shows in the outcomes
        worker.resume();
        QVERIFY(worker.wait(5000));
        QCOMPARE(worker.outcomes, QVector<QString>(7, "1 beef").toList());
        QCOMPARE(LinkWorker::liveContexts(), 0);
        QVERIFY(tcgetattr(probe, &after) == 0 && after.c_cflag == before.c_cflag && after.c_iflag == before.c_iflag);
        ::close(probe);
    }

    // Two masters on one port: the second is refused with the port named,
    // without touching the line, and the first keeps polling; once the first
    // parks the port is free again. TIOCEXCL is checked directly, as root
    // opens past it.
    void aSerialPortHasOneMasterAtATime()
    {
        SimHarness sim(1);
        TestWorker first, second;
        startParked(first, sim);
        startParked(second, sim);
        QSignalSpy refusals(&second, &LinkWorker::Signal);
        std::atomic<bool> keepPolling{true};
        std::atomic<int> answers{0};
        first.job = [&](RegisterLink &link) {
            while (keepPolling)
                answers += readText(link, 10) != "failed";
        };
        first.resume();
        QTRY_VERIFY(answers > 0);
        const int probe = ::open(QFile::encodeName(sim.devicePath()).constData(), O_RDWR | O_NOCTTY);
        int exclusive = 0;
        QVERIFY(probe >= 0 && ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive == 1);

        second.resume();
        QTRY_COMPARE(refusals.count(), 1);
        QCOMPARE(refusals.at(0).at(0).toString(),
                 QString::fromUtf8("Порт %1 занят другой программой!\n Опрос завершен.").arg(sim.devicePath()));
        QTRY_VERIFY(second.isParked());
        QCOMPARE(second.jobsRun.load(), 0);
        const int before = answers;
        QTRY_VERIFY(answers >= before + 3);

        keepPolling = false;
        QTRY_VERIFY(first.isParked());
        QVERIFY(ioctl(probe, TIOCGEXCL, &exclusive) == 0 && exclusive == 0);
        ::close(probe);
        second.job = [&](RegisterLink &link) { second.outcomes << readText(link, 10); };
        runOnce(second, 1);
        QCOMPARE(refusals.count(), 1);
        QCOMPARE(second.outcomes, QStringList(QString::number(sim.holding(10), 16)));
    }

    // The answer to a timed-out request comes late; it is never read as the answer to
    // a later request of the same shape: in the same job, in the next job at once (it
    // comes during that request), nor by another worker later (it waits on the line).
    void lateAnswerIsNeverTaken()
    {
        SimHarness sim;
        quint16 value = 0x10;
        int reads = 2;
        TestWorker first, fresh;
        first.job = fresh.job = [&](RegisterLink &link) {
            for (int i = 0; i < reads; ++i) {
                first.outcomes << readText(link, 5);
                sim.setDelay(0);
                sim.setHolding(5, ++value);
            }
        };
        const auto jobWithTimeOut = [&](int jobReads) {
            sim.setDelay(600); // past the 0.5 s time-out
            reads = jobReads;
            runOnce(first, first.jobsRun + 1);
            reads = 2;
        };
        sim.setHolding(5, value);
        startParked(first, sim);
        // Switched on, the link's log names each failed request and libmodbus's reason.
        QLoggingCategory::setFilterRules(QStringLiteral("tarvik.link.debug=true"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^FC 3 at 5 failed: \\w"));
        jobWithTimeOut(3);
        QLoggingCategory::setFilterRules(QString());
        jobWithTimeOut(1);
        runOnce(first, 3);
        jobWithTimeOut(1);
        QTest::qWait(400);
        startParked(fresh, sim);
        runOnce(fresh, 1);
        QCOMPARE(first.outcomes, QString("failed 11 12 failed 14 15 failed 17 18").split(' '));
        QCOMPARE(sim.requests().size(), 9);

        QElapsedTimer elapsed; // a parked worker stops at once
        elapsed.start();
        fresh.stopAndWait();
        QVERIFY(elapsed.elapsed() < 200 && fresh.isFinished());
    }

    // Over TCP each job connects anew and closes at the park. A refused connection and
    // a name that cannot resolve (never looked up on the network) fail at once with
    // texts naming host and port, and the worker goes on to the next job.
    void tcpJobsConnectPerJobAndOpenFailuresNameThePeer()
    {
        SimHarness sim(9);
        sim.setHolding(10, 0xBEEF);
        TestWorker worker;
        QSignalSpy failures(&worker, &LinkWorker::Signal);
        worker.job = [&](RegisterLink &link) {
            worker.outcomes << QString::number(LinkWorker::liveContexts()) + " " + readText(link, 10);
        };
        startParkedOnTcp(worker, sim);
        const int refused = closedPort();
        QVERIFY(refused > 0);
        const LinkTarget jobs[] = { LinkTarget::tcp("127.0.0.1", sim.tcpPort(), 9),
                                    LinkTarget::tcp("127.0.0.1", refused, 9),
                                    LinkTarget::tcp("tarvik-test.invalid", 502, 9),
                                    LinkTarget::tcp("127.0.0.1", sim.tcpPort(), 9) };
        for (const LinkTarget &job : jobs) {
            const int done = worker.jobsRun + failures.count();
            worker.setLink(job);
            worker.resume();
            QTRY_VERIFY_WITH_TIMEOUT(worker.jobsRun + failures.count() == done + 1 && worker.isParked(), 1000);
            QCOMPARE(LinkWorker::liveContexts(), 0);
        }
        QCOMPARE(worker.outcomes, QStringList({ "1 beef", "1 beef" }));
        QCOMPARE(sim.tcpConnections(), 2);
        QCOMPARE(failures.count(), 2);
        QCOMPARE(failures.at(0).at(0).toString(),
                 tcpFailure(QString("127.0.0.1:%1").arg(refused), "соединение отвергнуто"));
        QCOMPARE(failures.at(1).at(0).toString(), tcpFailure("tarvik-test.invalid:502", "адрес не найден"));
        QCOMPARE(LinkTarget::tcp("::1", 1502, 1).peerName(), QString("[::1]:1502"));
    }

    // A gateway's 0x0B or 0x0A fails that one request, is logged with its meaning, and
    // keeps the connection. A connection the peer closes fails the request at once, not after
    // the time-out; a late answer is not taken for the next request's, and the next
    // request goes without a quiet wait, on a new connection.
    void tcpFailuresCostOneRequestEach()
    {
        SimHarness sim;
        quint16 value = 0x20;
        sim.setHolding(5, value);
        TestWorker worker;
        std::function<void(RegisterLink &)> step;
        QVector<qint64> times;
        worker.job = [&](RegisterLink &link) {
            QElapsedTimer timer;
            for (int i = 0; i < 3; ++i) {
                timer.start();
                worker.outcomes << readText(link, 5);
                times << timer.elapsed();
                step(link);
            }
        };
        startParkedOnTcp(worker, sim, 400);

        step = [&](RegisterLink &) { sim.setHolding(5, ++value); };
        sim.failGatewayOfNext(1);
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^FC 3 at 5: gateway exception 0x0B, gateway target device failed to respond$"));
        runOnce(worker, 1);
        sim.faults([](FaultPlan &f) { f.failGatewayOfNext(1, FaultPlan::GatewayPathUnavailable); });
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("^FC 3 at 5: gateway exception 0x0A, gateway path unavailable$"));
        runOnce(worker, 2);
        QCOMPARE(sim.tcpConnections(), 2); // one a job: the exceptions kept theirs

        sim.closeOnNext(1);
        runOnce(worker, 3);
        QCOMPARE(sim.tcpConnections(), 4);
        QVERIFY2(times.at(6) < 300, qPrintable(QString::number(times.at(6))));

        step = [&](RegisterLink &) { sim.setDelay(0); sim.setHolding(5, ++value); };
        sim.setDelay(600); // past the 0.4 s time-out
        runOnce(worker, 4);
        QVERIFY2(times.at(9) >= 350 && times.at(10) < 350, qPrintable(QString("%1 %2").arg(times.at(9)).arg(times.at(10))));
        QCOMPARE(worker.outcomes, QString("failed 21 22 failed 24 25 failed 27 28 failed 2a 2b").split(' '));
        QCOMPARE(sim.tcpConnections(), 6);
    }
};

QTEST_GUILESS_MAIN(TestLinkWorker)
#include "tst_linkworker.moc"
