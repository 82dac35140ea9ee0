#include "controlcommands.h"
#include "controlserver.h"
#include "demoscript.h"
#include "simulator.h"

#include <QLocalSocket>
#include <QtTest>

// The text commands of a running simulator and the demo script, on the state
// directly (no serial line needed).
class TestSimControl : public QObject
{
    Q_OBJECT

private slots:
    void stateCommands();
    void faultCommandsAndPlanOrder();
    void registersSaveAndLoad();
    void malformedCommandsChangeNothing_data();
    void malformedCommandsChangeNothing();
    void demoRaisesAndClearsEvents();
    void controlSocketAnswersLineByLine();
};

// Runs the lines in turn; the first reply other than "ok", or nothing.
static QString failureOf(ControlCommands &commands, std::initializer_list<const char *> lines)
{
    for (const char *line : lines) {
        const QString reply = commands.execute(QString::fromLatin1(line));
        if (reply != QLatin1String("ok"))
            return QString::fromLatin1(line) + QStringLiteral(" -> ") + reply;
    }
    return QString();
}

void TestSimControl::stateCommands()
{
    Simulator sim;
    ControlCommands commands(sim);
    QCOMPARE(failureOf(commands, {"event current 37 4", "event log 0x21 9", "status 0x418004", "commit 2 never",
                                  "commit 3 99", "sim busy 4", "sim ready off", "ack log frozen"}),
             QString());
    ControllerState state = sim.stateCopy();
    QCOMPARE(state.currentEvents().size(), 1);
    QCOMPARE(state.loggedEvents().size(), 2);
    QCOMPARE(int(state.loggedEvents().last().source), 33);
    QCOMPARE(state.statusWord(), 0x418004u);
    QCOMPARE(state.commitReadsBeforeClear(1), int(ControllerState::Never));
    QCOMPARE(state.commitReadsBeforeClear(2), 99);
    QVERIFY(state.simCard().pendingAfterCommit);
    QCOMPARE(state.simCard().busyReads, 4);
    QVERIFY(!state.simCard().ready);
    quint16 index = 5;
    state.writeHolding(ControllerState::AllIndex, 1, &index);
    QCOMPARE(state.holding(ControllerState::AllAck), quint16(0));

    QVERIFY(commands.execute(QStringLiteral("events")).contains(QStringLiteral("source 37 code 4")));
    QVERIFY(commands.execute(QStringLiteral("remove 1")).startsWith(QStringLiteral("error")));
    QCOMPARE(failureOf(commands, {"remove 0", "clear log", "status auto", "event current 33 1"}), QString());
    state = sim.stateCopy();
    QCOMPARE(state.currentEvents().size(), 1);
    QCOMPARE(int(state.currentEvents().first().source), 33);
    QCOMPARE(state.loggedEvents().size(), 1);
    QCOMPARE(state.statusWord(), 0x10000u);
}

void TestSimControl::faultCommandsAndPlanOrder()
{
    Simulator sim;
    ControlCommands commands(sim);
    QCOMPARE(failureOf(commands, {"fault drop 3", "fault crc 2", "fault delay 250",
                                  "fault fail 3 441 503 always exception", "fault silent"}),
             QString());
    QCOMPARE(commands.execute(QStringLiteral("fault")),
             QStringLiteral("faults: silent, drop 3, crc 2, delay 250 ms, fail fc 3 441-503 always exception"));
    QCOMPARE(failureOf(commands, {"fault resume"}), QString());
    QVERIFY(!sim.faultsCopy().isSilent());
    QCOMPARE(failureOf(commands, {"fault clear"}), QString());
    QCOMPARE(sim.faultsCopy().describe(), QStringLiteral("none"));

    // The plan itself: drops first, then range faults, then broken CRCs.
    FaultPlan plan;
    plan.dropNext(1);
    plan.breakCrcOfNext(1);
    plan.addRangeFault({4, 1019, 1023, 2, false});
    QCOMPARE(plan.decide(3, 0, 1), FaultPlan::Drop);
    QCOMPARE(plan.decide(4, 1015, 5), FaultPlan::DeviceFailure); // overlaps 1019
    QCOMPARE(plan.decide(3, 1019, 5), FaultPlan::BrokenCrc);      // other function
    QCOMPARE(plan.decide(4, 1023, 1), FaultPlan::DeviceFailure);
    QCOMPARE(plan.decide(4, 1019, 5), FaultPlan::Answer);         // used up
    QVERIFY(plan.rangeFaults().isEmpty());
}

void TestSimControl::registersSaveAndLoad()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("exit.vlr"));
    Simulator sim;
    ControlCommands commands(sim, path);
    QCOMPARE(failureOf(commands, {"set holding 1999 0x3231", "set input 1029 4", "set holding 0 0x0203"}), QString());
    QCOMPARE(commands.execute(QStringLiteral("get holding 1999 2")), QStringLiteral("1999=0x3231 2000=0x0000"));
    QCOMPARE(commands.execute(QStringLiteral("get input 1029")), QStringLiteral("1029=0x0004"));
    QCOMPARE(commands.saveOnExit(), QStringLiteral("ok: saved ") + path);

    Simulator other;
    ControlCommands otherCommands(other);
    QCOMPARE(otherCommands.saveOnExit(), QString()); // no --save file
    QCOMPARE(otherCommands.execute(QStringLiteral("load ") + path), QStringLiteral("ok"));
    QCOMPARE(other.stateCopy().fileBytes(), sim.stateCopy().fileBytes());
}

void TestSimControl::malformedCommandsChangeNothing_data()
{
    QTest::addColumn<QString>("line");
    for (const char *line : {"event", "event current 37", "event now 1 2", "event current 70000 1",
                             "event current 1 256", "status 0x1FFFFFFFF", "status blue", "commit 0 1",
                             "commit 4 1", "commit 1 -5", "sim busy", "sim ready maybe", "ack both frozen",
                             "fault drop -1", "fault drop x", "fault fail 3 10 5 1", "fault fail 3 1 2 0",
                             "fault fail 3 1 2 1 loudly", "fault explode 1", "get coil 1", "get holding 1 126",
                             "set holding 1 0x10000", "set holding 1500 1", "set input 1030 1", "save",
                             "load /nonexistent/first.vlr", "demo maybe", "demo on 5", "requests 0", "remove x",
                             "clear nothing", "frobnicate"})
        QTest::newRow(line) << QString::fromLatin1(line);
}

void TestSimControl::malformedCommandsChangeNothing()
{
    QFETCH(QString, line);
    Simulator sim;
    ControlCommands commands(sim);
    const QByteArray before = sim.stateCopy().fileBytes();
    QVERIFY(commands.execute(line).startsWith(QStringLiteral("error: ")));
    const ControllerState state = sim.stateCopy();
    QCOMPARE(state.fileBytes(), before);
    QVERIFY(state.currentEvents().isEmpty() && state.loggedEvents().isEmpty());
    QVERIFY(state.statusFollowsEvents());
    QCOMPARE(sim.faultsCopy().describe(), QStringLiteral("none"));
    QVERIFY(!sim.demoEnabled());
    QVERIFY(!commands.quitRequested());
}

void TestSimControl::demoRaisesAndClearsEvents()
{
    ControllerState state;
    DemoScript demo(7);
    const QDateTime now(QDate(2024, 5, 6), QTime(7, 8, 9));
    int raised = 0;
    for (int step = 0; step < 200; ++step) {
        const int before = state.currentEvents().size();
        demo.step(state, now);
        const int after = state.currentEvents().size();
        QVERIFY(after <= DemoScript::MaxCurrentEvents);
        QCOMPARE(qAbs(after - before), 1);
        raised += after > before;
    }
    QVERIFY(raised > 20 && raised < 180);
    QCOMPARE(state.loggedEvents().size(), raised);
    for (const SimEvent &event : state.loggedEvents()) {
        QCOMPARE(int(event.year), 24);
        QVERIFY(ControllerState::statusBitsFor(event) != 0); // every demo event lights a lamp
        QVERIFY(event.source <= SimEvent::deviceSource(DemoScript::SensorAddresses));
    }
}

void TestSimControl::controlSocketAnswersLineByLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("control"));
    Simulator sim;
    ControlCommands commands(sim);
    ControlServer server(commands);
    QString error;
    QVERIFY2(server.listen(path, &error), qPrintable(error));
    QSignalSpy quit(&server, &ControlServer::quitRequested);
    QLocalSocket client;
    client.connectToServer(path);
    QVERIFY(client.waitForConnected(1000));
    // Two commands in one write, the second split across writes.
    client.write("event current 33 0\nstatus 0x");
    client.flush();
    QTRY_VERIFY(client.canReadLine());
    QCOMPARE(client.readLine(), QByteArray("ok\n"));
    client.write("20\nquit\n");
    QTRY_COMPARE(quit.count(), 1);
    QTRY_VERIFY(client.bytesAvailable() >= 6);
    QCOMPARE(client.readAll(), QByteArray("ok\nok\n"));
    QCOMPARE(sim.stateCopy().currentEvents().size(), 1);
    QCOMPARE(sim.stateCopy().statusWord(), 0x20u);
}

QTEST_GUILESS_MAIN(TestSimControl)
#include "tst_simcontrol.moc"
