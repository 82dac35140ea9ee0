// The editor window driven through its widgets, offscreen, and one read and
// one write against the controller simulator on a pseudo-terminal.
#include "mainwindow.h"
#include "settingsdialog.h"
#include "simharness.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <functional>

namespace {

const QString MissingPort = QStringLiteral("/nonexistent/ttyTarvikWindow");
const struct { ConfigImage::Block block; int first; } Blocks[] = {
    {ConfigImage::Main, 0}, {ConfigImage::Phone, 1999}, {ConfigImage::Clock, 2999}};

template <class T = QWidget>
T *child(QObject &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

// "1" or "0" for each of actionSettings, actionRead, actionWrite.
QString transferActions(QObject &window)
{
    QString states;
    for (const char *name : {"actionSettings", "actionRead", "actionWrite"})
        states += child<QAction>(window, name)->isEnabled() ? '1' : '0';
    return states;
}

// Every shown field holds a code the window can show, the hidden bytes are
// random: refresh then gather must give the image back.
ConfigImage shownImage(QRandomGenerator &random, int mode)
{
    ConfigImage image;
    for (quint8 &byte : image.MainBlock)
        byte = quint8(random.bounded(256));
    for (quint8 &byte : image.PhoneBlock)
        byte = quint8(random.bounded(256));
    const struct { int offset, count, range; } fields[] = {
        {ConfigImage::Thres1Relay, 252, 5}, {ConfigImage::Thres2Relay, 252, 5}, {ConfigImage::FireRelay, 252, 5},
        {ConfigImage::DefectRelay, 252, 5}, {ConfigImage::ValveStateRelay, 252, 5}, {ConfigImage::InputRelay, 24, 5},
        {ConfigImage::Thres1Valve, 252, 252}, {ConfigImage::Thres2Valve, 252, 252}, {ConfigImage::FireValve, 252, 252},
        {ConfigImage::DefectValve, 252, 252}, {ConfigImage::InputValve, 24, 252}, {ConfigImage::ValveType, 1, 2}};
    for (const auto &f : fields)
        for (int i = 0; i < f.count; ++i)
            image.setByte(f.offset + i, quint8(random.bounded(f.range)));
    for (int i = 0; i < ConfigImage::InputCount; ++i) { // of a repeated name, a gather finds the first
        image.setByte(ConfigImage::InputName + i, quint8(ConfigImage::inputNameCode(
                                                      ConfigImage::inputNameText(random.bounded(161)))));
        image.setWord(ConfigImage::InputDelay + 2 * i, quint16(20 * random.bounded(51)));
    }
    image.setWord(ConfigImage::PollingMode, quint16(mode));
    for (int slot = 0; slot < ConfigImage::PhoneCount; ++slot) { // file bytes go back as they came
        QByteArray number = slot == 1 ? "\xC0\xFF" : random.bounded(2) ? "+" : "";
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

QVector<quint16> registers(const ConfigImage &image, ConfigImage::Block block)
{
    QVector<quint16> values(ConfigImage::registerCount(block));
    image.registers(block, 0, values.size(), values.data());
    return values;
}

} // namespace

class TestEditorWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir storeDir;
    QRandomGenerator random{20240521};
    QTimer boxTimer;
    QStringList boxes; // "title|icon|text" of every modal box, answered so none hangs a test

    // The store and the port list are the test's own, so the window only ever
    // talks to the simulator's terminal or a path that does not exist.
    void useStoredPort(const QString &path)
    {
        qputenv("TARVIK_PORTS", (path + QLatin1Char(':') + MissingPort).toLocal8Bit());
        QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
        store.setValue("portName", path);
        store.setValue("baudRate", "115200");
        store.setValue("address", "1");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(storeDir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
        useStoredPort(MissingPort);
        connect(&boxTimer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << box->windowTitle() + '|' + QString::number(box->icon()) + '|' + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        boxTimer.start(10);
    }

    void init() { boxes.clear(); }

    // The texts a user must see exactly; the defaults shown at start, such
    // that a gather gives them back.
    void textsAndDefaults()
    {
        MainWindow window;
        const char *texts[][2] = {
            {"groupBox_5", "Режим опроса"}, {"radioButtonModeNoAdr", "Безадресный"}, {"radioButtonModeAdr", "Адресный"},
            {"groupBox_2", "Положение реле"}, {"groupBox_6", "Дискретные входа"}, {"groupBox_8", "Клапан"},
            {"groupBox", "Дата и время"}, {"checkBox", "Системное время"}, {"groupBox_3", "GSM"},
            {"label_5", "Номер 1"}, {"label_10", "Номер 6"}, {"checkBox_7", "Выполнять дозвон"},
            {"groupBox_7", "Датчики"}, {"groupBox_9", "Порог 1"}, {"groupBox_12", "Порог 2"},
            {"groupBox_15", "Неисправность"}, {"groupBox_17", "Пожар"}, {"pushButtonSensorFireValve", "Для всех"}};
        for (const auto &text : texts)
            QCOMPARE(child(window, text[0])->property(QString(text[0]).startsWith("groupBox") ? "title" : "text"),
                     QVariant(text[1]));
        QVERIFY(window.isMaximized() && !window.modified && window.currentFileName().isEmpty());
        QVERIFY(!child(window, "progressBar")->isVisible() && child<QCheckBox>(window, "checkBox")->isChecked());
        QCOMPARE(child<QComboBox>(window, "comboBoxDiscreteInputName")->currentText().trimmed(), QString("Пожар"));
        QCOMPARE(child<QComboBox>(window, "comboBoxSensorFireValve")->currentIndex(), 0);
        ConfigImage defaults;
        defaults.applyDefaults();
        QVERIFY(window.configImage() == defaults);
        window.gatherAll(); // the clock comes from its editors
        std::memcpy(defaults.ClockBlock, window.configImage().ClockBlock, ConfigImage::ClockSize);
        QVERIFY(window.configImage() == defaults);
    }

    void refreshThenGatherKeepsImage_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("non-addressed") << 0;
        QTest::newRow("addressed") << 1;
    }

    void refreshThenGatherKeepsImage()
    {
        QFETCH(int, mode);
        MainWindow window;
        child<QCheckBox>(window, "checkBox")->setChecked(false);
        for (int round = 0; round < 3; ++round) {
            const ConfigImage original = shownImage(random, mode);
            window.configImage() = original;
            window.refreshAll();
            window.gatherAll();
            QVERIFY2(window.configImage() == original, qPrintable(QString("round %1").arg(round)));
        }
    }

    // A mode other than 0 shows and stores as addressed. A click gathers the
    // tables in the layout they were built with, then rebuilds them.
    void pollingMode()
    {
        MainWindow window;
        ConfigImage &image = window.configImage();
        auto *thresholds = child<QTableWidget>(window, "tableSensorThres1");
        image.setWord(ConfigImage::PollingMode, 7);
        window.refreshAll();
        QVERIFY(child<QRadioButton>(window, "radioButtonModeAdr")->isChecked());
        QVERIFY(!child<QRadioButton>(window, "radioButtonModeNoAdr")->isChecked());
        QCOMPARE(thresholds->rowCount(), 250);
        window.gatherAll();
        QCOMPARE(image.word(ConfigImage::PollingMode), quint16(1));

        thresholds->item(4, 1)->setText("Реле 4"); // sensor 5
        QTest::mouseClick(child(window, "radioButtonModeNoAdr"), Qt::LeftButton);
        QCOMPARE(image.byte(ConfigImage::Thres1Relay + 5), quint8(4));
        QCOMPARE(image.word(ConfigImage::PollingMode), quint16(0));
        QCOMPARE(thresholds->rowCount(), 1);
    }

    void modifiedRules()
    {
        MainWindow window;
        ConfigImage &image = window.configImage();
        auto click = [&](const char *name) { QTest::mouseClick(child(window, name), Qt::LeftButton); };
        auto *table = child<QTableWidget>(window, "tableValve");
        const struct { const char *what; std::function<void()> act; bool marks; } edits[] = {
            {"number typed", [&] { QTest::keyClicks(child(window, "lineEdit_4"), "5"); }, true},
            {"dial box", [&] { click("checkBox_7"); }, true},
            {"system time box", [&] { click("checkBox"); }, true},
            {"relay position", [&] { child<QComboBox>(window, "comboBoxRelay3")->setCurrentIndex(0); }, true},
            {"table double click", [&] {
                 const QPoint point = table->visualRect(table->model()->index(0, 2)).center();
                 QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, point);
                 QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, point);
             }, true},
            {"for all", [&] { click("pushButtonDiscreteInputDelay"); }, true},
            {"mode click", [&] { click("radioButtonModeNoAdr"); }, true},
            {"refresh that changes a number", [&] { image.setPhoneNumber(2, "123"); window.refreshAll(); }, true},
            {"refresh that changes nothing", [&] { window.refreshAll(); }, false},
            {"dial bit changed by a refresh", [&] { image.setBit(ConfigImage::DialFlags, 1, false); window.refreshAll(); }, false},
            {"time editor changed", [&] { child<QTimeEdit>(window, "timeEdit")->setTime(QTime(1, 2)); }, false},
        };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const auto &edit : edits) {
            window.modified = false;
            edit.act();
            QVERIFY2(window.modified == edit.marks, edit.what);
        }
    }

    // Numbers take plain ASCII digits only. Which box shows which bit, which
    // editor which clock byte; a clock the editors cannot hold leaves them be.
    void formFields()
    {
        MainWindow window;
        auto *number = child<QLineEdit>(window, "lineEdit");
        for (int i = 2; i <= 6; ++i)
            QCOMPARE(child<QLineEdit>(window, QString("lineEdit_%1").arg(i))->validator(), number->validator());
        const struct { const char *text; QValidator::State state; } cases[] = {
            {"+123456789012", QValidator::Acceptable}, {"1234567890123", QValidator::Invalid},
            {"+", QValidator::Intermediate}, {"1+2", QValidator::Invalid}, {"١٢٣", QValidator::Invalid}};
        for (const auto &c : cases) {
            QString text = QString::fromUtf8(c.text);
            int position = 0;
            QVERIFY2(number->validator()->validate(text, position) == c.state, c.text);
        }
        QTest::keyClicks(number, "+12ab34567890123");
        QCOMPARE(number->text(), QString("+123456789012"));

        ConfigImage &image = window.configImage();
        auto *timeEdit = child<QTimeEdit>(window, "timeEdit");
        auto *dateEdit = child<QDateEdit>(window, "dateEdit");
        child<QCheckBox>(window, "checkBox")->setChecked(false);
        image.setByte(ConfigImage::RelayPositions, 0xA5); // relays 1 and 3 on
        image.setByte(ConfigImage::DialFlags, 0xC6); // numbers 1, 4, 5 and 6 dialled
        const quint8 clock[] = {13, 45, 30, 7, 21, 0xAA, 24, 0};
        std::memcpy(image.ClockBlock, clock, sizeof clock);
        for (int refresh = 0; refresh < 2; ++refresh) {
            window.refreshAll();
            QString shown;
            for (int k = 1; k <= 4; ++k)
                shown += child<QComboBox>(window, QString("comboBoxRelay%1").arg(k))->currentText() + ' ';
            for (int i = 2; i <= 7; ++i)
                shown += child<QCheckBox>(window, QString("checkBox_%1").arg(i))->isChecked() ? '1' : '0';
            QCOMPARE(shown, QString("Включено Выключено Включено Выключено 100111"));
            QCOMPARE(QDateTime(dateEdit->date(), timeEdit->time()), QDateTime(QDate(2024, 7, 21), QTime(13, 45, 30)));
            image.ClockBlock[0] = 24; // no such hour
            image.ClockBlock[3] = 13; // no such month
        }
        dateEdit->setDate(QDate(1999, 12, 31)); // a year the image cannot hold
        QCOMPARE(dateEdit->date().year(), 2000);
        child<QCheckBox>(window, "checkBox")->setChecked(true);
        window.Timer();
        QCOMPARE(dateEdit->date(), QDate::currentDate());
        QVERIFY(qAbs(timeEdit->time().secsTo(QTime::currentTime())) < 5);
    }

    // A message goes on the 41st tick; a new one starts the count again, and
    // the spent count leaves a later message from elsewhere alone.
    void statusCountdown()
    {
        MainWindow window;
        QStatusBar *bar = window.statusBar();
        auto ticks = [&](int count) { while (count-- > 0) window.Timer(); };
        window.StatusBarMessage("first");
        ticks(30);
        window.StatusBarMessage("second");
        ticks(40);
        QCOMPARE(bar->currentMessage(), QString("second"));
        ticks(1);
        QCOMPARE(bar->currentMessage(), QString(" "));
        bar->showMessage("not from a transfer");
        ticks(100);
        QCOMPARE(bar->currentMessage(), QString("not from a transfer"));
    }

    void failedOpenShowsMessageAndReenables()
    {
        useStoredPort(MissingPort);
        MainWindow window;
        QCOMPARE(window.findChild<SettingsDialog *>()->settings().portName, MissingPort);
        auto *progress = child<QProgressBar>(window, "progressBar");
        child<QAction>(window, "actionRead")->trigger();
        QCOMPARE(transferActions(window), QString("000"));
        QVERIFY(progress->isVisible() && progress->maximum() == 21 && window.modified);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 10000);
        QCOMPARE(boxes.first(), QString("Внимание|%1|Ошибка открытия порта!\n Опрос завершен.").arg(QMessageBox::Critical));
        QCOMPARE(transferActions(window), QString("111"));
        QVERIFY(!progress->isVisible() && progress->value() == 0);
    }

    // Every register arrives and the file-only bytes stay; edits go out
    // through the write's gather.
    void readAndWriteThroughWindow()
    {
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        useStoredPort(sim.devicePath());
        const ConfigImage controller = shownImage(random, 1);
        for (const auto &b : Blocks)
            sim.setHoldings(b.first, registers(controller, b.block));
        MainWindow window;
        QCOMPARE(window.findChild<SettingsDialog *>()->settings().portName, sim.devicePath());
        child<QCheckBox>(window, "checkBox")->setChecked(false);
        auto *progress = child<QProgressBar>(window, "progressBar");
        int highest = 0;
        connect(progress, &QProgressBar::valueChanged, progress, [&](int value) { highest = qMax(highest, value); });
        const ConfigImage &image = window.configImage();
        const QByteArray fileOnly(reinterpret_cast<const char *>(image.MainBlock) + 2652, 6);

        child<QAction>(window, "actionRead")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("111"), 30000);
        QCOMPARE(highest, 21);
        QCOMPARE(window.statusBar()->currentMessage(), QString("Данные прочитаны"));
        QVERIFY(!progress->isVisible() && window.modified);
        for (const auto &b : Blocks)
            QCOMPARE(registers(image, b.block), registers(controller, b.block));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(image.MainBlock) + 2652, 6), fileOnly);
        QCOMPARE(child<QLineEdit>(window, "lineEdit_6")->text(), controller.phoneNumber(5));

        child<QLineEdit>(window, "lineEdit")->setText("+79001234567");
        child<QComboBox>(window, "comboBoxSensorFireRelay")->setCurrentText("Реле 2");
        QTest::mouseClick(child(window, "pushButtonSensorFireRelay"), Qt::LeftButton);
        window.modified = false;
        highest = 0;
        child<QAction>(window, "actionWrite")->trigger();
        QCOMPARE(progress->maximum(), 24);
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("111"), 30000);
        QCOMPARE(highest, 24);
        QVERIFY(!window.modified && window.statusBar()->currentMessage().startsWith("Данные отправлены"));
        QCOMPARE(image.phoneNumber(0), QString("+79001234567"));
        QCOMPARE(image.byte(ConfigImage::FireRelay + 250), quint8(2));
        const ControllerState state = sim.stateCopy();
        for (const auto &b : Blocks) {
            const QVector<quint16> written = registers(image, b.block);
            for (int k = 0; k < written.size(); ++k)
                QCOMPARE(state.holding(b.first + k), written.at(k));
        }
        QVERIFY(boxes.isEmpty());
    }
};

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
