#include "settingsdialog.h"

#include <QSerialPortInfo>
#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

const QString portA = QStringLiteral("/tmp/tarvik-test-a");
const QString portB = QStringLiteral("/tmp/tarvik-test-b");

QComboBox *box(const SettingsDialog &dialog, const char *name)
{
    auto *found = dialog.findChild<QComboBox *>(QLatin1String(name));
    if (!found)
        qFatal("no combo box %s", name);
    return found;
}

QSettings store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
}

// The store's keys, which come sorted, and values: "address=12 baudRate=2400".
QString storeText()
{
    QSettings settings = store();
    QStringList pairs;
    for (const QString &key : settings.allKeys())
        pairs << key + '=' + settings.value(key).toString();
    return pairs.join(' ');
}

// The boxes' port, baud and address, then settings() the same way.
QString choiceText(const SettingsDialog &dialog)
{
    const Settings settings = dialog.settings();
    return QStringLiteral("%1 %2 %3 | %4 %5 %6")
            .arg(box(dialog, "serialPortInfoListBox")->currentText(),
                 box(dialog, "baudRateBox")->currentText(), box(dialog, "addressBox")->currentText(),
                 settings.portName, QString::number(settings.baudRate),
                 QString::number(settings.address));
}

// A box's items as text=data, the current one starred; "off" first when the
// box is disabled, "editable" last when it is.
QString itemsText(const QComboBox *combo)
{
    QString text = combo->isEnabled() ? "" : "off";
    for (int i = 0; i < combo->count(); ++i) {
        text += QString(i == combo->currentIndex() ? " *%1=%2" : " %1=%2")
                        .arg(combo->itemText(i), combo->itemData(i).toString());
    }
    return combo->isEditable() ? text + " editable" : text;
}

// What a layout holds: widgets by object name with their title or text in
// braces, grid rows split by "/", the contents of group boxes and nested
// layouts in brackets.
QString layoutText(QLayout *layout)
{
    const auto text = [](QLayoutItem *item) -> QString {
        QWidget *widget = item ? item->widget() : nullptr;
        auto *group = qobject_cast<QGroupBox *>(widget);
        QLayout *inner = group ? group->layout() : item ? item->layout() : nullptr;
        QString name = !item ? "-" : widget ? widget->objectName() : inner ? "" : "spacer";
        const QVariant caption = widget ? widget->property(group ? "title" : "text") : QVariant();
        if (caption.isValid())
            name += '{' + caption.toString() + '}';
        return inner ? name + '(' + layoutText(inner) + ')' : name;
    };
    QStringList parts;
    auto *grid = qobject_cast<QGridLayout *>(layout);
    for (int row = 0; grid && row < grid->rowCount(); ++row) {
        for (int column = 0; column < grid->columnCount(); ++column)
            parts << text(grid->itemAtPosition(row, column));
        parts << "/";
    }
    for (int i = 0; !grid && i < layout->count(); ++i)
        parts << text(layout->itemAt(i));
    return parts.join(' ').chopped(grid ? 2 : 0);
}

} // namespace

// Every case gets its own empty store in a temporary folder, and the port list
// always ends with two virtual ports named in TARVIK_PORTS.
class TestSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void form();
    void storedValuesApplied_data();
    void storedValuesApplied();
    void onlyOkStoresTheChoice();
    void portDetails();

private:
    std::unique_ptr<QTemporaryDir> storeDir;
};

// Empty parts and a repeat, which the port list must drop.
void TestSettingsDialog::initTestCase()
{
    qputenv("TARVIK_PORTS", QString(":%1::%2:%1").arg(portA, portB).toLocal8Bit());
}

void TestSettingsDialog::init()
{
    storeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(storeDir->isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir->path());
}

// What the dialog shows after construction with an empty store.
void TestSettingsDialog::form()
{
    SettingsDialog dialog;
    QCOMPARE(dialog.size(), QSize(281, 244));
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("Настройки"));

    // Enumerated ports in their order, then the extra ones without repeats.
    QComboBox *ports = box(dialog, "serialPortInfoListBox");
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    QStringList items;
    for (int i = 0; i < ports->count(); ++i)
        items << ports->itemText(i);
    QCOMPARE(items, names + QStringList({ portA, portB }));
    QCOMPARE(ports->itemData(names.size() + 1).toStringList(),
             QStringList({ portB, "N/A", "N/A", "N/A", portB, "N/A", "N/A" }));

    // The labels show the selected port's details. "Ок" is spelt with Cyrillic letters.
    ports->setCurrentText(portB);
    QCOMPARE(layoutText(dialog.layout()),
             "selectBox{Выбор порта}(serialPortInfoListBox / descriptionLabel{Description: N/A}"
             " / manufacturerLabel{Manufacturer: N/A} / serialNumberLabel{Serial number: N/A}"
             " / locationLabel{Location: " + portB + "} / vidLabel{Vendor Identifier: N/A}"
             " / pidLabel{Product Identifier: N/A})"
             " parametersBox{Выбор параметров}(baudRateLabel{BaudRate:} baudRateBox"
             " / dataBitsLabel{Data bits:} dataBitsBox / parityLabel{Parity:} parityBox"
             " / stopBitsLabel{Stop bits:} stopBitsBox / flowControlLabel{Flow control:} flowControlBox)"
             " / groupBox{Адрес}(addressBox) (spacer applyButton{Ок})");

    // Only the port, baud and address boxes are enabled; none is editable, not
    // even after choosing the last baud rate.
    box(dialog, "baudRateBox")->setCurrentIndex(7);
    const struct { const char *name; const char *items; } expected[] = {
        { "baudRateBox", " 1200=1200 2400=2400 4800=4800 9600=9600 19200=19200 38400=38400"
                         " 57600=57600 *115200=115200" },
        { "dataBitsBox", "off 5=5 6=6 7=7 *8=8" },
        { "parityBox", "off *None=0 Even=2 Odd=3 Mark=5 Space=4" },
        { "stopBitsBox", "off *1=1 1.5=3 2=2" },
        { "flowControlBox", "off *None=0 RTS/CTS=1 XON/XOFF=2" },
    };
    for (const auto &e : expected)
        QCOMPARE(itemsText(box(dialog, e.name)), QString(e.items));

    QString addresses = " *1=";
    for (int address = 2; address <= 247; ++address)
        addresses += QStringLiteral(" %1=").arg(address);
    QCOMPARE(itemsText(box(dialog, "addressBox")), addresses);
}

void TestSettingsDialog::storedValuesApplied_data()
{
    QTest::addColumn<QStringList>("stored"); // port, baud, address; null: key absent
    QTest::addColumn<QString>("shown");      // "first" stands for the first port

    QTest::newRow("nothing") << QStringList{ {}, {}, {} } << "first 9600 1";
    QTest::newRow("listed") << QStringList{ portB, "57600", "247" } << portB + " 57600 247";
    QTest::newRow("unlisted") << QStringList{ "COM7", "300", "0" } << "first 1200 1";
    QTest::newRow("near misses") << QStringList{ portB.toUpper(), "19200 ", "012" }
                                 << "first 1200 1";
    QTest::newRow("empty, past 247") << QStringList{ "", "", "248" } << "first 1200 1";
}

// Reading the store never writes it; settings() follows the boxes.
void TestSettingsDialog::storedValuesApplied()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, shown);
    const QStringList keys = { "portName", "baudRate", "address" };
    for (int i = 0; i < keys.size(); ++i) {
        if (!stored.at(i).isNull())
            store().setValue(keys.at(i), stored.at(i));
    }
    const QString before = storeText();

    SettingsDialog dialog;
    shown.replace("first", box(dialog, "serialPortInfoListBox")->itemText(0));
    QCOMPARE(choiceText(dialog), shown + " | " + shown);
    QCOMPARE(storeText(), before);
}

// Escape keeps store and settings, but the boxes keep the selection, which a
// later "Ок" stores, ending the modal run. A dialog built later (the other
// program) shows the choice, one built earlier does not.
void TestSettingsDialog::onlyOkStoresTheChoice()
{
    store().setValue("address", "12");
    SettingsDialog builtEarlier;
    SettingsDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    box(dialog, "serialPortInfoListBox")->setCurrentText(portB);
    box(dialog, "baudRateBox")->setCurrentText("115200");
    box(dialog, "addressBox")->setCurrentText("247");
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    const QString firstPort = box(dialog, "serialPortInfoListBox")->itemText(0);
    QCOMPARE(choiceText(dialog), portB + " 115200 247 | " + firstPort + " 9600 12");
    QCOMPARE(storeText(), QString("address=12"));

    QTimer::singleShot(0, &dialog, [&dialog] {
        QTest::mouseClick(dialog.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    });
    QTimer::singleShot(5000, &dialog, &QDialog::reject); // a hang fails instead of blocking
    QElapsedTimer elapsed;
    elapsed.start();
    dialog.exec();
    QVERIFY(elapsed.elapsed() < 4000);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(storeText(), "address=247 baudRate=115200 portName=" + portB);
    const QString choice = portB + " 115200 247";
    QCOMPARE(choiceText(dialog), choice + " | " + choice);
    QCOMPARE(choiceText(builtEarlier), firstPort + " 9600 12 | " + firstPort + " 9600 12");
    QCOMPARE(choiceText(SettingsDialog()), choice + " | " + choice);
}

// Blanks become "N/A", identifiers lower-case hexadecimal without padding.
void TestSettingsDialog::portDetails()
{
    QCOMPARE(SettingsDialog::portDetails("ttyUSB0", "FT232R", "FTDI", "A5", "/dev/ttyUSB0",
                                         0x0403, 0x6001),
             QStringList({ "ttyUSB0", "FT232R", "FTDI", "A5", "/dev/ttyUSB0", "403", "6001" }));
    QCOMPARE(SettingsDialog::portDetails("COM3", "Port", "", "X1", "\\\\.\\COM3", 0xABCD, 0x10),
             QStringList({ "COM3", "Port", "N/A", "X1", "\\\\.\\COM3", "abcd", "10" }));
    QCOMPARE(SettingsDialog::portDetails("COM1", "", "", "", "", 0, 0),
             QStringList({ "COM1", "N/A", "N/A", "N/A", "", "N/A", "N/A" }));
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
