// The dispatcher's window, offscreen, over a real mosquitto on 127.0.0.1:
// a site with its lamps and events, read the way accessibility tools read it.
#include "alarmsound.h"
#include "dispatcher.h"
#include "dispatchjournal.h"
#include "dispatchjournalmodel.h"
#include "dispatchwindow.h"
#include "journal.h"
#include "lamppanel.h"
#include "mqttpublisher.h"
#include "registermap.h"
#include "testbroker.h"
#include "textfitcheck.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QBuffer>
#include <QLineEdit>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

namespace {

class RecordingSound : public AlarmSound
{
public:
    void play() override { playing = true; }
    void stop() override { playing = false; }
    bool playing = false;
};

// Every cell's text of a table as accessibility tools get it.
QStringList accessibleCells(QTableView *view)
{
    QStringList cells;
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(view);
    QAccessibleTableInterface *cellsOf = table ? table->tableInterface() : nullptr;
    if (!cellsOf)
        return cells;
    for (int r = 0; r < cellsOf->rowCount(); ++r) {
        for (int c = 0; c < cellsOf->columnCount(); ++c) {
            if (QAccessibleInterface *cell = cellsOf->cellAt(r, c))
                cells << cell->text(QAccessible::Name);
        }
    }
    return cells;
}

} // namespace

class TestDispatchWindow : public QObject
{
    Q_OBJECT

private slots:
    void showsSiteLampsAndEventsReadably();
};

void TestDispatchWindow::showsSiteLampsAndEventsReadably()
{
    QTemporaryDir dir;
    TestBroker broker;
    QVERIFY(broker.start());
    MqttSettings site;
    site.enabled = true;
    site.host = "127.0.0.1";
    site.port = broker.port();
    site.prefix = "tarvik/boiler-room";
    Journal siteJournal;
    QVERIFY(siteJournal.open(dir.filePath("site.sqlite")));
    MqttPublisher publisher(&siteJournal);
    ControllerSnapshot state;
    state.key = "Котельная";
    state.name = "Котельная";
    state.link = ControllerSnapshot::Link::Polling;
    state.vpk = RegisterMap::Vpk::Work | RegisterMap::Vpk::Fire;
    state.events = { { "Пожар", 32, 4, "2024-03-05T07:00:09" } };
    publisher.setState(state);
    publisher.setSettings(site);

    DispatchJournal journal;
    QVERIFY(journal.open(dir.filePath("dispatch.sqlite")));
    Dispatcher dispatcher(&journal);
    RecordingSound sound;
    QSettings store(dir.filePath("dispatch.ini"), QSettings::IniFormat);
    DispatchWindow window(&dispatcher, &journal, &sound, &store);
    window.resize(1366, 768);
    window.show();
    DispatchSettings settings = DispatchSettings::defaults();
    settings.broker.host = "127.0.0.1";
    settings.broker.port = broker.port();
    settings.clientId = "window-test";
    window.connectBroker(settings);

    auto *sites = window.findChild<QTableView *>("sitesView");
    QVERIFY(QTest::qWaitFor([&] { return sites->model()->rowCount() == 1 && dispatcher.sites()->state("boiler-room", "Котельная"); }, 10000));
    QCOMPARE(window.windowTitle(), QString("Диспетчерская"));
    QVERIFY(sound.playing); // a new event
    QStringList status;
    for (QLabel *label : window.statusBar()->findChildren<QLabel *>())
        status << label->text();
    QVERIFY2(status.contains("Брокер: подключено") && status.contains("Площадок: 1"), qPrintable(status.join('|')));

    QVERIFY(accessibleCells(sites).contains("boiler-room"));
    QVERIFY(accessibleCells(sites).contains("опрос"));
    sites->setCurrentIndex(sites->model()->index(0, 0));
    auto *panel = window.findChild<LampPanel *>("lampPanel");
    QCOMPARE(panel->lamps(), LampState::fromVpk(state.vpk));
    QStringList lamps;
    for (QLabel *label : panel->findChildren<QLabel *>()) {
        if (!label->accessibleName().isEmpty())
            lamps << QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name) + ": "
                    + QAccessible::queryAccessibleInterface(label)->text(QAccessible::Description);
    }
    QVERIFY2(lamps.contains("Пожар: горит") && lamps.contains("Работа: горит") && lamps.contains("Взлом: не горит"),
             qPrintable(lamps.join('|')));

    auto *controllerEvents = window.findChild<QTableView *>("controllerEventsView");
    QVERIFY(accessibleCells(controllerEvents).contains("Пожар"));
    auto *events = window.findChild<QTableView *>("eventsView");
    window.findChild<QTabWidget *>("tabs")->setCurrentIndex(1);
    QCOMPARE(accessibleCells(events), (QStringList{ "boiler-room", "Котельная", "Пожар", "07:00:09", "05.03.2024" }));
    const QStringList cut = cutTexts(&window);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join("\n")));

    // Space acknowledges the chosen row, and the alarm stops with nothing left waiting.
    events->setFocus();
    events->selectRow(0);
    QTest::keyClick(events, Qt::Key_Space);
    QCOMPARE(dispatcher.events()->waitingCount(), 0);
    QVERIFY(!sound.playing);

    // "Журнал": the site's row and the acknowledgement, filtered, and as CSV.
    JournalRecord row = JournalRecord::event(JournalRecord::CurrentList, AlarmType{ 32, 4, 24, 3, 5, 7, 0, 9 }, "Пожар");
    row.port = "/dev/ttyUSB0";
    row.slave = 1;
    siteJournal.append(row);
    QVERIFY(QTest::qWaitFor([&] { journal.flush(); return journal.rowCount("boiler-room") == 1; }, 10000));
    window.findChild<QTabWidget *>("tabs")->setCurrentIndex(2);
    auto *journalView = window.findChild<QTableView *>("journalView");
    const QStringList cells = accessibleCells(journalView);
    QVERIFY2(cells.contains("квитировано") && cells.contains("/dev/ttyUSB0, адрес 1") && cells.contains("1"),
             qPrintable(cells.join('|')));
    QCOMPARE(journalView->model()->rowCount(), 2);
    auto *journalModel = qobject_cast<DispatchJournalModel *>(journalView->model());
    QBuffer csv;
    csv.open(QIODevice::WriteOnly);
    QVERIFY(journalModel->writeCsv(&csv));
    const QList<QByteArray> lines = csv.data().split('\n');
    QVERIFY(lines.first().startsWith("\xEF\xBB\xBF" "Получено;Площадка;Контроллер;Номер"));
    QCOMPARE(lines.size(), 4); // header, two rows, the last line break
    QVERIFY(lines.at(1).contains(";Котельная;") && lines.at(1).contains(";квитировано;"));
    window.findChild<QLineEdit *>("editFilter")->setText("нет такого");
    QCOMPARE(journalView->model()->rowCount(), 0);
    window.findChild<QLineEdit *>("editFilter")->setText("BOILER");
    QCOMPARE(journalView->model()->rowCount(), 2);
}

QTEST_MAIN(TestDispatchWindow)
#include "tst_dispatchwindow.moc"
