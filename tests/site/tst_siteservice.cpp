// The service as a process, against the simulator on pseudo-terminals and a
// private broker: every event journaled and published once, the end on
// SIGTERM, a changed list on SIGHUP, the watchdog, one instance per journal,
// and a restart after a kill.

#include "journal.h"
#include "notifysocket.h"
#include "settings.h"
#include "simharness.h"
#include "siteengine.h"
#include "testbroker.h"
#include "testfiles.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <csignal>

namespace {

struct Controller
{
    QString name;
    QString port;
    int address;
};

SimEvent fault(int device, quint8 code = 4)
{
    return SimEvent::now(SimEvent::deviceSource(device), code);
}

QByteArray siteIni(const QVector<Controller> &controllers, int brokerPort, const QString &journal)
{
    QByteArray text = "portName=" + controllers.first().port.toUtf8() + "\nbaudRate=9600\naddress="
        + QByteArray::number(controllers.first().address) + "\n\n[controllers]\nsize="
        + QByteArray::number(controllers.size()) + "\n";
    for (int i = 0; i < controllers.size(); ++i) {
        const QByteArray row = QByteArray::number(i + 1) + "\\";
        text += row + "name=" + controllers[i].name.toUtf8() + "\n";
        if (i > 0) {
            text += row + "portName=" + controllers[i].port.toUtf8() + "\n" + row + "baudRate=9600\n" + row
                + "address=" + QByteArray::number(controllers[i].address) + "\n";
        }
    }
    text += "\n[mqtt]\nenabled=true\nhost=127.0.0.1\nport=" + QByteArray::number(brokerPort)
        + "\ntls=false\nprefix=site\n\n[journal]\npath=" + journal.toUtf8() + "\n";
    return text;
}

// Rows as "controller|kind|list|name".
QStringList journalRows(const QString &path, qint64 *acknowledged = nullptr)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT controller, kind, list, name FROM journal ORDER BY id")) {
            while (query.next()) {
                rows << QStringList{query.value(0).toString(), query.value(1).toString(),
                                    query.value(2).toString(), query.value(3).toString()}.join('|');
            }
        }
        if (acknowledged && query.exec("SELECT value FROM meta WHERE key = 'mqtt.acknowledged'") && query.next())
            *acknowledged = query.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase("reader");
    return rows;
}

// The service process with the manager's socket of its own.
class Service
{
public:
    explicit Service(const QString &config, const QByteArray &watchdogUsec = QByteArray(),
                     const QString &hangLine = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NOTIFY_SOCKET", notify.path());
        if (!watchdogUsec.isEmpty())
            env.insert("WATCHDOG_USEC", watchdogUsec);
        if (!hangLine.isEmpty())
            env.insert("TARVIK_TEST_HANG_LINE", hangLine);
        process.setProcessEnvironment(env);
        process.start(TARVIK_SITE_PROGRAM, {"--config", config});
    }
    ~Service()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // Everything said to the manager so far, in order.
    QList<QByteArray> notes()
    {
        said += notify.take();
        return said;
    }
    bool waitReady() { return QTest::qWaitFor([this] { return notes().contains("READY=1"); }, 10000); }
    int pings()
    {
        return int(notes().count("WATCHDOG=1"));
    }
    QString log()
    {
        err += QString::fromUtf8(process.readAllStandardError());
        return err;
    }
    void signal(int number) { ::kill(pid_t(process.processId()), number); }

    NotifySocket notify;
    QProcess process;
    QList<QByteArray> said;
    QString err;
};

int count(const QStringList &rows, const QString &row)
{
    return int(rows.count(row));
}

} // namespace

class SiteServiceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    TestBroker broker;

    QString writeConfig(const QVector<Controller> &controllers, const QString &name = "site.ini", int brokerPort = 0)
    {
        const QString path = folder.filePath(name);
        const QByteArray text = siteIni(controllers, brokerPort ? brokerPort : broker.port(), folder.filePath(name + ".sqlite"));
        return writeFile(path, text) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        QVERIFY(broker.start());
    }

    void pollsASiteAndEndsOnTerm()
    {
        SimHarness line(QVector<int>{1, 2});
        SimHarness other(3);
        QVERIFY(line.isReady() && other.isReady());
        const QString config = writeConfig({{"Котельная", line.devicePath(), 1}, {"Цех", line.devicePath(), 2},
                                            {"Склад", other.devicePath(), 3}});
        TestSubscriber journalTopic(broker.port(), "site/+/journal");
        TestSubscriber status(broker.port(), "site/status");
        QVERIFY(journalTopic.connect() && status.connect());

        Service service(config);
        QVERIFY2(service.waitReady(), qPrintable(service.log()));
        line.stateOf(1, [](ControllerState &s) { s.addCurrentEvent(fault(1)); });
        line.stateOf(2, [](ControllerState &s) { s.addCurrentEvent(fault(2)); s.addCurrentEvent(fault(2, 5)); });
        other.addCurrentEvent(fault(3));
        const QString journal = config + ".sqlite";
        const auto events = [&] { return journalRows(journal).filter("|event|"); };
        QVERIFY(QTest::qWaitFor([&] { return events().size() == 8; }, 15000));

        // Once each, whatever the cycles since; at the broker each row once.
        QTest::qWait(1500);
        const QStringList rows = journalRows(journal);
        QCOMPARE(rows.filter("|event|").size(), 8);
        QCOMPARE(count(rows, "Цех|event|current|Неисправность датчика, Адрес 2"), 1);
        QCOMPARE(count(rows, "Склад|event|all|Неисправность датчика, Адрес 3"), 1);
        QVERIFY(journalTopic.waitFor([&] { return journalTopic.messages().size() >= rows.size(); }));
        QSet<qint64> ids;
        for (const TestSubscriber::Message &message : journalTopic.messages())
            ids.insert(QJsonDocument::fromJson(message.payload).object().value("id").toVariant().toLongLong());
        QCOMPARE(ids.size(), journalTopic.messages().size());

        // A silent line: logged once when lost, not every retry.
        other.setSilent(true);
        QVERIFY2(QTest::qWaitFor([&] { return service.log().contains("Нет связи с контроллером «Склад»"); }, 40000),
                 qPrintable(service.log()));
        QTest::qWait(11000); // past a retry
        QCOMPARE(service.log().count("<4>Нет связи с контроллером «Склад»"), 1);

        QElapsedTimer ending;
        ending.start();
        service.signal(SIGTERM);
        QVERIFY(service.process.waitForFinished(5000));
        QVERIFY2(ending.elapsed() < 2000, qPrintable(QString::number(ending.elapsed())));
        QCOMPARE(service.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(service.process.exitCode(), 0);
        QVERIFY(service.notes().contains("STOPPING=1"));
        QVERIFY(journalRows(journal).last().contains("|polling-stopped|"));
        QVERIFY(status.waitFor([&] { return !status.messages().isEmpty() && status.messages().last().payload == "offline"; }));
    }

    // The readers of the controllers that stay go on: nothing doubled, nothing
    // missed; a new broker gets what happens from then on.
    void reloadAppliesAChangedList()
    {
        SimHarness line(QVector<int>{1, 2});
        SimHarness other(3);
        const QString config = writeConfig({{"Котельная", line.devicePath(), 1}, {"Цех", line.devicePath(), 2}},
                                           "reload.ini");
        Service service(config);
        QVERIFY2(service.waitReady(), qPrintable(service.log()));
        line.stateOf(1, [](ControllerState &s) { s.addCurrentEvent(fault(1)); });
        const QString journal = config + ".sqlite";
        QVERIFY(QTest::qWaitFor([&] { return journalRows(journal).filter("|event|").size() == 2; }, 10000));

        TestBroker moved;
        QVERIFY(moved.start());
        TestSubscriber atMoved(moved.port(), "site/+/journal");
        QVERIFY(atMoved.connect());
        QVERIFY(writeConfig({{"Котельная", line.devicePath(), 1}, {"Цех", line.devicePath(), 2},
                             {"Склад", other.devicePath(), 3}}, "reload.ini", moved.port()) == config);
        line.stateOf(2, [](ControllerState &s) { s.addCurrentEvent(fault(2)); });
        service.signal(SIGHUP);
        QVERIFY(QTest::qWaitFor([&] { return service.notes().count("READY=1") == 2; }, 10000));
        QVERIFY(std::any_of(service.said.cbegin(), service.said.cend(),
                            [](const QByteArray &note) { return note.startsWith("RELOADING=1\n"); }));
        other.addCurrentEvent(fault(3));
        QVERIFY(QTest::qWaitFor([&] { return journalRows(journal).filter("|event|").size() == 6; }, 15000));
        QTest::qWait(1500);
        const QStringList rows = journalRows(journal);
        QCOMPARE(rows.filter("|event|").size(), 6);
        for (const QString controller : {"Котельная", "Цех", "Склад"})
            QCOMPARE(rows.filter(controller + QString("|event|current|")).size(), 1);
        QCOMPARE(rows.filter("|polling-started|").size(), 2);
        QVERIFY(atMoved.waitFor([&] {
            for (const TestSubscriber::Message &message : atMoved.messages()) {
                if (message.topic.contains("Склад") && message.payload.contains("\"event\""))
                    return true;
            }
            return false;
        }));

        // A bad file changes nothing: polling goes on as it was.
        QVERIFY(writeFile(config, "[controllers]\nsize=1\n1\\address=999\n"));
        service.signal(SIGHUP);
        QVERIFY(QTest::qWaitFor([&] { return service.log().contains("<3>"); }, 5000));
        QCOMPARE(service.process.state(), QProcess::Running);
        QCOMPARE(journalRows(journal).filter("|polling-started|").size(), 2);
    }

    // A silent controller keeps the pings coming (its worker times out and
    // goes on); a worker that stops making progress stops them.
    void watchdogFollowsTheWorkers()
    {
        SimHarness line(QVector<int>{1, 2});
        SimHarness other(3);
        line.setSilent(true);
        const QVector<Controller> site{{"Котельная", line.devicePath(), 1}, {"Цех", line.devicePath(), 2},
                                       {"Склад", other.devicePath(), 3}};
        {
            Service silent(writeConfig(site, "silent.ini"), "1000000");
            QVERIFY2(silent.waitReady(), qPrintable(silent.log()));
            const int before = silent.pings();
            QTest::qWait(4000);
            QVERIFY2(silent.pings() >= before + 5, qPrintable(QString::number(silent.pings() - before)));
        }
        Service hung(writeConfig(site, "hung.ini"), "1000000", other.devicePath());
        QVERIFY2(hung.waitReady(), qPrintable(hung.log()));
        QTest::qWait(1500);
        const int before = hung.pings();
        QTest::qWait(3000);
        QCOMPARE(hung.pings(), before);
        QVERIFY(hung.log().contains(other.devicePath()));
    }

    // One instance per journal; after kill -9 the rows are there and the
    // broker gets the backlog from the last acknowledged row on.
    void oneInstanceAndARestartAfterKill()
    {
        SimHarness line(1);
        const QString config = writeConfig({{"Котельная", line.devicePath(), 1}}, "kill.ini");
        const QString journal = config + ".sqlite";
        auto first = std::make_unique<Service>(config);
        QVERIFY2(first->waitReady(), qPrintable(first->log()));

        Service second(config);
        QVERIFY(second.process.waitForFinished(5000));
        QCOMPARE(second.process.exitCode(), 1);
        QVERIFY2(second.log().contains(journal), qPrintable(second.log()));
        QVERIFY(!second.notes().contains("READY=1"));

        for (quint8 code = 1; code <= 30; ++code)
            line.addCurrentEvent(fault(1, code));
        QVERIFY(QTest::qWaitFor([&] { return journalRows(journal).filter("|event|").size() >= 10; }, 10000));
        first->signal(SIGKILL);
        QVERIFY(first->process.waitForFinished(5000));
        qint64 acknowledged = 0;
        const QStringList before = journalRows(journal, &acknowledged);
        first.reset();

        TestSubscriber backlog(broker.port(), "site/+/journal");
        QVERIFY(backlog.connect());
        Service again(config);
        QVERIFY2(again.waitReady(), qPrintable(again.log()));
        QVERIFY(QTest::qWaitFor([&] { return journalRows(journal).filter("|event|current|").size() >= 30; }, 20000));
        const QStringList after = journalRows(journal);
        QCOMPARE(after.mid(0, before.size()), before);
        QVERIFY(backlog.waitFor([&] { return !backlog.messages().isEmpty(); }));
        const qint64 firstSent =
            QJsonDocument::fromJson(backlog.messages().first().payload).object().value("id").toVariant().toLongLong();
        QCOMPARE(firstSent, acknowledged + 1);
        QVERIFY(backlog.waitFor([&] { return backlog.messages().size() >= after.size() - acknowledged; }));
        again.signal(SIGTERM);
        QVERIFY(again.process.waitForFinished(5000));
        QCOMPARE(again.process.exitCode(), 0);
    }

    // One master per port: whichever comes second is told the port is in
    // use, and the first goes on polling.
    void consoleAndServiceOnOnePort()
    {
        SimHarness first(1), second(1);
        Journal journal;
        QVERIFY(journal.open(folder.filePath("console.sqlite")));
        SiteEngine console(&journal, Settings(), SiteEngine::LineFailurePolicy::EndPolling);
        QStringList seen, failures;
        connect(&console, &SiteEngine::eventSeen, this,
                [&](int, bool current, const AlarmType &alarm) { if (current) seen << QString::number(alarm.code); });
        connect(&console, &SiteEngine::singleLineFailed, this, [&](const QString &text) { failures << text; });
        Settings link;
        link.portName = first.devicePath();
        console.startSingle(link);
        first.addCurrentEvent(fault(1, 1));
        QVERIFY(QTest::qWaitFor([&] { return seen.size() == 1; }, 10000));

        Service late(writeConfig({{"Котельная", first.devicePath(), 1}}, "late.ini"));
        QVERIFY2(QTest::qWaitFor([&] { return late.log().contains("занят другой программой"); }, 10000),
                 qPrintable(late.log()));
        QVERIFY(late.log().contains(first.devicePath()));
        QVERIFY(!late.log().contains(QString("%1: Порт").arg(first.devicePath()))); // named once
        first.addCurrentEvent(fault(1, 2));
        QVERIFY(QTest::qWaitFor([&] { return seen.size() == 2; }, 10000));
        QVERIFY(failures.isEmpty());

        Service early(writeConfig({{"Котельная", second.devicePath(), 1}}, "early.ini"));
        QVERIFY(early.waitReady());
        console.stop();
        QTest::qWait(500); // parked, as after "Стоп" in the window
        link.portName = second.devicePath();
        console.startSingle(link);
        QVERIFY(QTest::qWaitFor([&] { return !failures.isEmpty(); }, 10000));
        QCOMPARE(failures.first(), QString("Порт %1 занят другой программой!\n Опрос завершен.").arg(second.devicePath()));
        second.addCurrentEvent(fault(1, 3));
        QVERIFY(QTest::qWaitFor([&] { return journalRows(early.process.arguments().last() + ".sqlite").filter("|event|current|").size() == 1; }, 10000));
        QVERIFY(!early.log().contains("занят"));
    }

    // A bad file: one line per fault and exit 2, for --check and for the service.
    void badConfigurationIsRefused()
    {
        const QString config = folder.filePath("bad.ini");
        QVERIFY(writeFile(config, "[controllers]\nsize=2\n1\\name=А\n2\\name=А\n[mqtt]\nenabled=true\nport=0\n"));
        for (const QStringList &arguments : {QStringList{"--check", "--config", config}, QStringList{"--config", config}}) {
            QProcess run;
            run.start(TARVIK_SITE_PROGRAM, arguments);
            QVERIFY(run.waitForFinished(10000));
            QCOMPARE(run.exitCode(), 2);
            const QStringList lines = QString::fromUtf8(run.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
            QVERIFY2(lines.size() >= 2, qPrintable(lines.join('\n')));
        }
    }
};

QTEST_GUILESS_MAIN(SiteServiceTest)
#include "tst_siteservice.moc"
