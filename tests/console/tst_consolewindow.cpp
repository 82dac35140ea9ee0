// The console's window, and polling the controller simulator through it. Offscreen: no tray,
// so tests that hide the window in it say that one is there.
#include "alarmfile.h"
#include "alarmplayer.h"
#include "apprun.h"
#include "mainwindow.h"
#include "mediaalarmsound.h"
#include "simharness.h"
#include "testfiles.h"
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

// Fails on demand and notes when each attempt to play was made.
struct FakePlayer : AlarmPlayer
{
    QElapsedTimer clock;
    QVector<qint64> tries;
    QStringList paths;
    bool fails = true;

    FakePlayer() { clock.start(); }
    void playLoop(const QString &path) override
    {
        tries << clock.elapsed();
        paths << path;
        // Both reach the sound later, as from a media back end.
        QTimer::singleShot(5, this, fails ? &AlarmPlayer::failed : &AlarmPlayer::sounding);
    }
    void stop() override {}
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
    void alarmRetriesWhileWanted();
    void alarmFileFromAnotherDirectory();
    void openFailureReturnsToIdle();
    void pollingEndToEnd();
    void hiddenWindowKeepsGuardingAfterLineFailure();

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

    // With a tray, closing only hides the window; polling goes on, and so does the
    // application when the window is closed or a box shown meanwhile is dismissed.
    c->setTrayAvailableCheck([] { return true; });
    QVERIFY(!c->close() && !c->isVisible() && c->isWorkerRunning());
    QStringList done;
    bool goneAtOnce = false;
    const auto box = [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); };
    const auto showBox = [&c] { QTimer::singleShot(0, c.window.get(), [&c] { c->Message("Проверка"); }); };
    const QVector<AppStep> trayExit{
        {"box while hidden", &always, showBox},
        {"OK", box, [&] { box()->button(QMessageBox::Ok)->click(); }},
        {"another box", [&] { return !box(); }, showBox},
        {"Выход", box, [&] {
             QMessageBox *shown = box();
             menu[2]->trigger();
             goneAtOnce = !c->isVisible() && !tray->isVisible() && !shown->isVisible();
         }}};
    // The tray's Выход takes window, box and icon away at once and ends the application with 0.
    QCOMPARE(runApplication(trayExit, &done), 0);
    QCOMPARE(done, stepNames(trayExit));
    QVERIFY(goneAtOnce && !c->isWorkerRunning());

    // actionExit closes even with a tray; without one a hidden window could never come
    // back, so closing ends the application.
    for (bool trayThere : {true, false}) {
        Console closing;
        closing->show();
        closing->setTrayAvailableCheck([trayThere] { return trayThere; });
        done.clear();
        const QVector<AppStep> close{{"close", &always, [&] {
                                       if (trayThere)
                                           closing.action("actionExit")->trigger();
                                       else
                                           QVERIFY(closing->close());
                                   }}};
        QCOMPARE(runApplication(close, &done), 0);
        QVERIFY(done.size() == 1 && !closing->isVisible() && !closing->isWorkerRunning());
    }
}

// A player that fails tries again after the pause while the alarm is wanted, never
// more often however many events come, and gives up once the operator silences it.
void TestConsoleWindow::alarmRetriesWhileWanted()
{
    const int pause = 300;
    Console c;
    auto *player = new FakePlayer;
    auto *sound = new MediaAlarmSound(player, [] { return QStringLiteral("/sounds/Alarm.wav"); });
    sound->setRetryPause(pause);
    c->setAlarmSound(sound);
    QAction *noSound = c.action("actionNoSound");
    auto *tray = c->findChild<QSystemTrayIcon *>();
    QCOMPARE(noSound->toolTip() + tray->toolTip(), QStringLiteral("Отключить звук"));

    c->TableAlarmCurrentSet(AlarmType{32, 0});
    QCOMPARE(player->tries.size(), 1);
    QTRY_VERIFY(sound->isRetryPending());
    for (quint8 code = 1; code < 20; ++code)
        c->TableAlarmCurrentSet(AlarmType{32, code}); // a burst waits for the retry
    QCOMPARE(player->tries.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(player->tries.size() >= 4, 10000);
    for (int i = 1; i < player->tries.size(); ++i)
        QVERIFY2(player->tries[i] - player->tries[i - 1] >= pause * 95 / 100, qPrintable(QString::number(i)));
    const QString problem("Звук тревоги не может звучать: файл /sounds/Alarm.wav не воспроизводится");
    QCOMPARE(noSound->toolTip(), "Отключить звук\n" + problem);
    QCOMPARE(tray->toolTip(), problem);

    // The device is free again: the next retry sounds, and the operator sees so.
    player->fails = false;
    QTRY_COMPARE(noSound->toolTip() + tray->toolTip(), QStringLiteral("Отключить звук"));
    QVERIFY(!sound->isRetryPending());
    player->fails = true; // lost again while the alarm sounds
    emit player->failed();
    QVERIFY(sound->isRetryPending());

    noSound->setEnabled(true); // as while polling
    noSound->trigger();
    const int tries = player->tries.size();
    QTest::qWait(pause * 3);
    QVERIFY(player->tries.size() == tries && !sound->isRetryPending());
    QVERIFY(player->paths.count("/sounds/Alarm.wav") == tries);
}

// Started from a menu, the console's working directory is the home folder: the
// installed file is found there, a file in the working directory still comes first,
// and with none at all the operator is told the alarm cannot sound.
void TestConsoleWindow::alarmFileFromAnotherDirectory()
{
    QTemporaryDir home, data;
    QVERIFY(home.isValid() && data.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.filePath("user")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data.filePath("system")));

    const QString programDir = QCoreApplication::applicationDirPath();
    QCOMPARE(AlarmFile::candidates(), (QStringList{home.filePath("Alarm.wav"), programDir + "/Alarm.wav",
                                                   QDir::cleanPath(programDir + "/../share/tarvik/Alarm.wav")}));
    QVERIFY(AlarmFile::locate().isEmpty());
    {
        MainWindow window;
        const QString problem("Звук тревоги не может звучать: файл Alarm.wav не найден");
        QCOMPARE(child<QAction>(window, "actionNoSound")->toolTip(), "Отключить звук\n" + problem);
        QCOMPARE(window.findChild<QSystemTrayIcon *>()->toolTip(), problem);
    }

    const QString installed = data.filePath("system/tarvik/Alarm.wav");
    QVERIFY(QDir().mkpath(data.filePath("system/tarvik")) && writeFile(installed, "RIFF"));
    QCOMPARE(AlarmFile::locate(), installed);
    {
        MainWindow window;
        QCOMPARE(child<QAction>(window, "actionNoSound")->toolTip(), QStringLiteral("Отключить звук"));
    }
    QVERIFY(writeFile(home.filePath("Alarm.wav"), "RIFF"));
    QCOMPARE(AlarmFile::locate(), home.filePath("Alarm.wav"));

    QVERIFY(QDir::setCurrent(previous));
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_DATA_DIRS");
}

void TestConsoleWindow::openFailureReturnsToIdle()
{
    Console c;
    const auto enabled = [&c] {
        return enabledActions(*c.window, {"actionEnablePoll", "actionSettings", "actionDisablePoll",
                                          "actionNoSound", "actionReset", "actionExit"});
    };
    QCOMPARE(enabled(), QStringLiteral("110001"));
    BoxAnswerer boxes;
    c.action("actionEnablePoll")->trigger(); // the stored port does not exist
    QCOMPARE(enabled(), QStringLiteral("001111"));
    QTRY_COMPARE(boxes.seen, QStringList(boxSeen(QMessageBox::Critical, "Ошибка открытия порта!\n Опрос завершен.")));
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

// Hidden in the tray, the window reports a line failure; dismissing the box must
// leave the console guarding: polling again brings the next event and the window back,
// and only Выход ends it, at once for the eye even while the line is silent.
void TestConsoleWindow::hiddenWindowKeepsGuardingAfterLineFailure()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath(), {sim.devicePath()});
    Console c;
    c->show();
    c->setTrayAvailableCheck([] { return true; });
    QTableWidget *current = c.table("tableAlarmCurrent");
    auto *tray = c->findChild<QSystemTrayIcon *>();
    const auto box = [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); };
    QElapsedTimer sinceOk, sinceSilent;
    bool goneAtOnce = false;
    const QVector<AppStep> steps{
        {"poll, hide", &always, [&] {
             c.action("actionEnablePoll")->trigger();
             QVERIFY(!c->close());
             sim.failRange(4, 1039, 1040, 6, false); // six refused status words in a row
         }},
        {"OK", [&] { return box() && box()->text() == "Ошибка чтения линии!\n Опрос завершен."; },
         [&] {
             QVERIFY(!c->isVisible());
             box()->button(QMessageBox::Ok)->click();
             sinceOk.start();
         }},
        {"poll again", [&] { return sinceOk.elapsed() > 500 && c.action("actionEnablePoll")->isEnabled(); },
         [&] {
             c.action("actionEnablePoll")->trigger();
             sim.addCurrentEvent(SimEvent::now(32, 0));
         }},
        {"silent line", [&] { return current->rowCount() == 1 && c->isVisible(); },
         [&] {
             sim.setSilent(true);
             sinceSilent.start();
         }},
        {"Выход", [&] { return sinceSilent.elapsed() > 700; }, [&] {
             QVERIFY(c->isWorkerRunning());
             tray->contextMenu()->actions().at(2)->trigger();
             goneAtOnce = !c->isVisible() && !tray->isVisible();
         }}};
    QStringList done;
    QCOMPARE(runApplication(steps, &done), 0);
    QCOMPARE(done, stepNames(steps));
    QVERIFY(goneAtOnce && !c->isWorkerRunning());
    // The empty list stopped the silent alarm in every cycle; the event sounded it until Выход.
    const QStringList calls = c.sound->calls;
    QCOMPARE(calls.mid(calls.indexOf("play")), (QStringList{"play", "stop"}));
}

QTEST_MAIN(TestConsoleWindow)
#include "tst_consolewindow.moc"
