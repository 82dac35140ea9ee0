// A site mixing serial lines and Modbus TCP gateways: the list's rules and
// store, the dialog, and polling a pseudo-terminal controller beside two units
// behind one loopback gateway. Offscreen.
#include "alarmsound.h"
#include "controllerlist.h"
#include "controllersdialog.h"
#include "mainwindow.h"
#include "settingsstore.h"
#include "simharness.h"
#include "sitesession.h"
#include "testwidgets.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <QtWidgets>

#include <QTcpServer>

#include <map>

namespace {

struct SilentSound : AlarmSound
{
    void play() override {}
    void stop() override {}
};

ControllerEntry serialEntry(const QString &name, const QString &port, int address)
{
    ControllerEntry e;
    e.name = name;
    e.portName = port;
    e.address = address;
    return e;
}

ControllerEntry gatewayEntry(const QString &name, const QString &host, int port, int unit)
{
    ControllerEntry e;
    e.name = name;
    e.tcp = true;
    e.host = host;
    e.tcpPort = port;
    e.address = unit;
    return e;
}

SimEvent fault(int device)
{
    return SimEvent::now(SimEvent::deviceSource(device), 4);
}

// "controller|port|slave" of every current event journaled.
QStringList journaledEvents(const QString &path)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open()
            && query.exec("SELECT controller, port, slave FROM journal WHERE kind = 'event' AND list = 'current'")) {
            while (query.next())
                rows << QStringList{query.value(0).toString(), query.value(1).toString(), query.value(2).toString()}.join('|');
        }
    }
    QSqlDatabase::removeDatabase("reader");
    rows.sort();
    return rows;
}

} // namespace

class TestSiteTcp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void gatewayRowsFollowTheSiteRules();
    void portTextNamesAPortOrAGateway();
    void storeKeepsBothKindsAndReadsAnOldOneAsSerial();
    void dialogTakesAGatewayRow();
    void sessionPollsAGatewayAndALineSideBySide();
    void aRefusedGatewayIsLostAloneAndTriedAgain();
    void windowJournalsTheGatewayAsItsPort();
    void oneGatewayRowPolledAloneIsTheSingleConsole();

private:
    QTemporaryDir storeDir;
};

void TestSiteTcp::initTestCase()
{
    QVERIFY(storeDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
    qputenv("TARVIK_JOURNAL", QFile::encodeName(storeDir.filePath("journal.sqlite")));
}

void TestSiteTcp::gatewayRowsFollowTheSiteRules()
{
    const auto problem = [](QVector<ControllerEntry> entries) { return ControllerList(entries).problem(); };
    const ControllerEntry a = gatewayEntry("A", "127.0.0.5", 502, 1);
    // Units apart behind one gateway, or one unit behind two gateways or on a serial line.
    QVERIFY(problem({a, gatewayEntry("B", "127.0.0.5", 502, 2), gatewayEntry("C", "127.0.0.5", 503, 1),
                     gatewayEntry("D", "127.0.0.6", 502, 1), serialEntry("E", "127.0.0.5:502", 1)}).isEmpty());
    QCOMPARE(problem({a, gatewayEntry("B", "127.0.0.5", 502, 1)}),
             QString("Адрес 1 на шлюзе 127.0.0.5:502 занят дважды: «A» и «B»."));
    QVERIFY(problem({gatewayEntry("A", "Gate.local", 502, 4), gatewayEntry("B", "gate.local", 502, 4)})
                .contains("занят дважды"));
    QVERIFY(problem({gatewayEntry("A", "::1", 502, 3), gatewayEntry("B", "::1", 502, 3)}).contains("[::1]:502"));
    // Speed means nothing to a gateway.
    ControllerEntry fast = gatewayEntry("B", "127.0.0.5", 502, 2);
    fast.baudRate = 115200;
    QVERIFY(problem({a, fast}).isEmpty());

    QCOMPARE(problem({gatewayEntry("Котёл", "", 502, 1)}), QString("Контроллер «Котёл»: Не указан адрес шлюза."));
    QVERIFY(problem({gatewayEntry("A", "bad host!", 502, 1)}).contains("«bad host!» не является"));
    QVERIFY(problem({gatewayEntry("A", "127.0.0.5", 0, 1)}).contains("от 1 до 65535"));
    QVERIFY(problem({gatewayEntry("A", "127.0.0.5", 65536, 1)}).contains("от 1 до 65535"));
    QVERIFY(problem({gatewayEntry("A", "127.0.0.5", 502, 248)}).contains("вне пределов"));

    // Lines in the order of their first controller; not polled ones left out.
    ControllerEntry idle = gatewayEntry("F", "127.0.0.5", 502, 9);
    idle.polled = false;
    const ControllerList site({a, serialEntry("S", "/dev/a", 1), gatewayEntry("B", "127.0.0.5", 502, 2), idle,
                               gatewayEntry("G", "GATE", 502, 1), gatewayEntry("H", "gate", 502, 2)});
    QCOMPARE(site.polledLines(), (QVector<QVector<int>>{{0, 2}, {1}, {4, 5}}));
}

void TestSiteTcp::portTextNamesAPortOrAGateway()
{
    const QStringList listed{"COM3", "/dev/odd:name"};
    const auto parse = [&](const QString &text) {
        ControllerEntry e = serialEntry("A", "old", 1);
        ControllerList::setLinkText(e, text, listed);
        return e;
    };
    QVERIFY(!parse("COM3").tcp && parse("COM3").portName == "COM3");
    QVERIFY(!parse("/dev/odd:name").tcp); // a listed port wins over the host:port form
    QVERIFY(!parse("COM9").tcp && parse("COM9").portName == "COM9");
    const ControllerEntry v4 = parse(" 127.0.10.10:1502 ");
    QVERIFY(v4.tcp && v4.portName.isEmpty());
    QCOMPARE(v4.host, QString("127.0.10.10"));
    QCOMPARE(v4.tcpPort, 1502);
    const ControllerEntry v6 = parse("[fd00::5]:502");
    QCOMPARE(v6.host, QString("fd00::5"));
    QCOMPARE(v6.linkName(), QString("[fd00::5]:502"));
    QCOMPARE(parse("gate:abc").tcpPort, 0);
    QVERIFY(ControllerList({parse("gate:abc")}).problem().contains("от 1 до 65535"));
}

void TestSiteTcp::storeKeepsBothKindsAndReadsAnOldOneAsSerial()
{
    // The settings dialog's TCP choice is the first controller.
    setStoredPort("/dev/kept", {});
    setStoredGateway(1502, "gate.local");
    const ControllerEntry first = ControllerList::load().at(0);
    QVERIFY(first.tcp);
    QCOMPARE(first.linkName(), QString("gate.local:1502"));
    QCOMPARE(first.responseTimeoutMs, 1000);

    ControllerEntry slow = gatewayEntry("Котельная", "127.1.1.1", 502, 3);
    slow.responseTimeoutMs = 2500;
    const ControllerList mixed({slow, serialEntry("Цех", "/dev/b", 9), gatewayEntry("Склад", "::1", 5020, 4)});
    QVERIFY(mixed.save());
    QCOMPARE(ControllerList::load().entries(), mixed.entries());
    // Written back where the editor reads it; the serial fields stay for a switch back.
    SettingsStore::Choice shared = SettingsStore::load();
    QCOMPARE(QStringList({shared.link, shared.tcpHost, shared.tcpPort, shared.tcpTimeout, shared.address,
                          shared.portName}),
             QStringList({"tcp", "127.1.1.1", "502", "2500", "3", "/dev/kept"}));

    // A serial first row turns the shared choice back to serial.
    const ControllerList serialFirst({serialEntry("Цех", "/dev/b", 9), slow});
    QVERIFY(serialFirst.save());
    shared = SettingsStore::load();
    QCOMPARE(QStringList({shared.link, shared.portName, shared.address, shared.tcpHost}),
             QStringList({"serial", "/dev/b", "9", "127.1.1.1"}));
    QCOMPARE(ControllerList::load().entries(), serialFirst.entries());

    // A console store from before gateways: rows without "link" are serial.
    QSettings console(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Console");
    console.remove("controllers");
    console.beginWriteArray("controllers", 2);
    console.setArrayIndex(0);
    console.setValue("name", "Старый");
    console.setArrayIndex(1);
    console.setValue("name", "Второй");
    console.setValue("portName", "/dev/c");
    console.setValue("baudRate", 19200);
    console.setValue("address", 4);
    console.endArray();
    console.sync();
    ControllerEntry second = serialEntry("Второй", "/dev/c", 4);
    second.baudRate = 19200;
    QCOMPARE(ControllerList::load().at(1), second);
}

void TestSiteTcp::dialogTakesAGatewayRow()
{
    qputenv("TARVIK_PORTS", "/dev/x");
    ControllersDialog dialog;
    ControllerEntry gate = gatewayEntry("Шлюз", "127.0.0.1", 1502, 1);
    gate.responseTimeoutMs = 3000;
    dialog.setControllers(ControllerList({gate}));
    QCOMPARE(dialog.controllers().entries(), QVector<ControllerEntry>{gate}); // the hidden time-out kept
    auto *table = child<QTableWidget>(dialog, "tableControllers");
    QVERIFY(!chooseInCell(table, 0, 2, "19200")); // no speed for a gateway

    // A new row starts behind the same gateway at the next unit.
    child<QPushButton>(dialog, "addButton")->click();
    ControllerEntry added = gate;
    added.name = "Контроллер 2";
    added.address = 2;
    QCOMPARE(dialog.controllers().at(1), added);

    // The same unit twice is refused; a serial line typed instead is accepted.
    QVERIFY(chooseInCell(table, 1, 3, "1"));
    dialog.show();
    auto *ok = child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok);
    ok->click();
    QVERIFY(dialog.isVisible());
    QVERIFY(child<QLabel>(dialog, "labelProblem")->text().contains("на шлюзе 127.0.0.1:1502"));
    QVERIFY(chooseInCell(table, 1, 1, "/dev/x"));
    QVERIFY(chooseInCell(table, 1, 2, "19200"));
    QVERIFY(!dialog.controllers().at(1).tcp);
    QVERIFY(chooseInCell(table, 1, 1, "[::1]:70000"));
    ok->click();
    QVERIFY(child<QLabel>(dialog, "labelProblem")->text().contains("от 1 до 65535"));
    QVERIFY(chooseInCell(table, 1, 1, "[::1]:5020"));
    ok->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.controllers().at(1).linkName(), QString("[::1]:5020"));
}

// Units 1 and 2 behind one gateway share a worker and its one connection,
// slave 5 on a pseudo-terminal polls beside them.
void TestSiteTcp::sessionPollsAGatewayAndALineSideBySide()
{
    SimHarness gateway(QVector<int>{1, 2, 3});
    SimHarness line(5);
    QVERIFY2(gateway.isReady() && line.isReady(), qPrintable(gateway.errorString() + line.errorString()));
    QVERIFY2(gateway.serveTcp(), qPrintable(gateway.errorString()));
    gateway.stateOf(1, [](ControllerState &s) { s.addCurrentEvent(fault(1)); s.setStatusWord(0x4); });
    gateway.stateOf(2, [](ControllerState &s) { s.addCurrentEvent(fault(2)); s.addCurrentEvent(fault(3)); });
    gateway.stateOf(3, [](ControllerState &s) { s.addCurrentEvent(fault(9)); });
    line.state([](ControllerState &s) { s.addCurrentEvent(fault(5)); s.setStatusWord(0x20); });

    ControllerEntry idle = gatewayEntry("Резерв", "127.0.0.1", gateway.tcpPort(), 3);
    idle.polled = false;
    SiteSession session(ControllerList({gatewayEntry("Котельная", "127.0.0.1", gateway.tcpPort(), 1),
                                        serialEntry("Цех", line.devicePath(), 5), idle,
                                        gatewayEntry("Склад", "127.0.0.1", gateway.tcpPort(), 2)}));
    std::map<int, QVector<AlarmType>> current;
    connect(&session, &SiteSession::eventRead, this, [&](int id, bool isCurrent, AlarmType alarm) {
        if (isCurrent)
            current[id] << alarm;
    });
    session.start();
    QTRY_VERIFY_WITH_TIMEOUT(current[0].size() == 1 && current[1].size() == 1 && current[3].size() == 2, 10000);
    QCOMPARE(current[0], alarmsOf(gateway.stateCopyOf(1).currentEvents()));
    QCOMPARE(current[3], alarmsOf(gateway.stateCopyOf(2).currentEvents()));
    QCOMPARE(current[1], alarmsOf(line.stateCopy().currentEvents()));
    QTRY_COMPARE(session.vpk(0) & 0xFFFF, 0x4u);
    QTRY_COMPARE(session.vpk(1) & 0xFFFF, 0x20u);

    // Reset of one unit behind the gateway reaches it alone.
    session.requestReset(3);
    QTRY_COMPARE_WITH_TIMEOUT(gateway.stateCopyOf(2).currentEvents().size(), 0, 5000);
    QTest::qWait(300);
    QCOMPARE(gateway.stateCopyOf(1).currentEvents().size(), 1);
    QCOMPARE(gateway.stateCopyOf(3).currentEvents().size(), 1);
    QCOMPARE(line.stateCopy().currentEvents().size(), 1);
    QVERIFY(current[2].isEmpty()); // not polled
    QCOMPARE(gateway.tcpConnections(), 1);
    QVERIFY(session.lostIds().isEmpty() && session.silentIds().isEmpty());
    session.stop();
}

// Nothing listens on the gateway's port until later: its controller is lost,
// the line beside it goes on, and the gateway is connected once it is up.
void TestSiteTcp::aRefusedGatewayIsLostAloneAndTriedAgain()
{
    SimHarness line(5);
    QVERIFY2(line.isReady(), qPrintable(line.errorString()));
    line.state([](ControllerState &s) { s.addCurrentEvent(fault(5)); });
    int freePort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        freePort = probe.serverPort();
    }
    SiteSession session(ControllerList({gatewayEntry("Шлюз", "127.0.0.1", freePort, 1),
                                        serialEntry("Цех", line.devicePath(), 5)}));
    session.setRetryInterval(300);
    QStringList failures;
    connect(&session, &SiteSession::portFailed, this,
            [&](const QString &port, const QString &text) { failures << port + ' ' + text; });
    int lineEvents = 0;
    connect(&session, &SiteSession::eventRead, this, [&](int id, bool, AlarmType) { lineEvents += id == 1; });
    session.start();
    QTRY_VERIFY_WITH_TIMEOUT(!failures.isEmpty(), 5000);
    QVERIFY2(failures.first().startsWith(QString("127.0.0.1:%1 ").arg(freePort)), qPrintable(failures.first()));
    QVERIFY2(failures.first().contains(QString::number(freePort)), qPrintable(failures.first()));
    QCOMPARE(session.lostIds(), QVector<int>{0});
    QTRY_VERIFY_WITH_TIMEOUT(lineEvents >= 1, 10000);
    QVERIFY(!session.status(1).isLinkLost());

    // The gateway comes up on that port and is reached at the next try.
    SimHarness gateway(1);
    QVERIFY2(gateway.isReady(), qPrintable(gateway.errorString()));
    gateway.state([](ControllerState &s) { s.addCurrentEvent(fault(1)); });
    if (!gateway.serveTcp(freePort))
        QSKIP(qPrintable("the free port was taken meanwhile: " + gateway.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(session.lostIds().isEmpty(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(gateway.tcpConnections(), 1, 5000);
    session.stop();
}

// The first controller comes from the settings dialog's TCP choice.
void TestSiteTcp::windowJournalsTheGatewayAsItsPort()
{
    SimHarness gateway(QVector<int>{1, 2});
    SimHarness line(5);
    QVERIFY2(gateway.isReady() && line.isReady(), qPrintable(gateway.errorString() + line.errorString()));
    QVERIFY2(gateway.serveTcp(), qPrintable(gateway.errorString()));
    setStoredPort(line.devicePath(), {line.devicePath()});
    setStoredGateway(gateway.tcpPort());
    QSettings console(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Console");
    console.remove("controllers");
    console.sync();
    ControllerList list = ControllerList::load();
    QVERIFY(list.at(0).tcp);
    QVector<ControllerEntry> entries = list.entries();
    entries[0].name = "Котельная";
    entries << gatewayEntry("Склад", "127.0.0.1", gateway.tcpPort(), 2) << serialEntry("Цех", line.devicePath(), 5);
    QVERIFY(ControllerList(entries).save());
    gateway.stateOf(1, [](ControllerState &s) { s.addCurrentEvent(fault(1)); });
    gateway.stateOf(2, [](ControllerState &s) { s.addCurrentEvent(fault(2)); });
    line.state([](ControllerState &s) { s.addCurrentEvent(fault(5)); });

    MainWindow window;
    window.setAlarmSound(new SilentSound);
    child<QAction>(window, "actionEnablePoll")->trigger();
    QVERIFY(window.siteSession());
    const QString journalPath = storeDir.filePath("journal.sqlite");
    QTRY_COMPARE_WITH_TIMEOUT(journaledEvents(journalPath).size(), 3, 10000);
    const QString peer = QString("127.0.0.1:%1").arg(gateway.tcpPort());
    QCOMPARE(journaledEvents(journalPath),
             (QStringList{"Котельная|" + peer + "|1", "Склад|" + peer + "|2", "Цех|" + line.devicePath() + "|5"}));
    child<QAction>(window, "actionDisablePoll")->trigger();
}

// The one polled controller is a later gateway row: polled as the single
// console would, through the gateway and not the stored serial port.
void TestSiteTcp::oneGatewayRowPolledAloneIsTheSingleConsole()
{
    SimHarness gateway(QVector<int>{1, 2});
    QVERIFY2(gateway.isReady(), qPrintable(gateway.errorString()));
    QVERIFY2(gateway.serveTcp(), qPrintable(gateway.errorString()));
    gateway.stateOf(2, [](ControllerState &s) { s.addCurrentEvent(fault(2)); });
    setStoredPort("/dev/tarvik-no-such-port", {});
    ControllerEntry first = serialEntry("Старый", "/dev/tarvik-no-such-port", 1);
    first.polled = false;
    QVERIFY(ControllerList({first, gatewayEntry("Шлюз", "127.0.0.1", gateway.tcpPort(), 2)}).save());

    MainWindow window;
    window.setAlarmSound(new SilentSound);
    child<QAction>(window, "actionEnablePoll")->trigger();
    QVERIFY(!window.siteSession());
    auto *current = child<QTableWidget>(window, "tableAlarmCurrent");
    QTRY_COMPARE_WITH_TIMEOUT(current->rowCount(), 1, 10000);
    QCOMPARE(current->columnCount(), 3); // the single console's table
    QVERIFY(current->item(0, 0)->text().contains("Адрес 2"));
    QCOMPARE(gateway.tcpConnections(), 1);
    child<QAction>(window, "actionDisablePoll")->trigger();
}

QTEST_MAIN(TestSiteTcp)
#include "tst_sitetcp.moc"
