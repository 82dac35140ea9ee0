#include "settingsdialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

// Every case gets its own empty store in a temporary folder, and the port list
// always ends with two virtual ports named in TARVIK_PORTS.
class TestSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstStartWithEmptyStore();
    void formLayoutAndTexts();
    void fixedParameterBoxes();
    void storedValuesApplied_data();
    void storedValuesApplied();
    void okStoresAndEndsModalRun();
    void escapeKeepsStoreAndSettings();
    void storeIsSharedBetweenDialogs();
    void portDetails_data();
    void portDetails();
    void portLabelsShowDetails();
    void extraPortsFromEnvironment();

private:
    static QComboBox *box(const SettingsDialog &dialog, const char *name);
    static void writeStore(const QString &key, const QString &value);
    static QSettings store();

    std::unique_ptr<QTemporaryDir> storeDir;
    int enumeratedPorts = 0;
};

static const char virtualPortA[] = "/tmp/tarvik-test-a";
static const char virtualPortB[] = "/tmp/tarvik-test-b";

void TestSettingsDialog::initTestCase()
{
    qputenv("TARVIK_PORTS", QByteArray(":") + virtualPortA + "::" + virtualPortB + ":"
                                + virtualPortA);
    enumeratedPorts = QSerialPortInfo::availablePorts().size();
}

void TestSettingsDialog::init()
{
    storeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(storeDir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir->path());
}

QComboBox *TestSettingsDialog::box(const SettingsDialog &dialog, const char *name)
{
    auto *found = dialog.findChild<QComboBox *>(QLatin1String(name));
    if (!found)
        qFatal("no combo box %s", name);
    return found;
}

QSettings TestSettingsDialog::store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
}

void TestSettingsDialog::writeStore(const QString &key, const QString &value)
{
    QSettings settings = store();
    settings.setValue(key, value);
}

void TestSettingsDialog::firstStartWithEmptyStore()
{
    SettingsDialog dialog;
    QComboBox *ports = box(dialog, "serialPortInfoListBox");
    QCOMPARE(ports->count(), enumeratedPorts + 2);
    QCOMPARE(ports->currentIndex(), 0);
    QCOMPARE(box(dialog, "baudRateBox")->currentText(), QString("9600"));
    QCOMPARE(box(dialog, "addressBox")->currentText(), QString("1"));

    const Settings settings = dialog.settings();
    QCOMPARE(settings.portName, ports->itemText(0));
    QCOMPARE(settings.baudRate, 9600);
    QCOMPARE(settings.address, 1);
    QVERIFY(!dialog.isVisible());
    QVERIFY(store().allKeys().isEmpty()); // reading never writes
}

void TestSettingsDialog::formLayoutAndTexts()
{
    SettingsDialog dialog;
    QCOMPARE(dialog.size(), QSize(281, 244));
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("Настройки"));

    auto *grid = qobject_cast<QGridLayout *>(dialog.layout());
    QVERIFY(grid);
    const auto cellOf = [grid](QLayoutItem *item) {
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(item), &row, &column, &rowSpan, &columnSpan);
        return QPoint(column, row);
    };
    const struct { const char *name; const char *title; QPoint cell; } groups[] = {
        { "selectBox", "Выбор порта", QPoint(0, 0) },
        { "parametersBox", "Выбор параметров", QPoint(1, 0) },
        { "groupBox", "Адрес", QPoint(0, 1) },
    };
    for (const auto &group : groups) {
        auto *widget = dialog.findChild<QGroupBox *>(group.name);
        QVERIFY2(widget, group.name);
        QCOMPARE(widget->title(), QString::fromUtf8(group.title));
        QCOMPARE(cellOf(grid->itemAt(grid->indexOf(widget))), group.cell);
    }

    auto *button = dialog.findChild<QPushButton *>("applyButton");
    QVERIFY(button);
    QCOMPARE(button->text(), QString(QChar(0x041E)) + QChar(0x043A)); // Cyrillic "Ок"
    auto *buttonRow = dialog.findChild<QHBoxLayout *>("horizontalLayout");
    QVERIFY(buttonRow);
    QCOMPARE(cellOf(buttonRow), QPoint(1, 1));
    QVERIFY(buttonRow->itemAt(0)->spacerItem());
    QCOMPARE(buttonRow->itemAt(1)->widget(), button);

    // The port box, then the six labels one under another, with their first texts
    // (the port labels change as soon as a port is selected).
    QLayout *select = dialog.findChild<QGroupBox *>("selectBox")->layout();
    const QStringList selectOrder = { "serialPortInfoListBox", "descriptionLabel",
        "manufacturerLabel", "serialNumberLabel", "locationLabel", "vidLabel", "pidLabel" };
    QCOMPARE(select->count(), selectOrder.size());
    for (int i = 0; i < selectOrder.size(); ++i)
        QCOMPARE(select->itemAt(i)->widget()->objectName(), selectOrder.at(i));

    auto *parameters = qobject_cast<QGridLayout *>(
        dialog.findChild<QGroupBox *>("parametersBox")->layout());
    QVERIFY(parameters);
    const QStringList captions = { "BaudRate:", "Data bits:", "Parity:", "Stop bits:",
                                   "Flow control:" };
    const QStringList boxes = { "baudRateBox", "dataBitsBox", "parityBox", "stopBitsBox",
                                "flowControlBox" };
    for (int row = 0; row < captions.size(); ++row) {
        auto *label = qobject_cast<QLabel *>(parameters->itemAtPosition(row, 0)->widget());
        QVERIFY(label);
        QCOMPARE(label->text(), captions.at(row));
        QCOMPARE(parameters->itemAtPosition(row, 1)->widget()->objectName(), boxes.at(row));
    }
    QCOMPARE(dialog.findChild<QGroupBox *>("groupBox")->layout()->itemAt(0)->widget(),
             box(dialog, "addressBox"));
}

void TestSettingsDialog::fixedParameterBoxes()
{
    SettingsDialog dialog;
    const struct { const char *name; QStringList texts; QList<int> data; int current; bool enabled; }
    expected[] = {
        { "baudRateBox", { "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200" },
          { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 }, 3, true },
        { "dataBitsBox", { "5", "6", "7", "8" }, { 5, 6, 7, 8 }, 3, false },
        { "parityBox", { "None", "Even", "Odd", "Mark", "Space" }, { 0, 2, 3, 5, 4 }, 0, false },
        { "stopBitsBox", { "1", "1.5", "2" }, { 1, 3, 2 }, 0, false },
        { "flowControlBox", { "None", "RTS/CTS", "XON/XOFF" }, { 0, 1, 2 }, 0, false },
    };
    for (const auto &e : expected) {
        QComboBox *combo = box(dialog, e.name);
        QCOMPARE(combo->count(), e.texts.size());
        for (int i = 0; i < combo->count(); ++i) {
            QCOMPARE(combo->itemText(i), e.texts.at(i));
            QCOMPARE(combo->itemData(i).toInt(), e.data.at(i));
        }
        QCOMPARE(combo->currentIndex(), e.current);
        QCOMPARE(combo->isEnabled(), e.enabled);
        QVERIFY2(!combo->isEditable(), e.name);
    }

    QComboBox *address = box(dialog, "addressBox");
    QCOMPARE(address->count(), 247);
    for (int i = 0; i < 247; ++i) {
        QCOMPARE(address->itemText(i), QString::number(i + 1));
        QVERIFY(!address->itemData(i).isValid());
    }
    QVERIFY(!address->isEditable());

    // Every listed baud rate carries data, so the box never turns editable.
    box(dialog, "baudRateBox")->setCurrentIndex(7);
    QVERIFY(!box(dialog, "baudRateBox")->isEditable());
}

void TestSettingsDialog::storedValuesApplied_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");  // empty: the box's first item

    QTest::newRow("baud 57600") << "baudRate" << "57600" << "57600";
    QTest::newRow("address 12") << "address" << "12" << "12";
    QTest::newRow("address 247") << "address" << "247" << "247";
    QTest::newRow("virtual port") << "portName" << virtualPortB << virtualPortB;
    QTest::newRow("baud 300") << "baudRate" << "300" << "";
    QTest::newRow("baud empty") << "baudRate" << "" << "";
    QTest::newRow("baud with space") << "baudRate" << "19200 " << "";
    QTest::newRow("address 0") << "address" << "0" << "";
    QTest::newRow("address 300") << "address" << "300" << "";
    QTest::newRow("address 012") << "address" << "012" << "";
    QTest::newRow("missing port") << "portName" << "COM7" << "";
    QTest::newRow("port case") << "portName" << QString(virtualPortB).toUpper() << "";
}

void TestSettingsDialog::storedValuesApplied()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    writeStore(key, stored);

    SettingsDialog dialog;
    const char *name = key == "portName" ? "serialPortInfoListBox"
                     : key == "baudRate" ? "baudRateBox" : "addressBox";
    QComboBox *combo = box(dialog, name);
    QCOMPARE(combo->currentText(), shown.isEmpty() ? combo->itemText(0) : shown);

    const Settings settings = dialog.settings();
    QCOMPARE(settings.portName, box(dialog, "serialPortInfoListBox")->currentText());
    QCOMPARE(settings.baudRate, box(dialog, "baudRateBox")->currentText().toInt());
    QCOMPARE(settings.address, box(dialog, "addressBox")->currentText().toInt());
    QCOMPARE(store().value(key).toString(), stored); // left as it was
}

void TestSettingsDialog::okStoresAndEndsModalRun()
{
    SettingsDialog dialog;
    box(dialog, "serialPortInfoListBox")->setCurrentText(virtualPortA);
    box(dialog, "baudRateBox")->setCurrentText("115200");
    box(dialog, "addressBox")->setCurrentText("247");

    bool clicked = false;
    QTimer::singleShot(0, &dialog, [&] {
        clicked = true;
        QTest::mouseClick(dialog.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    });
    QTimer::singleShot(5000, &dialog, &QDialog::reject); // a hang fails instead of blocking
    QElapsedTimer elapsed;
    elapsed.start();
    dialog.exec();
    QVERIFY(clicked);
    QVERIFY(elapsed.elapsed() < 4000);
    QVERIFY(!dialog.isVisible());

    QSettings settings = store();
    QCOMPARE(settings.value("portName").toString(), QString(virtualPortA));
    QCOMPARE(settings.value("baudRate").toString(), QString("115200"));
    QCOMPARE(settings.value("address").toString(), QString("247"));
    QCOMPARE(dialog.settings().portName, QString(virtualPortA));
    QCOMPARE(dialog.settings().baudRate, 115200);
    QCOMPARE(dialog.settings().address, 247);
}

void TestSettingsDialog::escapeKeepsStoreAndSettings()
{
    writeStore("address", "12");
    SettingsDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    box(dialog, "baudRateBox")->setCurrentText("2400");
    box(dialog, "addressBox")->setCurrentText("5");
    QTest::keyClick(&dialog, Qt::Key_Escape);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.settings().baudRate, 9600);
    QCOMPARE(dialog.settings().address, 12);
    QCOMPARE(store().allKeys(), QStringList("address"));
    QCOMPARE(store().value("address").toString(), QString("12"));

    // The boxes kept the user's selection, so a later "Ок" takes it over.
    QCOMPARE(box(dialog, "addressBox")->currentText(), QString("5"));
    QTest::mouseClick(dialog.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    QCOMPARE(dialog.settings().baudRate, 2400);
    QCOMPARE(dialog.settings().address, 5);
    QCOMPARE(store().value("baudRate").toString(), QString("2400"));
}

// One program confirms; the other, started later, shows that choice.
void TestSettingsDialog::storeIsSharedBetweenDialogs()
{
    SettingsDialog editorDialog;
    SettingsDialog consoleDialog;
    box(editorDialog, "serialPortInfoListBox")->setCurrentText(virtualPortB);
    box(editorDialog, "baudRateBox")->setCurrentText("38400");
    box(editorDialog, "addressBox")->setCurrentText("77");
    QTest::mouseClick(editorDialog.findChild<QPushButton *>("applyButton"), Qt::LeftButton);

    QCOMPARE(consoleDialog.settings().baudRate, 9600); // read at construction only
    SettingsDialog laterDialog;
    QCOMPARE(laterDialog.settings().portName, QString(virtualPortB));
    QCOMPARE(laterDialog.settings().baudRate, 38400);
    QCOMPARE(laterDialog.settings().address, 77);
}

void TestSettingsDialog::portDetails_data()
{
    QTest::addColumn<QStringList>("in");     // name, description, manufacturer, serial, location
    QTest::addColumn<int>("vendor");
    QTest::addColumn<int>("product");
    QTest::addColumn<QStringList>("out");

    QTest::newRow("usb adapter")
        << QStringList{ "ttyUSB0", "FT232R", "FTDI", "A50285BI", "/dev/ttyUSB0" } << 0x0403 << 0x6001
        << QStringList{ "ttyUSB0", "FT232R", "FTDI", "A50285BI", "/dev/ttyUSB0", "403", "6001" };
    QTest::newRow("no manufacturer")
        << QStringList{ "COM3", "Port", "", "X1", "\\\\.\\COM3" } << 0x067b << 0x2303
        << QStringList{ "COM3", "Port", "N/A", "X1", "\\\\.\\COM3", "67b", "2303" };
    QTest::newRow("all blank")
        << QStringList{ "COM1", "", "", "", "" } << 0 << 0
        << QStringList{ "COM1", "N/A", "N/A", "N/A", "", "N/A", "N/A" };
    QTest::newRow("lower-case hex")
        << QStringList{ "ttyACM0", "d", "m", "s", "/dev/ttyACM0" } << 0xABCD << 0xFFFF
        << QStringList{ "ttyACM0", "d", "m", "s", "/dev/ttyACM0", "abcd", "ffff" };
    QTest::newRow("one digit")
        << QStringList{ "p", "d", "m", "s", "l" } << 0x1 << 0x10
        << QStringList{ "p", "d", "m", "s", "l", "1", "10" };
}

void TestSettingsDialog::portDetails()
{
    QFETCH(QStringList, in);
    QFETCH(int, vendor);
    QFETCH(int, product);
    QFETCH(QStringList, out);
    QCOMPARE(SettingsDialog::portDetails(in[0], in[1], in[2], in[3], in[4], quint16(vendor),
                                         quint16(product)),
             out);
}

void TestSettingsDialog::portLabelsShowDetails()
{
    SettingsDialog dialog;
    QComboBox *ports = box(dialog, "serialPortInfoListBox");
    ports->setCurrentText(virtualPortA);
    const auto label = [&dialog](const char *name) {
        return dialog.findChild<QLabel *>(name)->text();
    };
    QCOMPARE(label("descriptionLabel"), QString("Description: N/A"));
    QCOMPARE(label("manufacturerLabel"), QString("Manufacturer: N/A"));
    QCOMPARE(label("serialNumberLabel"), QString("Serial number: N/A"));
    QCOMPARE(label("locationLabel"), QString("Location: %1").arg(virtualPortA));
    QCOMPARE(label("vidLabel"), QString("Vendor Identifier: N/A"));
    QCOMPARE(label("pidLabel"), QString("Product Identifier: N/A"));
}

void TestSettingsDialog::extraPortsFromEnvironment()
{
    QCOMPARE(SettingsDialog::extraPortPaths(),
             QStringList({ virtualPortA, virtualPortB, virtualPortA }));

    SettingsDialog dialog;
    QComboBox *ports = box(dialog, "serialPortInfoListBox");
    QCOMPARE(ports->itemText(enumeratedPorts), QString(virtualPortA));
    QCOMPARE(ports->itemText(enumeratedPorts + 1), QString(virtualPortB));
    QCOMPARE(ports->itemData(enumeratedPorts + 1).toStringList(),
             QStringList({ virtualPortB, "N/A", "N/A", "N/A", virtualPortB, "N/A", "N/A" }));
    const auto enumerated = QSerialPortInfo::availablePorts();
    for (int i = 0; i < enumerated.size(); ++i)
        QCOMPARE(ports->itemText(i), enumerated.at(i).portName());

    qputenv("TARVIK_PORTS", "");
    SettingsDialog withoutExtras;
    QCOMPARE(box(withoutExtras, "serialPortInfoListBox")->count(), enumeratedPorts);
    qputenv("TARVIK_PORTS", QByteArray(virtualPortA) + ":" + virtualPortB + ":" + virtualPortA);
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
