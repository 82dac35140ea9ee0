// The console's window through its form's object names: lamp panel, event
// tables, actions, alarm, tray and closing, and polling against the
// controller simulator. Runs offscreen, where the desktop has no tray.
#include "alarmsound.h"
#include "mainwindow.h"
#include "mediaalarmsound.h"
#include "simharness.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
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

// Records what the window asks of the alarm.
class RecordingSound : public AlarmSound
{
public:
    QStringList calls;
    void play() override { calls << QStringLiteral("play"); }
    void stop() override { calls << QStringLiteral("stop"); }
};

struct LampLabels
{
    const char *grey;
    const char *lit;
};

// In the order of LampState::Lamp.
const LampLabels lampLabels[] = {
    { "label_Job_grey", "label_Job_green" },
    { "label_ThresCO_grey", "label_ThresCO_red" },
    { "label_Fault_grey", "label_Fault_yellow" },
    { "label_Fire_grey", "label_Fire_red" },
    { "label_ThresCH_grey", "label_ThresCH_red" },
    { "label_AlarmP_grey", "label_AlarmP_red" },
    { "label_Breaking_grey", "label_Breaking_red" },
    { "label_ValveClose_grey", "label_ValveClose_red" },
    { "label_AlarmT_grey", "label_AlarmT_red" },
};
enum { Job, ThresCO, Fault, Fire, ThresCH, AlarmP, Breaking, ValveClose, AlarmT };

QString ledText(const char *colour)
{
    return QStringLiteral("<html><head/><body><p><img src=\":/images/Led%1.png\"/></p></body></html>")
        .arg(QLatin1String(colour));
}

AlarmType alarm(quint16 source, quint8 code, int year = 24, int month = 3, int day = 5,
                int hour = 7, int minute = 0, int second = 9)
{
    AlarmType a;
    a.source = source;
    a.code = code;
    a.year = quint8(year);
    a.month = quint8(month);
    a.day = quint8(day);
    a.hour = quint8(hour);
    a.minute = quint8(minute);
    a.second = quint8(second);
    return a;
}

QString pad(const QString &text)
{
    return text.leftJustified(40, QLatin1Char(' '));
}

// Presses OK on the next modal message box, noting its title, text and icon.
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
};

void closeNextBox(SeenBox *seen)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
        poll->stop();
        poll->deleteLater();
    });
    poll->start();
}

} // namespace

class TestConsoleWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void panel_data();
    void panel();
    void eventTables();

    void allLampsGreyAtStart();
    void lampsChangeOnlyAtTheNextTick();
    void blinkingAndSteadyLamps();

    void rowTexts();
    void nameColumn_data();
    void nameColumn();
    void burstSelectsTheLastRow();
    void clears();

    void alarmPlaysAndStops();
    void currentEventBringsHiddenWindowBack();
    void trayMenuAndActivation();

    void actionStatesIdleAndAfterMessage();
    void closeWithoutTrayQuits();
    void closeWithTrayHides();
    void trayQuitStopsTheWorker();

    void missingSoundFileDoesNotFlood();
    void soundFileLoopsWithoutFlood();

    void pollingFillsBothTablesAndLamps();
    void lineFailureReturnsToIdle();

private:
    std::unique_ptr<MainWindow> makeWindow(RecordingSound **sound = nullptr);
    static void setStoredPort(const QString &path);
    template <typename T>
    static T *child(const QObject &window, const char *name);
    static bool lampLit(const MainWindow &window, int lamp);
    static QVector<int> litLamps(const MainWindow &window);

    QTemporaryDir storeDir;
    QTemporaryDir workDir;
};

void TestConsoleWindow::initTestCase()
{
    QVERIFY(storeDir.isValid());
    QVERIFY(workDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
    // No Alarm.wav here: windows made without a recording sound stay silent.
    QVERIFY(QDir::setCurrent(workDir.path()));
}

void TestConsoleWindow::init()
{
    setStoredPort(QStringLiteral("/nonexistent/tarvik-port"));
}

void TestConsoleWindow::setStoredPort(const QString &path)
{
    qputenv("TARVIK_PORTS", path.toLocal8Bit());
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    store.setValue("portName", path);
    store.setValue("baudRate", "9600");
    store.setValue("address", "1");
    store.sync();
}

std::unique_ptr<MainWindow> TestConsoleWindow::makeWindow(RecordingSound **sound)
{
    auto window = std::make_unique<MainWindow>();
    if (sound) {
        *sound = new RecordingSound;
        window->setAlarmSound(*sound);
    }
    return window;
}

template <typename T>
T *TestConsoleWindow::child(const QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

bool TestConsoleWindow::lampLit(const MainWindow &window, int lamp)
{
    const auto *grey = child<QLabel>(window, lampLabels[lamp].grey);
    const auto *lit = child<QLabel>(window, lampLabels[lamp].lit);
    if (grey->isHidden() == lit->isHidden())
        qFatal("lamp %d shows both or neither label", lamp);
    return !lit->isHidden();
}

QVector<int> TestConsoleWindow::litLamps(const MainWindow &window)
{
    QVector<int> lit;
    for (int lamp = Job; lamp <= AlarmT; ++lamp) {
        if (lampLit(window, lamp))
            lit.append(lamp);
    }
    return lit;
}

void TestConsoleWindow::panel_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("captionLabel");
    QTest::addColumn<QRect>("captionAt");
    QTest::addColumn<int>("lamp");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QRect>("lampAt");
    QTest::addColumn<int>("litWidth");
    QTest::newRow("work") << "Работа" << "label" << QRect(120, 50, 61, 31) << int(Job) << "Green"
                          << QRect(60, 40, 46, 51) << 46;
    QTest::newRow("CO") << "Порог СО" << "label_12" << QRect(330, 50, 101, 31) << int(ThresCO)
                        << "Red" << QRect(270, 40, 46, 51) << 46;
    QTest::newRow("fault") << "Неисправность" << "label_15" << QRect(530, 50, 151, 31)
                           << int(Fault) << "Yellow" << QRect(470, 40, 46, 51) << 46;
    QTest::newRow("fire") << "Пожар" << "label_14" << QRect(120, 130, 61, 31) << int(Fire)
                          << "Red" << QRect(60, 120, 46, 51) << 46;
    QTest::newRow("CH") << "Порог СH" << "label_13" << QRect(330, 130, 91, 31) << int(ThresCH)
                        << "Red" << QRect(270, 120, 46, 51) << 46;
    QTest::newRow("pressure") << "Авария давления воды, газа" << "label_2"
                              << QRect(530, 130, 241, 31) << int(AlarmP) << "Red"
                              << QRect(470, 120, 46, 51) << 51;
    QTest::newRow("break-in") << "Взлом" << "label_17" << QRect(120, 210, 71, 31)
                              << int(Breaking) << "Red" << QRect(60, 200, 46, 51) << 46;
    QTest::newRow("valve") << "Клапан закрыт" << "label_16" << QRect(330, 210, 131, 31)
                           << int(ValveClose) << "Red" << QRect(270, 200, 46, 51) << 46;
    QTest::newRow("equipment") << "Авария тех. оборудования" << "label_11"
                               << QRect(530, 210, 251, 31) << int(AlarmT) << "Red"
                               << QRect(470, 200, 46, 51) << 46;
}

void TestConsoleWindow::panel()
{
    QFETCH(QString, caption);
    QFETCH(QString, captionLabel);
    QFETCH(QRect, captionAt);
    QFETCH(int, lamp);
    QFETCH(QString, colour);
    QFETCH(QRect, lampAt);
    QFETCH(int, litWidth);

    const auto window = makeWindow();
    auto *box = child<QGroupBox>(*window, "groupBox");
    QCOMPARE(box->title(), QStringLiteral("Пульт"));
    QCOMPARE(box->minimumSize(), QSize(440, 275));
    QCOMPARE(box->maximumHeight(), 500);
    QCOMPARE(box->findChildren<QLabel *>().size(), 27);
    QVERIFY(!box->layout());

    auto *label = child<QLabel>(*box, qPrintable(captionLabel));
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->geometry(), captionAt);
    QCOMPARE(label->font().family(), QStringLiteral("Arial"));
    QCOMPARE(label->font().pointSize(), 13);
    QVERIFY(label->font().bold());

    auto *grey = child<QLabel>(*box, lampLabels[lamp].grey);
    auto *lit = child<QLabel>(*box, lampLabels[lamp].lit);
    QCOMPARE(grey->geometry(), lampAt);
    QCOMPARE(lit->geometry(), QRect(lampAt.topLeft(), QSize(litWidth, lampAt.height())));
    QCOMPARE(grey->text(), ledText("Grey"));
    QCOMPARE(lit->text(), ledText(qPrintable(colour)));
}

void TestConsoleWindow::eventTables()
{
    const auto window = makeWindow();
    auto *tabs = child<QTabWidget>(*window, "tabSelect");
    QCOMPARE(tabs->minimumSize(), QSize(540, 100));
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("tab"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Текущие события"));
    QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("tab_2"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Все события"));

    for (const char *name : {"tableAlarmCurrent", "tableAlarmAll"}) {
        auto *table = child<QTableWidget>(*window, name);
        QCOMPARE(table->columnCount(), 3);
        QCOMPARE(table->rowCount(), 0);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Имя события"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("Время"));
        QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("Дата"));
        QVERIFY(table->alternatingRowColors());
        QCOMPARE(table->horizontalHeader()->defaultSectionSize(), 200);
        QVERIFY(table->horizontalHeader()->stretchLastSection());
        // Qt raises a default below the header's minimum to that minimum,
        // which the style derives from the font unless the form sets it.
        const QHeaderView *rows = table->verticalHeader();
        QCOMPARE(rows->defaultSectionSize(), qMax(20, rows->minimumSectionSize()));
        QVERIFY(!table->isSortingEnabled());
    }
    auto *current = child<QTableWidget>(*window, "tableAlarmCurrent");
    QCOMPARE(current->parentWidget(), tabs->widget(0));
    QCOMPARE(current->horizontalHeader()->minimumSectionSize(), 27);
    QVERIFY(!current->horizontalHeader()->cascadingSectionResizes());
    QCOMPARE(current->horizontalHeader()->property("showSortIndicator"), QVariant(true));
    QCOMPARE(current->verticalHeader()->minimumSectionSize(), 19);
    QCOMPARE(current->verticalHeader()->defaultSectionSize(), 20);
    QCOMPARE(child<QTableWidget>(*window, "tableAlarmAll")->parentWidget(), tabs->widget(1));
}

void TestConsoleWindow::allLampsGreyAtStart()
{
    const auto window = makeWindow();
    QVERIFY(litLamps(*window).isEmpty());
    window->Timer();
    QVERIFY(litLamps(*window).isEmpty());
}

void TestConsoleWindow::lampsChangeOnlyAtTheNextTick()
{
    const auto window = makeWindow();
    window->VpkSet(0x00400000);
    QVERIFY(litLamps(*window).isEmpty());
    window->Timer();
    QCOMPARE(litLamps(*window), QVector<int>{Job});

    // Every shown bit at once, then back to nothing (the worker parking).
    window->VpkSet(0x0077802D);
    QCOMPARE(litLamps(*window), QVector<int>{Job});
    window->Timer();
    QCOMPARE(litLamps(*window), (QVector<int>{Job, ThresCO, Fault, Fire, ThresCH, AlarmP,
                                              Breaking, ValveClose, AlarmT}));
    window->VpkSet(0);
    QCOMPARE(litLamps(*window).size(), 9);
    window->Timer();
    QVERIFY(litLamps(*window).isEmpty());
}

void TestConsoleWindow::blinkingAndSteadyLamps()
{
    const auto window = makeWindow();
    // The first tick turns the phase on: a blinking lamp is lit, then dark.
    window->VpkSet(0x00408004);
    window->Timer();
    QCOMPARE(litLamps(*window), (QVector<int>{Job, Fire, ThresCH}));
    window->Timer();
    QCOMPARE(litLamps(*window), (QVector<int>{Job, Fire}));
    window->Timer();
    QCOMPARE(litLamps(*window), (QVector<int>{Job, Fire, ThresCH}));

    window->VpkSet(0x00418000); // steady wins
    for (int tick = 0; tick < 2; ++tick) {
        window->Timer();
        QCOMPARE(litLamps(*window), (QVector<int>{Job, ThresCH}));
    }
    window->VpkSet(0x00420000); // CO blinking
    window->Timer();
    window->Timer();
    QCOMPARE(litLamps(*window), (QVector<int>{Job, ThresCO}));
    window->Timer();
    QCOMPARE(litLamps(*window), QVector<int>{Job});
}

void TestConsoleWindow::rowTexts()
{
    const auto window = makeWindow();
    auto *all = child<QTableWidget>(*window, "tableAlarmAll");
    window->TableAlarmAllSet(alarm(32, 0, 24, 3, 5, 7, 0, 9));
    window->TableAlarmAllSet(alarm(32, 0, 123, 12, 31, 23, 59, 59));
    window->TableAlarmAllSet(alarm(32, 0, 0, 1, 10, 10, 9, 0));
    QCOMPARE(all->rowCount(), 3);
    QCOMPARE(all->item(0, 1)->text(), QStringLiteral("07:00:09"));
    QCOMPARE(all->item(0, 2)->text(), QStringLiteral("05.03.2024"));
    QCOMPARE(all->item(1, 1)->text(), QStringLiteral("23:59:59"));
    QCOMPARE(all->item(1, 2)->text(), QStringLiteral("31.12.20123"));
    QCOMPARE(all->item(2, 1)->text(), QStringLiteral("10:09:00"));
    QCOMPARE(all->item(2, 2)->text(), QStringLiteral("10.01.2000"));
    for (int column = 0; column < 3; ++column) {
        const Qt::ItemFlags flags = all->item(0, column)->flags();
        QVERIFY(!(flags & Qt::ItemIsEditable));
        QVERIFY(flags & Qt::ItemIsSelectable);
        QVERIFY(flags & Qt::ItemIsEnabled);
    }
}

void TestConsoleWindow::nameColumn_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("controller fire") << 5 << 1 << pad(QStringLiteral("Пожар"));
    QTest::newRow("device without address") << 32 << 0 << pad(QStringLiteral("Порог 1, датчик CH"));
    QTest::newRow("device address 99") << 131 << 9 << pad(QStringLiteral("Пожар, Адрес 99 "));
    QTest::newRow("code outside the list")
        << 0 << 78 << pad(QStringLiteral("Неизвестное событие, код 78"));
}

void TestConsoleWindow::nameColumn()
{
    QFETCH(int, source);
    QFETCH(int, code);
    QFETCH(QString, name);
    RecordingSound *sound;
    const auto window = makeWindow(&sound);
    window->TableAlarmCurrentSet(alarm(quint16(source), quint8(code)));
    window->TableAlarmAllSet(alarm(quint16(source), quint8(code)));
    QCOMPARE(child<QTableWidget>(*window, "tableAlarmCurrent")->item(0, 0)->text(), name);
    QCOMPARE(child<QTableWidget>(*window, "tableAlarmAll")->item(0, 0)->text(), name);
}

void TestConsoleWindow::burstSelectsTheLastRow()
{
    RecordingSound *sound;
    const auto window = makeWindow(&sound);
    window->show();
    for (const char *name : {"tableAlarmCurrent", "tableAlarmAll"}) {
        auto *table = child<QTableWidget>(*window, name);
        for (int n = 0; n < 60; ++n) {
            const AlarmType event = alarm(quint16(33 + n), quint8(n % 10), 24, 1, 1, 0, 0, n);
            if (table->objectName() == QLatin1String("tableAlarmCurrent"))
                window->TableAlarmCurrentSet(event);
            else
                window->TableAlarmAllSet(event);
            const QModelIndexList rows = table->selectionModel()->selectedRows();
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().row(), n);
        }
        QCOMPARE(table->rowCount(), 60);
        QCOMPARE(table->item(59, 1)->text(), QStringLiteral("00:00:59"));
        // By the time the window is painted the last row is current and in view.
        QTRY_COMPARE(table->currentRow(), 59);
        if (table->isVisible()) {
            QVERIFY(table->viewport()->rect().contains(
                table->visualItemRect(table->item(59, 0)).bottomLeft()));
        }
    }
    // The log's tab brought forward shows its last row too.
    auto *tabs = child<QTabWidget>(*window, "tabSelect");
    tabs->setCurrentIndex(1);
    auto *all = child<QTableWidget>(*window, "tableAlarmAll");
    QTRY_VERIFY(all->viewport()->rect().contains(
        all->visualItemRect(all->item(59, 0)).bottomLeft()));
    QCOMPARE(all->currentRow(), 59);
    QCOMPARE(sound->calls.size(), 60); // the log's rows are silent
    QCOMPARE(sound->calls.count(QStringLiteral("play")), 60);
}

void TestConsoleWindow::clears()
{
    RecordingSound *sound;
    const auto window = makeWindow(&sound);
    auto *current = child<QTableWidget>(*window, "tableAlarmCurrent");
    auto *all = child<QTableWidget>(*window, "tableAlarmAll");
    for (int n = 0; n < 3; ++n) {
        window->TableAlarmCurrentSet(alarm(32, quint8(n)));
        window->TableAlarmAllSet(alarm(32, quint8(n)));
    }
    window->TableAlarmAllClear();
    QCOMPARE(all->rowCount(), 0);
    QCOMPARE(current->rowCount(), 3);
    QCOMPARE(sound->calls.count(QStringLiteral("stop")), 0);

    window->TableAlarmCurrentClear();
    window->TableAlarmCurrentClear();
    QCOMPARE(current->rowCount(), 0);
    QCOMPARE(current->columnCount(), 3);
    QCOMPARE(current->horizontalHeaderItem(0)->text(), QStringLiteral("Имя события"));
    QCOMPARE(sound->calls.mid(3), (QStringList{"stop", "stop"}));

    // A cleared table fills from its first row again.
    window->TableAlarmCurrentSet(alarm(32, 1));
    QCOMPARE(current->rowCount(), 1);
    QCOMPARE(current->item(0, 0)->text(), pad(QStringLiteral("Порог 2, датчик CH")));
}

void TestConsoleWindow::alarmPlaysAndStops()
{
    SimHarness sim; // somewhere to poll, so that the polling actions stay on
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath());
    RecordingSound *sound;
    const auto window = makeWindow(&sound);
    window->TableAlarmAllSet(alarm(32, 0));
    QVERIFY(sound->calls.isEmpty()); // the log alone is silent

    window->TableAlarmCurrentSet(alarm(32, 0));
    QCOMPARE(sound->calls, QStringList{"play"});
    child<QAction>(*window, "actionEnablePoll")->trigger();
    child<QAction>(*window, "actionNoSound")->trigger();
    QCOMPARE(sound->calls, (QStringList{"play", "stop"}));
    window->TableAlarmCurrentSet(alarm(32, 1));
    QCOMPARE(sound->calls, (QStringList{"play", "stop", "play"}));

    // Ending polling leaves the alarm sounding and the tables as they are.
    child<QAction>(*window, "actionDisablePoll")->trigger();
    QCOMPARE(sound->calls.size(), 3);
    QVERIFY(!child<QAction>(*window, "actionNoSound")->isEnabled());
    QCOMPARE(child<QTableWidget>(*window, "tableAlarmCurrent")->rowCount(), 2);
    QCOMPARE(child<QTableWidget>(*window, "tableAlarmAll")->rowCount(), 1);
}

void TestConsoleWindow::currentEventBringsHiddenWindowBack()
{
    RecordingSound *sound;
    const auto window = makeWindow(&sound);
    window->showMinimized();
    QVERIFY(window->isVisible());
    window->TableAlarmCurrentSet(alarm(32, 0));
    QVERIFY(window->isMinimized()); // minimised stays minimised
    QCOMPARE(sound->calls, QStringList{"play"});

    window->hide();
    window->TableAlarmAllSet(alarm(32, 0));
    QVERIFY(!window->isVisible()); // the log does not bring it back
    window->TableAlarmCurrentSet(alarm(32, 1));
    QVERIFY(window->isVisible());
    QVERIFY(!window->isMinimized());
    QCOMPARE(sound->calls, (QStringList{"play", "play"}));
}

void TestConsoleWindow::trayMenuAndActivation()
{
    const auto window = makeWindow();
    auto *tray = window->findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    QVERIFY(tray->isVisible());
    QVERIFY(!tray->icon().isNull());
    QCOMPARE(tray->icon().pixmap(64, 64).toImage(),
             QIcon(QStringLiteral(":/images/Tarvik.png")).pixmap(64, 64).toImage());
    QVERIFY(tray->contextMenu());
    QStringList texts;
    for (QAction *action : tray->contextMenu()->actions())
        texts << action->text();
    QCOMPARE(texts, (QStringList{"Свернуть", "Восстановить", "Выход"}));

    window->show();
    tray->contextMenu()->actions().at(0)->trigger();
    QVERIFY(!window->isVisible());
    tray->contextMenu()->actions().at(1)->trigger();
    QVERIFY(window->isVisible());

    const QSystemTrayIcon::ActivationReason ignored[] = {QSystemTrayIcon::MiddleClick,
                                                         QSystemTrayIcon::Context,
                                                         QSystemTrayIcon::Unknown};
    for (auto reason : ignored) {
        window->hide();
        emit tray->activated(reason);
        QVERIFY2(!window->isVisible(), qPrintable(QString::number(reason)));
    }
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
        window->showMinimized();
        window->hide();
        emit tray->activated(reason);
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
    }
}

void TestConsoleWindow::actionStatesIdleAndAfterMessage()
{
    const auto window = makeWindow();
    const auto enabled = [&window](const char *name) {
        return child<QAction>(*window, name)->isEnabled();
    };
    const auto checkIdle = [&] {
        QVERIFY(enabled("actionEnablePoll"));
        QVERIFY(enabled("actionSettings"));
        QVERIFY(!enabled("actionDisablePoll"));
        QVERIFY(!enabled("actionNoSound"));
        QVERIFY(!enabled("actionReset"));
        QVERIFY(enabled("actionExit"));
    };
    checkIdle();

    // The stored port does not exist: the worker reports it through Message.
    SeenBox seen;
    closeNextBox(&seen);
    child<QAction>(*window, "actionEnablePoll")->trigger();
    QVERIFY(!enabled("actionEnablePoll"));
    QVERIFY(!enabled("actionSettings"));
    QVERIFY(enabled("actionDisablePoll"));
    QVERIFY(enabled("actionNoSound"));
    QVERIFY(enabled("actionReset"));
    QVERIFY(enabled("actionExit"));
    QTRY_COMPARE(seen.text, QStringLiteral("Ошибка открытия порта!\n Опрос завершен."));
    QCOMPARE(seen.title, QStringLiteral("Внимание"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons, 1);
    QTRY_VERIFY(enabled("actionEnablePoll"));
    checkIdle();

    // Called directly while polling, as the worker's signal would.
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath());
    const auto polling = makeWindow();
    child<QAction>(*polling, "actionEnablePoll")->trigger();
    QVERIFY(child<QAction>(*polling, "actionNoSound")->isEnabled());
    SeenBox direct;
    closeNextBox(&direct);
    polling->Message(QStringLiteral("Ошибка чтения линии!\n Опрос завершен."));
    QCOMPARE(direct.text, QStringLiteral("Ошибка чтения линии!\n Опрос завершен."));
    QVERIFY(child<QAction>(*polling, "actionEnablePoll")->isEnabled());
    QVERIFY(child<QAction>(*polling, "actionSettings")->isEnabled());
    QVERIFY(!child<QAction>(*polling, "actionDisablePoll")->isEnabled());
    QVERIFY(!child<QAction>(*polling, "actionNoSound")->isEnabled());
    QVERIFY(!child<QAction>(*polling, "actionReset")->isEnabled());
}

void TestConsoleWindow::closeWithoutTrayQuits()
{
    const auto window = makeWindow();
    if (QSystemTrayIcon::isSystemTrayAvailable()) // offscreen never has one
        window->setTrayAvailableCheck([] { return false; });
    window->show();
    QVERIFY(window->isWorkerRunning());
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QVERIFY(!window->isWorkerRunning());
}

void TestConsoleWindow::closeWithTrayHides()
{
    RecordingSound *sound;
    const auto window = makeWindow(&sound);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) // e.g. offscreen
        window->setTrayAvailableCheck([] { return true; });
    window->show();
    QVERIFY(!window->close());
    QVERIFY(!window->isVisible());
    QVERIFY(window->isWorkerRunning());

    // Still at work while hidden: a current event brings it back.
    window->TableAlarmCurrentSet(alarm(32, 0));
    QVERIFY(window->isVisible());
    QCOMPARE(sound->calls, QStringList{"play"});

    child<QAction>(*window, "actionExit")->trigger();
    QVERIFY(!window->isVisible());
    QVERIFY(!window->isWorkerRunning());
}

void TestConsoleWindow::trayQuitStopsTheWorker()
{
    const auto window = makeWindow();
    window->setTrayAvailableCheck([] { return true; });
    window->show();
    QAction *quit = window->findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(2);
    QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
    QTimer::singleShot(0, quit, &QAction::trigger);
    QTimer watchdog; // never hang the test if quitting is broken
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(aboutToQuit.count(), 1);
    QVERIFY(!window->isWorkerRunning());
}

void TestConsoleWindow::missingSoundFileDoesNotFlood()
{
    QVERIFY(!QFile::exists(QStringLiteral("Alarm.wav")));
    MediaAlarmSound sound(QStringLiteral("Alarm.wav"));
    sound.play();
    QTRY_VERIFY(sound.errorCount() >= 1);
    QTest::qWait(500);
    QCOMPARE(sound.errorCount(), 1);
    QCOMPARE(sound.state(), QMediaPlayer::StoppedState);

    // The next event tries once more, and only once.
    sound.play();
    QTRY_VERIFY(sound.errorCount() >= 2);
    QTest::qWait(300);
    QCOMPARE(sound.errorCount(), 2);
    sound.stop();
}

void TestConsoleWindow::soundFileLoopsWithoutFlood()
{
    const QString source = QFINDTESTDATA("../../images/Alarm.wav");
    QVERIFY(!source.isEmpty());
    QTemporaryDir dir;
    QVERIFY(QFile::copy(source, dir.filePath(QStringLiteral("Alarm.wav"))));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    MediaAlarmSound sound(QStringLiteral("Alarm.wav"));
    QVERIFY(QDir::setCurrent(previous));

    // Played past its one-second length: either it loops, or (no audio
    // output here) it failed once and stopped.
    sound.play();
    sound.play();
    QTest::qWait(1500);
    QVERIFY2(sound.errorCount() <= 1, qPrintable(QString::number(sound.errorCount())));
    QCOMPARE(sound.state(), sound.errorCount() ? QMediaPlayer::StoppedState
                                               : QMediaPlayer::PlayingState);
    sound.stop();
    QCOMPARE(sound.state(), QMediaPlayer::StoppedState);
}

void TestConsoleWindow::pollingFillsBothTablesAndLamps()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath());
    RecordingSound *sound;
    const auto window = makeWindow(&sound);
    auto *current = child<QTableWidget>(*window, "tableAlarmCurrent");
    auto *all = child<QTableWidget>(*window, "tableAlarmAll");

    sim.setStatusWord(0x00000004); // fire; the worker adds the work bit
    sim.addCurrentEvent(SimEvent::at(5, 1, QDateTime(QDate(2024, 3, 5), QTime(7, 0, 9))));
    sim.addLoggedEvent(SimEvent::at(131, 9, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 1))));
    child<QAction>(*window, "actionEnablePoll")->trigger();

    QTRY_COMPARE(current->rowCount(), 1);
    QCOMPARE(current->item(0, 0)->text(), pad(QStringLiteral("Пожар")));
    QCOMPARE(current->item(0, 1)->text(), QStringLiteral("07:00:09"));
    QCOMPARE(current->item(0, 2)->text(), QStringLiteral("05.03.2024"));
    QTRY_COMPARE(all->rowCount(), 2);
    QCOMPARE(all->item(0, 0)->text(), pad(QStringLiteral("Пожар")));
    QCOMPARE(all->item(1, 0)->text(), pad(QStringLiteral("Пожар, Адрес 99 ")));
    QCOMPARE(all->item(1, 2)->text(), QStringLiteral("31.12.2023"));
    QCOMPARE(all->selectionModel()->selectedRows().value(0).row(), 1);
    QTRY_COMPARE(litLamps(*window), (QVector<int>{Job, Fire}));
    QCOMPARE(sound->calls, QStringList{"play"});

    // The operator's reset reaches the controller, whose list then empties.
    sim.addCurrentEvent(SimEvent::at(32, 0, QDateTime(QDate(2024, 3, 6), QTime(1, 2, 3))));
    QTRY_COMPARE(current->rowCount(), 2);
    child<QAction>(*window, "actionReset")->trigger();
    QTRY_COMPARE(current->rowCount(), 0);
    // An empty list is reported every cycle; each report stops the sound.
    QCOMPARE(sound->calls.mid(0, 2), (QStringList{"play", "play"}));
    QVERIFY(sound->calls.size() >= 3);
    QCOMPARE(sound->calls.mid(2).count(QStringLiteral("stop")), sound->calls.size() - 2);
    QCOMPARE(all->rowCount(), 3);

    // Ending polling keeps the rows; the parked worker turns every lamp grey.
    child<QAction>(*window, "actionDisablePoll")->trigger();
    QVERIFY(child<QAction>(*window, "actionEnablePoll")->isEnabled());
    QTRY_VERIFY(litLamps(*window).isEmpty());
    QCOMPARE(all->rowCount(), 3);
}

void TestConsoleWindow::lineFailureReturnsToIdle()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath());
    const auto window = makeWindow();
    auto *all = child<QTableWidget>(*window, "tableAlarmAll");
    sim.addLoggedEvent(SimEvent::at(32, 0, QDateTime(QDate(2024, 3, 5), QTime(7, 0, 9))));
    child<QAction>(*window, "actionEnablePoll")->trigger();
    QTRY_COMPARE(all->rowCount(), 1);

    SeenBox seen;
    closeNextBox(&seen);
    // Every input register answered with an exception: the readers give up
    // after their sixth failure without waiting for time-outs.
    sim.failRange(4, 0, 1040, 1000, false);
    QTRY_COMPARE_WITH_TIMEOUT(seen.text, QStringLiteral("Ошибка чтения линии!\n Опрос завершен."),
                              20000);
    QCOMPARE(seen.title, QStringLiteral("Внимание"));
    QTRY_VERIFY(child<QAction>(*window, "actionEnablePoll")->isEnabled());
    QVERIFY(!child<QAction>(*window, "actionDisablePoll")->isEnabled());
    QCOMPARE(all->rowCount(), 1);
}

QTEST_MAIN(TestConsoleWindow)
#include "tst_consolewindow.moc"
