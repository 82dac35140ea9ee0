// The console's window: lamps, event tables, alarm, tray and closing, and
// polling against the controller simulator. Offscreen the desktop has no tray.
#include "alarmsound.h"
#include "mainwindow.h"
#include "mediaalarmsound.h"
#include "simharness.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// In the order of LampState::Lamp: the middle of its labels' names, and its colour.
const char *const lamps[][2] = {{"Job", "Green"}, {"ThresCO", "Red"}, {"Fault", "Yellow"},
                                {"Fire", "Red"}, {"ThresCH", "Red"}, {"AlarmP", "Red"},
                                {"Breaking", "Red"}, {"ValveClose", "Red"}, {"AlarmT", "Red"}};
enum { Job, ThresCO, Fault, Fire, ThresCH, AlarmP, Breaking, ValveClose, AlarmT };

template <typename T>
T *child(const QObject &parent, const QString &name)
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

QLabel *lampLabel(const QWidget &window, int lamp, bool lit)
{
    const QString colour = lit ? QString(lamps[lamp][1]).toLower() : QStringLiteral("grey");
    return child<QLabel>(window, QStringLiteral("label_%1_%2").arg(lamps[lamp][0], colour));
}

QVector<int> litLamps(const QWidget &window)
{
    QVector<int> lit;
    for (int lamp = Job; lamp <= AlarmT; ++lamp) {
        const bool on = !lampLabel(window, lamp, true)->isHidden();
        if (on == !lampLabel(window, lamp, false)->isHidden())
            qFatal("lamp %d shows both or neither label", lamp);
        if (on)
            lit.append(lamp);
    }
    return lit;
}

QString pad(const QString &text)
{
    return text.leftJustified(40, QLatin1Char(' '));
}

// Records what the window asks of the alarm.
struct RecordingSound : AlarmSound
{
    QStringList calls;
    void play() override { calls << QStringLiteral("play"); }
    void stop() override { calls << QStringLiteral("stop"); }
};

// A console window with a recording alarm.
struct Console
{
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
    RecordingSound *sound = new RecordingSound;

    Console() { window->setAlarmSound(sound); }
    MainWindow *operator->() const { return window.get(); }
    QTableWidget *table(const char *name) const { return child<QTableWidget>(*window, name); }
    QAction *action(const char *name) const { return child<QAction>(*window, name); }
};

void setStoredPort(const QString &path)
{
    qputenv("TARVIK_PORTS", path.toLocal8Bit());
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    store.setValue("portName", path);
    store.setValue("baudRate", "9600");
    store.setValue("address", "1");
    store.sync();
}

} // namespace

class TestConsoleWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { setStoredPort(QStringLiteral("/nonexistent/tarvik-port")); }
    void userTexts();
    void lampsFollowTheStatusWordAtEachTick();
    void rows_data();
    void rows();
    void burstSelectsTheLastRow();
    void clears();
    void trayAndHiddenWindow();
    void closing();
    void trayQuitStopsTheWorker();
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
    QStringList expected{"Работа", "Порог СО", "Неисправность", "Пожар", "Порог СH", "Взлом",
                         "Авария давления воды, газа", "Клапан закрыт", "Авария тех. оборудования"};
    expected.sort();
    QCOMPARE(captions, expected);
    for (int lamp = Job; lamp <= AlarmT; ++lamp) {
        QVERIFY(lampLabel(*c.window, lamp, false)->text().contains("LedGrey.png"));
        QVERIFY(lampLabel(*c.window, lamp, true)->text().contains(QString("Led%1.png").arg(lamps[lamp][1])));
    }

    auto *tabs = child<QTabWidget>(*c.window, "tabSelect");
    QCOMPARE(tabs->tabText(0), QStringLiteral("Текущие события"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Все события"));
    QVERIFY(tabs->widget(0)->isAncestorOf(c.table("tableAlarmCurrent")));
    QVERIFY(tabs->widget(1)->isAncestorOf(c.table("tableAlarmAll")));
    for (const char *name : {"tableAlarmCurrent", "tableAlarmAll"}) {
        QStringList headers;
        for (int column = 0; column < c.table(name)->columnCount(); ++column)
            headers << c.table(name)->horizontalHeaderItem(column)->text();
        QCOMPARE(headers, (QStringList{"Имя события", "Время", "Дата"}));
    }
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

void TestConsoleWindow::rows_data()
{
    QTest::addColumn<AlarmType>("alarm");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("controller") << AlarmType{5, 1, 24, 3, 5, 7, 0, 9}
                                << QStringList{pad("Пожар"), "07:00:09", "05.03.2024"};
    QTest::newRow("address 99, year 123") << AlarmType{131, 9, 123, 12, 31, 23, 59, 59}
                                          << QStringList{pad("Пожар, Адрес 99 "), "23:59:59", "31.12.20123"};
    QTest::newRow("unknown code, year 0") << AlarmType{0, 78, 0, 1, 10, 10, 9, 0}
        << QStringList{pad("Неизвестное событие, код 78"), "10:09:00", "10.01.2000"};
}

void TestConsoleWindow::rows()
{
    QFETCH(AlarmType, alarm);
    Console c;
    c->TableAlarmCurrentSet(alarm);
    c->TableAlarmAllSet(alarm);
    for (const char *name : {"tableAlarmCurrent", "tableAlarmAll"}) {
        QStringList texts;
        for (int column = 0; column < 3; ++column) {
            const QTableWidgetItem *item = c.table(name)->item(0, column);
            QVERIFY(!(item->flags() & Qt::ItemIsEditable));
            texts << item->text();
        }
        QTEST(texts, "texts");
    }
}

void TestConsoleWindow::burstSelectsTheLastRow()
{
    Console c;
    c->show();
    const auto lastRowInView = [](QTableWidget *table) {
        return table->viewport()->rect().contains(table->visualItemRect(table->item(59, 0)).bottomLeft());
    };
    for (const char *name : {"tableAlarmCurrent", "tableAlarmAll"}) {
        QTableWidget *table = c.table(name);
        for (int n = 0; n < 60; ++n) {
            const AlarmType event{quint16(33 + n), 0, 24, 1, 1, 0, 0, quint8(n)};
            if (table == c.table("tableAlarmCurrent"))
                c->TableAlarmCurrentSet(event);
            else
                c->TableAlarmAllSet(event);
            const QModelIndexList rows = table->selectionModel()->selectedRows();
            QVERIFY(rows.size() == 1 && rows.first().row() == n);
        }
        // By the time the window is painted the last row is current and in view.
        QTRY_COMPARE(table->currentRow(), 59);
        QTRY_VERIFY(!table->isVisible() || lastRowInView(table));
    }
    // The log's tab brought forward shows its last row too.
    child<QTabWidget>(*c.window, "tabSelect")->setCurrentIndex(1);
    QTRY_VERIFY(lastRowInView(c.table("tableAlarmAll")));
}

void TestConsoleWindow::clears()
{
    Console c;
    QTableWidget *current = c.table("tableAlarmCurrent");
    QTableWidget *all = c.table("tableAlarmAll");
    for (quint8 n = 0; n < 3; ++n) {
        c->TableAlarmCurrentSet(AlarmType{32, n});
        c->TableAlarmAllSet(AlarmType{32, n});
    }
    c->TableAlarmAllClear();
    QVERIFY(all->rowCount() == 0 && current->rowCount() == 3);
    // Reported in every cycle while the list is empty: each report stops the alarm.
    c->TableAlarmCurrentClear();
    c->TableAlarmCurrentClear();
    QCOMPARE(current->rowCount(), 0);
    QCOMPARE(c.sound->calls, (QStringList{"play", "play", "play", "stop", "stop"})); // the log is silent
    // The headers stay, and a cleared table fills from its first row again.
    QCOMPARE(current->horizontalHeaderItem(0)->text(), QStringLiteral("Имя события"));
    c->TableAlarmCurrentSet(AlarmType{32, 1});
    QCOMPARE(current->rowCount(), 1);
    QCOMPARE(current->item(0, 0)->text(), pad(QStringLiteral("Порог 2, датчик CH")));
}

void TestConsoleWindow::trayAndHiddenWindow()
{
    Console c;
    auto *tray = c->findChild<QSystemTrayIcon *>();
    QVERIFY(tray && tray->isVisible() && tray->contextMenu());
    QCOMPARE(tray->icon().pixmap(64, 64).toImage(),
             QIcon(QStringLiteral(":/images/Tarvik.png")).pixmap(64, 64).toImage());
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

    for (auto reason : {QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Context, QSystemTrayIcon::Unknown}) {
        c->hide();
        emit tray->activated(reason);
        QVERIFY(!c->isVisible());
    }
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
        c->showMinimized();
        c->hide();
        emit tray->activated(reason);
        QVERIFY(c->isVisible() && !c->isMinimized());
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
}

void TestConsoleWindow::closing()
{
    // With a tray, closing hides the window and polling goes on; Exit ends both.
    Console c;
    c->setTrayAvailableCheck([] { return true; });
    c->show();
    QVERIFY(!c->close() && !c->isVisible() && c->isWorkerRunning());
    c.action("actionExit")->trigger();
    QVERIFY(!c->isVisible() && !c->isWorkerRunning());

    // Without one a hidden window could never come back, so closing quits.
    Console bare;
    if (QSystemTrayIcon::isSystemTrayAvailable()) // offscreen never has one
        bare->setTrayAvailableCheck([] { return false; });
    bare->show();
    QVERIFY(bare->close() && !bare->isVisible() && !bare->isWorkerRunning());
}

void TestConsoleWindow::trayQuitStopsTheWorker()
{
    Console c;
    c->setTrayAvailableCheck([] { return true; });
    c->show();
    QAction *quit = c->findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(2);
    QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
    QTimer::singleShot(0, quit, &QAction::trigger);
    QTimer::singleShot(5000, &aboutToQuit, [] { QCoreApplication::exit(1); }); // never hang
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(aboutToQuit.count(), 1);
    QVERIFY(!c->isWorkerRunning());
}

void TestConsoleWindow::alarmSoundFile()
{
    // Missing: one error, then silence; the next play tries once more, not over and over.
    QVERIFY(!QFile::exists(QStringLiteral("Alarm.wav")));
    MediaAlarmSound missing(QStringLiteral("Alarm.wav"));
    for (int tries = 1; tries <= 2; ++tries) {
        missing.play();
        QTRY_VERIFY(missing.errorCount() >= tries);
        QTest::qWait(400);
        QCOMPARE(missing.errorCount(), tries);
        QCOMPARE(missing.state(), QMediaPlayer::StoppedState);
    }
    // The real file, played past its one-second length: it loops, or (no audio
    // output) it failed once and stopped.
    QTemporaryDir dir;
    QVERIFY(QFile::copy(QFINDTESTDATA("../../images/Alarm.wav"), dir.filePath("Alarm.wav")));
    QVERIFY(QDir::setCurrent(dir.path()));
    MediaAlarmSound sound(QStringLiteral("Alarm.wav"));
    QVERIFY(QDir::setCurrent(workDir.path()));
    sound.play();
    sound.play();
    QTest::qWait(1500);
    QVERIFY2(sound.errorCount() <= 1, qPrintable(QString::number(sound.errorCount())));
    QCOMPARE(sound.state(), sound.errorCount() ? QMediaPlayer::StoppedState : QMediaPlayer::PlayingState);
}

void TestConsoleWindow::openFailureReturnsToIdle()
{
    Console c;
    c->TableAlarmAllSet(AlarmType{32, 0});
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
    QCOMPARE(c.table("tableAlarmAll")->rowCount(), 1);
}

void TestConsoleWindow::pollingEndToEnd()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath());
    Console c;
    QTableWidget *current = c.table("tableAlarmCurrent");
    QTableWidget *all = c.table("tableAlarmAll");
    sim.setStatusWord(0x4); // fire; the worker adds the work bit
    sim.addCurrentEvent(SimEvent::at(5, 1, QDateTime(QDate(2024, 3, 5), QTime(7, 0, 9))));
    sim.addLoggedEvent(SimEvent::at(131, 9, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 1))));
    c.action("actionEnablePoll")->trigger();
    QTRY_COMPARE(all->rowCount(), 2);
    QCOMPARE(current->rowCount(), 1);
    QCOMPARE(current->item(0, 2)->text(), QStringLiteral("05.03.2024"));
    QCOMPARE(all->item(1, 0)->text(), pad(QStringLiteral("Пожар, Адрес 99 ")));
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
    QTRY_COMPARE(all->rowCount(), 4);
    c.action("actionDisablePoll")->trigger();
    QTRY_VERIFY(litLamps(*c.window).isEmpty());
    QCOMPARE(c.sound->calls.last(), QStringLiteral("play"));
    QVERIFY(!c.action("actionNoSound")->isEnabled() && c.action("actionEnablePoll")->isEnabled());
    QVERIFY(current->rowCount() == 1 && all->rowCount() == 4);
}

QTEST_MAIN(TestConsoleWindow)
#include "tst_consolewindow.moc"
