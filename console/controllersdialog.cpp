#include "controllersdialog.h"
#include "ui_controllersdialog.h"

#include "settingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSerialPortInfo>

namespace {

enum Column { NameColumn, PortColumn, SpeedColumn, AddressColumn, PolledColumn };

const int baudRates[] = { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 };

// The name cell keeps a gateway row's response time-out, which has no column.
constexpr int TimeoutRole = Qt::UserRole;

} // namespace

ControllersDialog::ControllersDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ControllersDialog), ports(portChoices())
{
    ui->setupUi(this);
    ui->tableControllers->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    ui->tableControllers->verticalHeader()->setVisible(false);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &ControllersDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui->addButton, &QPushButton::clicked, this, &ControllersDialog::addRow);
    connect(ui->removeButton, &QPushButton::clicked, this, &ControllersDialog::removeRow);
    connect(ui->upButton, &QPushButton::clicked, this, &ControllersDialog::moveUp);
    connect(ui->downButton, &QPushButton::clicked, this, &ControllersDialog::moveDown);
}

ControllersDialog::~ControllersDialog()
{
    delete ui;
}

QStringList ControllersDialog::portChoices()
{
    QStringList names;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        names << info.portName();
    for (const QString &path : SettingsDialog::extraPortPaths()) {
        if (!names.contains(path))
            names << path;
    }
    return names;
}

void ControllersDialog::setControllers(const ControllerList &controllers)
{
    fill(controllers.entries(), 0);
    ui->labelProblem->clear();
}

ControllerList ControllersDialog::controllers() const
{
    QVector<ControllerEntry> entries;
    for (int row = 0; row < ui->tableControllers->rowCount(); ++row)
        entries << rowEntry(row);
    return ControllerList(entries);
}

void ControllersDialog::accept()
{
    const QString problem = controllers().problem();
    ui->labelProblem->setText(problem);
    if (problem.isEmpty())
        QDialog::accept();
}

// A new controller starts on the selected one's line, at the next free address.
void ControllersDialog::addRow()
{
    QVector<ControllerEntry> entries = controllers().entries();
    ControllerEntry entry;
    const int current = ui->tableControllers->currentRow();
    if (!entries.isEmpty()) {
        entry = entries.value(current < 0 ? entries.size() - 1 : current);
        entry.address = ControllerList::MinAddress;
        entry.polled = true;
    } else if (!ports.isEmpty()) {
        entry.portName = ports.first();
    }
    const auto taken = [&](int address) {
        for (const ControllerEntry &e : qAsConst(entries)) {
            if (e.linkKey() == entry.linkKey() && e.address == address)
                return true;
        }
        return false;
    };
    while (entry.address < ControllerList::MaxAddress && taken(entry.address))
        ++entry.address;
    entry.name = ControllerList::defaultName(entries.size() + 1);
    entries << entry;
    fill(entries, entries.size() - 1);
}

void ControllersDialog::removeRow()
{
    const int row = ui->tableControllers->currentRow();
    QVector<ControllerEntry> entries = controllers().entries();
    if (row < 0 || entries.size() <= 1)
        return; // the first link stays: the settings dialog edits it
    entries.removeAt(row);
    fill(entries, qMin(row, entries.size() - 1));
}

void ControllersDialog::moveUp()
{
    move(-1);
}

void ControllersDialog::moveDown()
{
    move(1);
}

void ControllersDialog::move(int by)
{
    const int row = ui->tableControllers->currentRow();
    QVector<ControllerEntry> entries = controllers().entries();
    if (row < 0 || row + by < 0 || row + by >= entries.size())
        return;
    std::swap(entries[row], entries[row + by]);
    fill(entries, row + by);
}

void ControllersDialog::fill(const QVector<ControllerEntry> &entries, int selectRow)
{
    QTableWidget *table = ui->tableControllers;
    table->clearContents();
    table->setRowCount(entries.size());
    for (int row = 0; row < entries.size(); ++row)
        setRow(row, entries.at(row));
    table->resizeColumnsToContents();
    // The stretched name column keeps room for a default name beside a wide gateway text.
    int width = table->fontMetrics().horizontalAdvance(ControllerList::defaultName(99)) + 24;
    for (int column = PortColumn; column <= PolledColumn; ++column)
        width += table->columnWidth(column);
    table->setMinimumWidth(width + 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width());
    if (selectRow >= 0 && selectRow < entries.size())
        table->selectRow(selectRow);
}

void ControllersDialog::setRow(int row, const ControllerEntry &entry)
{
    QTableWidget *table = ui->tableControllers;
    auto *name = new QTableWidgetItem(entry.name);
    if (entry.tcp)
        name->setData(TimeoutRole, entry.responseTimeoutMs);
    table->setItem(row, NameColumn, name);

    // Editable: a gateway is typed as host:port beside the listed ports.
    auto *port = new QComboBox;
    port->setEditable(true);
    port->setInsertPolicy(QComboBox::NoInsert);
    port->setToolTip(tr("Последовательный порт из списка или шлюз Modbus TCP в виде "
                        "«адрес:порт», например 192.168.1.10:502 или [fd00::5]:502"));
    port->addItems(ports);
    const QString linkName = entry.linkName();
    if (!linkName.isEmpty() && port->findText(linkName) < 0)
        port->addItem(linkName); // kept, as the line may come back
    port->setCurrentText(linkName);
    // Wide enough for a typed gateway, which the editor's margins would cut.
    int longest = 12;
    for (int i = 0; i < port->count(); ++i)
        longest = qMax(longest, port->itemText(i).size());
    port->setMinimumContentsLength(longest + 1);
    port->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    table->setCellWidget(row, PortColumn, port);

    auto *speed = new QComboBox;
    for (int rate : baudRates)
        speed->addItem(QString::number(rate), rate);
    const int speedIndex = speed->findData(entry.baudRate);
    speed->setCurrentIndex(speedIndex < 0 ? speed->findData(9600) : speedIndex);
    table->setCellWidget(row, SpeedColumn, speed);
    // A gateway sets its own line speed.
    const auto showKind = [this, speed](const QString &text) {
        ControllerEntry probe;
        ControllerList::setLinkText(probe, text, ports);
        speed->setEnabled(!probe.tcp);
        speed->setToolTip(probe.tcp ? tr("Скорость линии задаёт шлюз") : QString());
    };
    showKind(linkName);
    connect(port, &QComboBox::currentTextChanged, speed, showKind);

    auto *address = new QComboBox;
    for (int a = ControllerList::MinAddress; a <= ControllerList::MaxAddress; ++a)
        address->addItem(QString::number(a), a);
    address->setCurrentIndex(qBound(0, entry.address - ControllerList::MinAddress, address->count() - 1));
    table->setCellWidget(row, AddressColumn, address);

    auto *polled = new QCheckBox;
    polled->setChecked(entry.polled);
    auto *cell = new QWidget;
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignCenter);
    layout->addWidget(polled);
    table->setCellWidget(row, PolledColumn, cell);
}

ControllerEntry ControllersDialog::rowEntry(int row) const
{
    const QTableWidget *table = ui->tableControllers;
    ControllerEntry entry;
    const QTableWidgetItem *name = table->item(row, NameColumn);
    if (name)
        entry.name = name->text().trimmed();
    ControllerList::setLinkText(entry, static_cast<QComboBox *>(table->cellWidget(row, PortColumn))->currentText(),
                                ports);
    if (entry.tcp && name && name->data(TimeoutRole).isValid())
        entry.responseTimeoutMs = name->data(TimeoutRole).toInt();
    entry.baudRate = static_cast<QComboBox *>(table->cellWidget(row, SpeedColumn))->currentData().toInt();
    entry.address = static_cast<QComboBox *>(table->cellWidget(row, AddressColumn))->currentData().toInt();
    entry.polled = table->cellWidget(row, PolledColumn)->findChild<QCheckBox *>()->isChecked();
    return entry;
}
