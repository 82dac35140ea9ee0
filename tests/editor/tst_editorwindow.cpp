// The editor window driven through its widgets, offscreen, and its reads and
// writes against the controller simulator on a pseudo-terminal.
#include "configfile.h"
#include "finishingdialog.h"
#include "mainwindow.h"
#include "queueddialogs.h"
#include "serialportlock.h"
#include "simharness.h"
#include "testfiles.h"
#include "testimages.h"
#include "testwidgets.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <functional>
#include <memory>

namespace {

const QString MissingPort = QStringLiteral("/nonexistent/ttyTarvikWindow");
const QString SimWriting = QStringLiteral("Данные отправлены! Идет запись номеров телефона на SIM карту");

QString transferActions(QObject &window)
{
    return enabledActions(window, {"actionSettings", "actionRead", "actionWrite"});
}

// Every shown field holds a code the window can show, the hidden bytes are
// random: refresh then gather must give the image back.
ConfigImage shownImage(QRandomGenerator &random, int mode)
{
    ConfigImage image = randomShownImage(random, mode);
    for (quint8 &byte : image.PhoneBlock)
        byte = quint8(random.bounded(256));
    for (int i = 0; i < ConfigImage::InputCount; ++i) // of a repeated name, a gather finds the first
        image.setByte(ConfigImage::InputName + i, quint8(ConfigImage::inputNameCode(
                                                      ConfigImage::inputNameText(random.bounded(161)))));
    for (int slot = 0; slot < ConfigImage::PhoneCount; ++slot) { // file bytes go back as they came
        const char *const starts[] = {"", "+"};
        QByteArray number = slot == 1 ? "\xC0\xFF" : starts[random.bounded(2)];
        for (int digits = random.bounded(13); digits > 0; --digits)
            number += char('0' + random.bounded(10));
        image.setPhoneNumber(slot, number);
    }
    const quint8 clock[] = {quint8(random.bounded(24)), quint8(random.bounded(60)), quint8(random.bounded(60)),
                            quint8(1 + random.bounded(12)), quint8(1 + random.bounded(28)),
                            quint8(random.bounded(256)), quint8(random.bounded(100)), 0};
    std::memcpy(image.ClockBlock, clock, sizeof clock);
    return image;
}

// The controller's registers laid over a window image's file-only bytes.
ConfigImage readInto(const ConfigImage &window, ConfigImage controller)
{
    std::memcpy(controller.MainBlock + 2652, window.MainBlock + 2652, 6);
    return controller;
}

// True when the icon shows the picture of the resource, which must exist.
bool shows(const QIcon &icon, const QString &resource, int size)
{
    const QImage expected = QIcon(":/images/" + resource).pixmap(size).toImage();
    return !expected.isNull() && icon.pixmap(size).toImage() == expected;
}

// Answers the save prompt with No.
class AnsweringWindow : public QueuedDialogsWindow
{
protected:
    QMessageBox::StandardButton askSaveChanges() override { return QMessageBox::No; }
};

} // namespace

class TestEditorWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir storeDir;
    QRandomGenerator random{20240521};
    BoxAnswerer boxes;

    // A store and port list of the test's own: the simulator or a missing path.
    void useStoredPort(const QString &path) { setStoredPort(path, {path, MissingPort}); }

private slots:
    void initTestCase()
    {
        QVERIFY(storeDir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
        useStoredPort(MissingPort);
    }

    // No window remembered from an earlier case: each starts maximised.
    void init()
    {
        boxes.seen.clear();
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Desktop").clear();
    }

    // The texts a user reads, and the tool bar's actions in order with their pictures.
    void titleIconAndToolBar()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QString("ПКФ \"Велидор\" (Editor) v0.1"));
        for (int size : {16, 32, 48, 256})
            QVERIFY(shows(window.windowIcon(), "Tarvik.ico", size));
        const QStringList expected = {"New|Новый файл|new.png", "Open|Открыть файл|Open.png",
            "Save|Сохранить файл|save.png", "SaveAll|Сохранить файл как|Saveall.png", "Settings|Настройка|settings.png",
            "Read|Прочитать данные|Read.png", "Write|Загрузить данные|Write.png",
            "Сравнить с контроллером|Сравнить с контроллером|Compare.png",
            "Сравнить с файлом…|Сравнить с файлом…|CompareFile.png"};
        QList<QAction *> actions = child<QToolBar>(window, "mainToolBar")->actions();
        QCOMPARE(actions.size(), expected.size() + 1);
        QCOMPARE(actions.takeLast()->objectName(), QString("actionHelp"));
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions[i]->text() + '|' + actions[i]->toolTip(), expected[i].section('|', 0, 1));
            QVERIFY2(shows(actions[i]->icon(), expected[i].section('|', 2), 48), qPrintable(expected[i]));
        }
    }

    // The defaults shown at start, and images of every code the window can
    // show, gather back as they were. A mode other than 0 shows and stores as
    // addressed; a mode click gathers the tables in their old layout first.
    void imageShownAndGatheredBack()
    {
        MainWindow window;
        QVERIFY(window.isMaximized() && !child(window, "progressBar")->isVisible());
        QCOMPARE(child<QComboBox>(window, "comboBoxDiscreteInputName")->currentText().trimmed(), QString("Пожар"));
        ConfigImage defaults;
        defaults.applyDefaults();
        window.gatherAll(); // the clock comes from its editors
        std::memcpy(defaults.ClockBlock, window.configImage().ClockBlock, ConfigImage::ClockSize);
        QVERIFY(window.configImage() == defaults);
        child<QCheckBox>(window, "checkBox")->setChecked(false);
        for (int round = 0; round < 6; ++round) {
            const ConfigImage original = shownImage(random, round % 2);
            window.configImage() = original;
            window.refreshAll();
            window.gatherAll();
            QVERIFY2(window.configImage() == original, qPrintable(QString("round %1").arg(round)));
        }
        ConfigImage &image = window.configImage();
        image.setWord(ConfigImage::PollingMode, 7);
        window.refreshAll();
        QVERIFY(child<QRadioButton>(window, "radioButtonModeAdr")->isChecked()
                && !child<QRadioButton>(window, "radioButtonModeNoAdr")->isChecked());
        window.gatherAll();
        QCOMPARE(image.word(ConfigImage::PollingMode), quint16(1));
        child<QTableWidget>(window, "tableSensorThres1")->item(4, 1)->setText("Реле 4"); // sensor 5
        QTest::mouseClick(child(window, "radioButtonModeNoAdr"), Qt::LeftButton);
        QCOMPARE(image.byte(ConfigImage::Thres1Relay + 5), quint8(4));
        QCOMPARE(image.word(ConfigImage::PollingMode), quint16(0));
        QCOMPARE(child<QTableWidget>(window, "tableSensorThres1")->rowCount(), 1);
    }

    void modifiedRules()
    {
        MainWindow window;
        ConfigImage &image = window.configImage();
        auto click = [&](const char *name) { QTest::mouseClick(child(window, name), Qt::LeftButton); };
        const struct { const char *what; std::function<void()> act; bool marks; } edits[] = {
            {"number typed", [&] { QTest::keyClicks(child(window, "lineEdit_4"), "5"); }, true},
            {"dial box", [&] { click("checkBox_7"); }, true},
            {"system time box", [&] { click("checkBox"); }, true},
            {"relay position", [&] { child<QComboBox>(window, "comboBoxRelay3")->setCurrentIndex(0); }, true},
            {"table double click", [&] { emit child<QTableWidget>(window, "tableValve")->doubleClicked({}); }, true},
            {"for all", [&] { click("pushButtonDiscreteInputDelay"); }, true},
            {"mode click", [&] { click("radioButtonModeNoAdr"); }, true},
            {"refresh that changes a number", [&] { image.setPhoneNumber(2, "123"); window.refreshAll(); }, true},
            {"dial bit changed by a refresh", [&] { image.setBit(ConfigImage::DialFlags, 1, false); window.refreshAll(); }, false},
            {"time editor changed", [&] { child<QTimeEdit>(window, "timeEdit")->setTime(QTime(1, 2)); }, false},
        };
        for (const auto &edit : edits) {
            window.modified = false;
            edit.act();
            QVERIFY2(window.modified == edit.marks, edit.what);
        }
    }

    // Numbers take plain ASCII digits only; which editor shows which clock
    // byte; "Системное время" makes the editors follow the clock.
    void formFields()
    {
        MainWindow window;
        auto *number = child<QLineEdit>(window, "lineEdit");
        const char *typed[][2] = {{"+12ab34567890123", "+123456789012"}, {"1+2", "12"}, {"+", "+"}, {"١٢٣", ""}};
        for (const auto &t : typed) {
            number->clear();
            for (QChar c : QString::fromUtf8(t[0]))
                QTest::sendKeyEvent(QTest::Click, number, Qt::Key_unknown, c, Qt::NoModifier);
            QCOMPARE(number->text(), QString::fromUtf8(t[1]));
        }

        auto *timeEdit = child<QTimeEdit>(window, "timeEdit");
        auto *dateEdit = child<QDateEdit>(window, "dateEdit");
        child<QCheckBox>(window, "checkBox")->setChecked(false);
        const quint8 clock[] = {13, 45, 30, 7, 21, 0xAA, 24, 0};
        std::memcpy(window.configImage().ClockBlock, clock, sizeof clock);
        window.refreshAll();
        QCOMPARE(QDateTime(dateEdit->date(), timeEdit->time()), QDateTime(QDate(2024, 7, 21), QTime(13, 45, 30)));
        const auto followsClock = [&] {
            const QDateTime shown(dateEdit->date(), timeEdit->time());
            return qAbs(shown.secsTo(QDateTime::currentDateTime())) < 5; // midnight-safe
        };
        child<QCheckBox>(window, "checkBox")->setChecked(true); // at once, not from the next tick
        QVERIFY(followsClock());
        window.refreshAll(); // the image's clock is not shown while the box is checked
        QVERIFY(followsClock());
        dateEdit->setDate(QDate(2001, 1, 1));
        window.Timer();
        QVERIFY(followsClock());
    }

    // A message goes on the 41st tick; a new one starts the count again, and
    // the spent count leaves a later message from elsewhere alone.
    void statusCountdown()
    {
        MainWindow window;
        auto after = [&](int ticks) { while (ticks-- > 0) window.Timer(); return window.statusBar()->currentMessage(); };
        window.StatusBarMessage("first");
        after(30);
        window.StatusBarMessage("second");
        QCOMPARE(after(40), QString("second"));
        QCOMPARE(after(1), QString(" "));
        window.statusBar()->showMessage("not from a transfer");
        QCOMPARE(after(100), QString("not from a transfer"));
    }

    // A port that cannot be opened, one another program holds (the console
    // polling it), or a gateway whose name does not resolve.
    void failedOpenShowsMessageAndReenables_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("text");
        QTest::newRow("serial") << "missing" << "Ошибка открытия порта!\n Опрос завершен.";
        QTest::newRow("port in use") << "held" << "Порт %1 занят другой программой!\n Опрос завершен.";
        QTest::newRow("unknown gateway") << "tcp"
            << "Ошибка соединения с tarvik-test.invalid:502: адрес не найден!\n Опрос завершен.";
    }

    void failedOpenShowsMessageAndReenables()
    {
        QFETCH(QString, link);
        QFETCH(QString, text);
        std::unique_ptr<SimHarness> sim;
        SerialPortLock otherProgram;
        useStoredPort(MissingPort);
        if (link == "held") {
            sim = std::make_unique<SimHarness>();
            QCOMPARE(otherProgram.acquire(sim->devicePath()), SerialPortLock::Locked);
            useStoredPort(sim->devicePath());
            text = text.arg(sim->devicePath());
        }
        if (link == "tcp")
            setStoredGateway(502, "tarvik-test.invalid");
        MainWindow window;
        auto *progress = child<QProgressBar>(window, "progressBar");
        child<QAction>(window, "actionRead")->trigger();
        QCOMPARE(transferActions(window), QString("000"));
        QVERIFY(progress->isVisible() && progress->maximum() == 21 && window.modified);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen.size(), 1, 10000);
        QCOMPARE(boxes.seen.first(), boxSeen(QMessageBox::Critical, text));
        QCOMPARE(transferActions(window), QString("111"));
        QVERIFY(!progress->isVisible() && progress->value() == 0);
    }

    // Every register arrives and the file-only bytes stay. New or Open while a
    // read is on the wire: the result is shown as a configuration of its own,
    // with no name, so Save asks where to put it and the opened file stays as
    // it was. A read after Open keeps the name.
    void readAfterNewOrOpen_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("duringRead");
        QTest::newRow("new during the read") << "new" << true;
        QTest::newRow("open during the read") << "open" << true;
        QTest::newRow("open before the read") << "open" << false;
    }

    void readAfterNewOrOpen()
    {
        QFETCH(QString, command);
        QFETCH(bool, duringRead);
        const QString name = storeDir.filePath("stored.vlr");
        QVERIFY(ConfigFile::save(name, shownImage(random, 0)));
        const QByteArray onDisk = readAll(name);
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        useStoredPort(sim.devicePath());
        const ConfigImage controller = shownImage(random, 1);
        sim.state([&](ControllerState &state) { state.setConfig(controller); });
        sim.setDelay(60); // keeps the read on the wire for a second or more
        AnsweringWindow window;
        window.openAnswers << name;
        child<QCheckBox>(window, "checkBox")->setChecked(false);
        const auto replace = [&] { command == "new" ? window.NewFile() : window.OpenFile(); };
        if (!duringRead)
            replace();
        child<QAction>(window, "actionRead")->trigger();
        if (duringRead) {
            QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>(window, "progressBar")->value() >= 1, 20000);
            replace();
            QCOMPARE(window.currentFileName(), command == "open" ? name : QString());
            QVERIFY(!window.modified);
            QCOMPARE(transferActions(window), QString("000")); // the read goes on
        }
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("111"), 30000);
        QVERIFY(boxes.seen.isEmpty() && window.modified);
        QCOMPARE(window.statusBar()->currentMessage(), QString("Данные прочитаны"));
        QCOMPARE(window.currentFileName(), duringRead ? QString() : name);
        const ConfigImage expected = readInto(window.configImage(), controller);
        QVERIFY(window.configImage() == expected);
        window.gatherAll(); // the tables and forms show that same configuration
        QVERIFY(window.configImage() == expected);
        if (duringRead) {
            window.SaveFile();
            QVERIFY(window.saveDialogs == 1 && window.modified);
        }
        QCOMPARE(readAll(name), onDisk);
    }

    // Six refused reads of a SIM register after the commit: the
    // configuration is in, only the SIM step failed. No box; the window is free.
    void simStepFailsAfterCommit()
    {
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        useStoredPort(sim.devicePath());
        sim.setSimCard({true, 3, true});
        sim.failRange(3, 4007, 4007, 6, false);
        MainWindow window;
        child<QAction>(window, "actionWrite")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("111"), 30000);
        QCOMPARE(window.statusBar()->currentMessage(), QString("Не удалось записать номера телефонов на SIM карту"));
        QVERIFY(boxes.seen.isEmpty() && !child(window, "progressBar")->isVisible());
        const ConfigImage controller = sim.stateCopy().config();
        QVERIFY(readInto(controller, window.configImage()) == controller);
    }

    // Closing during the SIM-card wait: the window waits for the write's end
    // behind a box the user cannot dismiss, its event loop turning all along.
    void closeDuringSimWait()
    {
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        useStoredPort(sim.devicePath());
        sim.setSimCard({true, 30, true}); // busy for about three seconds
        MainWindow window;
        child<QAction>(window, "actionWrite")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(), SimWriting, 30000);
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, &ticks, [&] {
            longest = qMax(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        ticks.start(10);
        QVERIFY(!window.close());
        auto *box = window.findChild<FinishingDialog *>("finishingDialog");
        QVERIFY(box && box->isVisible() && QApplication::activeModalWidget() == box);
        QVERIFY2(box->text().startsWith(SimWriting), qPrintable(box->text()));
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(!window.close() && box->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 30000);
        ticks.stop();
        QCOMPARE(window.statusBar()->currentMessage(), QString("Готово"));
        QVERIFY(!window.findChild<FinishingDialog *>() && boxes.seen.isEmpty());
        qInfo("longest pause of the event loop during the close: %lld ms", longest);
        QVERIFY2(longest < 1000, qPrintable(QString("%1 ms").arg(longest)));
    }

    // The bar stays through every transfer whatever the clearing tick does: a
    // Read right after start (the count is at 0), and a Write begun just before
    // the tick that clears a status text. The write's gather sends the edits.
    void barStaysAndWriteSendsEdits()
    {
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        useStoredPort(sim.devicePath());
        sim.setDelay(10);
        MainWindow window;
        auto *progress = child<QProgressBar>(window, "progressBar");
        QVector<bool> shown;
        connect(progress, &QProgressBar::valueChanged, progress, [&](int value) {
            if (value > 0)
                shown << progress->isVisible();
        });
        child<QAction>(window, "actionRead")->trigger();
        window.Timer();
        QVERIFY(window.statusBar()->currentMessage() == " " && progress->isVisible());
        QTRY_VERIFY(progress->width() > window.statusBar()->width() * 3 / 4); // the bar fills the status bar
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("111"), 30000);

        const ConfigImage &image = window.configImage();
        child<QRadioButton>(window, "radioButtonModeAdr")->click();
        child<QLineEdit>(window, "lineEdit")->setText("+79001234567");
        child<QComboBox>(window, "comboBoxSensorFireRelay")->setCurrentText("Реле 2");
        QTest::mouseClick(child(window, "pushButtonSensorFireRelay"), Qt::LeftButton);
        window.modified = false;
        window.StatusBarMessage("Данные прочитаны");
        for (int tick = 0; tick < 39; ++tick)
            window.Timer();
        child<QAction>(window, "actionWrite")->trigger();
        window.Timer();
        window.Timer();
        QVERIFY(window.statusBar()->currentMessage() == " " && progress->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("111"), 30000);
        QVERIFY(boxes.seen.isEmpty() && !progress->isVisible() && !window.modified);
        QVERIFY(window.statusBar()->currentMessage().startsWith("Данные отправлены"));
        QCOMPARE(shown, QVector<bool>(21 + 24, true));
        QCOMPARE(image.phoneNumber(0), QString("+79001234567"));
        QCOMPARE(image.byte(ConfigImage::FireRelay + 250), quint8(2));
        const ConfigImage written = sim.stateCopy().config();
        QVERIFY(readInto(written, image) == written);
    }
};

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
