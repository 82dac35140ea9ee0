// The console's worker polling the controller simulator over a
// pseudo-terminal with the real libmodbus master.
#include "mythread.h"
#include "simharness.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

const QString LineFailure = QStringLiteral("Ошибка чтения линии!\n Опрос завершен.");
const QString OpenFailure = QStringLiteral("Ошибка открытия порта!\n Опрос завершен.");

QVector<AlarmType> alarms(const QVector<SimEvent> &events)
{
    QVector<AlarmType> result;
    for (const SimEvent &e : events)
        result.append({e.source, e.code, e.year, e.month, e.day, e.hour, e.minute, e.second});
    return result;
}

// Distinct events: every one differs in source, code or time.
SimEvent numberedEvent(int n)
{
    const QDateTime when(QDate(2024, 3, 1), QTime(0, 0).addSecs(67 * n));
    return SimEvent::at(SimEvent::deviceSource(1 + n % 250), quint8(n % 10), when);
}

// What the worker emits, as it reached the test's thread.
struct Recorder : QObject
{
    QVector<AlarmType> current, all;
    int currentClears = 0, allClears = 0;
    QStringList texts;
    QVector<quint32> vpks;

    explicit Recorder(MyThread &w)
    {
        const auto q = Qt::QueuedConnection;
        connect(&w, &MyThread::Signal, this, [this](const QString &t) { texts << t; }, q);
        connect(&w, &MyThread::SignalAlarmAll, this, [this](AlarmType a) { all << a; }, q);
        connect(&w, &MyThread::SignalAlarmAllClear, this, [this] { ++allClears; }, q);
        connect(&w, &MyThread::SignalAlarmCurrent, this, [this](AlarmType a) { current << a; }, q);
        connect(&w, &MyThread::SignalAlarmCurrentClear, this, [this] { ++currentClears; }, q);
        connect(&w, &MyThread::SignalVpk, this, [this](quint32 v) { vpks << v; }, q);
    }
    int parks() const { return vpks.count(0u); } // every status word read carries bit 22
    bool sawAllOf(const SimHarness &sim) const
    {
        const ControllerState state = sim.stateCopy();
        return current == alarms(state.currentEvents()) && all == alarms(state.loggedEvents());
    }
};

// A worker on the simulator's terminal, with its recorder, parked.
struct Rig
{
    SimHarness sim;
    std::unique_ptr<MyThread> worker = std::make_unique<MyThread>();
    Recorder recorder{*worker};
    bool ready = false; // the simulator is serving and the worker parked

    Rig()
    {
        worker->setPort(sim.devicePath(), 9600, 1);
        worker->start();
        ready = QTest::qWaitFor([this] { return worker->isParked(); }) && sim.isReady();
    }
    bool parked() { return worker->isParked(); }
};

} // namespace

class TestConsoleWorker : public QObject
{
    Q_OBJECT

private slots:
    void failuresEndTheRunAndTheNextGoesOn();
    void eachEventOnceAcrossPausesAndReset();
    void stopEndsThreadPromptly();
};

void TestConsoleWorker::failuresEndTheRunAndTheNextGoesOn()
{
    Rig rig;
    QVERIFY2(rig.ready, qPrintable(rig.sim.errorString()));
    rig.sim.addCurrentEvent(numberedEvent(0), false);
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.current.size(), 1, 10000);
    rig.sim.failRange(4, 1019, 1023, 6, false); // the next record, six times in a row
    rig.sim.addCurrentEvent(numberedEvent(1), false);
    rig.sim.addCurrentEvent(numberedEvent(2), false);
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.texts, QStringList{LineFailure}, 20000);
    QTRY_COMPARE(rig.recorder.parks(), 2);
    QTRY_VERIFY(rig.parked());
    QCOMPARE(LinkWorker::liveContexts(), 0); // the link is closed at the park

    // A port that cannot be opened: its own message, a park, no harm done.
    rig.worker->setPort(QStringLiteral("/nonexistent/tty"), 9600, 1);
    rig.worker->resume();
    QTRY_COMPARE(rig.recorder.texts, (QStringList{LineFailure, OpenFailure}));
    QTRY_COMPARE(rig.recorder.parks(), 3);
    QTRY_VERIFY(rig.parked());

    // The next run starts with the record it was waiting for, no new handshake.
    rig.sim.clearRequests();
    rig.worker->setPort(rig.sim.devicePath(), 9600, 1);
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.current.size(), 3, 10000);
    QVERIFY(rig.recorder.sawAllOf(rig.sim));
    QCOMPARE(rig.sim.requests().value(0), (RequestRecord{4, 1019, 5, true, 0}));
    QCOMPARE(rig.recorder.currentClears, 0);
    QCOMPARE(rig.recorder.texts.size(), 2);
}

void TestConsoleWorker::eachEventOnceAcrossPausesAndReset()
{
    Rig rig;
    QVERIFY2(rig.ready, qPrintable(rig.sim.errorString()));
    for (int i = 0; i < 30; ++i)
        rig.sim.addCurrentEvent(numberedEvent(i));
    rig.sim.setDelay(2); // widen the handshake so pauses land inside it
    QRandomGenerator random(20240317);
    int resumedInsideHandshake = 0;
    for (int round = 0; round < 25; ++round) {
        rig.sim.clearRequests();
        rig.worker->resume();
        rig.sim.addCurrentEvent(numberedEvent(30 + round)); // while polling
        QTest::qWait(random.bounded(5, 40));
        rig.worker->pause();
        QTRY_VERIFY(rig.parked());
        // A run opening with an acknowledge or record read took up a
        // handshake the last pause interrupted.
        const int first = rig.sim.requests().value(0).address;
        resumedInsideHandshake += first == 4002 || first == 1019;
    }
    QVERIFY(resumedInsideHandshake > 0);
    QTRY_COMPARE(rig.recorder.parks(), 1 + 25); // the first park and one per pause

    // Stop and Start pressed while a step is still in flight: the run goes
    // on or restarts, and never leaves a second link open.
    for (int i = 0; i < 40; ++i) {
        QTest::qWait(4);
        rig.worker->pause();
        QThread::usleep(500 * quint64(i % 8));
        rig.worker->resume();
    }
    QTest::qWait(20);
    QCOMPARE(LinkWorker::liveContexts(), 1);
    rig.sim.setDelay(0);
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.sawAllOf(rig.sim), 20000);
    QTest::qWait(50); // nothing more may come
    QVERIFY(rig.recorder.sawAllOf(rig.sim));
    for (quint32 vpk : rig.recorder.vpks)
        QVERIFY(vpk == 0 || vpk & 0x400000u);

    rig.worker->requestReset();
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.currentClears > 0, 10000);
    QVERIFY(rig.sim.stateCopy().currentEvents().isEmpty());
    QCOMPARE(rig.sim.requests().count(RequestRecord{6, 4003, 1, true, 0}), 1);
    rig.sim.addCurrentEvent(numberedEvent(99)); // fetched from position 0
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.current.size(), 56, 10000);
    QCOMPARE(rig.recorder.current.mid(55), alarms(rig.sim.stateCopy().currentEvents()));
    QTRY_COMPARE(rig.recorder.all, alarms(rig.sim.stateCopy().loggedEvents()));
    QCOMPARE(rig.recorder.allClears, 0);
    QVERIFY(rig.recorder.texts.isEmpty());
    rig.worker.reset(); // deleting a polling worker stops it instead of aborting
    QCOMPARE(LinkWorker::liveContexts(), 0);
}

void TestConsoleWorker::stopEndsThreadPromptly()
{
    for (bool silentLine : {false, true}) {
        Rig rig;
        QVERIFY2(rig.ready, qPrintable(rig.sim.errorString()));
        if (silentLine) {
            rig.worker->resume();
            QTRY_VERIFY(rig.recorder.vpks.size() > 1);
            rig.sim.setSilent(true);
            QTest::qWait(700);
        }
        QElapsedTimer timer;
        timer.start();
        rig.worker->stopAndWait(); // on a silent line: the request in flight only
        QVERIFY(rig.worker->isFinished());
        QVERIFY2(timer.elapsed() < (silentLine ? 1600 : 200), qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(LinkWorker::liveContexts(), 0);
    }
}

QTEST_GUILESS_MAIN(TestConsoleWorker)
#include "tst_consoleworker.moc"
