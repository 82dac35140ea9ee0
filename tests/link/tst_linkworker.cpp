#include "linkworker.h"
#include "registerlink.h"
#include "simharness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <functional>

namespace {

const QString openFailed = QString::fromUtf8("Ошибка открытия порта!\n Опрос завершен.");

// The smallest program worker: runs whatever job the test hands it.
class TestWorker : public LinkWorker
{
public:
    ~TestWorker() override { stopAndWait(); }

    std::function<void(RegisterLink &)> job;     // set before resume()
    std::function<void()> parkHook;              // set before start()
    std::atomic<int> jobsRun{0};
    std::atomic<int> parks{0};
    std::atomic<int> openFailures{0};

protected:
    void runJob(RegisterLink &link) override
    {
        ++jobsRun;
        if (job)
            job(link);
    }
    void onPark() override
    {
        ++parks;
        if (parkHook)
            parkHook();
    }
    void onOpenFailed() override { ++openFailures; }
};

// Descriptors of this process open on the device (the simulator keeps one).
int openDescriptors(const QString &devicePath)
{
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    int count = 0;
    const QFileInfoList fds = QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System);
    for (const QFileInfo &fd : fds)
        count += fd.symLinkTarget() == target;
    return count;
}

} // namespace

class TestLinkWorker : public QObject
{
    Q_OBJECT

private slots:
    void devicePathForPortNames();
    void parksAtStartWithoutTouchingAPort();
    void runsJobsAndClosesLinkAtEveryPark();
    void lineDisciplineSetAndRestored();
    void failedOpenReportsAndNextRequestSucceeds_data();
    void failedOpenReportsAndNextRequestSucceeds();
    void resumeDuringParkIsNotLost();
    void resumeDuringJobRunsItAgain();
    void stopEndsParkedThreadAtOnceAndLetsJobFinish();
    void lateAnswerIsNeverTakenForTheNext();
    void staleAnswerFromPreviousJobIsFlushed_data();
    void staleAnswerFromPreviousJobIsFlushed();

private:
    static void startParked(TestWorker &worker);
    static void runOnce(TestWorker &worker, int expectedJobs);
};

void TestLinkWorker::startParked(TestWorker &worker)
{
    worker.start();
    QTRY_VERIFY(worker.isParked());
}

void TestLinkWorker::runOnce(TestWorker &worker, int expectedJobs)
{
    worker.resume();
    QTRY_COMPARE(worker.jobsRun.load(), expectedJobs);
    QTRY_VERIFY(worker.isParked());
}

void TestLinkWorker::devicePathForPortNames()
{
    QCOMPARE(LinkWorker::devicePath("/dev/pts/3"), QString("/dev/pts/3"));
    QCOMPARE(LinkWorker::devicePath("/tmp/tarvik-editor"), QString("/tmp/tarvik-editor"));
    QCOMPARE(LinkWorker::devicePath("ttyUSB7"), QString("/dev/ttyUSB7"));
    QCOMPARE(LinkWorker::devicePath("COM12"), QString("/dev/COM12"));
    QCOMPARE(LinkWorker::devicePath(""), QString());
    QCOMPARE(QString::fromUtf8(LinkWorker::openFailedText()), openFailed);
}

void TestLinkWorker::parksAtStartWithoutTouchingAPort()
{
    TestWorker worker;
    QSignalSpy failures(&worker, &LinkWorker::Signal);
    startParked(worker);
    QTest::qWait(50);
    QCOMPARE(worker.jobsRun.load(), 0);
    QCOMPARE(worker.parks.load(), 1);
    QCOMPARE(LinkWorker::liveContexts(), 0);
    QCOMPARE(failures.count(), 0);
}

// The address is truncated to 8 bits on its way to libmodbus: 263 is slave 7.
void TestLinkWorker::runsJobsAndClosesLinkAtEveryPark()
{
    SimHarness sim(7);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    const int simulatorDescriptors = openDescriptors(sim.devicePath());
    sim.setHoldings(10, { 0x1234, 0xBEEF });

    TestWorker worker;
    QSignalSpy failures(&worker, &LinkWorker::Signal);
    std::atomic<int> readResult{0};
    std::atomic<int> contextsDuringJob{-1};
    std::atomic<int> descriptorsDuringJob{-1};
    quint16 values[2] = {};
    worker.job = [&](RegisterLink &link) {
        contextsDuringJob = LinkWorker::liveContexts();
        descriptorsDuringJob = openDescriptors(sim.devicePath());
        readResult = link.readRegisters(10, 2, values);
    };
    worker.setPort(sim.devicePath(), 19200, 256 + 7);
    startParked(worker);

    for (int job = 1; job <= 3; ++job) {
        runOnce(worker, job);
        QCOMPARE(readResult.load(), 2);
        QCOMPARE(values[0], quint16(0x1234));
        QCOMPARE(values[1], quint16(0xBEEF));
        QCOMPARE(contextsDuringJob.load(), 1);
        QCOMPARE(descriptorsDuringJob.load(), simulatorDescriptors + 1);
        QCOMPARE(LinkWorker::liveContexts(), 0);
        QCOMPARE(openDescriptors(sim.devicePath()), simulatorDescriptors);
        QCOMPARE(worker.parks.load(), job + 1);
    }
    QCOMPARE(failures.count(), 0);
    QCOMPARE(sim.requests(), QVector<RequestRecord>(3, RequestRecord{ 3, 10, 2, true, 0 }));
}

// 8N1 raw at the chosen speed while the link is open; the port's own
// settings come back when it closes.
void TestLinkWorker::lineDisciplineSetAndRestored()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    const int probe = ::open(QFile::encodeName(sim.devicePath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(probe >= 0);
    termios before {};
    QCOMPARE(tcgetattr(probe, &before), 0);
    before.c_cflag = (before.c_cflag & ~(CSIZE | CSTOPB)) | CS7 | PARENB | CSTOPB;
    before.c_iflag |= IXON | ICRNL;
    before.c_lflag |= ICANON | ECHO;
    cfsetspeed(&before, B2400);
    QCOMPARE(tcsetattr(probe, TCSANOW, &before), 0);
    QCOMPARE(tcgetattr(probe, &before), 0);

    termios during {};
    TestWorker worker;
    worker.job = [&](RegisterLink &) { tcgetattr(probe, &during); };
    worker.setPort(sim.devicePath(), 19200, 1);
    startParked(worker);
    runOnce(worker, 1);

    QCOMPARE(cfgetospeed(&during), speed_t(B19200));
    QCOMPARE(during.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    QCOMPARE(during.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    QCOMPARE(during.c_iflag & (IXON | IXOFF | IXANY | INPCK | ICRNL | IGNCR | INLCR), tcflag_t(0));
    QCOMPARE(during.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
    QCOMPARE(during.c_oflag & OPOST, tcflag_t(0));

    termios after {};
    QCOMPARE(tcgetattr(probe, &after), 0);
    ::close(probe);
    QCOMPARE(cfgetospeed(&after), cfgetospeed(&before));
    QCOMPARE(after.c_cflag, before.c_cflag);
    QCOMPARE(after.c_iflag, before.c_iflag);
    QCOMPARE(after.c_lflag, before.c_lflag);
    QCOMPARE(after.c_oflag, before.c_oflag);
}

void TestLinkWorker::failedOpenReportsAndNextRequestSucceeds_data()
{
    QTest::addColumn<QString>("badPath");
    QTest::addColumn<int>("baudRate");
    QTest::newRow("missing device") << "/dev/tarvik-no-such-port" << 9600;
    QTest::newRow("empty path") << "" << 9600;
    QTest::newRow("not a terminal") << "/dev/null" << 9600;
    QTest::newRow("overlong path") << "/dev/" + QString(300, 'x') << 9600;
}

void TestLinkWorker::failedOpenReportsAndNextRequestSucceeds()
{
    QFETCH(QString, badPath);
    QFETCH(int, baudRate);
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    sim.setHolding(0, 4242);

    TestWorker worker;
    QSignalSpy failures(&worker, &LinkWorker::Signal);
    std::atomic<int> result{0};
    quint16 value = 0;
    worker.job = [&](RegisterLink &link) { result = link.readRegisters(0, 1, &value); };
    startParked(worker);

    worker.setPort(badPath, baudRate, 1);
    QElapsedTimer elapsed;
    elapsed.start();
    worker.resume();
    QTRY_COMPARE(failures.count(), 1);
    QVERIFY(elapsed.elapsed() < 400); // at once, not after a time-out
    QCOMPARE(failures.at(0).at(0).toString(), openFailed);
    QTRY_VERIFY(worker.isParked());
    QCOMPARE(worker.openFailures.load(), 1);
    QCOMPARE(worker.jobsRun.load(), 0);
    QCOMPARE(worker.parks.load(), 2);
    QCOMPARE(LinkWorker::liveContexts(), 0);

    worker.setPort(sim.devicePath(), 9600, 1);
    runOnce(worker, 1);
    QCOMPARE(result.load(), 1);
    QCOMPARE(value, quint16(4242));
    QCOMPARE(failures.count(), 1);
}

// The window resumes while the worker is still closing the previous link.
void TestLinkWorker::resumeDuringParkIsNotLost()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSemaphore inPark;
    QSemaphore leavePark;
    std::atomic<bool> holdPark{false};

    TestWorker worker;
    worker.parkHook = [&] {
        if (holdPark) {
            inPark.release();
            leavePark.acquire();
        }
    };
    worker.setPort(sim.devicePath(), 9600, 1);
    startParked(worker);
    holdPark = true;
    worker.resume();
    QVERIFY(inPark.tryAcquire(1, 5000)); // first job done, worker about to close
    holdPark = false;
    worker.resume();
    leavePark.release();

    QTRY_COMPARE(worker.jobsRun.load(), 2);
    QTRY_VERIFY(worker.isParked());
    QTest::qWait(50);
    QCOMPARE(worker.jobsRun.load(), 2);
    QCOMPARE(LinkWorker::liveContexts(), 0);
}

// A resume() while the job runs is a new request: the job runs once more,
// and only once.
void TestLinkWorker::resumeDuringJobRunsItAgain()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSemaphore inJob;
    QSemaphore leaveJob;
    std::atomic<int> mostContexts{0};

    TestWorker worker;
    worker.job = [&](RegisterLink &) {
        mostContexts = qMax(mostContexts.load(), LinkWorker::liveContexts());
        inJob.release();
        leaveJob.acquire();
    };
    worker.setPort(sim.devicePath(), 9600, 1);
    startParked(worker);
    worker.resume();
    QVERIFY(inJob.tryAcquire(1, 5000));
    worker.resume();
    leaveJob.release();
    QVERIFY(inJob.tryAcquire(1, 5000));
    leaveJob.release();

    QTRY_VERIFY(worker.isParked());
    QTest::qWait(50);
    QCOMPARE(worker.jobsRun.load(), 2);
    QCOMPARE(mostContexts.load(), 1); // each run on a link of its own
    QCOMPARE(LinkWorker::liveContexts(), 0);
}

// A parked worker leaves at once; a job in progress runs to its end first
// and the link is closed before the thread finishes.
void TestLinkWorker::stopEndsParkedThreadAtOnceAndLetsJobFinish()
{
    TestWorker parked;
    startParked(parked);
    QElapsedTimer elapsed;
    elapsed.start();
    parked.stopAndWait();
    QVERIFY(elapsed.elapsed() < 200);
    QVERIFY(parked.isFinished());

    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSemaphore inJob;
    std::atomic<int> readResult{0};
    TestWorker busy;
    busy.job = [&](RegisterLink &link) {
        inJob.release();
        QThread::msleep(100);
        quint16 value;
        readResult = link.readRegisters(0, 1, &value);
    };
    busy.setPort(sim.devicePath(), 9600, 1);
    startParked(busy);
    busy.resume();
    QVERIFY(inJob.tryAcquire(1, 5000));
    busy.stopAndWait();
    QCOMPARE(readResult.load(), 1);
    QCOMPARE(LinkWorker::liveContexts(), 0);
    QCOMPARE(busy.jobsRun.load(), 1);
}

// The answer to a timed-out request arrives while the next request of the
// same shape is on its way; it must never be read as that one's answer.
void TestLinkWorker::lateAnswerIsNeverTakenForTheNext()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    sim.setHolding(0, 111);
    sim.setDelay(700);

    TestWorker worker;
    int results[3] = {};
    quint16 values[3] = {};
    worker.job = [&](RegisterLink &link) {
        results[0] = link.readRegisters(0, 1, &values[0]); // times out after 0.5 s
        sim.setDelay(0);
        sim.setHolding(0, 222);
        results[1] = link.readRegisters(0, 1, &values[1]);
        results[2] = link.readRegisters(0, 1, &values[2]);
    };
    worker.setPort(sim.devicePath(), 9600, 1);
    startParked(worker);
    runOnce(worker, 1);

    QCOMPARE(results[0], -1);
    QCOMPARE(results[1], 1);
    QCOMPARE(values[1], quint16(222));
    QCOMPARE(results[2], 1);
    QCOMPARE(values[2], quint16(222));
    QCOMPARE(sim.requests().size(), 3);
}

void TestLinkWorker::staleAnswerFromPreviousJobIsFlushed_data()
{
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<bool>("freshWorker"); // knows nothing of the earlier failure
    QTest::newRow("next job at once") << 0 << false;          // answer comes during its request
    QTest::newRow("answer waits on the line") << 400 << false; // came while the port was closed
    QTest::newRow("another worker") << 400 << true;
}

// A job that ends on a time-out leaves its late answer on the line; the next
// job's first request must not take it.
void TestLinkWorker::staleAnswerFromPreviousJobIsFlushed()
{
    QFETCH(int, pauseMs);
    QFETCH(bool, freshWorker);
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    sim.setHolding(5, 111);
    sim.setDelay(600);

    std::atomic<int> result{0};
    quint16 value = 0;
    const auto readJob = [&](RegisterLink &link) { result = link.readRegisters(5, 1, &value); };
    auto first = std::make_unique<TestWorker>();
    first->job = readJob;
    first->setPort(sim.devicePath(), 9600, 1);
    startParked(*first);
    runOnce(*first, 1);
    QCOMPARE(result.load(), -1);

    QTest::qWait(pauseMs);
    sim.setDelay(0);
    sim.setHolding(5, 222);
    auto second = freshWorker ? std::make_unique<TestWorker>() : std::move(first);
    second->job = readJob;
    second->setPort(sim.devicePath(), 9600, 1);
    if (freshWorker)
        startParked(*second);
    runOnce(*second, freshWorker ? 1 : 2);
    QCOMPARE(result.load(), 1);
    QCOMPARE(value, quint16(222));
    QCOMPARE(sim.requests().size(), 2);
}

QTEST_GUILESS_MAIN(TestLinkWorker)
#include "tst_linkworker.moc"
