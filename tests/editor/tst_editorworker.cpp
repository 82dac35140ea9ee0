// The editor's worker, real libmodbus master, against the simulator on a pseudo-terminal.
#include "mythread.h"
#include "simharness.h"
#include "testimages.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <cstring>

namespace {

// A worker with its reports as they reach this thread, taking a read result as the window does.
struct Rig
{
    SimHarness sim;
    MyThread worker;
    QStringList events;
    ConfigImage window;

    Rig()
    {
        QObject::connect(&worker, &MyThread::Signal, &worker, [this](const QString &t) { events << "fail:" + t; });
        QObject::connect(&worker, &MyThread::StatusBarMes, &worker, [this](const QString &t) { events << t; });
        QObject::connect(&worker, &MyThread::Progress, &worker, [this](int step) { events << QString::number(step); });
        QObject::connect(&worker, &MyThread::ReadComplete, &worker,
                         [this] { events << (worker.applyReadResult(window) ? "read" : "read, no result"); });
        QObject::connect(&worker, &MyThread::WriteComplete, &worker, [this] { events << "write"; });
        worker.setPort(sim.devicePath(), 9600, 1);
        worker.start();
    }
    // Starts one job; with `wait`, true once it has reported its end and the worker has parked.
    bool run(int mode, const ConfigImage &image = ConfigImage(), bool wait = true)
    {
        events.clear();
        worker.setImage(image);
        worker.setMode(mode);
        worker.resume();
        return !wait || QTest::qWaitFor([this] {
            const QString last = events.value(events.size() - 1);
            return (last.startsWith("fail:") || last == "write" || last == "Данные прочитаны") && worker.isParked();
        }, 20000);
    }
};

} // namespace

class TestEditorWorker : public QObject
{
    Q_OBJECT

private slots:
    // One job per request: a read; a read against a silent telephone block, ending soon
    // (six 0.5 s time-outs, as much to settle the line) with the window's image as it was;
    // mode 0, port kept shut; a close during a write, which runs to its end.
    void jobsThenClose();
    void transfersThroughATcpGateway();
};

void TestEditorWorker::jobsThenClose()
{
    QRandomGenerator random(7301);
    const auto registersOver = [](ConfigImage image, const ConfigImage &from) {
        std::memcpy(image.MainBlock, from.MainBlock, ConfigImage::MainRegisterBytes);
        std::memcpy(image.PhoneBlock, from.PhoneBlock, ConfigImage::PhoneSize);
        std::memcpy(image.ClockBlock, from.ClockBlock, ConfigImage::ClockSize);
        return image;
    };
    QStringList progress;
    for (int step = 0; step <= 26; ++step)
        progress << QString::number(step);
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    ConfigImage controller = randomBytesImage(random);
    rig.sim.state([&](ControllerState &s) { s.setConfig(controller); });
    rig.window = randomBytesImage(random);
    const ConfigImage windowExpected = registersOver(rig.window, controller);
    QVERIFY(rig.run(MyThread::ReadMode));
    QCOMPARE(rig.events, progress.mid(0, 24) << "read" << "Данные прочитаны");
    QVERIFY(rig.window == windowExpected);

    rig.sim.failRange(0, 1999, 2094, FaultPlan::Forever, true);
    const QDeadlineTimer deadline(10000);
    QVERIFY(rig.run(MyThread::ReadMode));
    QVERIFY(!deadline.hasExpired());
    QCOMPARE(rig.events, progress.mid(0, 22) << "fail:Ошибка чтения данных");
    QVERIFY(!rig.worker.applyReadResult(rig.window) && rig.window == windowExpected);
    rig.sim.clearFaults();

    rig.sim.clearRequests();
    rig.run(MyThread::NoTransfer, ConfigImage(), false);
    QTest::qWait(200);
    QVERIFY(rig.worker.isParked() && rig.events.isEmpty() && rig.sim.requests().isEmpty());

    rig.sim.setSimCard({ true, 5, true });
    const ConfigImage image = randomBytesImage(random);
    controller = registersOver(rig.sim.stateCopy().config(), image);
    rig.run(MyThread::WriteMode, image, false);
    QTRY_VERIFY(!rig.sim.requests().isEmpty());
    rig.worker.stopAndWait();
    QVERIFY(rig.worker.isFinished() && rig.sim.stateCopy().config() == controller); // file-only bytes kept
    QCoreApplication::processEvents();
    QCOMPARE(rig.events, progress << "Данные отправлены! Идет запись номеров телефона на SIM карту" << "Готово" << "write");
}

// Through a TCP gateway: a read with one 0x0B answer retried; a write with its commit and
// SIM steps; a peer closing every connection fails the read at once, the window's image
// kept, and the next read connects anew.
void TestEditorWorker::transfersThroughATcpGateway()
{
    QRandomGenerator random(7302);
    QStringList progress;
    for (int step = 0; step <= 26; ++step)
        progress << QString::number(step);
    Rig rig;
    QVERIFY2(rig.sim.isReady() && rig.sim.serveTcp(), qPrintable(rig.sim.errorString()));
    rig.worker.setLink(LinkTarget::tcp("127.0.0.1", rig.sim.tcpPort(), 1));
    const ConfigImage controller = randomBytesImage(random);
    rig.sim.state([&](ControllerState &s) { s.setConfig(controller); });
    rig.sim.failGatewayOfNext(1);
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression("gateway exception 0x0B"));
    QVERIFY(rig.run(MyThread::ReadMode));
    QCOMPARE(rig.events, progress.mid(0, 24) << "read" << "Данные прочитаны");
    const QVector<RequestRecord> requests = rig.sim.requests();
    QVERIFY(requests.size() > 2 && requests.at(0).exception == Simulator::GatewayTargetFailed);
    RequestRecord retried = requests.at(0);
    retried.exception = 0;
    QCOMPARE(requests.at(1), retried);
    QVERIFY(std::memcmp(rig.window.MainBlock, controller.MainBlock, ConfigImage::MainRegisterBytes) == 0);

    rig.sim.setSimCard({ true, 5, true });
    const ConfigImage image = randomBytesImage(random);
    QVERIFY(rig.run(MyThread::WriteMode, image));
    QCOMPARE(rig.events, QStringList(progress) << "Данные отправлены! Идет запись номеров телефона на SIM карту"
                                               << "Готово" << "write");
    const ConfigImage written = rig.sim.stateCopy().config();
    QVERIFY(std::memcmp(written.MainBlock, image.MainBlock, ConfigImage::MainRegisterBytes) == 0);
    QVERIFY(std::memcmp(written.PhoneBlock, image.PhoneBlock, ConfigImage::PhoneSize) == 0);

    const ConfigImage beforeFailure = rig.window;
    rig.sim.closeOnNext(1000);
    const QDeadlineTimer deadline(2000);
    QVERIFY(rig.run(MyThread::ReadMode));
    QVERIFY(!deadline.hasExpired());
    QCOMPARE(rig.events.last(), QString("fail:Ошибка чтения данных"));
    QVERIFY(rig.window == beforeFailure);
    rig.sim.clearFaults();
    const int connections = rig.sim.tcpConnections();
    QVERIFY(rig.run(MyThread::ReadMode));
    QCOMPARE(rig.events.last(), QString("Данные прочитаны"));
    QCOMPARE(rig.sim.tcpConnections(), connections + 1);
}

QTEST_GUILESS_MAIN(TestEditorWorker)
#include "tst_editorworker.moc"
