// The console's worker polling the simulator on a pseudo-terminal through libmodbus.
#include "mythread.h"
#include "simharness.h"
#include "tcpserver.h"

#include <QtTest>

#include <memory>

namespace {

// A parked worker on the simulator's terminal, and what reached the test's thread.
struct Rig : QObject
{
    SimHarness sim;
    std::unique_ptr<MyThread> worker = std::make_unique<MyThread>();
    QVector<AlarmType> current, all;
    int currentClears = 0;
    QStringList texts;
    QVector<quint32> vpks;
    bool ready = false;

    Rig()
    {
        MyThread *w = worker.get();
        connect(w, &MyThread::Signal, this, [this](const QString &t) { texts << t; });
        connect(w, &MyThread::SignalAlarmAll, this, [this](AlarmType a) { all << a; });
        connect(w, &MyThread::SignalAlarmCurrent, this, [this](AlarmType a) { current << a; });
        connect(w, &MyThread::SignalAlarmCurrentClear, this, [this] { ++currentClears; });
        connect(w, &MyThread::SignalVpk, this, [this](quint32 v) { vpks << v; });
        worker->setPort(sim.devicePath(), 9600, 1);
        worker->start();
        ready = QTest::qWaitFor([w] { return w->isParked(); }) && sim.isReady();
    }
    bool sawAll() const
    {
        const ControllerState state = sim.stateCopy();
        return current == alarmsOf(state.currentEvents()) && all == alarmsOf(state.loggedEvents());
    }
};

} // namespace

class TestConsoleWorker : public QObject
{
    Q_OBJECT

private slots:
    void failuresEndTheRunAndTheNextGoesOn();
    void eachEventOnceAcrossPausesAndReset();
    void resumeOnTheFailureMessageIsKept();
    void pollsThroughATcpGateway();
};

void TestConsoleWorker::failuresEndTheRunAndTheNextGoesOn()
{
    Rig rig;
    QVERIFY2(rig.ready, qPrintable(rig.sim.errorString()));
    rig.sim.addCurrentEvent(SimEvent::now(SimEvent::deviceSource(0), 7), false);
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.current.size(), 1, 10000);
    rig.sim.failRange(4, 1019, 1023, 6, false); // the next record, six times in a row
    rig.sim.addCurrentEvent(SimEvent::now(SimEvent::deviceSource(1), 7), false);
    rig.sim.addCurrentEvent(SimEvent::now(SimEvent::deviceSource(2), 7), false);
    const QString lineFailure = QStringLiteral("Ошибка чтения линии!\n Опрос завершен.");
    QTRY_COMPARE_WITH_TIMEOUT(rig.texts, QStringList{lineFailure}, 20000);
    QTRY_COMPARE(rig.vpks.count(0u), 2); // a park; every word read has bit 22
    QTRY_VERIFY(rig.worker->isParked());
    QCOMPARE(LinkWorker::liveContexts(), 0); // the link is closed at the park

    // A port that cannot be opened: its own message, a park, no harm done.
    rig.worker->setPort(QStringLiteral("/nonexistent/tty"), 9600, 1);
    rig.worker->resume();
    QTRY_COMPARE(rig.texts, (QStringList{lineFailure, "Ошибка открытия порта!\n Опрос завершен."}));
    QTRY_COMPARE(rig.vpks.count(0u), 3);

    // The next run starts with the record it was waiting for, no new handshake.
    rig.sim.clearRequests();
    rig.worker->setPort(rig.sim.devicePath(), 9600, 1);
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.current.size(), 3, 10000);
    QVERIFY(rig.sawAll() && rig.currentClears == 0);
    QCOMPARE(rig.sim.requests().value(0), (RequestRecord{4, 1019, 5, true, 0}));
}

void TestConsoleWorker::eachEventOnceAcrossPausesAndReset()
{
    Rig rig;
    QVERIFY2(rig.ready, qPrintable(rig.sim.errorString()));
    for (int i = 0; i < 30; ++i)
        rig.sim.addCurrentEvent(SimEvent::now(SimEvent::deviceSource(i), 7));
    rig.sim.setDelay(2); // widen the handshake so pauses land inside it
    int resumedInsideHandshake = 0;
    for (int round = 0; round < 25; ++round) {
        rig.sim.clearRequests();
        rig.worker->resume();
        rig.sim.addCurrentEvent(SimEvent::now(SimEvent::deviceSource(30 + round), 7)); // while polling
        // A pause before the worker woke would leave it parked with no new park to count.
        QTRY_VERIFY(!rig.sim.requests().isEmpty());
        QTest::qWait(5 + round * 13 % 35);
        rig.worker->pause();
        QTRY_VERIFY(rig.worker->isParked());
        // A run opening with an acknowledge or record read took up a handshake.
        const int first = rig.sim.requests().value(0).address;
        resumedInsideHandshake += first == 4002 || first == 1019;
    }
    QVERIFY(resumedInsideHandshake > 0);
    QTRY_COMPARE(rig.vpks.count(0u), 1 + 25);

    // Stop and Start pressed while a step is in flight never leave a second link open.
    int mostLinks = 0;
    for (int i = 0; i < 40; ++i) {
        QTest::qWait(4);
        rig.worker->pause();
        QThread::usleep(500 * quint64(i % 8));
        rig.worker->resume();
        mostLinks = qMax(mostLinks, LinkWorker::liveContexts());
    }
    QVERIFY(mostLinks <= 1);
    QTRY_COMPARE(LinkWorker::liveContexts(), 1);
    rig.sim.setDelay(0);
    QTRY_VERIFY_WITH_TIMEOUT(rig.sawAll(), 20000);
    QTest::qWait(50); // nothing more may come
    QVERIFY(rig.sawAll() && rig.texts.isEmpty());

    rig.worker->requestReset();
    QTRY_VERIFY_WITH_TIMEOUT(rig.currentClears > 0, 10000);
    QCOMPARE(rig.sim.requests().count(RequestRecord{6, 4003, 1, true, 0}), 1);
    rig.sim.addCurrentEvent(SimEvent::now(SimEvent::deviceSource(99), 7)); // fetched from position 0
    QTRY_COMPARE_WITH_TIMEOUT(rig.current.size(), 56, 10000);
    QCOMPARE(rig.current.mid(55), alarmsOf(rig.sim.stateCopy().currentEvents()));
    // Deleting a polling worker on a silent line waits for the request in flight only.
    rig.sim.setSilent(true);
    QTest::qWait(700);
    QElapsedTimer timer;
    timer.start();
    rig.worker.reset();
    // One request in flight takes about 0.8 s; the whole failure sequence some 15 s.
    qInfo("worker gone after %lld ms", timer.elapsed());
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(LinkWorker::liveContexts(), 0);
}

// A window may resume as soon as the failure text arrives; the worker must have halted
// before it says so, or the resume is overwritten and polling silently stays off.
void TestConsoleWorker::resumeOnTheFailureMessageIsKept()
{
    Rig rig;
    QVERIFY2(rig.ready, qPrintable(rig.sim.errorString()));
    std::atomic<int> resumes{0};
    // Direct: runs on the worker at the moment of the emit, the earliest a window could.
    connect(rig.worker.get(), &MyThread::Signal, rig.worker.get(), [&rig, &resumes] {
        if (resumes++ == 0)
            rig.worker->resume();
    }, Qt::DirectConnection);
    rig.sim.failRange(4, 1039, 1040, 6, false);
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.texts.size(), 1, 20000);
    rig.sim.addCurrentEvent(SimEvent::now(32, 5));
    QTRY_COMPARE_WITH_TIMEOUT(rig.current.size(), 1, 10000);
    QVERIFY(!rig.worker->isParked() && resumes == 1);
}

// Through a TCP gateway: events arrive; one 0x0B answer is retried as a serial failure
// is; a peer closing every connection ends the run with the line failure at once (no
// time-outs), the next run connects anew; a refused gateway is named in its text.
void TestConsoleWorker::pollsThroughATcpGateway()
{
    Rig rig;
    QVERIFY2(rig.ready && rig.sim.serveTcp(), qPrintable(rig.sim.errorString()));
    rig.worker->setLink(LinkTarget::tcp("127.0.0.1", rig.sim.tcpPort(), 1));
    rig.sim.addCurrentEvent(SimEvent::now(SimEvent::deviceSource(0), 7));
    rig.sim.failGatewayOfNext(1);
    QTest::ignoreMessage(QtInfoMsg, QRegularExpression("gateway exception 0x0B"));
    rig.worker->resume();
    QTRY_VERIFY_WITH_TIMEOUT(rig.sawAll() && rig.current.size() == 1, 10000);
    int gatewayAnswers = 0;
    for (const RequestRecord &r : rig.sim.requests())
        gatewayAnswers += r.exception == Simulator::GatewayTargetFailed;
    QCOMPARE(gatewayAnswers, 1);
    QVERIFY(rig.texts.isEmpty());

    QElapsedTimer timer;
    timer.start();
    rig.sim.closeOnNext(1000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.texts, QStringList{MyThread::lineFailureText()}, 5000);
    QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
    QTRY_VERIFY(rig.worker->isParked());
    QCOMPARE(LinkWorker::liveContexts(), 0);

    rig.sim.clearFaults();
    const int connections = rig.sim.tcpConnections();
    rig.sim.addCurrentEvent(SimEvent::now(SimEvent::deviceSource(1), 7));
    rig.worker->resume();
    QTRY_VERIFY_WITH_TIMEOUT(rig.sawAll() && rig.current.size() == 2, 10000);
    QCOMPARE(rig.sim.tcpConnections(), connections + 1);
    // Only the console paces a network link: tens of cycles a second, not hundreds.
    rig.sim.clearRequests();
    QTest::qWait(500);
    int cycles = 0;
    for (const RequestRecord &r : rig.sim.requests())
        cycles += r.address == Poller::VpkRegister;
    QVERIFY2(cycles >= 2 && cycles <= 12, qPrintable(QString::number(cycles)));
    rig.worker->pause();
    QTRY_VERIFY(rig.worker->isParked());

    int refused = 0;
    {
        Simulator idle;
        TcpServer server(idle);
        QVERIFY(server.listen("127.0.0.1", 0));
        refused = server.port();
    }
    rig.worker->setLink(LinkTarget::tcp("127.0.0.1", refused, 1));
    rig.worker->resume();
    QTRY_COMPARE(rig.texts.size(), 2);
    QCOMPARE(rig.texts.last(), QString("Ошибка соединения с 127.0.0.1:%1: соединение отвергнуто!\n Опрос завершен.").arg(refused));
}

QTEST_GUILESS_MAIN(TestConsoleWorker)
#include "tst_consoleworker.moc"
