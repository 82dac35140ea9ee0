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

AlarmType toAlarm(const SimEvent &e)
{
    AlarmType a;
    a.source = e.source;
    a.code = e.code;
    a.year = e.year;
    a.month = e.month;
    a.day = e.day;
    a.hour = e.hour;
    a.minute = e.minute;
    a.second = e.second;
    return a;
}

QVector<AlarmType> toAlarms(const QVector<SimEvent> &events)
{
    QVector<AlarmType> alarms;
    for (const SimEvent &e : events)
        alarms.append(toAlarm(e));
    return alarms;
}

// Distinct events: every one differs in source, code or time.
SimEvent numberedEvent(int n)
{
    const QDateTime when(QDate(2024, 3, 1 + n % 28), QTime(n / 60 % 24, n % 60, (n * 7) % 60));
    return SimEvent::at(SimEvent::deviceSource(1 + n % 250), quint8(n % 10), when);
}

// Everything the worker emits, in the order it reached the test's thread.
class Recorder : public QObject
{
public:
    enum Kind { Text, All, AllClear, Current, CurrentClear, Vpk };
    struct Entry
    {
        Kind kind;
        AlarmType alarm;
        quint32 vpk;
        QString text;
    };
    QVector<Entry> entries;

    explicit Recorder(MyThread &worker)
    {
        const auto queued = Qt::QueuedConnection;
        connect(&worker, &MyThread::Signal, this,
                [this](const QString &t) { entries.append({Text, {}, 0, t}); }, queued);
        connect(&worker, &MyThread::SignalAlarmAll, this,
                [this](AlarmType a) { entries.append({All, a, 0, {}}); }, queued);
        connect(&worker, &MyThread::SignalAlarmAllClear, this,
                [this] { entries.append({AllClear, {}, 0, {}}); }, queued);
        connect(&worker, &MyThread::SignalAlarmCurrent, this,
                [this](AlarmType a) { entries.append({Current, a, 0, {}}); }, queued);
        connect(&worker, &MyThread::SignalAlarmCurrentClear, this,
                [this] { entries.append({CurrentClear, {}, 0, {}}); }, queued);
        connect(&worker, &MyThread::SignalVpk, this,
                [this](quint32 v) { entries.append({Vpk, {}, v, {}}); }, queued);
    }

    QVector<AlarmType> alarms(Kind kind) const
    {
        QVector<AlarmType> result;
        for (const Entry &e : entries)
            if (e.kind == kind)
                result.append(e.alarm);
        return result;
    }
    int count(Kind kind) const
    {
        return int(std::count_if(entries.begin(), entries.end(),
                                 [kind](const Entry &e) { return e.kind == kind; }));
    }
    int indexOfText(const QString &text) const
    {
        for (int i = 0; i < entries.size(); ++i)
            if (entries.at(i).kind == Text && entries.at(i).text == text)
                return i;
        return -1;
    }
    bool hasParkAfter(int position) const // SignalVpk(0) after that entry
    {
        for (int i = position + 1; i < entries.size(); ++i)
            if (entries.at(i).kind == Vpk && entries.at(i).vpk == 0)
                return true;
        return false;
    }
};

// A worker on the simulator's terminal, with its recorder, parked.
struct Rig
{
    SimHarness sim;
    std::unique_ptr<MyThread> worker = std::make_unique<MyThread>();
    Recorder recorder{*worker};

    Rig()
    {
        worker->setPort(sim.devicePath(), 9600, 1);
        worker->start();
    }
    bool parked() { return worker->isParked(); }
};

} // namespace

class TestConsoleWorker : public QObject
{
    Q_OBJECT

private slots:
    void burstArrivesInOrderOnce();
    void resetEmptiesCurrentList();
    void silentControllerEndsRun();
    void resumedRunContinuesWhereItStopped();
    void pausesMidHandshakeDeliverOnce();
    void failedOpenHaltsAndRetries();
    void quickPauseResumeKeepsOneLink();
    void stopEndsThreadPromptly();
};

void TestConsoleWorker::burstArrivesInOrderOnce()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    QTRY_VERIFY(rig.parked());
    QCOMPARE(rig.recorder.entries.size(), 1); // SignalVpk(0) at the first park
    QCOMPARE(rig.recorder.entries.first().vpk, 0u);

    for (int i = 0; i < 40; ++i)
        rig.sim.addCurrentEvent(numberedEvent(i));
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::Current), 40, 20000);

    // More arrive while the worker is busy fetching.
    for (int i = 40; i < 70; ++i) {
        rig.sim.addCurrentEvent(numberedEvent(i));
        if (i % 5 == 0)
            QTest::qWait(3);
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::Current), 70, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::All), 70, 20000);
    rig.worker->pause();
    QTRY_VERIFY(rig.parked());

    const ControllerState state = rig.sim.stateCopy();
    QCOMPARE(rig.recorder.alarms(Recorder::Current), toAlarms(state.currentEvents()));
    QCOMPARE(rig.recorder.alarms(Recorder::All), toAlarms(state.loggedEvents()));
    QCOMPARE(rig.recorder.count(Recorder::CurrentClear), 0);
    QCOMPARE(rig.recorder.count(Recorder::AllClear), 0);
    QCOMPARE(rig.recorder.count(Recorder::Text), 0);
    // Every status word read carries bit 22; only the parks send 0.
    for (const Recorder::Entry &e : rig.recorder.entries)
        if (e.kind == Recorder::Vpk && e.vpk != 0)
            QVERIFY(e.vpk & 0x400000u);
    QCOMPARE(rig.recorder.entries.last().vpk, 0u);
}

void TestConsoleWorker::resetEmptiesCurrentList()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    for (int i = 0; i < 3; ++i)
        rig.sim.addCurrentEvent(numberedEvent(i));
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::Current), 3, 10000);
    QCOMPARE(rig.recorder.count(Recorder::CurrentClear), 0);

    rig.worker->requestReset();
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.count(Recorder::CurrentClear) > 0, 10000);
    QVERIFY(rig.sim.stateCopy().currentEvents().isEmpty());
    QCOMPARE(rig.sim.stateCopy().loggedEvents().size(), 3);
    const RequestRecord resetWrite{6, 4003, 1, true, 0};
    QCOMPARE(rig.sim.requests().count(resetWrite), 1);

    // A new event after the reset starts the table again from position 0.
    rig.sim.addCurrentEvent(numberedEvent(9));
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::Current), 4, 10000);
    QCOMPARE(rig.recorder.alarms(Recorder::Current).last(), toAlarm(numberedEvent(9)));
    QCOMPARE(rig.recorder.count(Recorder::AllClear), 0);
    QCOMPARE(rig.recorder.count(Recorder::All), 4);
    QCOMPARE(rig.recorder.count(Recorder::Text), 0);
}

void TestConsoleWorker::silentControllerEndsRun()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    rig.sim.addCurrentEvent(numberedEvent(1));
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::Current), 1, 10000);

    rig.sim.setSilent(true);
    // Six failures of one reader, each a response time-out plus the
    // settling of the line before the next request.
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.count(Recorder::Text) > 0, 40000);
    const int failure = rig.recorder.indexOfText(LineFailure);
    QVERIFY(failure >= 0);
    QCOMPARE(rig.recorder.count(Recorder::Text), 1);
    QTRY_VERIFY(rig.recorder.hasParkAfter(failure));
    QTRY_VERIFY(rig.parked());
    QCOMPARE(LinkWorker::liveContexts(), 0); // the link is closed at the park
    QCOMPARE(rig.recorder.entries.last().vpk, 0u);
    QCOMPARE(rig.recorder.count(Recorder::Current), 1);
}

void TestConsoleWorker::resumedRunContinuesWhereItStopped()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    rig.sim.addCurrentEvent(numberedEvent(0), false);
    rig.sim.addCurrentEvent(numberedEvent(1), false);
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::Current), 2, 10000);

    // The record of the third event is refused six times in a row.
    rig.sim.failRange(4, 1019, 1023, 6, false);
    rig.sim.addCurrentEvent(numberedEvent(2), false);
    rig.sim.addCurrentEvent(numberedEvent(3), false);
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.indexOfText(LineFailure) >= 0, 20000);
    QTRY_VERIFY(rig.parked());
    QCOMPARE(rig.recorder.count(Recorder::Current), 2);

    rig.sim.clearRequests();
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::Current), 4, 10000);
    QCOMPARE(rig.recorder.alarms(Recorder::Current), toAlarms(rig.sim.stateCopy().currentEvents()));
    // The new run starts with the record it was waiting for, no new handshake.
    const QVector<RequestRecord> log = rig.sim.requests();
    QVERIFY(!log.isEmpty());
    QCOMPARE(log.first(), (RequestRecord{4, 1019, 5, true, 0}));
    QCOMPARE(rig.recorder.count(Recorder::CurrentClear), 0);
}

void TestConsoleWorker::pausesMidHandshakeDeliverOnce()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    for (int i = 0; i < 60; ++i)
        rig.sim.addCurrentEvent(numberedEvent(i));
    rig.sim.setDelay(2); // widen the handshake so pauses land inside it
    QRandomGenerator random(20240317);
    QTRY_VERIFY(rig.parked());
    const int parksBefore = rig.recorder.count(Recorder::Vpk);
    const int Rounds = 25;
    int resumedInsideHandshake = 0;
    for (int round = 0; round < Rounds; ++round) {
        rig.sim.clearRequests();
        rig.worker->resume();
        QTest::qWait(random.bounded(5, 40));
        rig.worker->pause();
        QTRY_VERIFY(rig.parked());
        // A run that opens with an acknowledge or record read took up a
        // handshake the previous pause interrupted.
        const QVector<RequestRecord> log = rig.sim.requests();
        if (round > 0 && !log.isEmpty() && (log.first().address == 4002 || log.first().address == 1019))
            ++resumedInsideHandshake;
    }
    QVERIFY(resumedInsideHandshake > 0);
    rig.sim.setDelay(0);
    rig.worker->resume();
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::Current), 60, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.recorder.count(Recorder::All), 60, 20000);
    QTest::qWait(50); // nothing more may come
    QCOMPARE(rig.recorder.count(Recorder::Current), 60);
    const ControllerState state = rig.sim.stateCopy();
    QCOMPARE(rig.recorder.alarms(Recorder::Current), toAlarms(state.currentEvents()));
    QCOMPARE(rig.recorder.alarms(Recorder::All), toAlarms(state.loggedEvents()));
    QCOMPARE(rig.recorder.count(Recorder::Text), 0);
    int zeros = 0;
    for (const Recorder::Entry &e : rig.recorder.entries)
        zeros += e.kind == Recorder::Vpk && e.vpk == 0;
    QVERIFY(rig.recorder.count(Recorder::Vpk) > parksBefore);
    QCOMPARE(zeros, 1 + Rounds); // the first park and one per pause
}

void TestConsoleWorker::failedOpenHaltsAndRetries()
{
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    QTRY_VERIFY(rig.parked());
    rig.worker->setPort(QStringLiteral("/nonexistent/tty"), 9600, 1);
    rig.worker->resume();
    QTRY_VERIFY(rig.recorder.indexOfText(OpenFailure) >= 0);
    QTRY_VERIFY(rig.recorder.hasParkAfter(rig.recorder.indexOfText(OpenFailure)));
    QTRY_VERIFY(rig.parked());

    rig.sim.setStatusWord(0x0101);
    rig.worker->setPort(rig.sim.devicePath(), 9600, 1);
    rig.worker->resume();
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.entries.last().vpk == 0x00400101u, 10000);
    QCOMPARE(rig.recorder.count(Recorder::Text), 1);
}

void TestConsoleWorker::quickPauseResumeKeepsOneLink()
{
    // Stop and Start pressed while a poll step is still in flight: the run
    // goes on or restarts, and never leaves a second link open.
    Rig rig;
    QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
    rig.sim.setDelay(3);
    rig.worker->resume();
    for (int i = 0; i < 40; ++i) {
        QTest::qWait(4);
        rig.worker->pause();
        QThread::usleep(500 * quint64(i % 8));
        rig.worker->resume();
    }
    QTest::qWait(20);
    QCOMPARE(LinkWorker::liveContexts(), 1);
    rig.worker->pause();
    QTRY_VERIFY(rig.parked());
    QCOMPARE(LinkWorker::liveContexts(), 0);
}

void TestConsoleWorker::stopEndsThreadPromptly()
{
    {
        Rig rig;
        QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
        QTRY_VERIFY(rig.parked());
        QElapsedTimer timer;
        timer.start();
        rig.worker->stopAndWait();
        QVERIFY(rig.worker->isFinished());
        QVERIFY(timer.elapsed() < 200);
    }
    {
        // On a silent line the stop waits for the request in flight only.
        Rig rig;
        QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
        rig.worker->resume();
        QTRY_VERIFY(rig.recorder.count(Recorder::Vpk) > 1);
        rig.sim.setSilent(true);
        QTest::qWait(700);
        QElapsedTimer timer;
        timer.start();
        rig.worker->stopAndWait();
        QVERIFY(rig.worker->isFinished());
        QVERIFY2(timer.elapsed() < 1600, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(LinkWorker::liveContexts(), 0);
    }
    {
        // Deleting a polling worker stops it first instead of aborting.
        Rig rig;
        QVERIFY2(rig.sim.isReady(), qPrintable(rig.sim.errorString()));
        rig.worker->resume();
        QTRY_VERIFY(rig.recorder.count(Recorder::Vpk) > 1);
        rig.worker.reset();
        QCOMPARE(LinkWorker::liveContexts(), 0);
    }
}

QTEST_GUILESS_MAIN(TestConsoleWorker)
#include "tst_consoleworker.moc"
