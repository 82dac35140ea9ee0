// The editor's worker reading and writing the configuration of the controller
// simulator over a pseudo-terminal with the real libmodbus master.
#include "mythread.h"
#include "simharness.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

const QString ReadDone = QStringLiteral("status:Данные прочитаны");
const QString ReadFailed = QStringLiteral("fail:Ошибка чтения данных");
const QString WriteFailed = QStringLiteral("fail:Ошибка отправки данных");

ConfigImage randomImage(QRandomGenerator &random)
{
    ConfigImage image;
    const auto next = [&random] { return quint8(random.bounded(256)); };
    std::generate(std::begin(image.MainBlock), std::end(image.MainBlock), next);
    std::generate(std::begin(image.PhoneBlock), std::end(image.PhoneBlock), next);
    std::generate(std::begin(image.ClockBlock), std::end(image.ClockBlock), next);
    return image;
}

// The register bytes of `from` over `image`, whose file-only bytes stay.
ConfigImage registersOver(ConfigImage image, const ConfigImage &from)
{
    std::memcpy(image.MainBlock, from.MainBlock, ConfigImage::MainRegisterBytes);
    std::memcpy(image.PhoneBlock, from.PhoneBlock, ConfigImage::PhoneSize);
    std::memcpy(image.ClockBlock, from.ClockBlock, ConfigImage::ClockSize);
    return image;
}

QStringList progress(int last)
{
    QStringList steps;
    for (int step = 0; step <= last; ++step)
        steps << QString::number(step);
    return steps;
}

// A worker on the simulator's terminal, parked, with every report it makes
// in the order it reached the test's thread. Like the window, it takes the
// read result into its own image in the ReadComplete slot.
struct Rig
{
    SimHarness sim;
    std::unique_ptr<MyThread> worker = std::make_unique<MyThread>();
    QStringList events;
    ConfigImage window;
    QObject context;

    Rig()
    {
        MyThread *w = worker.get();
        QObject::connect(w, &MyThread::Signal, &context, [this](const QString &t) { events << "fail:" + t; });
        QObject::connect(w, &MyThread::StatusBarMes, &context, [this](const QString &t) { events << "status:" + t; });
        QObject::connect(w, &MyThread::Progress, &context, [this](int step) { events << QString::number(step); });
        QObject::connect(w, &MyThread::ReadComplete, &context, [this] {
            events << (worker->applyReadResult(window) ? "read" : "read without result");
        });
        QObject::connect(w, &MyThread::WriteComplete, &context, [this] { events << "write"; });
        worker->setPort(sim.devicePath(), 9600, 1);
        worker->start();
    }
    void run(int mode, const ConfigImage &image = ConfigImage())
    {
        events.clear();
        sim.clearRequests();
        worker->setImage(image);
        worker->setMode(mode);
        worker->resume();
    }
    // True once the job has reported its end and the worker has parked.
    bool finished() const
    {
        const bool ended = !events.isEmpty()
                && (events.last().startsWith("fail:") || events.last() == "write" || events.last() == ReadDone);
        return ended && worker->isParked();
    }
};

} // namespace

class TestEditorWorker : public QObject
{
    Q_OBJECT

private slots:
    void writeThenReadBack();
    void blockFailures_data();
    void blockFailures();
    void silentControllerEndsInBoundedTime_data();
    void silentControllerEndsInBoundedTime();
    void failedOpenReportsAndNextRequestOpens();
    void closeWaitsForTransferEnd();

private:
    QRandomGenerator random{ 7301 };
};

// One worker, one job per request: a write, then reads of other contents. The
// file-only bytes never travel either way.
void TestEditorWorker::writeThenReadBack()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    rig.sim.setSimCard({ true, 3, true });
    const ConfigImage controllerBefore = rig.sim.stateCopy().config();
    const ConfigImage image = randomImage(random);
    rig.run(MyThread::WriteMode, image);
    QTRY_VERIFY_WITH_TIMEOUT(rig.finished(), 20000);
    QCOMPARE(rig.events, progress(26) << "status:Данные отправлены! Идет запись номеров телефона на SIM карту"
                                      << "status:Готово" << "write");
    QVERIFY(rig.sim.stateCopy().config() == registersOver(controllerBefore, image));
    QVector<RequestRecord> expected;
    for (int i = 0; i < 21; ++i)
        expected.append({ 16, 63 * i, 63, true, 0 });
    expected << RequestRecord{ 16, 1323, 3, true, 0 } << RequestRecord{ 16, 1999, 96, true, 0 }
             << RequestRecord{ 16, 2999, 4, true, 0 };
    for (int reg : { 4004, 4005, 4006 })
        expected << RequestRecord{ 6, reg, 1, true, 0 } << RequestRecord{ 3, reg, 1, true, 0 };
    for (int reg : { 4009, 4008, 4007, 4007, 4007, 4007 })
        expected << RequestRecord{ 3, reg, 1, true, 0 };
    QCOMPARE(rig.sim.requests(), expected);

    for (int round = 0; round < 2; ++round) {
        const ConfigImage controller = randomImage(random);
        rig.sim.state([&](ControllerState &s) { s.setConfig(controller); });
        rig.window = randomImage(random);
        const ConfigImage windowExpected = registersOver(rig.window, controller);
        rig.run(MyThread::ReadMode);
        QTRY_VERIFY_WITH_TIMEOUT(rig.finished(), 20000);
        QCOMPARE(rig.events, progress(23) << "read" << ReadDone);
        QCOMPARE(rig.sim.requests().size(), 24);
        QVERIFY(rig.window == windowExpected);
    }
}

void TestEditorWorker::blockFailures_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("times");
    QTest::newRow("read, part 7 fails 5 times") << int(MyThread::ReadMode) << 5;
    QTest::newRow("read, part 7 fails 6 times") << int(MyThread::ReadMode) << 6;
    QTest::newRow("write, part 7 fails 6 times") << int(MyThread::WriteMode) << 6;
}

// An exception answer fails a request at once, without the time-out. A failed
// write leaves the controller with the parts sent before it.
void TestEditorWorker::blockFailures()
{
    QFETCH(int, mode);
    QFETCH(int, times);
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    const ConfigImage before = rig.sim.stateCopy().config();
    const bool write = mode == MyThread::WriteMode;
    rig.sim.failRange(write ? 16 : 3, 441, 503, times, false);
    const ConfigImage image = randomImage(random);
    rig.run(mode, image);
    QTRY_VERIFY_WITH_TIMEOUT(rig.finished(), 20000);

    const QVector<RequestRecord> log = rig.sim.requests();
    QCOMPARE(std::count_if(log.begin(), log.end(), [](const RequestRecord &r) { return r.address == 441; }), 6);
    if (times == 5) {
        QCOMPARE(rig.events.last(), write ? QStringLiteral("write") : ReadDone);
        return;
    }
    QCOMPARE(rig.events, progress(6) << (write ? WriteFailed : ReadFailed));
    QCOMPARE(log.last().address, 441);
    const ConfigImage controller = rig.sim.stateCopy().config();
    const int sent = write ? 882 : 0; // parts 0-6
    QCOMPARE(std::memcmp(controller.MainBlock, image.MainBlock, sent), 0);
    QCOMPARE(std::memcmp(controller.MainBlock + sent, before.MainBlock + sent, 2652 - sent), 0);
}

void TestEditorWorker::silentControllerEndsInBoundedTime_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("read, telephone block") << int(MyThread::ReadMode) << 1999 << 2094;
    QTest::newRow("write, SIM card state") << int(MyThread::WriteMode) << 4008 << 4009;
}

// Each silent request costs the 0.5 s time-out and as much again to let the
// line settle; six of them end the job.
void TestEditorWorker::silentControllerEndsInBoundedTime()
{
    QFETCH(int, mode);
    QFETCH(int, first);
    QFETCH(int, last);
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    rig.sim.failRange(0, first, last, FaultPlan::Forever, true);
    QElapsedTimer timer;
    timer.start();
    rig.run(mode);
    QTRY_VERIFY_WITH_TIMEOUT(rig.finished(), 15000);
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(rig.events.last(), mode == MyThread::WriteMode ? WriteFailed : ReadFailed);
}

void TestEditorWorker::failedOpenReportsAndNextRequestOpens()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    rig.worker->setPort("/nonexistent/ttyTarvik", 9600, 1);
    rig.run(MyThread::ReadMode);
    QTRY_VERIFY(rig.finished());
    QCOMPARE(rig.events, QStringList{ "fail:Ошибка открытия порта!\n Опрос завершен." });
    QVERIFY(rig.sim.requests().isEmpty());

    rig.worker->setPort(rig.sim.devicePath(), 9600, 1);
    rig.run(MyThread::ReadMode);
    QTRY_VERIFY_WITH_TIMEOUT(rig.finished(), 20000);
    QCOMPARE(rig.events.last(), ReadDone);
}

// Mode 0 wakes the worker without opening the port; a close during a write
// lets the write finish.
void TestEditorWorker::closeWaitsForTransferEnd()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    rig.run(MyThread::NoTransfer);
    QTest::qWait(200);
    QVERIFY(rig.worker->isParked());
    QCOMPARE(rig.sim.statistics().requests, quint64(0));
    QVERIFY(rig.events.isEmpty());

    rig.sim.setSimCard({ true, 5, true });
    rig.run(MyThread::WriteMode, randomImage(random));
    QTRY_VERIFY(rig.sim.statistics().requests > 0);
    rig.worker->stopAndWait();
    QVERIFY(rig.worker->isFinished());
    QCoreApplication::processEvents();
    QCOMPARE(rig.events.mid(rig.events.size() - 2), QStringList({ "status:Готово", "write" }));
}

QTEST_GUILESS_MAIN(TestEditorWorker)
#include "tst_editorworker.moc"
