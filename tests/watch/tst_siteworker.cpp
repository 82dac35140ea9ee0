// A site's port workers polling several simulated controllers on pseudo-terminals.
#include "controllerlist.h"
#include "controllerstatus.h"
#include "rtuframe.h"
#include "sitesession.h"
#include "siteworker.h"
#include "simharness.h"
#include "testmaster.h"

#include <QtTest>

#include <map>
#include <memory>

namespace {

// What reached the test's thread, per controller id.
struct Seen
{
    QVector<AlarmType> current, all;
    QVector<bool> answering;
    int lost = 0;
    int restored = 0;
    quint32 vpk = 0;
};

struct Site : QObject
{
    std::map<int, Seen> seen;
    std::vector<std::unique_ptr<SiteWorker>> workers;

    SiteWorker *add(const QString &path, const QVector<SiteWorker::Station> &stations)
    {
        workers.push_back(std::make_unique<SiteWorker>(stations));
        SiteWorker *w = workers.back().get();
        connect(w, &SiteWorker::eventRead, this, [this](int id, bool current, AlarmType a) {
            (current ? seen[id].current : seen[id].all) << a;
        });
        connect(w, &SiteWorker::listCleared, this, [this](int id, bool current) {
            (current ? seen[id].current : seen[id].all).clear();
        });
        connect(w, &SiteWorker::vpkRead, this, [this](int id, quint32 v) { seen[id].vpk = v; });
        connect(w, &SiteWorker::answeringChanged, this,
                [this](int id, bool on) { seen[id].answering << on; });
        connect(w, &SiteWorker::linkLost, this, [this](int id) { ++seen[id].lost; });
        connect(w, &SiteWorker::linkRestored, this, [this](int id) { ++seen[id].restored; });
        w->setPort(path, 9600, stations.first().slave);
        w->start();
        return w;
    }
    void resumeAll()
    {
        for (auto &w : workers)
            w->resume();
    }
};

SimEvent simEvent(int device, int code = 7)
{
    return SimEvent::now(SimEvent::deviceSource(device), quint8(code));
}

} // namespace

class TestSiteWorker : public QObject
{
    Q_OBJECT

private slots:
    void eventsResetAndLampsStayWithTheirController();
    void aSilentControllerIsLostAloneAndComesBack();
    void statusShowsTheWorstState();
    void lineAnswersEachServedAddressOnly();
    void aPortThatCannotOpenIsRetriedAlone();
};

// Three controllers: ids 0 and 1 share a line as slaves 1 and 2, id 2 is slave 5 alone.
void TestSiteWorker::eventsResetAndLampsStayWithTheirController()
{
    SimHarness line(QVector<int>{1, 2});
    SimHarness other(5);
    QVERIFY2(line.isReady() && other.isReady(), qPrintable(line.errorString() + other.errorString()));
    line.stateOf(1, [](ControllerState &s) { s.addCurrentEvent(simEvent(1)); s.setStatusWord(0x4); });
    line.stateOf(2, [](ControllerState &s) { s.addCurrentEvent(simEvent(2)); s.addCurrentEvent(simEvent(3));
        s.setStatusWord(0x20); });
    other.state([](ControllerState &s) { s.addLoggedEvent(simEvent(9)); s.setStatusWord(0x100000); });

    Site site;
    site.add(line.devicePath(), {{0, 1}, {1, 2}});
    site.add(other.devicePath(), {{2, 5}});
    site.resumeAll();
    QTRY_VERIFY_WITH_TIMEOUT(site.seen[0].current.size() == 1 && site.seen[1].current.size() == 2
                                 && site.seen[2].all.size() == 1, 10000);
    QCOMPARE(site.seen[0].current, alarmsOf(line.stateCopyOf(1).currentEvents()));
    QCOMPARE(site.seen[1].current, alarmsOf(line.stateCopyOf(2).currentEvents()));
    QCOMPARE(site.seen[1].all, alarmsOf(line.stateCopyOf(2).loggedEvents()));
    QCOMPARE(site.seen[2].all, alarmsOf(other.stateCopy().loggedEvents()));
    QVERIFY(site.seen[2].current.isEmpty());
    QTRY_COMPARE(site.seen[0].vpk, 0x400004u);
    QTRY_COMPARE(site.seen[2].vpk, 0x500000u);
    QTRY_COMPARE(site.seen[1].vpk, 0x400020u);

    // A reset of controller 1 (slave 2) reaches it and no other.
    site.workers[0]->requestReset(1);
    QTRY_COMPARE_WITH_TIMEOUT(line.stateCopyOf(2).currentEvents().size(), 0, 5000);
    QTRY_VERIFY(site.seen[1].current.isEmpty());
    QTest::qWait(300);
    QCOMPARE(line.stateCopyOf(1).currentEvents().size(), 1);
    QCOMPARE(site.seen[0].current.size(), 1);
    for (const auto &entry : site.seen)
        QVERIFY(entry.second.lost == 0 && entry.second.answering.isEmpty());
}

// Slave 2 of three on one line falls silent while events keep coming on all.
void TestSiteWorker::aSilentControllerIsLostAloneAndComesBack()
{
    SimHarness line(QVector<int>{1, 2, 3});
    QVERIFY2(line.isReady(), qPrintable(line.errorString()));
    Site site;
    SiteWorker *worker = site.add(line.devicePath(), {{0, 1}, {1, 2}, {2, 3}});
    worker->setRetryInterval(1500);
    site.resumeAll();
    QTRY_VERIFY_WITH_TIMEOUT(site.seen[0].vpk && site.seen[1].vpk && site.seen[2].vpk, 5000);

    line.faultsOf(2, [](FaultPlan &f) { f.setSilent(true); });
    QElapsedTimer silentFor;
    silentFor.start();
    QTRY_COMPARE_WITH_TIMEOUT(site.seen[1].answering, QVector<bool>{false}, 2000);
    QVERIFY2(silentFor.elapsed() < 1500, qPrintable(QString::number(silentFor.elapsed())));
    for (int i = 0; i < 4; ++i) {
        for (int slave : {1, 3})
            line.stateOf(slave, [&](ControllerState &s) { s.addCurrentEvent(simEvent(slave * 10 + i)); });
        QTest::qWait(250);
    }
    QTRY_COMPARE_WITH_TIMEOUT(site.seen[1].lost, 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(site.seen[0].current.size() == 4 && site.seen[2].current.size() == 4, 10000);
    QCOMPARE(site.seen[0].current, alarmsOf(line.stateCopyOf(1).currentEvents()));
    QCOMPARE(site.seen[2].current, alarmsOf(line.stateCopyOf(3).currentEvents()));
    QCOMPARE(site.seen[0].lost + site.seen[2].lost, 0);

    // Still lost over a retry or two; then it answers and says so once.
    line.stateOf(2, [](ControllerState &s) { s.addCurrentEvent(simEvent(20)); });
    QTest::qWait(2000);
    QCOMPARE(site.seen[1].restored, 0);
    line.faultsOf(2, [](FaultPlan &f) { f.setSilent(false); });
    QTRY_COMPARE_WITH_TIMEOUT(site.seen[1].restored, 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(site.seen[1].current, alarmsOf(line.stateCopyOf(2).currentEvents()), 5000);
    QCOMPARE(site.seen[1].answering, (QVector<bool>{false, true}));
    QCOMPARE(site.seen[1].lost, 1);
}

void TestSiteWorker::statusShowsTheWorstState()
{
    ControllerStatus status;
    QCOMPARE(status.state(), ControllerStatus::Quiet);
    status.setCurrentEvents(2);
    QCOMPARE(status.state(), ControllerStatus::Events);
    status.setVpk(0x500000); // fault bit
    QCOMPARE(status.state(), ControllerStatus::Fault);
    status.setVpk(0); // a parked worker's word changes nothing
    QCOMPARE(status.state(), ControllerStatus::Fault);
    status.setAnswering(false);
    QCOMPARE(status.state(), ControllerStatus::NoAnswer);
    status.setLinkLost(true);
    QCOMPARE(status.state(), ControllerStatus::NoLink);
    status.setPolled(false);
    QCOMPARE(status.state(), ControllerStatus::NotPolled);
    QCOMPARE(ControllerStatus::text(ControllerStatus::NoLink), QStringLiteral("Нет связи"));
    QCOMPARE(ControllerStatus::text(ControllerStatus::NoAnswer), QStringLiteral("нет ответа"));
}

// The simulator's line as a master sees it: each served address its own
// registers, others and broken frames unanswered.
void TestSiteWorker::lineAnswersEachServedAddressOnly()
{
    SimHarness line(QVector<int>{1, 2});
    QVERIFY2(line.isReady(), qPrintable(line.errorString()));
    {
        TestMaster second(line.devicePath(), 2);
        QCOMPARE(second.writeSingle(1999, 0x1234), 1);
        QCOMPARE(second.holding(1999, 1), QVector<quint16>{0x1234});
    }
    QVERIFY(line.stateCopyOf(2).holding(1999) == 0x1234 && line.stateCopyOf(1).holding(1999) != 0x1234);
    {
        TestMaster absent(line.devicePath(), 3);
        absent.setResponseTimeout(200);
        quint16 value = 0;
        QCOMPARE(absent.readHolding(1999, 1, &value), -1);
    }
    QTRY_COMPARE(line.statistics().otherSlave, quint64(1));

    TestMaster first(line.devicePath(), 1);
    first.setResponseTimeout(200);
    QByteArray broken = RtuFrame::withCrc(QByteArray::fromHex("020307cf0001"));
    broken[broken.size() - 1] = char(broken.at(broken.size() - 1) ^ 0x55);
    QVERIFY(first.sendRaw(broken));
    QVERIFY(first.receiveRaw(300).isEmpty());
    QCOMPARE(first.holding(1999, 1).size(), 1); // the line is still served after it
}

// Two controllers on a line that answers, one on a port that cannot be opened:
// that one is lost once, its port tried again and again, the others unharmed.
void TestSiteWorker::aPortThatCannotOpenIsRetriedAlone()
{
    SimHarness line(QVector<int>{1, 2});
    QVERIFY2(line.isReady(), qPrintable(line.errorString()));
    line.stateOf(2, [](ControllerState &s) { s.addCurrentEvent(simEvent(4)); });
    QVector<ControllerEntry> entries(3);
    const QString ports[] = {line.devicePath(), line.devicePath(), "/nonexistent/tarvik-line"};
    for (int i = 0; i < 3; ++i) {
        entries[i].name = ControllerList::defaultName(i + 1);
        entries[i].portName = ports[i];
        entries[i].address = i + 1;
    }
    SiteSession session{ControllerList(entries)};
    session.setRetryInterval(300);
    QVector<int> lost, current;
    int portFailures = 0;
    connect(&session, &SiteSession::linkLost, this, [&](int id) { lost << id; });
    connect(&session, &SiteSession::eventRead, this, [&](int id, bool isCurrent, AlarmType) {
        if (isCurrent)
            current << id;
    });
    connect(&session, &SiteSession::portFailed, this, [&](const QString &port, const QString &text) {
        portFailures += port == ports[2] && text.startsWith("Ошибка открытия порта");
    });
    session.start();
    QTRY_VERIFY_WITH_TIMEOUT(portFailures >= 3, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(current, QVector<int>{1}, 5000);
    QCOMPARE(lost, QVector<int>{2});
    QCOMPARE(session.status(2).state(), ControllerStatus::NoLink);
    QCOMPARE(session.status(1).state(), ControllerStatus::Events);
    QCOMPARE(session.lostIds(), QVector<int>{2});

    session.pause(); // not polled, nothing is lost any more; no more tries
    QVERIFY(session.lostIds().isEmpty());
    const int failuresAtPause = portFailures;
    QTest::qWait(800);
    QCOMPARE(portFailures, failuresAtPause);
}

QTEST_MAIN(TestSiteWorker)
#include "tst_siteworker.moc"
