#include "settingsdialog.h"
#include "settingsstore.h"

#include <QSerialPortInfo>
#include <QtTest>
#include <QtWidgets>

namespace {

const QString portA = QStringLiteral("/tmp/tarvik-test-a");
const QString portB = QStringLiteral("/tmp/tarvik-test-b");

QComboBox *box(const SettingsDialog &dialog, const char *name)
{
    return dialog.findChild<QComboBox *>(QLatin1String(name));
}

QSettings store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
}

// The boxes' port, baud and address, then settings() the same way.
QString choiceText(const SettingsDialog &dialog)
{
    const Settings s = dialog.settings();
    QStringList texts;
    for (const char *name : { "serialPortInfoListBox", "baudRateBox", "addressBox" })
        texts << box(dialog, name)->currentText();
    return texts.join(' ') + QString(" | %1 %2 %3").arg(s.portName).arg(s.baudRate).arg(s.address);
}

// Presses "Ок" and returns the text of the message box it brought up, if any.
QString pressOk(SettingsDialog &dialog)
{
    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    QTest::mouseClick(dialog.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    QCoreApplication::processEvents();
    return shown;
}

// The dialog's choice of a TCP link, as the boxes show it and as settings() has it.
QString tcpText(const SettingsDialog &dialog)
{
    const Settings s = dialog.settings();
    const QStringList shown = { box(dialog, "linkKindBox")->currentText(),
                                dialog.findChild<QLineEdit *>("hostEdit")->text(),
                                dialog.findChild<QLineEdit *>("tcpPortEdit")->text(),
                                dialog.findChild<QSpinBox *>("responseTimeoutBox")->text() };
    return shown.join(' ') + QString(" | %1 %2 %3 %4 %5").arg(s.tcp).arg(s.host).arg(s.tcpPort)
                                 .arg(s.responseTimeoutMs).arg(s.address);
}

const char probeVariable[] = "TARVIK_SETTINGS_PROBE";

// Stands in for a program: one line "probe <role> <port> <baud> <address>".
int probe(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString role = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("console");
    SettingsDialog dialog;
    const Settings s = dialog.settings();
    QTextStream(stdout) << "probe " << role << ' ' << s.portName << ' ' << s.baudRate << ' '
                        << s.address << Qt::endl;
    return 0;
}

} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    // A store in a temporary folder; two extra ports, named with empty parts and a repeat.
    void initTestCase()
    {
        static QTemporaryDir storeDir;
        QVERIFY(storeDir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
        qputenv("TARVIK_PORTS", QString(":%1::%2:%1").arg(portA, portB).toLocal8Bit());
    }

    void init() { store().clear(); }

    // Port and baud items; in form order the texts a user sees and the boxes' choices: only
    // port, baud, address and kind of link can be chosen, none typed in (an edit field would
    // show); the TCP fields are off while the serial port is chosen.
    void form()
    {
        SettingsDialog dialog;
        QStringList texts;
        for (QComboBox *combo : { box(dialog, "serialPortInfoListBox"), box(dialog, "baudRateBox") }) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        }
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            QCOMPARE(texts.isEmpty() ? QString() : texts.takeFirst(), info.portName());
        QCOMPARE(texts.join(' '), portA + ' ' + portB + " 1200 2400 4800 9600 19200 38400 57600 115200");

        box(dialog, "serialPortInfoListBox")->setCurrentText(portB);
        box(dialog, "baudRateBox")->setCurrentIndex(7);
        texts = QStringList{ dialog.windowTitle() };
        for (QWidget *widget : dialog.findChildren<QWidget *>()) {
            auto *combo = qobject_cast<QComboBox *>(widget);
            const QString text = widget->property("title").toString() + widget->property("text").toString();
            if (combo || !text.isEmpty())
                texts << (widget->isEnabled() ? "" : "off ") + (combo ? combo->currentText() : text);
        }
        QCOMPARE(texts.join('|'), "Настройки|Выбор порта|" + portB + "|Description: N/A"
                 "|Manufacturer: N/A|Serial number: N/A|Location: " + portB + "|Vendor Identifier: N/A"
                 "|Product Identifier: N/A|Выбор параметров|BaudRate:|115200|Data bits:|off 8"
                 "|Parity:|off None|Stop bits:|off 1|Flow control:|off None|Адрес|1"
                 "|Подключение|COM-порт|Адрес|TCP порт|off 502|Ожидание ответа, мс|off 1000|off 1000|Ок");
        // Blanks but the location become "N/A", identifiers lower-case hexadecimal, unpadded.
        QCOMPARE(SettingsDialog::portDetails("COM3", "Port", "", "A5", "", 0x0403, 0xABCD),
                 QStringList({ "COM3", "Port", "N/A", "A5", "", "403", "abcd" }));
    }

    // Only an item with exactly the stored text (port, baud, address) is chosen; else the first.
    void storedValuesApplied()
    {
        const QString none = box(SettingsDialog(), "serialPortInfoListBox")->itemText(0) + " 1200 1";
        const struct { QStringList stored; QString shown; } cases[] = {
            { { portB, "57600", "247" }, portB + " 57600 247" }, { { "COM7", "300", "0" }, none },
            { { portB.toUpper(), "19200 ", "012" }, none }, { { "", "", "248" }, none },
        };
        for (const auto &c : cases) {
            for (int i = 0; i < 3; ++i)
                store().setValue(QStringList{ "portName", "baudRate", "address" }.at(i), c.stored.at(i));
            QCOMPARE(choiceText(SettingsDialog()), c.shown + " | " + c.shown);
        }
    }

    // Opening and Escape change neither store nor settings, yet the boxes keep the choice,
    // which "Ок" stores. A dialog built later (the other program) shows it, an earlier one not.
    void onlyOkStoresTheChoice()
    {
        store().setValue("address", "12");
        SettingsDialog builtEarlier;
        SettingsDialog dialog;
        const QString first = box(dialog, "serialPortInfoListBox")->itemText(0) + " 9600 12";
        const QString choice = portB + " 115200 247";
        dialog.show();
        box(dialog, "serialPortInfoListBox")->setCurrentText(portB);
        box(dialog, "baudRateBox")->setCurrentText("115200");
        box(dialog, "addressBox")->setCurrentText("247");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(store().allKeys(), QStringList{ "address" });
        QCOMPARE(choiceText(dialog), choice + " | " + first);
        QCOMPARE(choiceText(SettingsDialog()), first + " | " + first);

        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton *>("applyButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(choiceText(dialog), choice + " | " + choice);
        QCOMPARE(choiceText(builtEarlier), first + " | " + first);
        QCOMPARE(choiceText(SettingsDialog()), choice + " | " + choice);
    }

    // A TCP choice is stored beside the serial keys, which an older program still
    // reads, and comes back whole; a store without the new keys reads as serial. Only
    // the chosen kind's fields can be changed.
    void tcpChoiceRoundTripsBesideTheSerialOne()
    {
        QTemporaryDir dir;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        QVERIFY(SettingsStore::save({ portB, "57600", "12" }));
        for (const char *key : { "link", "tcpHost", "tcpPort", "tcpTimeout" })
            store().remove(key);
        SettingsDialog old;
        QCOMPARE(tcpText(old), QString("COM-порт  502 1000 | 0  502 1000 12"));
        QVERIFY(old.findChild<QGroupBox *>("selectBox")->isEnabled());
        QVERIFY(!old.findChild<QLineEdit *>("hostEdit")->isEnabled());

        old.show();
        box(old, "linkKindBox")->setCurrentText("Modbus TCP");
        QVERIFY(!old.findChild<QGroupBox *>("selectBox")->isEnabled() && !box(old, "baudRateBox")->isEnabled());
        old.findChild<QLineEdit *>("hostEdit")->setText(" gw-7.example.org ");
        old.findChild<QLineEdit *>("tcpPortEdit")->setText("1502");
        old.findChild<QSpinBox *>("responseTimeoutBox")->setValue(2500);
        box(old, "addressBox")->setCurrentText("200");
        QCOMPARE(pressOk(old), QString());
        QVERIFY(!old.isVisible());
        QCOMPARE(QStringList({ store().value("portName").toString(), store().value("baudRate").toString(),
                               store().value("address").toString(), store().value("link").toString() }),
                 QStringList({ portB, "57600", "200", "tcp" }));
        const SettingsDialog later;
        QCOMPARE(tcpText(later), QString("Modbus TCP gw-7.example.org 1502 2500 | 1 gw-7.example.org 1502 2500 200"));
        const LinkTarget target = later.settings().linkTarget();
        QCOMPARE(target.peerName() + QString(" %1 %2").arg(target.slave).arg(target.isTcp()),
                 QString("gw-7.example.org:1502 200 1"));

        box(old, "linkKindBox")->setCurrentText("COM-порт");
        QCOMPARE(pressOk(old), QString());
        QCOMPARE(SettingsDialog().settings().linkTarget().isTcp(), false);
    }

    // Bad host text or a port outside 1-65535 is refused with a message; nothing is
    // stored and settings() keeps the last good choice. A serial choice is never refused.
    void badHostOrPortIsRefused()
    {
        QTemporaryDir dir;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        SettingsDialog dialog;
        dialog.show();
        box(dialog, "linkKindBox")->setCurrentText("Modbus TCP");
        const QString badPort = "TCP порт должен быть числом от 1 до 65535.";
        const struct { const char *host; const char *port; QString message; } cases[] = {
            { "", "502", "Не указан адрес шлюза." },
            { "gw 7", "502", "«gw 7» не является ни именем узла, ни адресом IPv4 или IPv6." },
            { "http://gw", "502", "«http://gw» не является ни именем узла, ни адресом IPv4 или IPv6." },
            { "127.0.0.256", "502", "«127.0.0.256» не является ни именем узла, ни адресом IPv4 или IPv6." },
            { "fe80::1::2", "502", "Адрес «fe80::1::2» не является адресом IPv6." },
            { "-gw", "502", "«-gw» не является ни именем узла, ни адресом IPv4 или IPv6." },
            { "gw", "0", badPort }, { "gw", "65536", badPort }, { "gw", "5o2", badPort }, { "gw", "", badPort },
        };
        for (const auto &c : cases) {
            dialog.findChild<QLineEdit *>("hostEdit")->setText(c.host);
            dialog.findChild<QLineEdit *>("tcpPortEdit")->setText(c.port);
            QCOMPARE(pressOk(dialog), c.message);
            QVERIFY(dialog.isVisible());
            QCOMPARE(store().allKeys(), QStringList());
            QCOMPARE(dialog.settings().tcp, false);
        }
        for (const char *good : { "::1", "127.0.0.7", "gw.", "localhost" }) {
            dialog.findChild<QLineEdit *>("hostEdit")->setText(good);
            dialog.findChild<QLineEdit *>("tcpPortEdit")->setText("65535");
            QCOMPARE(pressOk(dialog), QString());
            QCOMPARE(dialog.settings().host, QString(good));
            dialog.show();
        }
        box(dialog, "linkKindBox")->setCurrentText("COM-порт");
        dialog.findChild<QLineEdit *>("tcpPortEdit")->setText("0");
        QCOMPARE(pressOk(dialog), QString());
        QVERIFY(!dialog.isVisible() && !dialog.settings().tcp);
    }

    // The demo script run with this program (see probe()) in the places of both: each
    // dialog comes up on its own simulator port, 9600 baud, address 1, as the demo preset.
    void demoPresetIsWhatTheDialogReads()
    {
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString self = QCoreApplication::applicationFilePath();
        env.insert(QStringLiteral("BUILD_DIR"), QStringLiteral(TARVIK_BUILD_DIR));
        env.insert(QStringLiteral("TARVIK_DEMO_EDITOR"), self);
        env.insert(QStringLiteral("TARVIK_DEMO_CONSOLE"), self);
        env.insert(QString::fromLatin1(probeVariable), QStringLiteral("1"));
        demo.setProcessEnvironment(env);
        demo.start(QStringLiteral("bash"),
                   { QStringLiteral(TARVIK_SOURCE_DIR "/scripts/demo.sh"), QStringLiteral("editor") });
        QVERIFY(demo.waitForFinished(120000));
        const QString output = QString::fromLocal8Bit(demo.readAllStandardOutput());
        QVERIFY2(demo.exitCode() == 0, qPrintable(output + demo.readAllStandardError()));

        const QRegularExpression ports(QStringLiteral("Controller simulator: (\\S+) \\(editor\\), (\\S+) \\(console\\)"));
        const QRegularExpressionMatch match = ports.match(output);
        QVERIFY2(match.hasMatch(), qPrintable(output));
        QStringList probes = output.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^probe ")));
        probes.sort();
        QCOMPARE(probes, QStringList({ QStringLiteral("probe console %1 9600 1").arg(match.captured(2)),
                                       QStringLiteral("probe editor %1 9600 1").arg(match.captured(1)) }));
    }

    // The preset goes where a program with that configuration folder looks, and
    // the process's own store stays where it was.
    void presetLandsInTheNamedFolderOnly()
    {
        QTemporaryDir own, other;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, own.path());
        QVERIFY(SettingsStore::save({ "COM1", "1200", "7" }));
        QVERIFY(SettingsStore::saveUnder(other.path(), { "/tmp/port", "57600", "12" }));
        QCOMPARE(SettingsStore::load().address, QStringLiteral("7"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, other.path());
        const SettingsStore::Choice preset = SettingsStore::load();
        QCOMPARE(QStringList({ preset.portName, preset.baudRate, preset.address }),
                 QStringList({ "/tmp/port", "57600", "12" }));
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(probeVariable))
        return probe(argc, argv);
    QApplication app(argc, argv);
    TestSettingsDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsdialog.moc"
