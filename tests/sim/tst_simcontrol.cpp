#include "controlcommands.h"
#include "controlserver.h"
#include "simulator.h"

#include <QLocalSocket>
#include <QtTest>

// The text commands of a running simulator and its fault plan, with no serial line.
class TestSimControl : public QObject
{
    Q_OBJECT

private slots:
    void commands()
    {
        Simulator sim;
        ControlCommands commands(sim);
        const QByteArray fresh = sim.stateCopy().fileBytes();
        for (const char *line : {"event current 37", "event now 1 2", "event current 65536 1", "event current 1 256",
                                 "status 0x100000000", "commit 0 1", "commit 4 1", "sim ready maybe", "ack both frozen",
                                 "fault drop -1", "fault fail 3 10 5 1", "fault fail 3 1 2 0", "fault explode 1",
                                 "get holding 1 126", "set holding 1 0x10000", "set holding 1326 1", "set input 1030 1",
                                 "save", "load /nonexistent/first.vlr", "demo on 99", "remove 0", "frobnicate"})
            QVERIFY2(commands.execute(QLatin1String(line)).startsWith(QStringLiteral("error: ")), line);
        const ControllerState untouched = sim.stateCopy();
        QCOMPARE(untouched.fileBytes(), fresh);
        QVERIFY(untouched.currentEvents().isEmpty() && untouched.loggedEvents().isEmpty() && untouched.statusFollowsEvents());
        QVERIFY(sim.faultsCopy().describe() == "none" && !sim.demoEnabled() && !commands.quitRequested());

        for (const char *line : {"event current 37 4", "event log 0x21 9", "status 0x418004", "commit 2 never",
                                 "sim busy 4", "sim ready off", "fault drop 3", "fault crc 2", "fault delay 250",
                                 "fault fail 3 441 503 always exception", "fault silent", "set holding 1999 0x3231"})
            QCOMPARE(commands.execute(QLatin1String(line)), QStringLiteral("ok"));
        const ControllerState state = sim.stateCopy();
        QVERIFY(state.currentEvents().size() == 1 && state.loggedEvents().last().source == 33 && state.holding(1999) == 0x3231);
        QVERIFY(state.statusWord() == 0x418004u && state.commitReadsBeforeClear(1) == ControllerState::Never);
        QVERIFY(state.simCard().pendingAfterCommit && state.simCard().busyReads == 4 && !state.simCard().ready);
        QCOMPARE(commands.execute(QStringLiteral("fault")),
                 QStringLiteral("faults: silent, drop 3, crc 2, delay 250 ms, fail fc 3 441-503 always exception"));
        for (const char *line : {"remove 0", "clear log", "status auto", "fault resume", "fault clear"})
            QCOMPARE(commands.execute(QLatin1String(line)), QStringLiteral("ok"));
        const ControllerState after = sim.stateCopy();
        QVERIFY(after.currentEvents().isEmpty() && after.loggedEvents().isEmpty() && after.statusFollowsEvents());
        QCOMPARE(sim.faultsCopy().describe(), QStringLiteral("none"));

        // A saved configuration loads into another simulator; a file one byte short or long is refused.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("saved.vlr"));
        QCOMPARE(commands.execute(QStringLiteral("save ") + path), QStringLiteral("ok: saved ") + path);
        Simulator other;
        QCOMPARE(ControlCommands(other).execute(QStringLiteral("load ") + path), QStringLiteral("ok"));
        for (int size : {ConfigImage::FileSize - 1, ConfigImage::FileSize + 1})
            QVERIFY(QFile::resize(path, size) && ControlCommands(other).execute("load " + path).startsWith("error: "));
        QCOMPARE(other.stateCopy().fileBytes(), sim.stateCopy().fileBytes());
    }

    // Several controllers on a line: commands address the one picked with "slave".
    void slaveCommandPicksTheController()
    {
        Simulator::Options options;
        options.slaveAddress = 3;
        options.moreSlaves = {5, 3, 0};
        Simulator sim(options);
        QCOMPARE(sim.slaves(), (QVector<int>{3, 5})); // a repeat and an impossible address go
        ControlCommands commands(sim);
        QCOMPARE(commands.execute(QStringLiteral("slave")), QStringLiteral("slave 3 of 3,5"));
        QVERIFY(commands.execute(QStringLiteral("slave 4")).startsWith(QStringLiteral("error: ")));
        QCOMPARE(commands.execute(QStringLiteral("slave 5")), QStringLiteral("ok"));
        QCOMPARE(commands.execute(QStringLiteral("event current 37 4")), QStringLiteral("ok"));
        QCOMPARE(commands.execute(QStringLiteral("fault silent")), QStringLiteral("ok"));
        QCOMPARE(sim.stateCopy().currentEvents().size(), 1);
        int first = -1;
        sim.withStateOf(3, [&](ControllerState &s) { first = s.currentEvents().size(); });
        QCOMPARE(first, 0);
        QVERIFY(sim.selectSlave(3) && sim.faultsCopy().describe() == "none");
    }

    // Drops come first, then range faults, then broken answers; counted faults are used up.
    void faultPlanOrder()
    {
        FaultPlan plan;
        plan.dropNext(1);
        plan.breakCrcOfNext(1);
        plan.addRangeFault({4, 1019, 1023, 2, false});
        QCOMPARE(plan.decide(4, 1019, 5), FaultPlan::Drop);
        QCOMPARE(plan.decide(4, 1015, 5), FaultPlan::DeviceFailure); // overlaps 1019
        QCOMPARE(plan.decide(3, 1019, 5), FaultPlan::BrokenCrc);      // other function
        QCOMPARE(plan.decide(4, 1024, 1), FaultPlan::Answer);         // just past
        QCOMPARE(plan.decide(4, 1023, 1), FaultPlan::DeviceFailure);
        QCOMPARE(plan.decide(4, 1019, 5), FaultPlan::Answer);         // used up
        QVERIFY(plan.rangeFaults().isEmpty());
        plan.setSilent(true);
        QCOMPARE(plan.decide(3, 0, 1), FaultPlan::Drop);
    }

    void controlSocketAnswersLineByLine()
    {
        QTemporaryDir dir;
        Simulator sim;
        ControlCommands commands(sim);
        ControlServer server(commands);
        QVERIFY(server.listen(dir.filePath(QStringLiteral("control")), nullptr));
        QSignalSpy quit(&server, &ControlServer::quitRequested);
        QLocalSocket client;
        client.connectToServer(dir.filePath(QStringLiteral("control")));
        QVERIFY(client.waitForConnected(1000));
        client.write("event current 33 0\nstatus 0x"); // two commands, the second split across writes
        QTRY_VERIFY(client.canReadLine());
        QCOMPARE(client.readLine(), QByteArray("ok\n"));
        client.write("20\nquit\n");
        QTRY_COMPARE(quit.count(), 1);
        QTRY_VERIFY(client.bytesAvailable() >= 6);
        QCOMPARE(client.readAll(), QByteArray("ok\nok\n"));
        QCOMPARE(sim.stateCopy().statusWord(), 0x20u);
    }
};

QTEST_GUILESS_MAIN(TestSimControl)
#include "tst_simcontrol.moc"
