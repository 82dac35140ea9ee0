// The console's window, and polling the controller simulator through it; the journal
// through the window: what it writes, and before a row is shown, the "Журнал" tab after
// a restart, copying and CSV from the event tables, bad journal files; acknowledging
// events and the shift report. Offscreen: no tray, so tests that hide the window in it
// say that one is there.
#include "acknowledgementpanel.h"
#include "alarmfile.h"
#include "alarmplayer.h"
#include "apprun.h"
#include "dutyroster.h"
#include "eventtablemenu.h"
#include "journalmodel.h"
#include "journalview.h"
#include "mainwindow.h"
#include "mediaalarmsound.h"
#include "pdftext.h"
#include "serialportlock.h"
#include "shiftreportdialog.h"
#include "simharness.h"
#include "testfiles.h"
#include "testwidgets.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
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

// Every row of a journal file, read as another program would: "kind list name".
QStringList journalRows(const QString &path, const QString &columns = "kind, list, name")
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT " + columns + " FROM journal ORDER BY id")) {
            while (query.next()) {
                QStringList fields;
                for (int i = 0; i < query.record().count(); ++i)
                    fields << query.value(i).toString();
                rows << fields.join(' ').trimmed();
            }
        }
    }
    QSqlDatabase::removeDatabase("reader");
    return rows;
}

QMessageBox *journalWarning(const QWidget &window)
{
    for (QMessageBox *box : window.findChildren<QMessageBox *>()) {
        if (box->isVisible() && box->text().contains("урнал"))
            return box;
    }
    return nullptr;
}

} // namespace

class TestConsoleWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { setStoredPort(QStringLiteral("/nonexistent/tarvik-port"), {QStringLiteral("/nonexistent/tarvik-port")}); }
    void shell();
    void userTexts();
    void lampsFollowTheStatusWordAtEachTick();
    void burstThenClears();
    void trayAndClosing();
    void alarmRetriesWhileWanted();
    void alarmFileFromAnotherDirectory();
    void openFailureReturnsToIdle();
    void hiddenWindowKeepsGuardingAfterLineFailure();
    void pollingEndToEnd_data();
    void pollingEndToEnd();
    void copyAndSaveFromTheTables();
    void badJournalNeverStopsPolling();
    void acknowledgeCurrentEvents();
    void shiftAndItsReport();

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

// Title, icon, compiled-in pictures, tool bar.
void TestConsoleWindow::shell()
{
    const auto iconImage = [](const QIcon &icon, int size) {
        return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    Console c; // also registers the picture collection
    QCOMPARE(c->windowTitle(), QString::fromUtf8("ПКФ \"Велидор\" (SCADA) v0.1"));
    const QIcon ico(QStringLiteral(":/images/Tarvik.ico"));
    QVERIFY(!ico.pixmap(16, 16).isNull());
    for (int size : {16, 32, 48, 256})
        QCOMPARE(iconImage(c->windowIcon(), size), iconImage(ico, size));

    const QPair<QString, int> pictures[] = { // square, uncompressed
        {"connect.png", 128}, {"disconnect.png", 128}, {"settings.png", 128}, {"Reset.png", 321},
        {"NoSound.png", 299}, {"application-exit.png", 128}, {"Tarvik.png", 256},
        {"LedGrey.png", 48}, {"LedGreen.png", 48}, {"LedRed.png", 48}, {"LedYellow.png", 48}};
    for (const auto &picture : pictures) {
        const QResource resource(QStringLiteral(":/images/") + picture.first);
        QVERIFY2(resource.compressionAlgorithm() == QResource::NoCompression, qPrintable(picture.first));
        QCOMPARE(QImage(resource.fileName()).size(), QSize(picture.second, picture.second));
    }

    // The tool bar in order with the first five pictures; Exit, the sixth, is not on it.
    // "Контроллеры" follows Settings; after the five "MQTT", then apart the
    // guard's commands, then "Справка".
    const QStringList tips{"Начать опрос", "Завершить опрос", "Настройка", "Сброс текущих событий",
                           "Отключить звук", "Выход"};
    QList<QAction *> actions = c->findChild<QToolBar *>()->actions();
    QCOMPARE(actions.size(), 12);
    QAction *controllers = actions.takeAt(3);
    QVERIFY(controllers == c.action("actionControllers") && controllers->toolTip() == "Контроллеры");
    QCOMPARE(QImage(":/images/Controllers.png").size(), QSize(128, 128));
    QCOMPARE(actions[5]->objectName(), QString("actionMqtt"));
    QVERIFY(actions[6]->isSeparator());
    QCOMPARE((QStringList{actions[7]->text(), actions[8]->text(), actions[9]->text()}),
             (QStringList{"Квитировать все", "Смена…", "Отчёт за смену…"}));
    QCOMPARE(actions[10]->objectName(), QStringLiteral("actionHelp"));
    actions = actions.mid(0, 5);
    actions << c.action("actionExit");
    for (int i = 0; i < tips.size(); ++i) {
        QCOMPARE(actions[i]->toolTip(), tips[i]);
        QCOMPARE(iconImage(actions[i]->icon(), 48), iconImage(QIcon(":/images/" + pictures[i].first), 48));
    }
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
}

void TestConsoleWindow::lampsFollowTheStatusWordAtEachTick()
{
    Console c;
    QVERIFY(litLamps(*c.window).isEmpty());
    // Each lamp from its steady bit, shown only at the next tick, lit at both phases.
    const quint32 steadyBits[] = {0x400000, 0x40000, 0x100000, 0x4, 0x10000, 0x8, 0x1, 0x200000, 0x20};
    for (int lamp = Job; lamp <= AlarmT; ++lamp) {
        c->VpkSet(steadyBits[lamp]);
        QCOMPARE(litLamps(*c.window), lamp == Job ? QVector<int>() : QVector<int>{lamp - 1});
        for (int tick = 0; tick < 2; ++tick) {
            c->Timer();
            QCOMPARE(litLamps(*c.window), QVector<int>{lamp});
        }
    }
    // A blinking lamp is lit at every other tick.
    c->VpkSet(0x00408004);
    c->Timer();
    QCOMPARE(litLamps(*c.window), (QVector<int>{Job, Fire, ThresCH}));
    c->Timer();
    QCOMPARE(litLamps(*c.window), (QVector<int>{Job, Fire}));
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

    // With a tray, closing only hides the window and polling goes on (the tray's Выход is
    // in hiddenWindowKeepsGuardingAfterLineFailure). actionExit closes even with a tray;
    // without one a hidden window could never come back, so closing ends the application.
    c->setTrayAvailableCheck([] { return true; });
    QVERIFY(!c->close() && !c->isVisible() && c->isWorkerRunning());
    for (bool trayThere : {true, false}) {
        Console closing;
        closing->show();
        closing->setTrayAvailableCheck([trayThere] { return trayThere; });
        const QVector<AppStep> close{{"close", &always, [&] {
                                       if (trayThere)
                                           closing.action("actionExit")->trigger();
                                       else
                                           QVERIFY(closing->close());
                                   }}};
        QCOMPARE(runApplication(close), 0);
        QVERIFY(!closing->isVisible() && !closing->isWorkerRunning());
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
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME"); // the default journal's, kept out of $HOME
    QVERIFY(QDir::setCurrent(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.filePath("user")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data.filePath("system")));

    const QString programDir = QCoreApplication::applicationDirPath();
    QCOMPARE(AlarmFile::candidates(), (QStringList{home.filePath("Alarm.wav"), programDir + "/Alarm.wav",
                                                   QDir::cleanPath(programDir + "/../share/tarvik/Alarm.wav")}));
    QVERIFY(AlarmFile::locate().isEmpty());
    {
        MainWindow window;
        QCOMPARE(window.findChild<QSystemTrayIcon *>()->toolTip(),
                 QStringLiteral("Звук тревоги не может звучать: файл Alarm.wav не найден"));
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
    qputenv("XDG_DATA_HOME", dataHome);
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

    // Another program (the editor reading) has the port.
    SimHarness sim;
    SerialPortLock otherProgram;
    QCOMPARE(otherProgram.acquire(sim.devicePath()), SerialPortLock::Locked);
    setStoredPort(sim.devicePath(), {sim.devicePath()});
    Console second;
    second.action("actionEnablePoll")->trigger();
    QTRY_COMPARE(boxes.seen.size(), 2);
    QCOMPARE(boxes.seen.last(),
             boxSeen(QMessageBox::Critical, QString("Порт %1 занят другой программой!\n Опрос завершен.").arg(sim.devicePath())));
    QTRY_COMPARE(enabledActions(*second.window, {"actionEnablePoll", "actionDisablePoll"}), QStringLiteral("10"));
}

// Hidden in the tray, the window reports a line failure; dismissing the box must
// leave the console guarding: polling again brings the next event and the window back,
// and only the tray's Выход ends it with 0, taking window, icon and a box shown meanwhile
// away at once even while the line is silent.
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
        {"silent line, a box", [&] { return current->rowCount() == 1 && c->isVisible(); },
         [&] {
             sim.setSilent(true);
             sinceSilent.start();
             QTimer::singleShot(0, c.window.get(), [&c] { c->Message("Проверка"); });
         }},
        {"Выход", [&] { return sinceSilent.elapsed() > 700 && box(); }, [&] {
             QVERIFY(c->isWorkerRunning());
             QMessageBox *shown = box();
             tray->contextMenu()->actions().at(2)->trigger();
             goneAtOnce = !c->isVisible() && !tray->isVisible() && !shown->isVisible();
         }}};
    QCOMPARE(runApplication(steps), 0);
    QVERIFY(goneAtOnce && !c->isWorkerRunning());
    // The empty list stopped the silent alarm in every cycle; the event sounded it until Выход.
    const QStringList calls = c.sound->calls;
    QCOMPARE(calls.mid(calls.indexOf("play")), (QStringList{"play", "stop"}));
}

// Polling the simulator: the status word reaches the lamps; ending polling keeps the rows
// and the sounding alarm while the parked worker darkens the lamps. Everything is journaled
// before it is shown, and the "Журнал" tab shows it after a restart. On a serial port and
// through a TCP gateway, which the journal names by address and port.
void TestConsoleWindow::pollingEndToEnd_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("serial") << false;
    QTest::newRow("tcp gateway") << true;
}

void TestConsoleWindow::pollingEndToEnd()
{
    QFETCH(bool, tcp);
    const QString path = workDir.filePath(QString("polling-%1.sqlite").arg(tcp));
    qputenv("TARVIK_JOURNAL", path.toLocal8Bit());
    SimHarness sim;
    QVERIFY2(sim.isReady() && (!tcp || sim.serveTcp()), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath(), {sim.devicePath()});
    if (tcp)
        setStoredGateway(sim.tcpPort());
    {
        Console c;
        QCOMPARE(child<QTabWidget>(*c.window, "tabSelect")->tabText(2), QString("Журнал"));
        QVERIFY(!journalWarning(*c.window));
        QTableWidget *current = c.table("tableAlarmCurrent");
        QTableWidget *all = c.table("tableAlarmAll");
        // At the moment a row appears its event is already in the file.
        QStringList late;
        for (QTableWidget *table : {current, all}) {
            const QString kind = table == current ? "event current" : "event all";
            connect(table->model(), &QAbstractItemModel::rowsInserted, this, [&late, table, kind, path] {
                const int journaled = journalRows(path, "kind, list").count(kind);
                if (journaled < table->rowCount())
                    late << kind + QString(": %1 rows, %2 journaled").arg(table->rowCount()).arg(journaled);
            });
        }
        sim.setStatusWord(0x4); // fire; the worker adds the work bit
        sim.addCurrentEvent(SimEvent::at(37, 4, QDateTime(QDate(2024, 3, 12), QTime(14, 30, 9))), false);
        sim.addLoggedEvent(SimEvent::at(131, 9, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 1))));
        c.action("actionEnablePoll")->trigger();
        QTRY_VERIFY(current->rowCount() == 1 && all->rowCount() == 1);
        QTRY_COMPARE(litLamps(*c.window), (QVector<int>{Job, Fire}));
        c.action("actionDisablePoll")->trigger();
        QTRY_VERIFY(litLamps(*c.window).isEmpty());
        QCOMPARE(c.sound->calls, QStringList("play"));
        QVERIFY(!c.action("actionNoSound")->isEnabled() && c.action("actionEnablePoll")->isEnabled());
        QVERIFY(current->rowCount() == 1 && all->rowCount() == 1);

        c.action("actionEnablePoll")->trigger();
        c.action("actionReset")->trigger();
        QTRY_COMPARE(current->rowCount(), 0);
        c.action("actionDisablePoll")->trigger();
        QVERIFY2(late.isEmpty(), qPrintable(late.join(", ")));

        // A line that stops answering ends polling with a failure.
        sim.setSilent(true);
        BoxAnswerer closer;
        c.action("actionEnablePoll")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(c.action("actionEnablePoll")->isEnabled(), 30000);
    }
    const QString port = tcp ? QString("127.0.0.1:%1").arg(sim.tcpPort()) : sim.devicePath();
    QStringList expected{"polling-started  Порт " + port + ", адрес 1",
                         "event current Неисправность датчика, Адрес 5",
                         "event all Пожар, Адрес 99",
                         "polling-stopped",
                         "polling-started  Порт " + port + ", адрес 1",
                         "reset current",
                         "cleared current",
                         "polling-stopped",
                         "polling-started  Порт " + port + ", адрес 1",
                         "line-failure  Ошибка чтения линии! Опрос завершен."};
    QStringList rows = journalRows(path);
    rows.removeAll("cleared all"); // only if the controller happened to empty its log
    QCOMPARE(rows, expected);
    QCOMPARE(journalRows(path, "source, code, occurred, port, slave").mid(1, 2),
             (QStringList{"37 4 2024-03-12T14:30:09 " + port + " 1", "131 9 2023-12-31T23:59:01 " + port + " 1"}));

    // After a restart the tab shows the earlier rows, newest at the bottom, and filters them.
    MainWindow again;
    JournalModel *model = child<JournalView>(again)->model();
    QCOMPARE(model->rowCount(), expected.size());
    QCOMPARE(model->data(model->index(expected.size() - 1, 2)).toString(), QString("Отказ линии"));
    QCOMPARE(model->data(model->index(1, 4)).toString(), QString("Неисправность датчика, Адрес 5"));
    QCOMPARE(model->data(model->index(1, 1)).toString(), QString()); // one controller goes unnamed
    child<QLineEdit>(again, "lineFilter")->setText("Адрес 99");
    QTRY_COMPARE(model->rowCount(), 1);
    child<QCheckBox>(again, "checkPeriod")->setChecked(true); // today only
    QCOMPARE(model->rowCount(), 1);
    child<QDateEdit>(again, "dateTo")->setDate(QDate::currentDate().addDays(-1));
    QCOMPARE(model->rowCount(), 0);

    // New rows come into view as they are journaled.
    child<QCheckBox>(again, "checkPeriod")->setChecked(false);
    child<QLineEdit>(again, "lineFilter")->clear();
    QTRY_COMPARE(model->rowCount(), expected.size());
    again.TableAlarmAllSet(AlarmType{5, 1, 24, 3, 5, 7, 0, 9});
    QTRY_COMPARE(model->rowCount(), expected.size() + 1);
    qunsetenv("TARVIK_JOURNAL");
}

void TestConsoleWindow::copyAndSaveFromTheTables()
{
    qputenv("TARVIK_JOURNAL", workDir.filePath("tables.sqlite").toLocal8Bit());
    MainWindow window;
    for (const AlarmType &alarm : {AlarmType{5, 1, 24, 3, 5, 7, 0, 9}, AlarmType{131, 9, 123, 12, 31, 23, 59, 59},
                                   AlarmType{0, 78, 0, 1, 10, 10, 9, 0}})
        window.TableAlarmAllSet(alarm);
    QTableWidget *all = child<QTableWidget>(window, "tableAlarmAll");
    // On screen the name is padded to 40, and whole in its tool tip as the column is
    // narrower; no cell can be edited. Copies take the texts trimmed.
    QCOMPARE(all->item(1, 0)->text(), QString("Пожар, Адрес 99 ").leftJustified(40));
    QCOMPARE(all->item(1, 0)->toolTip(), QString("Пожар, Адрес 99"));
    for (int column = 0; column < 3; ++column)
        QVERIFY(!(all->item(1, column)->flags() & Qt::ItemIsEditable));
    QCOMPARE(all->contextMenuPolicy(), Qt::ActionsContextMenu);
    QStringList texts;
    for (QAction *action : all->actions())
        texts << action->text();
    QCOMPARE(texts, (QStringList{"Копировать", "Сохранить в CSV…"}));
    texts.clear();
    for (QAction *action : child<QTableWidget>(window, "tableAlarmCurrent")->actions())
        texts << action->text();
    QCOMPARE(texts, (QStringList{"Квитировать", "Копировать", "Сохранить в CSV…"}));

    all->clearSelection();
    all->selectionModel()->select(all->model()->index(2, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    all->selectionModel()->select(all->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    all->actions().first()->trigger();
    QCOMPARE(QApplication::clipboard()->text(),
             QString("Пожар\t07:00:09\t05.03.2024\nНеизвестное событие, код 78\t10:09:00\t10.01.2000\n"));

    EventTableMenu *menu = child<EventTableMenu>(*all);
    const QString csv = workDir.filePath("all.csv");
    QCOMPARE(menu->saveCsv(csv), CsvFileSaver::Saved);
    QCOMPARE(readAll(csv), QByteArray("\xEF\xBB\xBFИмя события;Время;Дата\r\n"
                                      "Пожар;07:00:09;05.03.2024\r\n"
                                      "Пожар, Адрес 99;23:59:59;31.12.20123\r\n"
                                      "Неизвестное событие, код 78;10:09:00;10.01.2000\r\n"));

    // A cancelled save leaves the earlier file; a failed one says so and leaves nothing.
    const auto cancel = [](QIODevice *device, QString *) {
        device->write("partial");
        return CsvFileSaver::Cancelled;
    };
    QCOMPARE(CsvFileSaver::save(&window, csv, cancel), CsvFileSaver::Cancelled);
    QVERIFY(readAll(csv).startsWith("\xEF\xBB\xBFИмя события"));
    BoxAnswerer boxes;
    const QString nowhere = workDir.filePath("no-folder/all.csv");
    QCOMPARE(menu->saveCsv(nowhere), CsvFileSaver::Failed);
    const QString failure = "Не удалось сохранить файл «" + QDir::toNativeSeparators(nowhere) + "»: ";
    QVERIFY2(boxes.seen.size() == 1 && boxes.seen[0].startsWith("Внимание|") && boxes.seen[0].contains("|" + failure),
             qPrintable(boxes.seen.join('\n')));
    QVERIFY(!QFile::exists(nowhere));

    // The journal's own export (its bytes are tst_journal's): what the view shows.
    JournalView *view = child<JournalView>(window);
    child<QLineEdit>(window, "lineFilter")->setText("Адрес 99");
    QTRY_COMPARE(view->model()->rowCount(), 1);
    const QString journalCsv = workDir.filePath("journal.csv");
    QCOMPARE(view->saveCsv(journalCsv), CsvFileSaver::Saved);
    const QList<QByteArray> lines = readAll(journalCsv).split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[1].endsWith(";Событие;Все события;Пожар, Адрес 99;31.12.20123 23:59:59\r"), lines[1].constData());
    qunsetenv("TARVIK_JOURNAL");
}

void TestConsoleWindow::badJournalNeverStopsPolling()
{
    QVERIFY(writeFile(workDir.filePath("file"), "a file, not a folder"));
    const QString corrupt = workDir.filePath("corrupt.sqlite");
    QVERIFY(writeFile(corrupt, QByteArray(8192, '\x5a')));

    const struct { QString path, says; } journals[] = {
        {workDir.filePath("file/Tarvik/journal.sqlite"), "не удалось создать папку"}, {corrupt, "был повреждён"}};
    for (const auto &[path, says] : journals) {
        qputenv("TARVIK_JOURNAL", path.toLocal8Bit());
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        setStoredPort(sim.devicePath(), {sim.devicePath()});
        MainWindow window;
        window.show();
        QTRY_VERIFY(journalWarning(window));
        const QString text = journalWarning(window)->text();
        QVERIFY2(text.contains(says), qPrintable(text));
        QCOMPARE(journalWarning(window)->windowTitle(), QString("Внимание"));
        QVERIFY(!journalWarning(window)->isModal());
        QCOMPARE(child<QLabel>(window, "labelJournalProblem")->text(), text);

        // Polling goes on, the warning is not repeated.
        QTableWidget *all = child<QTableWidget>(window, "tableAlarmAll");
        sim.addLoggedEvent(SimEvent::now(32, 0));
        window.findChild<QAction *>("actionEnablePoll")->trigger();
        QTRY_COMPARE(all->rowCount(), 1);
        journalWarning(window)->close();
        sim.addLoggedEvent(SimEvent::now(32, 1));
        QTRY_COMPARE(all->rowCount(), 2);
        QTest::qWait(50);
        QVERIFY(!journalWarning(window));
        window.findChild<QAction *>("actionDisablePoll")->trigger();
        if (path == corrupt) // the new journal took the events
            QCOMPARE(journalRows(corrupt, "kind").count("event"), 2);
    }
    QVERIFY(QFileInfo(workDir.filePath("file")).isFile());
    QCOMPARE(QDir(workDir.path()).entryList({"corrupt.corrupt-*.sqlite"}).size(), 1);
    qunsetenv("TARVIK_JOURNAL");
}

// A new current event waits for a guard, bold with a marker in its name cell; a double
// click, Space or the row's menu acknowledges it, "Квитировать все" the rest. The alarm
// rests only once nothing waits and sounds again at the next event. Each acknowledgement
// is journaled with the guard, the time and the event's row; an event that leaves the
// list unacknowledged is found under "Неквитированные".
void TestConsoleWindow::acknowledgeCurrentEvents()
{
    const QString path = workDir.filePath("acknowledge.sqlite");
    qputenv("TARVIK_JOURNAL", path.toLocal8Bit());
    Console c;
    c->show();
    QVERIFY(QTest::qWaitForWindowExposed(c.window.get()));
    QVERIFY(!QApplication::activeModalWidget()); // nobody is asked for a name
    auto *panel = child<AcknowledgementPanel>(*c.window);
    const QString guard = panel->duty().guard();
    QVERIFY(!guard.isEmpty());
    QCOMPARE(child<QLabel>(*c.window, "labelGuard")->text(), "Дежурный: " + guard);
    QTableWidget *current = c.table("tableAlarmCurrent");
    QAction *all = c.action("actionAcknowledgeAll");
    QAction *acknowledge = current->actions().first();
    const auto waitingRows = [current] {
        QString marks;
        for (int row = 0; row < current->rowCount(); ++row) {
            bool bold = true;
            for (int column = 0; column < current->columnCount(); ++column)
                bold = bold && current->item(row, column)->font().bold();
            const bool marker = !current->item(row, 0)->icon().isNull();
            marks += bold && marker ? 'W' : !bold && !marker ? '-' : '?';
        }
        return marks;
    };
    const auto event = [](int n) { return AlarmType{quint16(33 + n), 0, 24, 1, 1, 0, 0, quint8(n)}; };
    const QString before = JournalRecord::timeText(QDateTime::currentDateTime());

    QVERIFY(!all->isEnabled());
    for (int n = 0; n < 3; ++n)
        c->TableAlarmCurrentSet(event(n));
    QCOMPARE(waitingRows(), QString("WWW"));
    QVERIFY(all->isEnabled());
    const QRect cell = current->visualItemRect(current->item(1, 1));
    QVERIFY2(current->viewport()->rect().contains(cell), qPrintable(QString("%1 %2 %3 %4").arg(cell.x()).arg(cell.y()).arg(cell.width()).arg(cell.height())));
    // As a desktop delivers it: a click, then the second press as a double click.
    QTest::mouseClick(current->viewport(), Qt::LeftButton, {}, cell.center());
    QMouseEvent second(QEvent::MouseButtonDblClick, cell.center(), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(current->viewport(), &second);
    QCOMPARE(waitingRows(), QString("W-W"));
    current->setFocus();
    current->selectRow(0);
    QTest::keyClick(current, Qt::Key_Space);
    QCOMPARE(waitingRows(), QString("--W"));
    QCOMPARE(c.sound->calls, QStringList({"play", "play", "play"})); // one still waits
    current->selectRow(2);
    acknowledge->trigger();
    QCOMPARE(waitingRows(), QString("---"));
    QCOMPARE(c.sound->calls.mid(3), QStringList({"stop"}));
    QVERIFY(!all->isEnabled());
    acknowledge->trigger(); // once only: nothing more is journaled

    // The next event sounds again; "all" takes only what waits.
    c->TableAlarmCurrentSet(event(3));
    c->TableAlarmCurrentSet(event(4));
    QCOMPARE(waitingRows(), QString("---WW"));
    all->trigger();
    QCOMPARE(waitingRows(), QString("-----"));
    QCOMPARE(c.sound->calls.mid(4), QStringList({"play", "play", "stop"}));

    // One acknowledged and one waiting event leave the list.
    c->TableAlarmCurrentClear();
    c->TableAlarmCurrentSet(event(5));
    c->TableAlarmCurrentSet(event(6));
    current->selectRow(0);
    QTest::keyClick(current, Qt::Key_Space);
    c->TableAlarmCurrentClear();
    QVERIFY(!all->isEnabled() && panel->ledger().size() == 0);

    const QString by = " " + guard;
    QCOMPARE(journalRows(path, "id, kind, ref, guard"),
             (QStringList{"1 event", "2 event", "3 event", "4 acknowledged 2" + by, "5 acknowledged 1" + by,
                          "6 acknowledged 3" + by, "7 event", "8 event", "9 acknowledged 7" + by,
                          "10 acknowledged 8" + by, "11 cleared", "12 event", "13 event",
                          "14 acknowledged 12" + by, "15 cleared"}));
    // Acknowledged when it was done, about the event it names.
    const QString after = JournalRecord::timeText(QDateTime::currentDateTime());
    const QStringList received = journalRows(path, "received");
    const QStringList names = journalRows(path, "name");
    for (int ack : {4, 5, 6, 9, 10, 14})
        QVERIFY(received[ack - 1] >= before && received[ack - 1] <= after);
    QCOMPARE(names[3], names[1]);
    QCOMPARE(names[13], names[11]);

    JournalModel *model = child<JournalView>(*c.window)->model();
    child<QCheckBox>(*c.window, "checkUnacknowledged")->setChecked(true);
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->data(model->index(0, 4)).toString(), names[12]);
    // An acknowledgement takes a row out of the filtered view at once.
    c->TableAlarmCurrentSet(event(7));
    QTRY_COMPARE(model->rowCount(), 2);
    all->trigger();
    QTRY_COMPARE(model->rowCount(), 1);

    // The list shrinks and the controller sends the rest again: the event
    // acknowledged stays so, silent; the one that waited waits and sounds.
    c->TableAlarmCurrentSet(event(8));
    const int soundCalls = c.sound->calls.size();
    c->TableAlarmCurrentClear();
    c->TableAlarmCurrentSet(event(7));
    c->TableAlarmCurrentSet(event(8));
    QCOMPARE(waitingRows(), QString("-W"));
    QCOMPARE(c.sound->calls.mid(soundCalls), QStringList({"stop", "play"}));
    QTRY_COMPARE(model->rowCount(), 3); // event 8's two rows join event 13
    QCOMPARE(journalRows(path, "kind, guard").mid(18),
             QStringList({"cleared", "event", "acknowledged" + by, "event"}));
    qunsetenv("TARVIK_JOURNAL");
}

// "Смена…" names the guard, remembered for the next start, and begins a shift; the
// report made from its dialog holds the guard, the period, each event with who
// acknowledged it, and the lamps as the window has them.
void TestConsoleWindow::shiftAndItsReport()
{
    qputenv("TARVIK_JOURNAL", workDir.filePath("shift.sqlite").toLocal8Bit());
    Console c;
    auto *panel = child<AcknowledgementPanel>(*c.window);
    QTimer::singleShot(0, [] {
        if (auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            dialog->setTextValue("  Петров   П.П. ");
            dialog->accept();
        }
    });
    c.action("actionShift")->trigger();
    QCOMPARE(child<QLabel>(*c.window, "labelGuard")->text(), QString("Дежурный: Петров П.П."));
    const QDateTime start = panel->duty().shiftStart();
    QVERIFY(qAbs(start.secsTo(QDateTime::currentDateTime())) <= 1);
    QCOMPARE(DutyRoster().guard(), QString("Петров П.П."));
    QCOMPARE(DutyRoster().shiftStart().toString(Qt::ISODate), start.toString(Qt::ISODate));

    QTableWidget *current = c.table("tableAlarmCurrent");
    for (quint8 code : {0, 1, 2})
        c->TableAlarmCurrentSet(AlarmType{32, code, 24, 1, 1, 0, 0, code});
    panel->acknowledgeRow(1);
    c->VpkSet(0x00408004); // work, fire, CH threshold blinking

    const QString pdf = workDir.filePath("shift.pdf");
    int pages = 0;
    QTimer::singleShot(0, [&] {
        if (auto *dialog = qobject_cast<ShiftReportDialog *>(QApplication::activeModalWidget())) {
            pages = dialog->savePdf(pdf);
            dialog->reject();
        }
    });
    c.action("actionShiftReport")->trigger();
    QCOMPARE(pages, 1);
    QCOMPARE(pdfInfo(pdf, "Pages"), QString("1"));
    const QString text = pdfText(pdf).simplified();
    QStringList expected{"Дежурный: Петров П.П.", "Период: с " + start.toString("dd.MM.yyyy HH:mm") + " по ",
                         "Компьютер: " + QSysInfo::machineHostName(), "Неквитированных текущих событий: 2",
                         "Работа: горит", "Пожар: горит", "Порог СH: мигает", "Порог СО: не горит",
                         "Страница 1 из 1"};
    for (int row = 0; row < current->rowCount(); ++row)
        expected << current->item(row, 0)->toolTip();
    for (const QString &line : qAsConst(expected))
        QVERIFY2(text.contains(line), qPrintable(line + " not in: " + text));

    // An empty name hands the watch back to the computer's user.
    panel->startShift(QString());
    QCOMPARE(child<QLabel>(*c.window, "labelGuard")->text(), "Дежурный: " + DutyRoster::accountName());
    QCOMPARE(DutyRoster().guard(), DutyRoster::accountName());
    qunsetenv("TARVIK_JOURNAL");
}

QTEST_MAIN(TestConsoleWindow)
#include "tst_consolewindow.moc"
