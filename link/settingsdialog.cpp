#include "settingsdialog.h"
#include "settingsstore.h"
#include "ui_settingsdialog.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QMessageBox>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace {

const QString &blankString()
{
    static const QString text = SettingsDialog::tr("N/A");
    return text;
}

QString textOrBlank(const QString &text)
{
    return text.isEmpty() ? blankString() : text;
}

QString identifierText(quint16 id)
{
    return id ? QString::number(id, 16) : blankString();
}

// Makes the item with exactly this text current; any other text changes nothing.
void selectText(QComboBox *box, const QString &text)
{
    if (text.isEmpty())
        return;
    const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        box->setCurrentIndex(index);
}

} // namespace

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent),
      ui(new Ui::SettingsDialog),
      intValidator(new QIntValidator(0, 4000000, this))
{
    ui->setupUi(this);
    ui->baudRateBox->setInsertPolicy(QComboBox::NoInsert);

    connect(ui->applyButton, &QPushButton::clicked, this, &SettingsDialog::apply);
    connect(ui->serialPortInfoListBox, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &SettingsDialog::showPortInfo);
    connect(ui->baudRateBox, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &SettingsDialog::checkCustomBaudRatePolicy);
    ui->linkKindBox->addItem(QStringLiteral("COM-порт"), SettingsStore::serialLink());
    ui->linkKindBox->addItem(QStringLiteral("Modbus TCP"), SettingsStore::tcpLink());
    connect(ui->linkKindBox, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &SettingsDialog::showLinkKind);

    for (int address = 1; address <= 247; ++address)
        ui->addressBox->addItem(QString::number(address));
    fillParameters();
    fillPortsInfo();
    loadStoredChoice();
    showLinkKind();
    updateSettings();
}

SettingsDialog::~SettingsDialog()
{
    delete ui;
}

Settings SettingsDialog::settings() const
{
    return currentSettings;
}

QStringList SettingsDialog::portDetails(const QString &name, const QString &description,
                                        const QString &manufacturer, const QString &serialNumber,
                                        const QString &location, quint16 vendorId,
                                        quint16 productId)
{
    return { name, textOrBlank(description), textOrBlank(manufacturer),
             textOrBlank(serialNumber), location, identifierText(vendorId),
             identifierText(productId) };
}

QStringList SettingsDialog::extraPortPaths()
{
#ifdef Q_OS_WIN
    const QChar separator = QLatin1Char(';');
#else
    const QChar separator = QLatin1Char(':');
#endif
    const QString list = qEnvironmentVariable("TARVIK_PORTS");
    return list.split(separator, Qt::SkipEmptyParts);
}

void SettingsDialog::showPortInfo(int index)
{
    if (index == -1)
        return;
    const QStringList list = ui->serialPortInfoListBox->itemData(index).toStringList();
    // A port item always carries seven texts; anything shorter shows blanks.
    const auto detail = [&list](int i) { return list.value(i, blankString()); };
    ui->descriptionLabel->setText(tr("Description: %1").arg(detail(1)));
    ui->manufacturerLabel->setText(tr("Manufacturer: %1").arg(detail(2)));
    ui->serialNumberLabel->setText(tr("Serial number: %1").arg(detail(3)));
    ui->locationLabel->setText(tr("Location: %1").arg(detail(4)));
    ui->vidLabel->setText(tr("Vendor Identifier: %1").arg(detail(5)));
    ui->pidLabel->setText(tr("Product Identifier: %1").arg(detail(6)));
}

QString SettingsDialog::choiceProblem() const
{
    if (!tcpChosen())
        return QString();
    const QString hostProblem = LinkTarget::hostProblem(ui->hostEdit->text().trimmed());
    if (!hostProblem.isEmpty())
        return hostProblem;
    bool isNumber = false;
    const int port = ui->tcpPortEdit->text().trimmed().toInt(&isNumber);
    return LinkTarget::portProblem(isNumber ? port : 0);
}

void SettingsDialog::apply()
{
    const QString problem = choiceProblem();
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
        return;
    }
    SettingsStore::Choice choice{ ui->serialPortInfoListBox->currentText(),
                                  ui->baudRateBox->currentText(), ui->addressBox->currentText() };
    choice.link = ui->linkKindBox->currentData().toString();
    choice.tcpHost = ui->hostEdit->text().trimmed();
    choice.tcpPort = QString::number(ui->tcpPortEdit->text().trimmed().toInt());
    choice.tcpTimeout = QString::number(ui->responseTimeoutBox->value());
    SettingsStore::save(choice);
    updateSettings();
    hide();
}

// Only the fields of the chosen kind of link can be changed.
void SettingsDialog::showLinkKind()
{
    const bool tcp = tcpChosen();
    ui->selectBox->setEnabled(!tcp);
    ui->baudRateBox->setEnabled(!tcp);
    for (QWidget *field : { static_cast<QWidget *>(ui->hostEdit), static_cast<QWidget *>(ui->tcpPortEdit),
                            static_cast<QWidget *>(ui->responseTimeoutBox) })
        field->setEnabled(tcp);
    ui->addressBox->setToolTip(tcp ? QStringLiteral("Адрес контроллера за шлюзом (идентификатор устройства Modbus TCP)")
                                   : QString());
}

bool SettingsDialog::tcpChosen() const
{
    return ui->linkKindBox->currentData().toString() == SettingsStore::tcpLink();
}

void SettingsDialog::checkCustomBaudRatePolicy(int index)
{
    if (index == -1)
        return;
    const bool isCustom = !ui->baudRateBox->itemData(index).isValid();
    ui->baudRateBox->setEditable(isCustom);
    if (isCustom) {
        ui->baudRateBox->clearEditText();
        ui->baudRateBox->lineEdit()->setValidator(intValidator);
    }
}

void SettingsDialog::fillParameters()
{
    for (int rate : { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 })
        ui->baudRateBox->addItem(QString::number(rate), rate);

    ui->dataBitsBox->addItem(QStringLiteral("5"), QSerialPort::Data5);
    ui->dataBitsBox->addItem(QStringLiteral("6"), QSerialPort::Data6);
    ui->dataBitsBox->addItem(QStringLiteral("7"), QSerialPort::Data7);
    ui->dataBitsBox->addItem(QStringLiteral("8"), QSerialPort::Data8);
    ui->dataBitsBox->setCurrentIndex(3);

    ui->parityBox->addItem(tr("None"), QSerialPort::NoParity);
    ui->parityBox->addItem(tr("Even"), QSerialPort::EvenParity);
    ui->parityBox->addItem(tr("Odd"), QSerialPort::OddParity);
    ui->parityBox->addItem(tr("Mark"), QSerialPort::MarkParity);
    ui->parityBox->addItem(tr("Space"), QSerialPort::SpaceParity);

    ui->stopBitsBox->addItem(QStringLiteral("1"), QSerialPort::OneStop);
    ui->stopBitsBox->addItem(tr("1.5"), QSerialPort::OneAndHalfStop);
    ui->stopBitsBox->addItem(QStringLiteral("2"), QSerialPort::TwoStop);

    ui->flowControlBox->addItem(tr("None"), QSerialPort::NoFlowControl);
    ui->flowControlBox->addItem(tr("RTS/CTS"), QSerialPort::HardwareControl);
    ui->flowControlBox->addItem(tr("XON/XOFF"), QSerialPort::SoftwareControl);
}

void SettingsDialog::fillPortsInfo()
{
    ui->serialPortInfoListBox->clear();
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        addPort(info.portName(),
                portDetails(info.portName(), info.description(), info.manufacturer(),
                            info.serialNumber(), info.systemLocation(),
                            info.hasVendorIdentifier() ? info.vendorIdentifier() : 0,
                            info.hasProductIdentifier() ? info.productIdentifier() : 0));
    }
    const QStringList paths = extraPortPaths();
    for (const QString &path : paths)
        addPort(path, portDetails(path, QString(), QString(), QString(), path, 0, 0));
}

// The same text twice would make the stored choice ambiguous.
void SettingsDialog::addPort(const QString &name, const QStringList &details)
{
    if (ui->serialPortInfoListBox->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        ui->serialPortInfoListBox->addItem(name, details);
}

void SettingsDialog::loadStoredChoice()
{
    const SettingsStore::Choice stored = SettingsStore::load();
    selectText(ui->serialPortInfoListBox, stored.portName);
    selectText(ui->baudRateBox, stored.baudRate);
    selectText(ui->addressBox, stored.address);
    // Anything but a TCP link, including an older store without the key, is serial.
    ui->linkKindBox->setCurrentIndex(stored.link == SettingsStore::tcpLink() ? 1 : 0);
    ui->hostEdit->setText(stored.tcpHost);
    bool isNumber = false;
    const int port = stored.tcpPort.toInt(&isNumber);
    if (isNumber && LinkTarget::portProblem(port).isEmpty())
        ui->tcpPortEdit->setText(QString::number(port));
    const int timeout = stored.tcpTimeout.toInt(&isNumber);
    if (isNumber && timeout >= ui->responseTimeoutBox->minimum() && timeout <= ui->responseTimeoutBox->maximum())
        ui->responseTimeoutBox->setValue(timeout);
}

void SettingsDialog::updateSettings()
{
    currentSettings.portName = ui->serialPortInfoListBox->currentText();
    currentSettings.baudRate = ui->baudRateBox->currentText().toInt();
    currentSettings.address = ui->addressBox->currentText().toInt();
    currentSettings.tcp = tcpChosen();
    currentSettings.host = ui->hostEdit->text().trimmed();
    currentSettings.tcpPort = ui->tcpPortEdit->text().trimmed().toInt();
    currentSettings.responseTimeoutMs = ui->responseTimeoutBox->value();
}
