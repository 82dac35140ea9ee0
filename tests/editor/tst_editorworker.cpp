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
const QString SimWriting =
        QStringLiteral("status:Данные отправлены! Идет запись номеров телефона на SIM карту");

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
    void failures_data();
    void failures();
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
    QCOMPARE(rig.events, progress(26) << SimWriting << "status:Готово" << "write");
    QVERIFY(rig.sim.stateCopy().config() == registersOver(controllerBefore, image));

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

void TestEditorWorker::failures_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("times");
    QTest::addColumn<QStringList>("events");
    const int silent = FaultPlan::Forever;
    QTest::newRow("read, part 7 refused 5 times") << int(MyThread::ReadMode) << 441 << 503 << 5
        << (progress(23) << "read" << ReadDone);
    QTest::newRow("write, part 7 refused 6 times") << int(MyThread::WriteMode) << 441 << 503 << 6
        << (progress(6) << WriteFailed);
    QTest::newRow("read, telephone block silent") << int(MyThread::ReadMode) << 1999 << 2094 << silent
        << (progress(21) << ReadFailed);
    QTest::newRow("write, SIM card state silent") << int(MyThread::WriteMode) << 4008 << 4009 << silent
        << (progress(26) << SimWriting << WriteFailed);
}

// Six refused or unanswered requests end the job. A refusal (an exception
// answer) fails at once; a silent request costs the 0.5 s time-out and as much
// again to let the line settle, so even a silent controller ends it soon.
void TestEditorWorker::failures()
{
    QFETCH(int, mode);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, times);
    QFETCH(QStringList, events);
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    const bool silent = times == FaultPlan::Forever;
    rig.sim.failRange(silent ? 0 : mode == MyThread::WriteMode ? 16 : 3, first, last, times, silent);
    QElapsedTimer timer;
    timer.start();
    rig.run(mode, randomImage(random));
    QTRY_VERIFY_WITH_TIMEOUT(rig.finished(), 15000);
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(rig.events, events);
    const QVector<RequestRecord> log = rig.sim.requests();
    QCOMPARE(std::count_if(log.begin(), log.end(), [=](const RequestRecord &r) {
                 return r.address >= first && r.address <= last; }), 6);
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
