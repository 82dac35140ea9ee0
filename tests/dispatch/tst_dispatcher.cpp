// The dispatcher's engine against a real mosquitto on 127.0.0.1: sites
// published by the console's publisher, a killed site, rows lost by the
// broker's queue had back through replay, rows a site no longer has, bad input.
#include "dispatcher.h"
#include "dispatchjournal.h"
#include "journal.h"
#include "mqttclient.h"
#include "mqttpublisher.h"
#include "payloadcheck.h"
#include "payloadparser.h"
#include "testbroker.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>

namespace {

MqttSettings brokerAt(int port, const QString &prefix)
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.prefix = prefix;
    return s;
}

DispatchSettings dispatcherAt(int port, const QString &clientId)
{
    DispatchSettings s = DispatchSettings::defaults();
    s.broker = brokerAt(port, QStringLiteral("tarvik"));
    s.clientId = clientId;
    s.operatorName = QStringLiteral("Петров");
    return s;
}

JournalRecord fireRow(int code)
{
    JournalRecord row = JournalRecord::event(JournalRecord::CurrentList,
                                             AlarmType{ 32, quint8(code), 24, 3, 5, 7, 0, 9 }, QStringLiteral("Пожар"));
    row.port = QStringLiteral("/dev/pts/7");
    row.slave = 1;
    row.controller = QStringLiteral("Котельная");
    return row;
}

ControllerSnapshot stateOf(const QString &key, ControllerSnapshot::Link link, int events)
{
    ControllerSnapshot s;
    s.key = key;
    s.name = key;
    s.link = link;
    s.vpk = 0x81; // work and fire
    s.lamps = { { QStringLiteral("Работа"), ControllerSnapshot::Lamp::On },
                { QStringLiteral("Пожар"), ControllerSnapshot::Lamp::Blinking } };
    for (int i = 0; i < events; ++i)
        s.events.append({ QStringLiteral("Пожар"), 32, 4 + i, QStringLiteral("2024-03-05T07:00:0%1").arg(i) });
    return s;
}

// A site as the console runs it: a journal and the publisher draining it.
struct Site
{
    Site(const QString &dir, const QString &name, int port, qint64 rowLimit = Journal::DefaultRowLimit)
    {
        journal.setRowLimit(rowLimit);
        journal.open(dir + QLatin1Char('/') + name + QStringLiteral(".sqlite"));
        // The trim runs after open(): rows it removes must not be published first.
        if (rowLimit != Journal::DefaultRowLimit && !QTest::qWaitFor([this] { return !journal.isTrimming(); }, 10000))
            qWarning("the journal's trim did not end");
        publisher = std::make_unique<MqttPublisher>(&journal);
        publisher->setSettings(brokerAt(port, QStringLiteral("tarvik/") + name));
    }
    Journal journal;
    std::unique_ptr<MqttPublisher> publisher;
};

QVector<qint64> idsInArrivalOrder(const DispatchJournal &journal, const QString &site)
{
    QSqlQuery query(QSqlDatabase::database(journal.connectionName(), false));
    query.prepare("SELECT id FROM journal WHERE site = ? AND id IS NOT NULL ORDER BY seq");
    query.addBindValue(site);
    query.exec();
    QVector<qint64> ids;
    while (query.next())
        ids << query.value(0).toLongLong();
    return ids;
}

QVector<qint64> range(qint64 from, qint64 to)
{
    QVector<qint64> ids;
    for (qint64 id = from; id <= to; ++id)
        ids << id;
    return ids;
}

// The killed-site case: a site that says ready and waits to be killed.
int runChildSite()
{
    Site site(qEnvironmentVariable("TARVIK_TEST_DIR"), QStringLiteral("doomed"),
              qEnvironmentVariableIntValue("TARVIK_TEST_PORT"));
    site.publisher->setState(stateOf(QStringLiteral("K1"), ControllerSnapshot::Link::Polling, 0));
    if (!QTest::qWaitFor([&] { return site.publisher->client()->isConnected(); }, 10000))
        return 2;
    QTest::qWait(300);
    printf("ready\n");
    fflush(stdout);
    QTest::qWait(60000);
    return 0;
}

QMap<QString, int> warningsByText;
void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && qstrcmp(context.category, "tarvik.dispatch") == 0)
        ++warningsByText[text.section(QLatin1String(" on "), 0, 0)];
}

} // namespace

class TestDispatcher : public QObject
{
    Q_OBJECT

private slots:
    void init() { dir = std::make_unique<QTemporaryDir>(); }
    void payloadsAreReadStrictly();
    void fuzzCorpusHolds_data();
    void fuzzCorpusHolds();
    void gapsAreTrackedAndBounded();
    void threeSitesShownAndKilledSiteRaisesAlarm();
    void rowsBeyondTheBrokersQueueComeBackThroughReplay();
    void historyIsFetchedOnlyWhenAsked();
    void badInputIsIgnoredCountedAndBounded();

private:
    QString path(const QString &name) const { return dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestDispatcher::payloadsAreReadStrictly()
{
    using P = PayloadParser::Topic::Kind;
    QCOMPARE(PayloadParser::classify("tarvik", "tarvik/a/status").kind, P::Status);
    QCOMPARE(PayloadParser::classify("tarvik", "tarvik/a/K1/state").controller, QString("K1"));
    QCOMPARE(PayloadParser::classify("tarvik", "tarvik/a/replay/result").kind, P::ReplayResult);
    QCOMPARE(PayloadParser::classify("tarvik", "tarvik/a/K1/other").kind, P::Other);
    QCOMPARE(PayloadParser::classify("tarvik", "tarvikx/a/status").kind, P::Other);

    JournalRecord row;
    QVERIFY(PayloadParser::parseJournal(R"({"id":7,"kind":"event","name":"Пожар","received":"r","port":"p","source":32,"code":4})", &row).ok);
    QCOMPARE(row.id, 7);
    QCOMPARE(row.code.toInt(), 4);
    const struct { const char *payload; InputFaults::Kind fault; } badRows[] = {
        { R"({"id":7,"kind":"event",)", InputFaults::InvalidJson },
        { R"({"id":"7","kind":"event","name":"","received":"","port":""})", InputFaults::WrongType },
        { R"({"id":7.5,"kind":"event","name":"","received":"","port":""})", InputFaults::WrongType },
        { R"({"id":7,"kind":"event","name":"","received":"","port":"","code":-1})", InputFaults::WrongType },
        { R"({"id":7,"kind":"event","name":"","received":""})", InputFaults::UnknownShape },
        { R"([1,2])", InputFaults::UnknownShape },
        { "{\"id\":7,\"kind\":\"\xc3\x28\",\"name\":\"\",\"received\":\"\",\"port\":\"\"}", InputFaults::InvalidUtf8 },
    };
    for (const auto &bad : badRows) {
        const PayloadParser::Outcome outcome = PayloadParser::parseJournal(bad.payload, &row);
        QVERIFY2(!outcome.ok && outcome.fault == bad.fault, bad.payload);
    }
    QCOMPARE(PayloadParser::parseJournal(QByteArray(PayloadParser::MaxPayload + 1, ' '), &row).fault,
             InputFaults::Oversize);

    ControllerSnapshot state;
    QVERIFY(PayloadParser::parseState(R"({"controller":"К","link":"no-link","vpk":4227076,"lamps":{"Пожар":"blinking"},)"
                                      R"("events":[{"name":"Пожар","source":32,"code":4,"time":"t"}]})", &state).ok);
    QCOMPARE(state.link, ControllerSnapshot::Link::NoLink);
    QCOMPARE(state.lamps.first().state, ControllerSnapshot::Lamp::Blinking);
    QCOMPARE(state.events.size(), 1);
    QCOMPARE(PayloadParser::parseState(R"({"controller":"К","link":"lost","vpk":1,"lamps":{},"events":[]})", &state).fault,
             InputFaults::WrongType);
    QCOMPARE(PayloadParser::parseState(R"({"controller":"К","link":"idle","vpk":1,"lamps":{"a":"on"},"events":[{"name":1}]})", &state).fault,
             InputFaults::WrongType);
    QCOMPARE(PayloadParser::parseState(R"({"controller":"К","link":"idle","vpk":1,"lamps":{}})", &state).fault,
             InputFaults::UnknownShape);
    bool online = true;
    QVERIFY(PayloadParser::parseStatus("offline", &online).ok && !online);
    QCOMPARE(PayloadParser::parseStatus("Online", &online).fault, InputFaults::UnknownShape);
}

// The fuzz target's corpus, through the same checks.
void TestDispatcher::fuzzCorpusHolds_data()
{
    QTest::addColumn<QString>("file");
    const QFileInfoList files = QDir(TARVIK_DISPATCH_CORPUS).entryInfoList(QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 10);
    for (const QFileInfo &file : files)
        QTest::newRow(qPrintable(file.fileName())) << file.filePath();
}

void TestDispatcher::fuzzCorpusHolds()
{
    QFETCH(QString, file);
    QFile input(file);
    QVERIFY(input.open(QIODevice::ReadOnly));
    QCOMPARE(PayloadCheck::check(input.readAll()), QString());
}

void TestDispatcher::gapsAreTrackedAndBounded()
{
    GapTracker t;
    QCOMPARE(t.accept(100, false), GapTracker::Verdict::New); // first seen: no history fetched
    QCOMPARE(t.accept(104, false), GapTracker::Verdict::New);
    QCOMPARE(t.missing(), 3);
    QCOMPARE(t.accept(102, false), GapTracker::Verdict::Filled);
    QCOMPARE(t.markLost(101, 101), 1);
    QCOMPARE(t.missing(), 1);
    QCOMPARE(t.lost(), 1);
    QCOMPARE(t.accept(104, true), GapTracker::Verdict::Duplicate);
    QCOMPARE(t.accept(50, false), GapTracker::Verdict::Backwards);
    t.allowHistory(true);
    QCOMPARE(t.accept(50, false), GapTracker::Verdict::History);
    QCOMPARE(t.backwards(), 1);
    QCOMPARE(t.requests(10000), (std::vector<std::pair<qint64, qint64>>{ { 103, 103 } }));

    // A site skipping ids without end cannot grow the gap list without bound.
    GapTracker flood;
    for (qint64 id = 1; id < 4 * GapTracker::MaxGaps; id += 2)
        flood.accept(id, false);
    QCOMPARE(int(flood.gaps().size()), GapTracker::MaxGaps);
    QCOMPARE(flood.missing() + flood.lost(), 2 * GapTracker::MaxGaps - 1);
    QCOMPARE(flood.requests(5).front().second - flood.requests(5).front().first, 0);
}

void TestDispatcher::threeSitesShownAndKilledSiteRaisesAlarm()
{
    TestBroker broker;
    QVERIFY(broker.start());
    Site a(dir->path(), "alpha", broker.port());
    Site b(dir->path(), "beta", broker.port());
    a.publisher->setState(stateOf("K1", ControllerSnapshot::Link::Polling, 0));
    a.publisher->setState(stateOf("K2", ControllerSnapshot::Link::NoLink, 0));
    b.publisher->setState(stateOf("K1", ControllerSnapshot::Link::Polling, 2));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TARVIK_TEST_SITE", "1");
    env.insert("TARVIK_TEST_DIR", dir->path());
    env.insert("TARVIK_TEST_PORT", QString::number(broker.port()));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return child.canReadLine() || child.state() != QProcess::Running; }, 20000));
    QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));

    DispatchJournal journal;
    QVERIFY(journal.open(path("one.sqlite")));
    Dispatcher dispatcher(&journal);
    dispatcher.start(dispatcherAt(broker.port(), "one"));
    SitesModel *sites = dispatcher.sites();
    QVERIFY(QTest::qWaitFor([&] { return sites->controllerCount() == 4 && sites->isOnline("doomed"); }, 10000));
    QCOMPARE(dispatcher.statusText(), QString("Брокер: подключено"));
    QCOMPARE(sites->siteNames(), (QStringList{ "alpha", "beta", "doomed" }));
    const ControllerSnapshot::LampShown fire{ "Пожар", ControllerSnapshot::Lamp::Blinking };
    QVERIFY(sites->state("alpha", "K1")->lamps.contains(fire));
    QCOMPARE(sites->worstFirst().first(), qMakePair(QString("alpha"), QString("K2"))); // no link
    QCOMPARE(sites->worstFirst().at(1), qMakePair(QString("beta"), QString("K1")));   // with events
    // Two events of beta and alpha's lost controller wait.
    QCOMPARE(dispatcher.events()->rowCount(), 3);
    QCOMPARE(dispatcher.events()->waitingCount(), 3);

    child.kill(); // no goodbye: the broker speaks the will
    child.waitForFinished();
    QVERIFY(QTest::qWaitFor([&] { return !sites->isOnline("doomed"); }, 10000));
    QCOMPARE(sites->worstFirst().first().first, QString("doomed"));
    QCOMPARE(dispatcher.events()->waitingCount(), 4);
    const int lostRow = dispatcher.events()->rowCount() - 1;
    QCOMPARE(dispatcher.events()->row(lostRow).name, CurrentEvents::SiteLost);

    // Acknowledged rows are journaled with the dispatcher's name; the alarm is over once none waits.
    QCOMPARE(dispatcher.acknowledge({ lostRow }), 1);
    QCOMPARE(dispatcher.acknowledge({ lostRow }), 0);
    QCOMPARE(dispatcher.acknowledgeAll(), 3);
    QCOMPARE(dispatcher.events()->waitingCount(), 0);
    QSqlQuery query(QSqlDatabase::database(journal.connectionName(), false));
    QVERIFY(query.exec("SELECT site, name, guard FROM journal WHERE kind = 'acknowledged' ORDER BY seq"));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString() + "|" + query.value(1).toString() + "|" + query.value(2).toString(),
             QString("doomed|Площадка не в сети|Петров"));

    // A second dispatcher sees the same from the retained messages.
    DispatchJournal otherJournal;
    QVERIFY(otherJournal.open(path("two.sqlite")));
    Dispatcher other(&otherJournal);
    other.start(dispatcherAt(broker.port(), "two"));
    QVERIFY(QTest::qWaitFor([&] { return other.sites()->controllerCount() == 4; }, 10000));
    QCOMPARE(other.sites()->worstFirst(), sites->worstFirst());
    QCOMPARE(other.events()->rowCount(), dispatcher.events()->rowCount());

    const qint64 id = a.journal.append(fireRow(4));
    QVERIFY(QTest::qWaitFor([&] { return journal.rowCount("alpha") == 1 && otherJournal.rowCount("alpha") == 1; }, 10000));
    QCOMPARE(idsInArrivalOrder(journal, "alpha"), QVector<qint64>{ id });
}

void TestDispatcher::rowsBeyondTheBrokersQueueComeBackThroughReplay()
{
    TestBroker broker;
    broker.addConfig("max_queued_messages 1000");
    QVERIFY(broker.start());
    auto site = std::make_unique<Site>(dir->path(), "alpha", broker.port());
    auto gone = std::make_unique<Site>(dir->path(), "beta", broker.port());
    QVERIFY(QTest::qWaitFor([&] { return site->publisher->client()->isConnected(); }, 10000));
    const QString journalPath = path("dispatch.sqlite");
    auto journal = std::make_unique<DispatchJournal>();
    QVERIFY(journal->open(journalPath));
    auto dispatcher = std::make_unique<Dispatcher>(journal.get());
    dispatcher->start(dispatcherAt(broker.port(), "desk"));
    QVERIFY(QTest::qWaitFor([&] { return dispatcher->isConnected(); }, 10000));
    QTest::qWait(300); // subscribed
    site->journal.append(fireRow(0));
    for (int i = 0; i < 5; ++i)
        gone->journal.append(fireRow(i));
    QVERIFY(QTest::qWaitFor([&] { journal->flush(); return journal->rowCount() == 6; }, 10000));

    // Away while 2,500 rows are published: the broker keeps 1,000 of them.
    dispatcher.reset();
    journal.reset();
    qint64 last = 0;
    for (int i = 0; i < 2500; ++i)
        last = site->journal.append(fireRow(i % 200));
    QVERIFY(QTest::qWaitFor([&] { return site->publisher->acknowledgedId() == last; }, 30000));
    // Meanwhile beta's rows 6..20 leave its journal before they were ever published.
    gone->publisher->setSettings(MqttSettings());
    for (int i = 0; i < 25; ++i)
        gone->journal.append(fireRow(i));
    gone.reset();
    gone = std::make_unique<Site>(dir->path(), "beta", broker.port(), 10);

    journal = std::make_unique<DispatchJournal>();
    QVERIFY(journal->open(journalPath));
    dispatcher = std::make_unique<Dispatcher>(journal.get());
    dispatcher->start(dispatcherAt(broker.port(), "desk"));
    const auto whole = [&] {
        journal->flush();
        return journal->rowCount("alpha") == 2501 && journal->rowCount("beta") == 15
            && dispatcher->tracker("beta")->lost() == 15;
    };
    QVERIFY2(QTest::qWaitFor(whole, 30000),
             qPrintable(QString("alpha %1, beta %2, beta lost %3")
                            .arg(journal->rowCount("alpha"))
                            .arg(journal->rowCount("beta"))
                            .arg(dispatcher->tracker("beta") ? dispatcher->tracker("beta")->lost() : -1)));
    QCOMPARE(idsInArrivalOrder(*journal, "alpha"), range(1, 2501));
    QCOMPARE(idsInArrivalOrder(*journal, "beta"), range(1, 5) + range(21, 30));
    QCOMPARE(dispatcher->tracker("beta")->missing(), 0);
    const QModelIndex note = dispatcher->sites()->index(1, SitesModel::JournalColumn);
    QCOMPARE(note.data().toString(), QString("не получено 15"));

    // A broker restart loses nothing either.
    broker.stop();
    for (int i = 0; i < 10; ++i)
        last = site->journal.append(fireRow(i));
    QVERIFY(broker.start());
    QVERIFY(QTest::qWaitFor([&] { journal->flush(); return journal->rowCount("alpha") == 2511; }, 30000));
    // Rows live after the restart and rows asked again may cross: each once is what counts.
    QVector<qint64> afterRestart = idsInArrivalOrder(*journal, "alpha");
    std::sort(afterRestart.begin(), afterRestart.end());
    QCOMPARE(afterRestart, range(1, 2511));
    QCOMPARE(dispatcher->faults().total(), 0);
}

void TestDispatcher::historyIsFetchedOnlyWhenAsked()
{
    TestBroker broker;
    QVERIFY(broker.start());
    Site site(dir->path(), "alpha", broker.port());
    QVERIFY(QTest::qWaitFor([&] { return site.publisher->client()->isConnected(); }, 10000));
    site.publisher->setSettings(MqttSettings()); // 30 rows the dispatcher never sees
    for (int i = 0; i < 30; ++i)
        site.journal.append(fireRow(i));
    site.journal.setMetaValue(MqttPublisher::AcknowledgedKey, "30"); // as if the broker had them
    site.publisher->setSettings(brokerAt(broker.port(), "tarvik/alpha"));

    DispatchJournal journal;
    QVERIFY(journal.open(path("history.sqlite")));
    Dispatcher dispatcher(&journal);
    dispatcher.start(dispatcherAt(broker.port(), "history"));
    QVERIFY(QTest::qWaitFor([&] { return dispatcher.isConnected() && site.publisher->client()->isConnected(); }, 10000));
    QTest::qWait(300);
    site.journal.append(fireRow(0));
    QVERIFY(QTest::qWaitFor([&] { journal.flush(); return journal.rowCount("alpha") == 1; }, 10000));
    QTest::qWait(300);
    QCOMPARE(dispatcher.tracker("alpha")->missing(), 0); // a site seen first: no history of its own accord

    // A period that holds every row of the site: what came before the first one seen.
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(dispatcher.requestHistory("alpha", now.addSecs(-3600), now.addSecs(3600)));
    QVERIFY(QTest::qWaitFor([&] { journal.flush(); return journal.rowCount("alpha") == 31; }, 10000));
    QVERIFY(QTest::qWaitFor([&] { return !dispatcher.tracker("alpha")->historyAllowedNow(); }, 10000));
    QCOMPARE(idsInArrivalOrder(journal, "alpha"), QVector<qint64>{ 31 } + range(1, 30));
    QCOMPARE(dispatcher.faults().total(), 0);
}

void TestDispatcher::badInputIsIgnoredCountedAndBounded()
{
    TestBroker broker;
    broker.addConfig("max_queued_messages 20000"); // the flood must reach the dispatcher whole
    QVERIFY(broker.start());
    DispatchJournal journal;
    QVERIFY(journal.open(path("bad.sqlite")));
    Dispatcher dispatcher(&journal);
    dispatcher.start(dispatcherAt(broker.port(), "bad"));
    MqttClient source; // a site gone wrong
    source.start(brokerAt(broker.port(), "tarvik/x"), QString(), QByteArray());
    QVERIFY(QTest::qWaitFor([&] { return dispatcher.isConnected() && source.isConnected(); }, 10000));
    QTest::qWait(300);

    warningsByText.clear();
    const QtMessageHandler previous = qInstallMessageHandler(countWarnings);
    const QByteArray row = R"({"id":%1,"kind":"event","name":"Пожар","received":"r","port":"p"})";
    for (int i = 0; i < 3; ++i) {
        source.publish("tarvik/x/K1/journal", "{not json", 1, false);
        source.publish("tarvik/x/K1/journal", R"({"id":"1","kind":"event","name":"","received":"","port":""})", 1, false);
        source.publish("tarvik/x/status", "\xff\xfe", 1, false);
    }
    source.publish("tarvik/x/K1/state", QByteArray(10 * 1024 * 1024, '{'), 1, false);
    for (int id : { 10, 11, 3, 2 }) // 3 and 2 behind the first row seen
        source.publish("tarvik/x/K1/journal", QString::fromUtf8(row).arg(id).toUtf8(), 1, false);
    const QByteArray state = R"({"controller":"c","link":"polling","vpk":0,"lamps":{},"events":[]})";
    for (int i = 0; i < 10000; ++i)
        source.publish(QStringLiteral("tarvik/x/C%1/state").arg(i), state, 1, false);
    source.publish("tarvik/x/status", "online", 1, false);
    const InputFaults &f = dispatcher.faults();
    const bool settled = QTest::qWaitFor([&] {
        return f.count(InputFaults::TooManyControllers) == 10000 - SitesModel::MaxControllersPerSite + 1
            && dispatcher.sites()->isOnline("x");
    }, 30000);
    qInstallMessageHandler(previous);
    QVERIFY2(settled, qPrintable(QString::number(f.count(InputFaults::TooManyControllers))));
    QCOMPARE(f.count(InputFaults::InvalidJson), 3);
    QCOMPARE(f.count(InputFaults::WrongType), 3);
    QCOMPARE(f.count(InputFaults::InvalidUtf8), 3);
    QCOMPARE(f.count(InputFaults::Oversize), 1);
    QCOMPARE(f.count(InputFaults::IdBackwards), 2);
    QCOMPARE(dispatcher.sites()->controllerCount(), SitesModel::MaxControllersPerSite);
    QCOMPARE(dispatcher.sites()->rowCount(), SitesModel::MaxControllersPerSite);
    journal.flush();
    QCOMPARE(journal.rowCount("x"), 2); // 10 and 11; the gap before 10 is history, not asked for
    QCOMPARE(dispatcher.tracker("x")->missing(), 0);
    QCOMPARE(dispatcher.sites()->index(0, SitesModel::JournalColumn).data().toString(), QString("не принято 2 (номера назад)"));
    // Each kind said once.
    QCOMPARE(warningsByText.size(), 6);
    for (auto it = warningsByText.cbegin(); it != warningsByText.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));
    source.stop();
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("TARVIK_TEST_SITE"))
        return runChildSite();
    TestDispatcher test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dispatcher.moc"
