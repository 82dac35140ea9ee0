// The console's window, and polling the controller simulator through it. Offscreen: no tray.
#include "mainwindow.h"
#include "mediaalarmsound.h"
#include "simharness.h"
#include "testwidgets.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// In the order of LampState::Lamp: the middle of its labels' names, and its colour.
const char *const lamps[][2] = {{"Job", "green"}, {"ThresCO", "red"}, {"Fault", "yellow"},
                                {"Fire", "red"}, {"ThresCH", "red"}, {"AlarmP", "red"},
                                {"Breaking", "red"}, {"ValveClose", "red"}, {"AlarmT", "red"}};
enum { Job, ThresCO, Fault, Fire, ThresCH, AlarmP, Breaking, ValveClose, AlarmT };

QVector<int> litLamps(const QWidget &window)
{
    QVector<int> lit;
    for (int lamp = Job; lamp <= AlarmT; ++lamp) {
        const auto shown = [&](const char *colour) {
            return !child<QLabel>(window, QString("label_%1_%2").arg(lamps[lamp][0], colour))->isHidden();
        };
        if (shown(lamps[lamp][1]) == shown("grey"))
            qFatal("lamp %d shows both or neither label", lamp);
        if (shown(lamps[lamp][1]))
            lit.append(lamp);
    }
    return lit;
}

// Records what the window asks of the alarm.
struct RecordingSound : AlarmSound
{
    QStringList calls;
    void play() override { calls << QStringLiteral("play"); }
    void stop() override { calls << QStringLiteral("stop"); }
};

struct Console
{
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
    RecordingSound *sound = new RecordingSound;

    Console() { window->setAlarmSound(sound); }
    MainWindow *operator->() const { return window.get(); }
    QTableWidget *table(const char *name) const { return child<QTableWidget>(*window, name); }
    QAction *action(const char *name) const { return child<QAction>(*window, name); }
};

} // namespace

class TestConsoleWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { setStoredPort(QStringLiteral("/nonexistent/tarvik-port"), {QStringLiteral("/nonexistent/tarvik-port")}); }
    void userTexts();
    void lampsFollowTheStatusWordAtEachTick();
    void burstThenClears();
    void trayAndClosing();
    void alarmSoundFile();
    void openFailureReturnsToIdle();
    void pollingEndToEnd();

private:
    QTemporaryDir storeDir;
    QTemporaryDir workDir;
};

void TestConsoleWindow::initTestCase()
{
    QVERIFY(storeDir.isValid() && workDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
    QVERIFY(QDir::setCurrent(workDir.path())); // no Alarm.wav here
}

void TestConsoleWindow::userTexts()
{
    Console c;
    auto *panel = child<QGroupBox>(*c.window, "groupBox");
    QCOMPARE(panel->title(), QStringLiteral("Пульт"));
    QStringList captions;
    for (const QLabel *label : panel->findChildren<QLabel *>()) {
        if (!label->text().startsWith(QLatin1String("<html>")))
            captions << label->text();
    }
    captions.sort();
    QCOMPARE(captions, (QStringList{"Авария давления воды, газа", "Авария тех. оборудования", "Взлом", "Клапан закрыт",
                                    "Неисправность", "Пожар", "Порог СH", "Порог СО", "Работа"}));

    auto *tabs = child<QTabWidget>(*c.window, "tabSelect");
    QCOMPARE(QStringList({tabs->tabText(0), tabs->tabText(1)}), (QStringList{"Текущие события", "Все события"}));
    QVERIFY(tabs->widget(0)->isAncestorOf(c.table("tableAlarmCurrent")));
    QVERIFY(tabs->widget(1)->isAncestorOf(c.table("tableAlarmAll")));

    // Headers, then rows: name padded to 40, time, date; a year of 100 or more keeps its digits.
    for (const AlarmType &alarm : {AlarmType{5, 1, 24, 3, 5, 7, 0, 9}, AlarmType{131, 9, 123, 12, 31, 23, 59, 59},
                                   AlarmType{0, 78, 0, 1, 10, 10, 9, 0}})
        c->TableAlarmAllSet(alarm);
    QTableWidget *all = c.table("tableAlarmAll");
    QStringList texts;
    for (int column = 0; column < all->columnCount(); ++column)
        texts << all->horizontalHeaderItem(column)->text();
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            QVERIFY(!(all->item(row, column)->flags() & Qt::ItemIsEditable));
            texts << all->item(row, column)->text();
        }
    }
    const auto pad = [](const char *name) { return QString(name).leftJustified(40); };
    QCOMPARE(texts, (QStringList{"Имя события", "Время", "Дата", pad("Пожар"), "07:00:09", "05.03.2024",
                                 pad("Пожар, Адрес 99 "), "23:59:59", "31.12.20123",
                                 pad("Неизвестное событие, код 78"), "10:09:00", "10.01.2000"}));
    QCOMPARE(all->item(1, 0)->toolTip(), QString("Пожар, Адрес 99")); // the column is narrower than that
}

void TestConsoleWindow::lampsFollowTheStatusWordAtEachTick()
{
    Console c;
    QVERIFY(litLamps(*c.window).isEmpty());
    // Each lamp from its steady bit, shown only at the next tick.
    const quint32 steadyBits[] = {0x400000, 0x40000, 0x100000, 0x4, 0x10000, 0x8, 0x1, 0x200000, 0x20};
    for (int lamp = Job; lamp <= AlarmT; ++lamp) {
        c->VpkSet(steadyBits[lamp]);
        QCOMPARE(litLamps(*c.window), lamp == Job ? QVector<int>() : QVector<int>{lamp - 1});
        c->Timer();
        QCOMPARE(litLamps(*c.window), QVector<int>{lamp});
    }
    // A blinking lamp is lit at every other tick; the ninth tick left the phase on.
    c->VpkSet(0x00408004);
    c->Timer();
    QCOMPARE(litLamps(*c.window), (QVector<int>{Job, Fire}));
    c->Timer();
    QCOMPARE(litLamps(*c.window), (QVector<int>{Job, Fire, ThresCH}));
    c->VpkSet(0); // the worker parked
    c->Timer();
    QVERIFY(litLamps(*c.window).isEmpty());
}

void TestConsoleWindow::burstThenClears()
{
    Console c;
    c->show();
    QTableWidget *current = c.table("tableAlarmCurrent");
    QTableWidget *all = c.table("tableAlarmAll");
    for (int n = 0; n < 60; ++n) {
        const AlarmType event{quint16(33 + n), 0, 24, 1, 1, 0, 0, quint8(n)};
        c->TableAlarmCurrentSet(event);
        c->TableAlarmAllSet(event);
        for (QTableWidget *table : {current, all}) {
            const QModelIndexList rows = table->selectionModel()->selectedRows();
            QVERIFY(rows.size() == 1 && rows.first().row() == n);
        }
    }
    // Current and in view by the next paint; the hidden log's once its tab comes forward.
    const auto lastRowInView = [](QTableWidget *table) {
        return table->currentRow() == 59
            && table->viewport()->rect().contains(table->visualItemRect(table->item(59, 0)).bottomLeft());
    };
    QTRY_VERIFY(lastRowInView(current));
    QTRY_COMPARE(all->currentRow(), 59);
    child<QTabWidget>(*c.window, "tabSelect")->setCurrentIndex(1);
    QTRY_VERIFY(lastRowInView(all));

    c->TableAlarmAllClear();
    QVERIFY(all->rowCount() == 0 && current->rowCount() == 60);
    // Reported in every cycle while the list is empty: each report stops the alarm.
    c->TableAlarmCurrentClear();
    c->TableAlarmCurrentClear();
    QCOMPARE(current->rowCount(), 0);
    QCOMPARE(c.sound->calls.join(' '), QString("play ").repeated(60) + "stop stop"); // the log is silent
    QCOMPARE(current->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Имя события"));
}

void TestConsoleWindow::trayAndClosing()
{
    Console c;
    auto *tray = c->findChild<QSystemTrayIcon *>();
    QVERIFY(tray && tray->isVisible() && tray->contextMenu());
    const QList<QAction *> menu = tray->contextMenu()->actions();
    QStringList texts;
    for (QAction *action : menu)
        texts << action->text();
    QCOMPARE(texts, (QStringList{"Свернуть", "Восстановить", "Выход"}));
    c->show();
    menu[0]->trigger();
    QVERIFY(!c->isVisible());
    menu[1]->trigger();
    QVERIFY(c->isVisible());

    for (auto reason : {QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Context, QSystemTrayIcon::Unknown,
                        QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
        c->showMinimized();
        c->hide();
        emit tray->activated(reason);
        const bool shows = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
        QVERIFY(c->isVisible() == shows && c->isMinimized() != shows);
    }
    // A current event brings a hidden window back, but leaves a minimised one; the log neither.
    c->showMinimized();
    c->TableAlarmCurrentSet(AlarmType{32, 0});
    QVERIFY(c->isVisible() && c->isMinimized());
    c->hide();
    c->TableAlarmAllSet(AlarmType{32, 0});
    QVERIFY(!c->isVisible());
    c->TableAlarmCurrentSet(AlarmType{32, 1});
    QVERIFY(c->isVisible() && !c->isMinimized());

    // With a tray, closing only hides the window; polling goes on.
    c->setTrayAvailableCheck([] { return true; });
    QVERIFY(!c->close() && !c->isVisible() && c->isWorkerRunning());
    // The tray's Выход ends the application, and the worker with it.
    QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
    QTimer::singleShot(0, menu[2], &QAction::trigger);
    QTimer::singleShot(5000, &aboutToQuit, [] { QCoreApplication::exit(1); }); // never hang
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(aboutToQuit.count() == 1 && !c->isWorkerRunning());

    // Exit closes even with a tray; without one a hidden window could never come back,
    // so closing quits.
    Console exiting, bare;
    exiting->setTrayAvailableCheck([] { return true; });
    exiting.action("actionExit")->trigger();
    if (QSystemTrayIcon::isSystemTrayAvailable()) // offscreen never has one
        bare->setTrayAvailableCheck([] { return false; });
    QVERIFY(bare->close() && !bare->isWorkerRunning() && !exiting->isWorkerRunning());
}

void TestConsoleWindow::alarmSoundFile()
{
    // Missing: one error, then silence; the next play tries once more, not over and over.
    MediaAlarmSound missing(QStringLiteral("Alarm.wav"));
    for (int tries = 1; tries <= 2; ++tries) {
        missing.play();
        QTRY_VERIFY(missing.errorCount() >= tries);
        QTest::qWait(400);
        QCOMPARE(missing.errorCount(), tries);
        QCOMPARE(missing.state(), QMediaPlayer::StoppedState);
    }
}

void TestConsoleWindow::openFailureReturnsToIdle()
{
    Console c;
    const auto enabled = [&c] {
        QString flags;
        for (const char *name : {"actionEnablePoll", "actionSettings", "actionDisablePoll",
                                 "actionNoSound", "actionReset", "actionExit"})
            flags += c.action(name)->isEnabled() ? '1' : '0';
        return flags;
    };
    QCOMPARE(enabled(), QStringLiteral("110001"));
    QStringList seen; // the box the worker's message brings, closed with its one button
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && seen.isEmpty()) {
            seen << box->windowTitle() << box->text() << QString::number(box->icon())
                 << QString::number(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(10);
    c.action("actionEnablePoll")->trigger(); // the stored port does not exist
    QCOMPARE(enabled(), QStringLiteral("001111"));
    QTRY_COMPARE(seen, (QStringList{"Внимание", "Ошибка открытия порта!\n Опрос завершен.",
                                    QString::number(QMessageBox::Critical), "1"}));
    QTRY_COMPARE(enabled(), QStringLiteral("110001"));
}

void TestConsoleWindow::pollingEndToEnd()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath(), {sim.devicePath()});
    Console c;
    QTableWidget *current = c.table("tableAlarmCurrent");
    QTableWidget *all = c.table("tableAlarmAll");
    sim.setStatusWord(0x4); // fire; the worker adds the work bit
    sim.addCurrentEvent(SimEvent::at(5, 1, QDateTime(QDate(2024, 3, 5), QTime(7, 0, 9))));
    sim.addLoggedEvent(SimEvent::at(131, 9, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 1))));
    c.action("actionEnablePoll")->trigger();
    QTRY_COMPARE(all->rowCount(), 2);
    QCOMPARE(all->item(1, 0)->text(), QString("Пожар, Адрес 99 ").leftJustified(40));
    QTRY_COMPARE(litLamps(*c.window), (QVector<int>{Job, Fire}));

    // Silenced, then sounding again at the next current event.
    c.action("actionNoSound")->trigger();
    sim.addCurrentEvent(SimEvent::now(32, 0));
    QTRY_COMPARE(current->rowCount(), 2);
    QCOMPARE(c.sound->calls, (QStringList{"play", "stop", "play"}));
    // The operator's reset empties the controller's list; each empty report stops the alarm.
    c.action("actionReset")->trigger();
    QTRY_COMPARE(current->rowCount(), 0);
    QVERIFY(c.sound->calls.size() > 3 && !c.sound->calls.mid(3).contains("play"));

    // Ending polling keeps the rows and the sounding alarm; the parked worker darkens the lamps.
    sim.addCurrentEvent(SimEvent::now(32, 1));
    QTRY_COMPARE(current->rowCount(), 1);
    c.action("actionDisablePoll")->trigger();
    QTRY_VERIFY(litLamps(*c.window).isEmpty());
    QCOMPARE(c.sound->calls.last(), QStringLiteral("play"));
    QVERIFY(!c.action("actionNoSound")->isEnabled() && c.action("actionEnablePoll")->isEnabled());
    QVERIFY(current->rowCount() == 1 && all->rowCount() >= 3);
}

QTEST_MAIN(TestConsoleWindow)
#include "tst_consolewindow.moc"
