// The editor window driven through its widgets, offscreen: the form, the
// image shown and gathered back, the change mark, the number fields, and a
// read and a write against the controller simulator on a pseudo-terminal.
#include "mainwindow.h"
#include "settingsdialog.h"
#include "simharness.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QValidator>
#include <QtTest>

#include <cstring>
#include <functional>

namespace {

const QString Addressed = QStringLiteral("radioButtonModeAdr");
const QString NonAddressed = QStringLiteral("radioButtonModeNoAdr");
const QString MissingPort = QStringLiteral("/nonexistent/ttyTarvikWindow");

template <class T>
T *child(QObject &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

QString cell(QObject &window, const char *table, int row, int column)
{
    const QTableWidgetItem *item = child<QTableWidget>(window, table)->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
}

void setCell(QObject &window, const char *table, int row, int column, const QString &text)
{
    child<QTableWidget>(window, table)->item(row, column)->setText(text);
}

// An image whose every shown field holds a code the window can show, and
// whose hidden bytes are random: refresh then gather must give it back.
ConfigImage shownImage(QRandomGenerator &random, int mode)
{
    ConfigImage image;
    for (quint8 &byte : image.MainBlock)
        byte = quint8(random.bounded(256));
    for (quint8 &byte : image.PhoneBlock)
        byte = quint8(random.bounded(256));
    for (int i = 0; i < ConfigImage::SensorCount; ++i) {
        for (int offset : {ConfigImage::Thres1Relay, ConfigImage::Thres2Relay, ConfigImage::FireRelay,
                           ConfigImage::DefectRelay, ConfigImage::ValveStateRelay})
            image.setByte(offset + i, quint8(random.bounded(5)));
        for (int offset : {ConfigImage::Thres1Valve, ConfigImage::Thres2Valve, ConfigImage::FireValve,
                           ConfigImage::DefectValve})
            image.setByte(offset + i, quint8(random.bounded(252)));
    }
    for (int i = 0; i < ConfigImage::InputCount; ++i) {
        image.setByte(ConfigImage::InputValve + i, quint8(random.bounded(252)));
        image.setByte(ConfigImage::InputRelay + i, quint8(random.bounded(5)));
        int name;
        do { // a few catalogue names repeat; the first of them is what a gather finds
            name = random.bounded(161);
        } while (ConfigImage::inputNameCode(ConfigImage::inputNameText(name)) != name);
        image.setByte(ConfigImage::InputName + i, quint8(name));
        image.setWord(ConfigImage::InputDelay + 2 * i, quint16(20 * random.bounded(51)));
    }
    image.setWord(ConfigImage::PollingMode, quint16(mode));
    image.setByte(ConfigImage::ValveType, quint8(random.bounded(2)));
    for (int slot = 0; slot < ConfigImage::PhoneCount; ++slot) {
        QByteArray number = random.bounded(2) ? "+" : "";
        const int digits = random.bounded(13);
        for (int d = 0; d < digits; ++d)
            number += char('0' + random.bounded(10));
        image.setPhoneNumber(slot, number);
    }
    const quint8 clock[] = {quint8(random.bounded(24)), quint8(random.bounded(60)),
                            quint8(random.bounded(60)), quint8(1 + random.bounded(12)),
                            quint8(1 + random.bounded(28)), quint8(random.bounded(256)),
                            quint8(random.bounded(100)), 0};
    std::memcpy(image.ClockBlock, clock, sizeof clock);
    return image;
}

QVector<quint16> registers(const ConfigImage &image, ConfigImage::Block block)
{
    QVector<quint16> values(ConfigImage::registerCount(block));
    image.registers(block, 0, values.size(), values.data());
    return values;
}

QVector<quint16> simRegisters(const SimHarness &sim, int first, int count)
{
    QVector<quint16> values;
    for (int k = 0; k < count; ++k)
        values << sim.holding(first + k);
    return values;
}

// Answers the next modal message box with a button and keeps what it showed.
struct SeenBox
{
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool hasParent = false;
};

void answerNextBox(SeenBox *seen, QMessageBox::StandardButton button, int attempts = 500)
{
    QTimer::singleShot(10, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            if (attempts > 0)
                answerNextBox(seen, button, attempts - 1);
            return;
        }
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->hasParent = box->parentWidget() != nullptr;
        box->button(button)->click();
    });
}

} // namespace

class TestEditorWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formLayout_data();
    void formLayout();
    void defaultsShownAfterStart();
    void refreshThenGatherKeepsImage_data();
    void refreshThenGatherKeepsImage();
    void modeSwitchKeepsBothLayouts();
    void unknownModeShowsAndStoresAddressed();
    void modifiedRules();
    void numberValidatorAndLength();
    void relayAndDialBits();
    void clockFields();
    void statusCountdown();
    void failedOpenMessageReenablesActions();
    void readAndWriteThroughWindow();

private:
    void useStoredPort(const QString &path);

    QTemporaryDir storeDir;
    QRandomGenerator random{20240521};
};

// The settings store and the port list are the test's own, so the window can
// only ever talk to the simulator's terminal or a path that does not exist.
void TestEditorWindow::initTestCase()
{
    QVERIFY(storeDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
    useStoredPort(MissingPort);
}

void TestEditorWindow::useStoredPort(const QString &path)
{
    qputenv("TARVIK_PORTS", (path + QLatin1Char(':') + MissingPort).toLocal8Bit());
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    store.setValue("portName", path);
    store.setValue("baudRate", "115200");
    store.setValue("address", "1");
    store.sync();
}

void TestEditorWindow::formLayout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<int>>("cellAndSpan");
    QTest::newRow("mode") << "groupBox_5" << "Режим опроса" << QList<int>{0, 0, 1, 1};
    QTest::newRow("relays") << "groupBox_2" << "Положение реле" << QList<int>{0, 1, 2, 1};
    QTest::newRow("inputs") << "groupBox_6" << "Дискретные входа" << QList<int>{0, 2, 3, 1};
    QTest::newRow("valve") << "groupBox_8" << "Клапан" << QList<int>{0, 3, 3, 1};
    QTest::newRow("clock") << "groupBox" << "Дата и время" << QList<int>{1, 0, 1, 1};
    QTest::newRow("gsm") << "groupBox_3" << "GSM" << QList<int>{2, 0, 1, 2};
    QTest::newRow("sensors") << "groupBox_7" << "Датчики" << QList<int>{3, 0, 1, 4};
}

void TestEditorWindow::formLayout()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(QList<int>, cellAndSpan);
    MainWindow window;
    auto *box = child<QGroupBox>(window, name);
    QCOMPARE(box->title(), title);
    auto *grid = child<QGridLayout>(window, "gridLayout");
    int row, column, rowSpan, columnSpan;
    grid->getItemPosition(grid->indexOf(box), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE((QList<int>{row, column, rowSpan, columnSpan}), cellAndSpan);
}

void TestEditorWindow::defaultsShownAfterStart()
{
    MainWindow window;
    QVERIFY(window.isMaximized());
    QVERIFY(!window.modified);
    QVERIFY(window.currentFileName().isEmpty());
    QVERIFY(!child<QProgressBar>(window, "progressBar")->isVisible());
    QCOMPARE(child<QGroupBox>(window, "groupBox_2")->maximumWidth(), 200);
    QCOMPARE(child<QGroupBox>(window, "groupBox_6")->minimumWidth(), 430);
    QCOMPARE(child<QGroupBox>(window, "groupBox_8")->maximumWidth(), 575);
    QCOMPARE(child<QGroupBox>(window, "groupBox_3")->maximumWidth(), 300);
    QCOMPARE(child<QTimeEdit>(window, "timeEdit")->displayFormat(), QString("HH:mm"));
    QVERIFY(child<QCheckBox>(window, "checkBox")->isChecked());
    QCOMPARE(child<QCheckBox>(window, "checkBox")->text(), QString("Системное время"));

    QVERIFY(child<QRadioButton>(window, NonAddressed)->isChecked());
    QVERIFY(!child<QRadioButton>(window, Addressed)->isChecked());
    for (int k = 1; k <= 4; ++k) {
        auto *relay = child<QComboBox>(window, QString("comboBoxRelay%1").arg(k));
        QCOMPARE(relay->count(), 2);
        QCOMPARE(relay->currentText(), QString("Выключено")); // relayPositions 0
    }
    const QStringList edits = {"lineEdit", "lineEdit_2", "lineEdit_3", "lineEdit_4", "lineEdit_5", "lineEdit_6"};
    for (int i = 0; i < 6; ++i) {
        QVERIFY(child<QLineEdit>(window, edits.at(i))->text().isEmpty());
        QVERIFY(!child<QCheckBox>(window, QString("checkBox_%1").arg(i + 2))->isChecked()); // dialFlags 0xFF
        QCOMPARE(child<QLabel>(window, QString("label_%1").arg(i + 5))->text(), QString("Номер %1").arg(i + 1));
    }

    // Register values of the defaults as texts: contact mask all ones, input 1
    // on relay 1 and valve 0, names from the catalogue, delays 20.
    QCOMPARE(cell(window, "tableDiscreteInput", 0, 1), QString("Нормально разомкнут"));
    QCOMPARE(cell(window, "tableDiscreteInput", 0, 2).trimmed(), QString("Пожар"));
    QCOMPARE(cell(window, "tableDiscreteInput", 0, 3), QString("Реле 1"));
    QCOMPARE(cell(window, "tableDiscreteInput", 0, 4), QString("Клапан 0"));
    QCOMPARE(cell(window, "tableDiscreteInput", 0, 5), QString("0.2"));
    QCOMPARE(cell(window, "tableDiscreteInput", 1, 3), QString("Реле 3"));
    QCOMPARE(cell(window, "tableDiscreteInput", 1, 4), QString("Нет   "));
    QCOMPARE(cell(window, "tableDiscreteInput", 23, 2).trimmed(), QString("Клапан закрыт"));
    QCOMPARE(cell(window, "tableDiscreteInput", 23, 3), QString("Реле 4"));
    QCOMPARE(child<QTableWidget>(window, "tableValve")->rowCount(), 1);
    QCOMPARE(cell(window, "tableValve", 0, 1), QString("Закрывать"));
    QCOMPARE(cell(window, "tableValve", 0, 2), QString("Сообщать"));
    QCOMPARE(cell(window, "tableValve", 0, 3), QString("Сообщать"));
    QCOMPARE(cell(window, "tableValve", 0, 4), QString("Реле 4"));
    QCOMPARE(cell(window, "tableValve", 0, 5), QString("КЗЭГ/ВН"));
    QCOMPARE(child<QTableWidget>(window, "tableSensorThres1")->rowCount(), 1);
    QCOMPARE(cell(window, "tableSensorThres1", 0, 1), QString("Реле 2"));
    QCOMPARE(cell(window, "tableSensorThres2", 0, 2), QString("Клапан 0"));
    QCOMPARE(cell(window, "tableSensorDefect", 0, 1), QString("Нет   "));
    QCOMPARE(cell(window, "tableSensorFire", 0, 1), QString("Реле 1"));
    QVERIFY(child<QGroupBox>(window, "groupBoxFire")->isHidden());

    // Initial choices of the assignment boxes.
    QCOMPARE(child<QComboBox>(window, "comboBoxDiscreteInputName")->currentIndex(), 1);
    QCOMPARE(child<QComboBox>(window, "comboBoxDiscreteInputName")->currentText().trimmed(), QString("Пожар"));
    for (const char *name : {"comboBoxDiscreteInputType", "comboBoxDiscreteInputDelay",
                             "comboBoxValveEventBreack", "comboBoxSensorFireValve"})
        QCOMPARE(child<QComboBox>(window, name)->currentIndex(), 0);
    const auto buttons = window.findChildren<QPushButton *>(QRegularExpression("^pushButton"));
    QCOMPARE(buttons.size(), 16);
    for (const QPushButton *button : buttons)
        QCOMPARE(button->text(), QString("Для всех"));
}

void TestEditorWindow::refreshThenGatherKeepsImage_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("non-addressed") << 0;
    QTest::newRow("addressed") << 1;
}

void TestEditorWindow::refreshThenGatherKeepsImage()
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
    QCOMPARE(child<QTableWidget>(window, "tableValve")->rowCount(), mode ? 251 : 1);
    QCOMPARE(child<QTableWidget>(window, "tableSensorDefect")->rowCount(), mode ? 250 : 1);
}

void TestEditorWindow::modeSwitchKeepsBothLayouts()
{
    MainWindow window;
    QTest::mouseClick(child<QRadioButton>(window, Addressed), Qt::LeftButton);
    QVERIFY(window.modified);
    QCOMPARE(window.configImage().word(ConfigImage::PollingMode), quint16(1));
    QCOMPARE(child<QTableWidget>(window, "tableSensorThres1")->rowCount(), 250);
    QCOMPARE(child<QTableWidget>(window, "tableValve")->rowCount(), 251);
    QVERIFY(!child<QGroupBox>(window, "groupBoxThres1")->isHidden());
    QVERIFY(!child<QGroupBox>(window, "groupBoxValve")->isHidden());

    setCell(window, "tableSensorThres1", 4, 1, "Реле 4");  // sensor 5
    setCell(window, "tableValve", 7, 4, "Реле 3");
    window.modified = false;
    QTest::mouseClick(child<QRadioButton>(window, NonAddressed), Qt::LeftButton);
    QVERIFY(window.modified);
    QCOMPARE(window.configImage().byte(ConfigImage::Thres1Relay + 5), quint8(4));
    QCOMPARE(window.configImage().byte(ConfigImage::ValveStateRelay + 7), quint8(3));
    QCOMPARE(window.configImage().word(ConfigImage::PollingMode), quint16(0));
    QCOMPARE(child<QTableWidget>(window, "tableSensorThres1")->rowCount(), 1);
    QCOMPARE(cell(window, "tableSensorThres1", 0, 0), QString(" "));
    QVERIFY(child<QGroupBox>(window, "groupBoxThres1")->isHidden());
    QVERIFY(child<QGroupBox>(window, "groupBoxValve")->isHidden());

    setCell(window, "tableSensorThres1", 0, 1, "Реле 3");  // the common line
    QTest::mouseClick(child<QRadioButton>(window, Addressed), Qt::LeftButton);
    QCOMPARE(cell(window, "tableSensorThres1", 4, 1), QString("Реле 4"));
    QCOMPARE(cell(window, "tableValve", 7, 4), QString("Реле 3"));
    QCOMPARE(window.configImage().byte(ConfigImage::Thres1Relay + 0), quint8(3));
    QTest::mouseClick(child<QRadioButton>(window, NonAddressed), Qt::LeftButton);
    QCOMPARE(cell(window, "tableSensorThres1", 0, 1), QString("Реле 3"));
    QCOMPARE(window.configImage().byte(ConfigImage::Thres1Relay + 5), quint8(4));
}

void TestEditorWindow::unknownModeShowsAndStoresAddressed()
{
    MainWindow window;
    window.configImage().setWord(ConfigImage::PollingMode, 7);
    window.refreshAll();
    QVERIFY(child<QRadioButton>(window, Addressed)->isChecked());
    QVERIFY(!child<QRadioButton>(window, NonAddressed)->isChecked());
    QCOMPARE(child<QTableWidget>(window, "tableSensorFire")->rowCount(), 250);
    QCOMPARE(child<QComboBox>(window, "comboBoxDiscreteInputValve")->count(), 252);
    window.gatherAll();
    QCOMPARE(window.configImage().word(ConfigImage::PollingMode), quint16(1));
}

void TestEditorWindow::modifiedRules()
{
    MainWindow window;
    struct Edit { const char *what; std::function<void()> act; bool marks; };
    const QList<Edit> edits = {
        {"number typed", [&] { QTest::keyClicks(child<QLineEdit>(window, "lineEdit_4"), "5"); }, true},
        {"dial box", [&] { QTest::mouseClick(child<QCheckBox>(window, "checkBox_7"), Qt::LeftButton); }, true},
        {"system time box", [&] { QTest::mouseClick(child<QCheckBox>(window, "checkBox"), Qt::LeftButton); }, true},
        {"relay position", [&] { child<QComboBox>(window, "comboBoxRelay3")->setCurrentIndex(0); }, true},
        {"table double click", [&] {
             auto *table = child<QTableWidget>(window, "tableValve");
             const QRect rect = table->visualRect(table->model()->index(0, 2));
             QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
             QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, rect.center());
         }, true},
        {"for all", [&] { QTest::mouseClick(child<QPushButton>(window, "pushButtonDiscreteInputDelay"), Qt::LeftButton); }, true},
        {"mode click", [&] { QTest::mouseClick(child<QRadioButton>(window, NonAddressed), Qt::LeftButton); }, true},
        {"refresh that changes a number", [&] {
             window.configImage().setPhoneNumber(2, "123");
             window.refreshAll();
         }, true},
        {"refresh that changes a relay position", [&] {
             window.configImage().setBit(ConfigImage::RelayPositions, 0, true);
             window.refreshAll();
         }, true},
        {"refresh that changes nothing", [&] { window.refreshAll(); }, false},
        {"gather", [&] { window.gatherAll(); }, false},
        {"dial bit changed by a refresh", [&] {
             window.configImage().setBit(ConfigImage::DialFlags, 1, false);
             window.refreshAll();
         }, false},
        {"time editor changed", [&] { child<QTimeEdit>(window, "timeEdit")->setTime(QTime(1, 2)); }, false},
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const Edit &edit : edits) {
        window.modified = false;
        edit.act();
        QVERIFY2(window.modified == edit.marks, edit.what);
    }
}

void TestEditorWindow::numberValidatorAndLength()
{
    MainWindow window;
    auto *first = child<QLineEdit>(window, "lineEdit");
    const QValidator *validator = first->validator();
    QVERIFY(validator);
    for (const char *name : {"lineEdit_2", "lineEdit_3", "lineEdit_4", "lineEdit_5", "lineEdit_6"})
        QCOMPARE(child<QLineEdit>(window, name)->validator(), validator);

    struct Case { QString text; QValidator::State state; };
    const QList<Case> cases = {
        {"+123456789012", QValidator::Acceptable}, {"7", QValidator::Acceptable},
        {"+", QValidator::Intermediate}, {"", QValidator::Intermediate},
        {"1234567890123", QValidator::Invalid}, {"1+2", QValidator::Invalid},
        {"++1", QValidator::Invalid}, {"12a", QValidator::Invalid},
        {QString::fromUtf8("١٢٣"), QValidator::Invalid}, // Arabic-Indic digits
    };
    for (Case c : cases) {
        int position = 0;
        QVERIFY2(validator->validate(c.text, position) == c.state, qPrintable(c.text));
    }
    QTest::keyClicks(first, "+12ab34567890123");
    QCOMPARE(first->text(), QString("+123456789012"));
    window.gatherAll();
    QCOMPARE(window.configImage().phoneLength(0), 13);
    QCOMPARE(window.configImage().phoneNumber(0), QString("+123456789012"));

    // Shortening stores the new length and leaves the slot's tail alone.
    window.configImage().setPhoneNumber(1, "380501234567");
    window.refreshAll();
    QCOMPARE(child<QLineEdit>(window, "lineEdit_2")->text(), QString("380501234567"));
    child<QLineEdit>(window, "lineEdit_2")->setText("11111");
    window.gatherAll();
    QCOMPARE(window.configImage().phoneLength(1), 5);
    const QByteArray slot(reinterpret_cast<const char *>(window.configImage().PhoneBlock) + 30, 12);
    QCOMPARE(slot, QByteArray("111111234567"));

    // Bytes from a file go back as they came, one byte per character.
    window.configImage().setPhoneNumber(2, QByteArray("\xC0\xFF" "12", 4));
    window.refreshAll();
    window.gatherAll();
    QCOMPARE(window.configImage().phoneLength(2), 4);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(window.configImage().PhoneBlock) + 60, 4),
             QByteArray("\xC0\xFF" "12", 4));
}

void TestEditorWindow::relayAndDialBits()
{
    MainWindow window;
    ConfigImage &image = window.configImage();
    image.setByte(ConfigImage::RelayPositions, 0xA5); // relays 1 and 3 on, high bits foreign
    image.setByte(ConfigImage::DialFlags, 0xC6);      // numbers 1, 4, 5, 6 dialled
    window.refreshAll();
    const QStringList relays = {"Включено", "Выключено", "Включено", "Выключено"};
    for (int k = 0; k < 4; ++k)
        QCOMPARE(child<QComboBox>(window, QString("comboBoxRelay%1").arg(k + 1))->currentText(), relays.at(k));
    const QList<bool> dialled = {true, false, false, true, true, true};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(child<QCheckBox>(window, QString("checkBox_%1").arg(i + 2))->isChecked(), dialled.at(i));

    child<QComboBox>(window, "comboBoxRelay1")->setCurrentText("Выключено");
    child<QComboBox>(window, "comboBoxRelay4")->setCurrentText("Включено");
    child<QCheckBox>(window, "checkBox_2")->setChecked(false);
    child<QCheckBox>(window, "checkBox_3")->setChecked(true);
    window.gatherAll();
    QCOMPARE(image.byte(ConfigImage::RelayPositions), quint8(0xAC));
    QCOMPARE(image.byte(ConfigImage::DialFlags), quint8(0xC5));
}

void TestEditorWindow::clockFields()
{
    MainWindow window;
    ConfigImage &image = window.configImage();
    auto *timeEdit = child<QTimeEdit>(window, "timeEdit");
    auto *dateEdit = child<QDateEdit>(window, "dateEdit");
    child<QCheckBox>(window, "checkBox")->setChecked(false);
    const quint8 clock[] = {13, 45, 30, 7, 21, 0xAA, 24, 0};
    std::memcpy(image.ClockBlock, clock, sizeof clock);
    window.refreshAll();
    QCOMPARE(timeEdit->time(), QTime(13, 45, 30));
    QCOMPARE(dateEdit->date(), QDate(2024, 7, 21));

    timeEdit->setTime(QTime(7, 5, 9));
    dateEdit->setDate(QDate(2031, 2, 28));
    window.gatherAll();
    const quint8 gathered[] = {7, 5, 9, 2, 28, 0xAA, 31, 0};
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(image.ClockBlock), 8),
             QByteArray(reinterpret_cast<const char *>(gathered), 8));

    image.ClockBlock[3] = 13; // no such month, and no such hour
    image.ClockBlock[0] = 24;
    window.refreshAll();
    QCOMPARE(timeEdit->time(), QTime(7, 5, 9));
    QCOMPARE(dateEdit->date(), QDate(2031, 2, 28));

    // Years before 2000 do not fit the field: the editor does not offer them.
    dateEdit->setDate(QDate(1999, 12, 31));
    QCOMPARE(dateEdit->date().year(), 2000);

    child<QCheckBox>(window, "checkBox")->setChecked(true);
    window.Timer();
    QCOMPARE(dateEdit->date(), QDate::currentDate());
    QVERIFY(qAbs(timeEdit->time().secsTo(QTime::currentTime())) < 5);
}

void TestEditorWindow::statusCountdown()
{
    MainWindow window;
    QStatusBar *bar = window.statusBar();
    window.StatusBarMessage("first");
    for (int tick = 0; tick < 30; ++tick)
        window.Timer();
    window.StatusBarMessage("second"); // starts the 40 ticks again
    for (int tick = 0; tick < 40; ++tick)
        window.Timer();
    QCOMPARE(bar->currentMessage(), QString("second"));
    window.Timer();
    QCOMPARE(bar->currentMessage(), QString(" "));

    bar->showMessage("not from a transfer"); // cleared once per message only
    for (int tick = 0; tick < 100; ++tick)
        window.Timer();
    QCOMPARE(bar->currentMessage(), QString("not from a transfer"));
}

void TestEditorWindow::failedOpenMessageReenablesActions()
{
    useStoredPort(MissingPort);
    MainWindow window;
    QCOMPARE(window.findChild<SettingsDialog *>()->settings().portName, MissingPort);
    auto *read = child<QAction>(window, "actionRead");
    auto *progress = child<QProgressBar>(window, "progressBar");
    SeenBox box;
    answerNextBox(&box, QMessageBox::Ok);
    read->trigger();
    QVERIFY(!read->isEnabled());
    QVERIFY(!child<QAction>(window, "actionSettings")->isEnabled());
    QVERIFY(!child<QAction>(window, "actionWrite")->isEnabled());
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->maximum(), 21);
    QVERIFY(window.modified);

    QTRY_VERIFY_WITH_TIMEOUT(box.seen && read->isEnabled(), 10000);
    QCOMPARE(box.title, QString("Внимание"));
    QCOMPARE(box.text, QString("Ошибка открытия порта!\n Опрос завершен."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(child<QAction>(window, "actionSettings")->isEnabled());
    QVERIFY(child<QAction>(window, "actionWrite")->isEnabled());
    QVERIFY(!progress->isVisible());
    QCOMPARE(progress->value(), 0);
}

void TestEditorWindow::readAndWriteThroughWindow()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    useStoredPort(sim.devicePath());
    const ConfigImage controller = shownImage(random, 1);
    sim.setHoldings(0, registers(controller, ConfigImage::Main));
    sim.setHoldings(1999, registers(controller, ConfigImage::Phone));
    sim.setHoldings(2999, registers(controller, ConfigImage::Clock));

    int highest = 0;
    MainWindow window;
    QCOMPARE(window.findChild<SettingsDialog *>()->settings().portName, sim.devicePath());
    child<QCheckBox>(window, "checkBox")->setChecked(false);
    auto *read = child<QAction>(window, "actionRead");
    auto *write = child<QAction>(window, "actionWrite");
    auto *progress = child<QProgressBar>(window, "progressBar");
    connect(progress, &QProgressBar::valueChanged, progress, [&](int value) { highest = qMax(highest, value); });
    const QByteArray fileOnly(reinterpret_cast<const char *>(window.configImage().MainBlock) + 2652, 6);

    read->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(read->isEnabled(), 30000);
    QCOMPARE(highest, 21);
    QCOMPARE(window.statusBar()->currentMessage(), QString("Данные прочитаны"));
    QVERIFY(!progress->isVisible());
    QVERIFY(window.modified);
    const ConfigImage &image = window.configImage();
    QCOMPARE(registers(image, ConfigImage::Main), registers(controller, ConfigImage::Main));
    QCOMPARE(registers(image, ConfigImage::Phone), registers(controller, ConfigImage::Phone));
    QCOMPARE(registers(image, ConfigImage::Clock), registers(controller, ConfigImage::Clock));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(image.MainBlock) + 2652, 6), fileOnly);
    QVERIFY(child<QRadioButton>(window, Addressed)->isChecked());
    QCOMPARE(cell(window, "tableSensorThres2", 9, 1),
             ConfigImage::relayText(controller.byte(ConfigImage::Thres2Relay + 10)));
    QCOMPARE(child<QLineEdit>(window, "lineEdit_6")->text(), controller.phoneNumber(5));

    // Edits reach the controller through the write's gather.
    child<QLineEdit>(window, "lineEdit")->setText("+79001234567");
    child<QComboBox>(window, "comboBoxSensorFireRelay")->setCurrentText("Реле 2");
    QTest::mouseClick(child<QPushButton>(window, "pushButtonSensorFireRelay"), Qt::LeftButton);
    window.modified = false;
    highest = 0;
    write->trigger();
    QCOMPARE(progress->maximum(), 24);
    QTRY_VERIFY_WITH_TIMEOUT(write->isEnabled(), 30000);
    QCOMPARE(highest, 24);
    QVERIFY(!window.modified);
    QVERIFY(window.statusBar()->currentMessage().startsWith("Данные отправлены"));
    QCOMPARE(window.configImage().phoneNumber(0), QString("+79001234567"));
    QCOMPARE(window.configImage().byte(ConfigImage::FireRelay + 250), quint8(2));
    QCOMPARE(simRegisters(sim, 0, 1326), registers(window.configImage(), ConfigImage::Main));
    QCOMPARE(simRegisters(sim, 1999, 96), registers(window.configImage(), ConfigImage::Phone));
    QCOMPARE(simRegisters(sim, 2999, 4), registers(window.configImage(), ConfigImage::Clock));
}

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
