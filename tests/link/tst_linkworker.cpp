#include "linkworker.h"
#include "registerlink.h"
#include "simharness.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <functional>

namespace {

// The smallest program worker: runs whatever job the test hands it. The
// hooks are set before start() or while the worker is parked.
class TestWorker : public LinkWorker
{
public:
    ~TestWorker() override { stopAndWait(); }

    std::function<void(RegisterLink &)> job = [](RegisterLink &) {};
    std::function<void()> parkHook = [] {};
    std::atomic<int> jobsRun{0};
    std::atomic<int> parks{0};
    std::atomic<int> openFailures{0};

protected:
    void runJob(RegisterLink &link) override { ++jobsRun; job(link); }
    void onPark() override { ++parks; parkHook(); }
    void onOpenFailed() override { ++openFailures; }
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
    QTRY_COMPARE(worker.jobsRun.load(), expectedJobs);
    QTRY_VERIFY(worker.isParked());
}

// What a read gave: the values in hexadecimal, or "failed".
QString readText(RegisterLink &link, int address, int count)
{
    QVector<quint16> values(count);
    if (link.readRegisters(address, count, values.data()) != count)
        return QStringLiteral("failed");
    QStringList texts;
    for (quint16 value : values)
        texts << QString::number(value, 16);
    return texts.join(' ');
}

} // namespace

class TestLinkWorker : public QObject
{
    Q_OBJECT

private slots:
    void devicePathForPortNames();
    void jobsRunOnLinksOpenOnlyWhileTheyRun();
    void failedOpensReportAndNextRequestSucceeds();
    void resumeWhileBusyIsNotLostAndStopWaitsForTheJob();
    void lateAnswerIsNeverTaken_data();
    void lateAnswerIsNeverTaken();
};

void TestLinkWorker::devicePathForPortNames()
{
    QCOMPARE(LinkWorker::devicePath("/dev/pts/3"), QString("/dev/pts/3"));
    QCOMPARE(LinkWorker::devicePath("ttyUSB7"), QString("/dev/ttyUSB7"));
    QCOMPARE(LinkWorker::devicePath(""), QString());
}

// Parked at start with no port touched. Every job gets a link of its own,
// 8N1 at the chosen speed to the chosen slave (263 is cut to 8 bits: slave 7);
// every park closes it and puts the port's own settings back. A parked worker
// stops at once.
void TestLinkWorker::jobsRunOnLinksOpenOnlyWhileTheyRun()
{
    SimHarness sim(7);
    sim.setHoldings(10, { 0x1234, 0xBEEF });
    const int probe = ::open(QFile::encodeName(sim.devicePath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(probe >= 0);
    termios before {};
    QCOMPARE(tcgetattr(probe, &before), 0);
    before.c_cflag |= CSTOPB;
    before.c_iflag |= IXON | ICRNL;
    cfsetspeed(&before, B2400);
    QCOMPARE(tcsetattr(probe, TCSANOW, &before), 0);
    QCOMPARE(tcgetattr(probe, &before), 0);

    TestWorker worker;
    QSignalSpy failures(&worker, &LinkWorker::Signal);
    termios during {};
    QString outcome;
    worker.job = [&](RegisterLink &link) {
        tcgetattr(probe, &during);
        outcome = QString::number(LinkWorker::liveContexts()) + " link: " + readText(link, 10, 2);
    };
    startParked(worker, sim);
    worker.setPort(sim.devicePath(), 19200, 256 + 7);
    QTest::qWait(50);
    QCOMPARE(worker.jobsRun.load(), 0);
    QCOMPARE(worker.parks.load(), 1);
    QCOMPARE(LinkWorker::liveContexts(), 0);

    for (int job = 1; job <= 3; ++job) {
        runOnce(worker, job);
        QCOMPARE(outcome, QString("1 link: 1234 beef"));
        QCOMPARE(LinkWorker::liveContexts(), 0);
        QCOMPARE(worker.parks.load(), job + 1);
        termios after {};
        QCOMPARE(tcgetattr(probe, &after), 0);
        QVERIFY(cfgetospeed(&after) == B2400 && after.c_cflag == before.c_cflag
                && after.c_iflag == before.c_iflag);
    }
    ::close(probe);
    QCOMPARE(cfgetospeed(&during), speed_t(B19200));
    QCOMPARE(during.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    // A pseudo-terminal keeps CS8 without parity whatever is asked; a parity
    // request still shows as input parity checking.
    QCOMPARE(during.c_iflag & (IXON | IXOFF | IXANY | INPCK | ICRNL | IGNCR | INLCR), tcflag_t(0));
    QCOMPARE(failures.count(), 0);
    QCOMPARE(sim.requests(), QVector<RequestRecord>(3, RequestRecord{ 3, 10, 2, true, 0 }));

    QElapsedTimer elapsed;
    elapsed.start();
    worker.stopAndWait();
    QVERIFY(elapsed.elapsed() < 200);
    QVERIFY(worker.isFinished());
}

// Each failure is reported at once, runs no job and leaves no link open; the
// worker parks and the next request on a good port succeeds.
void TestLinkWorker::failedOpensReportAndNextRequestSucceeds()
{
    SimHarness sim;
    sim.setHolding(0, 0x4242);
    TestWorker worker;
    QSignalSpy failures(&worker, &LinkWorker::Signal);
    QString outcome;
    worker.job = [&](RegisterLink &link) { outcome = readText(link, 0, 1); };
    startParked(worker, sim);

    const QString badPaths[] = { "/dev/tarvik-no-such-port", "", "/dev/null", // not a terminal
                                 "/dev/" + QString(300, 'x') };
    for (const QString &badPath : badPaths) {
        const int failed = worker.openFailures;
        worker.setPort(badPath, 9600, 1);
        QElapsedTimer elapsed;
        elapsed.start();
        worker.resume();
        QTRY_COMPARE(failures.count(), failed + 1);
        QVERIFY2(elapsed.elapsed() < 400, qPrintable(badPath)); // not after a time-out
        QCOMPARE(failures.last().at(0).toString(),
                 QString::fromUtf8("Ошибка открытия порта!\n Опрос завершен."));
        QTRY_VERIFY(worker.isParked());
        QCOMPARE(worker.openFailures.load(), failed + 1);
        QCOMPARE(worker.parks.load(), failed + 2);
        QCOMPARE(LinkWorker::liveContexts(), 0);
    }
    QCOMPARE(worker.jobsRun.load(), 0);
    worker.setPort(sim.devicePath(), 9600, 1);
    runOnce(worker, 1);
    QCOMPARE(outcome, QString("4242"));
    QCOMPARE(failures.count(), 4);
}

// A resume() while a job runs, or while the worker is on its way to park,
// is a new request: the job runs once more, and only once, on a link of its
// own. A stop while a job runs lets it finish, then closes its link.
void TestLinkWorker::resumeWhileBusyIsNotLostAndStopWaitsForTheJob()
{
    SimHarness sim;
    sim.setHolding(0, 0x4242);
    QSemaphore held;
    QSemaphore release;
    std::atomic<bool> holdJob{true};
    std::atomic<bool> holdPark{false};
    const auto hold = [&](std::atomic<bool> &flag) {
        if (flag) {
            held.release();
            release.tryAcquire(1, 5000); // a failed test must not hang the worker
        }
    };
    QStringList outcomes;
    TestWorker worker;
    worker.job = [&](RegisterLink &link) {
        const int contexts = LinkWorker::liveContexts();
        hold(holdJob);
        outcomes << QString::number(contexts) + " link: " + readText(link, 0, 1);
    };
    worker.parkHook = [&] { hold(holdPark); };
    startParked(worker, sim);

    const auto resumeWhileHeld = [&](std::atomic<bool> &flag, int jobs) {
        worker.resume();
        QVERIFY(held.tryAcquire(1, 5000));
        flag = false;
        worker.resume();
        release.release();
        QTRY_COMPARE(worker.jobsRun.load(), jobs);
        QTRY_VERIFY(worker.isParked());
        QTest::qWait(50);
        QCOMPARE(worker.jobsRun.load(), jobs);
    };
    resumeWhileHeld(holdJob, 2);
    holdPark = true;
    resumeWhileHeld(holdPark, 4); // held after the third job, before closing its link

    holdJob = true;
    worker.resume();
    QVERIFY(held.tryAcquire(1, 5000));
    worker.requestStop();
    release.release();
    QVERIFY(worker.wait(5000));
    QCOMPARE(outcomes, QVector<QString>(5, "1 link: 4242").toList());
    QCOMPARE(LinkWorker::liveContexts(), 0);
}

void TestLinkWorker::lateAnswerIsNeverTaken_data()
{
    QTest::addColumn<int>("pauseMs"); // before the next job; -1: the same job goes on
    QTest::addColumn<bool>("freshWorker"); // knows nothing of the earlier failure
    QTest::newRow("same job") << -1 << false;
    QTest::newRow("next job at once") << 0 << false;          // answer comes during its request
    QTest::newRow("answer waits on the line") << 400 << false; // came while the port was closed
    QTest::newRow("another worker") << 400 << true;
}

// The answer to a timed-out request arrives late; it must never be read as
// the answer to a later request of the same shape.
void TestLinkWorker::lateAnswerIsNeverTaken()
{
    QFETCH(int, pauseMs);
    QFETCH(bool, freshWorker);
    SimHarness sim;
    sim.setHolding(5, 0x111);
    sim.setDelay(600); // past the 0.5 s time-out
    int reads = pauseMs < 0 ? 3 : 1;
    QStringList outcomes;
    TestWorker first;
    TestWorker fresh;
    first.job = fresh.job = [&](RegisterLink &link) {
        for (int i = 0; i < reads; ++i) {
            outcomes << readText(link, 5, 1);
            sim.setDelay(0);
            sim.setHolding(5, 0x222);
        }
    };
    startParked(first, sim);
    runOnce(first, 1);
    if (pauseMs >= 0) {
        QTest::qWait(pauseMs);
        reads = 2;
        if (freshWorker)
            startParked(fresh, sim);
        runOnce(freshWorker ? fresh : first, freshWorker ? 1 : 2);
    }
    QCOMPARE(outcomes, QStringList({ "failed", "222", "222" }));
    QCOMPARE(sim.requests().size(), 3);
}

QTEST_GUILESS_MAIN(TestLinkWorker)
#include "tst_linkworker.moc"
