// The console watching a site: three simulated controllers on two pseudo-terminal
// lines through the window, the controllers list and its dialog. Offscreen.
#include "alarmsound.h"
#include "controllerlist.h"
#include "controllersdialog.h"
#include "eventcatalogue.h"
#include "eventtables.h"
#include "mainwindow.h"
#include "simharness.h"
#include "sitepanel.h"
#include "sitesession.h"
#include "testwidgets.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

struct RecordingSound : AlarmSound
{
    QStringList calls;
    void play() override { calls << QStringLiteral("play"); }
    void stop() override { calls << QStringLiteral("stop"); }
};

// "controller|kind|list|name" of every journal row, as another program reads them.
QStringList journalRows(const QString &path)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT controller, kind, list, name, slave FROM journal ORDER BY id")) {
            while (query.next()) {
                rows << QStringList{query.value(0).toString(), query.value(1).toString(),
                                    query.value(2).toString(), query.value(3).toString(),
                                    query.value(4).toString()}.join('|');
            }
        }
    }
    QSqlDatabase::removeDatabase("reader");
    return rows;
}

// Rows of an event table as "controller|name".
QStringList tableRows(const QTableWidget *table)
{
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row)
        rows << table->item(row, 0)->text() + '|' + table->item(row, 1)->text().trimmed();
    return rows;
}

SimEvent fault(int device)
{
    return SimEvent::now(SimEvent::deviceSource(device), 4);
}

ControllerEntry entry(const QString &name, const QString &port, int address, bool polled = true)
{
    ControllerEntry e;
    e.name = name;
    e.portName = port;
    e.address = address;
    e.polled = polled;
    return e;
}

// Picks the named controller in the reset question as soon as it shows.
void answerResetWith(const QString &name, QString *offeredFirst)
{
    QTimer::singleShot(50, [=] {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        *offeredFirst = dialog->textValue();
        dialog->setTextValue(name);
        dialog->accept();
    });
}

} // namespace

class TestConsoleSite : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listIsValidatedAndStored();
    void dialogRefusesAnAddressTwiceOnAPort();
    void dialogCellsReadTheirValues();
    void siteThroughTheWindow();
    void tablesKeepTheNewestRowsPerController();
    void oneControllerSaysNoAnswerAtOnce();

private:
    QTemporaryDir storeDir;
};

void TestConsoleSite::initTestCase()
{
    QVERIFY(storeDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
    qputenv("TARVIK_JOURNAL", QFile::encodeName(storeDir.filePath("journal.sqlite")));
}

void TestConsoleSite::listIsValidatedAndStored()
{
    const auto problem = [](QVector<ControllerEntry> entries) { return ControllerList(entries).problem(); };
    QVERIFY(problem({entry("A", "p1", 1), entry("B", "p1", 2), entry("C", "p2", 1)}).isEmpty());
    QVERIFY(problem({entry("A", "p1", 3), entry("B", "p1", 3)}).contains("Адрес 3 на порту p1"));
    ControllerEntry fast = entry("B", "p1", 2);
    fast.baudRate = 19200;
    QVERIFY(problem({entry("A", "p1", 1), fast}).contains("двумя скоростями"));
    QVERIFY(problem({entry("A", "p1", 1), entry("A", "p2", 1)}).contains("двум контроллерам"));
    QVERIFY(problem({entry(" ", "p1", 1)}).contains("нет названия"));
    QVERIFY(!problem({}).isEmpty());
    // A controller not polled still may not share an address.
    QVERIFY(!problem({entry("A", "p1", 1), entry("B", "p1", 1, false)}).isEmpty());

    // The first link is the shared store's, so the editor and settings dialog see it.
    setStoredPort("/dev/first", {});
    QCOMPARE(ControllerList::load().entries(), QVector<ControllerEntry>{entry("Контроллер 1", "/dev/first", 1)});
    const ControllerList site({entry("Котельная", "/dev/a", 7), entry("Цех", "/dev/b", 9, false)});
    QVERIFY(site.save());
    QSettings shared(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    QCOMPARE(QStringList({shared.value("portName").toString(), shared.value("address").toString()}),
             QStringList({"/dev/a", "7"}));
    QCOMPARE(ControllerList::load().entries(), site.entries());
    QVERIFY(!ControllerList::load().isSite());
    QCOMPARE(site.polledLines(), QVector<QVector<int>>{{0}});
}

void TestConsoleSite::dialogRefusesAnAddressTwiceOnAPort()
{
    qputenv("TARVIK_PORTS", "/dev/x:/dev/y");
    ControllersDialog dialog;
    dialog.setControllers(ControllerList({entry("Первый", "/dev/x", 1)}));
    child<QPushButton>(dialog, "addButton")->click(); // same line, next free address
    QCOMPARE(dialog.controllers().entries().last(), entry("Контроллер 2", "/dev/x", 2));
    auto *table = child<QTableWidget>(dialog, "tableControllers");
    QVERIFY(chooseInCell(table, 1, 3, "1"));
    dialog.show();
    child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    QVERIFY(dialog.isVisible() && dialog.result() != QDialog::Accepted);
    QVERIFY(child<QLabel>(dialog, "labelProblem")->text().contains("Адрес 1 на порту /dev/x"));

    // Another line makes it right; moving it up keeps every field with its row.
    QVERIFY(chooseInCell(table, 1, 1, "/dev/y"));
    table->selectRow(1);
    child<QPushButton>(dialog, "upButton")->click();
    QCOMPARE(dialog.controllers().entries(),
             (QVector<ControllerEntry>{entry("Контроллер 2", "/dev/y", 1), entry("Первый", "/dev/x", 1)}));
    child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

// A screen reader reads each cell of "Контроллеры" from the table itself,
// also after an edit; a gateway's speed is there, and says why it cannot be changed.
void TestConsoleSite::dialogCellsReadTheirValues()
{
    qputenv("TARVIK_PORTS", "/dev/x");
    ControllerEntry gateway = entry("Склад", QString(), 3, false);
    gateway.tcp = true;
    gateway.host = "127.0.0.1";
    gateway.tcpPort = 1502;
    ControllersDialog dialog;
    dialog.setControllers(ControllerList({entry("Котельная", "/dev/x", 7), gateway}));
    dialog.show();
    auto *table = child<QTableWidget>(dialog, "tableControllers");
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(table);
    QVERIFY(access && access->tableInterface());
    const auto cells = [&] {
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row) {
            QStringList texts;
            for (int column = 0; column < table->columnCount(); ++column) {
                QAccessibleInterface *cell = access->tableInterface()->cellAt(row, column);
                const QString why = cell->text(QAccessible::Description);
                texts << cell->text(QAccessible::Name) + (why.isEmpty() ? "" : " (" + why + ")")
                        + (cell->state().checkable ? (cell->state().checked ? "[x]" : "[ ]") : "");
            }
            rows << texts.join('|');
        }
        return rows;
    };
    QCOMPARE(cells(), (QStringList{"Котельная|/dev/x|9600|7|да[x]",
                                   "Склад|127.0.0.1:1502|9600 (Скорость линии задаёт шлюз)|3|нет[ ]"}));
    QVERIFY(chooseInCell(table, 1, 1, "/dev/x"));
    QVERIFY(chooseInCell(table, 1, 2, "19200"));
    table->item(1, 4)->setCheckState(Qt::Checked);
    QCOMPARE(cells().last(), QString("Склад|/dev/x|19200|3|да[x]"));
}

void TestConsoleSite::siteThroughTheWindow()
{
    SimHarness line(QVector<int>{1, 2});
    SimHarness other(5);
    QVERIFY2(line.isReady() && other.isReady(), qPrintable(line.errorString() + other.errorString()));
    setStoredPort(line.devicePath(), {line.devicePath(), other.devicePath()});
    QVERIFY(ControllerList({entry("Котельная", line.devicePath(), 1), entry("Цех", line.devicePath(), 2),
                            entry("Склад", other.devicePath(), 5), entry("Резерв", other.devicePath(), 6, false)})
                .save());
    line.stateOf(1, [](ControllerState &s) { s.addCurrentEvent(fault(1)); s.setStatusWord(0x4); });
    line.stateOf(2, [](ControllerState &s) { s.setStatusWord(0x20); });
    other.state([](ControllerState &s) { s.addCurrentEvent(fault(5)); s.addCurrentEvent(fault(6)); s.setStatusWord(0); });

    MainWindow window;
    auto *sound = new RecordingSound;
    window.setAlarmSound(sound);
    auto *current = child<QTableWidget>(window, "tableAlarmCurrent");
    child<QAction>(window, "actionEnablePoll")->trigger();
    SiteSession *site = window.siteSession();
    QVERIFY(site && window.sitePanelWidget()->isVisibleTo(&window));
    site->setRetryInterval(1000);
    QCOMPARE(current->horizontalHeaderItem(0)->text(), QString("Контроллер"));
    QCOMPARE(current->columnCount(), 4);

    // Each controller's events in its own rows, and journaled with its name.
    QTRY_COMPARE_WITH_TIMEOUT(current->rowCount(), 3, 10000);
    QStringList rows = tableRows(current);
    rows.sort();
    QCOMPARE(rows, (QStringList{"Котельная|Неисправность датчика, Адрес 1", "Склад|Неисправность датчика, Адрес 5", "Склад|Неисправность датчика, Адрес 6"}));
    const QString journalPath = storeDir.filePath("journal.sqlite");
    QStringList events = journalRows(journalPath).filter("|event|current|");
    events.sort();
    QCOMPARE(events, (QStringList{"Котельная|event|current|Неисправность датчика, Адрес 1|1", "Склад|event|current|Неисправность датчика, Адрес 5|5",
                                  "Склад|event|current|Неисправность датчика, Адрес 6|5"}));
    QVERIFY(sound->calls.contains("play"));

    // Lamps follow the selected controller, and "Пульт" names it.
    SitePanel *panel = window.sitePanelWidget();
    const auto lit = [&](const char *label) { return !child<QLabel>(window, label)->isHidden(); };
    QTRY_VERIFY(lit("label_Fire_red") && !lit("label_AlarmT_red")); // Котельная, selected first
    QCOMPARE(child<QGroupBox>(window, "groupBox")->title(), QString("Пульт — Котельная"));
    panel->select(1);
    QTRY_VERIFY(!lit("label_Fire_red") && lit("label_AlarmT_red") && lit("label_Job_green"));
    QCOMPARE(child<QGroupBox>(window, "groupBox")->title(), QString("Пульт — Цех"));
    panel->select(3); // not polled: dark
    QTRY_VERIFY(!lit("label_Job_green"));
    QVERIFY(panel->lineText(3).contains("не опрашивается"));
    QTRY_COMPARE(panel->lineText(2), QString("Склад — события, событий: 2"));

    // Reset reaches only the chosen controller; the selected one is offered first.
    panel->select(2);
    QString offered;
    answerResetWith("Склад", &offered);
    child<QAction>(window, "actionReset")->trigger();
    QCOMPARE(offered, QString("Склад"));
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(current), QStringList{"Котельная|Неисправность датчика, Адрес 1"}, 5000);
    QCOMPARE(other.stateCopy().currentEvents().size(), 0);
    QCOMPARE(line.stateCopyOf(1).currentEvents().size(), 1);
    QCOMPARE(journalRows(journalPath).filter("|reset|").size(), 1);
    QVERIFY(journalRows(journalPath).filter("|reset|").first().startsWith("Склад|"));

    // Цех falls silent: seen at once, lost alone, the others go on.
    auto *noAnswer = child<QLabel>(window, "labelNoAnswer");
    line.faultsOf(2, [](FaultPlan &f) { f.setSilent(true); });
    QElapsedTimer silentFor;
    silentFor.start();
    QTRY_VERIFY_WITH_TIMEOUT(noAnswer->isVisibleTo(&window), 3000);
    QVERIFY2(silentFor.elapsed() < 1500, qPrintable(QString::number(silentFor.elapsed())));
    QCOMPARE(noAnswer->text(), QString("Нет ответа от контроллера «Цех»"));
    QVERIFY(panel->lineText(1).contains("нет ответа"));
    sound->calls.clear();
    line.stateOf(1, [](ControllerState &s) { s.addCurrentEvent(fault(11)); });
    other.state([](ControllerState &s) { s.addCurrentEvent(fault(12)); });
    QTRY_VERIFY_WITH_TIMEOUT(panel->lineText(1).contains("Нет связи"), 20000);
    QVERIFY(sound->calls.contains("play"));
    QCOMPARE(journalRows(journalPath).filter("|line-failure|"),
             QStringList{"Цех|line-failure||Нет связи с контроллером «Цех»|2"});
    QTRY_COMPARE_WITH_TIMEOUT(current->rowCount(), 3, 10000);
    QCOMPARE(journalRows(journalPath).filter("|event|current|").size(), 5); // none lost, none twice

    line.faultsOf(2, [](FaultPlan &f) { f.setSilent(false); });
    QTRY_VERIFY_WITH_TIMEOUT(!panel->lineText(1).contains("Нет связи"), 5000);
    QTRY_VERIFY(noAnswer->isHidden());
    QCOMPARE(journalRows(journalPath).filter("|link-restored|").size(), 1);
    QVERIFY(journalRows(journalPath).filter("|link-restored|").first().startsWith("Цех|"));

    // Acknowledging works across controllers: every waiting row, whoever's it is.
    const auto waiting = [current] {
        int bold = 0;
        for (int row = 0; row < current->rowCount(); ++row)
            bold += current->item(row, 1)->font().bold();
        return bold;
    };
    QCOMPARE(waiting(), 3);
    sound->calls.clear();
    child<QAction>(window, "actionAcknowledgeAll")->trigger();
    QCOMPARE(waiting(), 0);
    QCOMPARE(sound->calls, QStringList{"stop"});
    QStringList acknowledged = journalRows(journalPath).filter("|acknowledged|");
    for (QString &row : acknowledged)
        row = row.section('|', 0, 0);
    acknowledged.sort();
    QCOMPARE(acknowledged, (QStringList{"Котельная", "Котельная", "Склад"}));

    child<QAction>(window, "actionDisablePoll")->trigger();
    QTRY_VERIFY(!lit("label_Job_green"));
}

void TestConsoleSite::tablesKeepTheNewestRowsPerController()
{
    QTableWidget current(0, 3), all(0, 3);
    const EventCatalogue catalogue(EventCatalogue::Console);
    EventTables tables(&current, &all, catalogue);
    tables.setSiteView(true);
    QCOMPARE(current.columnCount(), 4);
    QVERIFY(current.toolTip().contains("журнал хранит все"));
    const auto alarm = [](int n) { return AlarmType{quint16(33 + n % 200), 4, 24, 1, 1, 0, 0, quint8(n % 60)}; };
    for (int n = 0; n < EventTables::MaxRows + 5; ++n)
        tables.append(EventTables::Current, alarm(n), n % 2, n % 2 ? "B" : "A");
    QVERIFY(current.rowCount() <= EventTables::MaxRows && current.rowCount() >= EventTables::MaxRows * 9 / 10);
    const int last = EventTables::MaxRows + 4;
    QCOMPARE(current.item(current.rowCount() - 1, 1)->text(), catalogue.eventText(alarm(last).source, 4));
    QCOMPARE(current.item(current.rowCount() - 1, 0)->text(), QString("A"));

    const int rowsOfB = tables.rowsOf(EventTables::Current, 1);
    QCOMPARE(tables.rowsOf(EventTables::Current, 0) + rowsOfB, current.rowCount());
    tables.clearController(EventTables::Current, 0);
    QCOMPARE(current.rowCount(), rowsOfB);
    for (int row = 0; row < current.rowCount(); ++row)
        QCOMPARE(current.item(row, 0)->text(), QString("B"));
    QCOMPARE(all.rowCount(), 0);
    tables.setSiteView(false); // back to one controller's shape
    QVERIFY(current.columnCount() == 3 && current.rowCount() == 0);
}

// One controller: today's window, plus the early word in the status bar.
void TestConsoleSite::oneControllerSaysNoAnswerAtOnce()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath(), {sim.devicePath()});
    QVERIFY(ControllerList({entry("Один", sim.devicePath(), 1)}).save());
    MainWindow window;
    window.setAlarmSound(new RecordingSound);
    child<QAction>(window, "actionEnablePoll")->trigger();
    QVERIFY(!window.siteSession() && !window.sitePanelWidget()->isVisibleTo(&window));
    QCOMPARE(child<QTableWidget>(window, "tableAlarmCurrent")->columnCount(), 3);
    QTRY_VERIFY(!child<QLabel>(window, "label_Job_grey")->isVisibleTo(&window));

    auto *noAnswer = child<QLabel>(window, "labelNoAnswer");
    QVERIFY(noAnswer->isHidden());
    sim.setSilent(true);
    QElapsedTimer silentFor;
    silentFor.start();
    QTRY_VERIFY_WITH_TIMEOUT(noAnswer->isVisibleTo(&window), 3000);
    QVERIFY2(silentFor.elapsed() < 1500, qPrintable(QString::number(silentFor.elapsed())));
    QCOMPARE(noAnswer->text(), QString("Нет ответа от контроллера"));
    sim.setSilent(false);
    QTRY_VERIFY_WITH_TIMEOUT(noAnswer->isHidden(), 5000);
    child<QAction>(window, "actionDisablePoll")->trigger();
}

QTEST_MAIN(TestConsoleSite)
#include "tst_consolesite.moc"
