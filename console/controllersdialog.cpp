#include "controllersdialog.h"
#include "ui_controllersdialog.h"

#include "choicedelegate.h"
#include "settingsdialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSerialPortInfo>
#include <QSignalBlocker>

#include <algorithm>

namespace {

enum Column { NameColumn, PortColumn, SpeedColumn, AddressColumn, PolledColumn };

const int baudRates[] = { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 };

// The name cell keeps a gateway row's response time-out, which has no column.
constexpr int TimeoutRole = Qt::UserRole;

QStringList numbers(int from, int to)
{
    QStringList texts;
    for (int n = from; n <= to; ++n)
        texts << QString::number(n);
    return texts;
}

QStringList baudRateTexts()
{
    QStringList texts;
    for (int rate : baudRates)
        texts << QString::number(rate);
    return texts;
}

} // namespace

ControllersDialog::ControllersDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ControllersDialog), ports(portChoices())
{
    ui->setupUi(this);
    ui->tableControllers->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    ui->tableControllers->verticalHeader()->setVisible(false);
    setDelegates();
    connect(ui->tableControllers, &QTableWidget::itemChanged, this, &ControllersDialog::cellChanged);
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
    const QSignalBlocker quiet(table);
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

QString ControllersDialog::portToolTip()
{
    return tr("Последовательный порт из списка или шлюз Modbus TCP в виде "
              "«адрес:порт», например 192.168.1.10:502 или [fd00::5]:502");
}

// Each cell holds its value; the drop-downs exist only while a cell is edited.
void ControllersDialog::setDelegates()
{
    QTableWidget *table = ui->tableControllers;
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                           | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    auto *port = new ChoiceDelegate(ports, true, table);
    port->setEditorToolTip(portToolTip());
    table->setItemDelegateForColumn(PortColumn, port);
    table->setItemDelegateForColumn(SpeedColumn, new ChoiceDelegate(baudRateTexts(), false, table));
    table->setItemDelegateForColumn(AddressColumn,
                                    new ChoiceDelegate(numbers(ControllerList::MinAddress, ControllerList::MaxAddress),
                                                       false, table));
}

void ControllersDialog::setRow(int row, const ControllerEntry &entry)
{
    QTableWidget *table = ui->tableControllers;
    auto *name = new QTableWidgetItem(entry.name);
    if (entry.tcp)
        name->setData(TimeoutRole, entry.responseTimeoutMs);
    table->setItem(row, NameColumn, name);
    auto *port = new QTableWidgetItem(entry.linkName());
    port->setToolTip(portToolTip());
    table->setItem(row, PortColumn, port);
    const bool knownRate = std::find(std::begin(baudRates), std::end(baudRates), entry.baudRate) != std::end(baudRates);
    table->setItem(row, SpeedColumn, new QTableWidgetItem(QString::number(knownRate ? entry.baudRate : 9600)));
    const int address = qBound(ControllerList::MinAddress, entry.address, ControllerList::MaxAddress);
    table->setItem(row, AddressColumn, new QTableWidgetItem(QString::number(address)));
    auto *polled = new QTableWidgetItem;
    polled->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    polled->setCheckState(entry.polled ? Qt::Checked : Qt::Unchecked);
    table->setItem(row, PolledColumn, polled);
    showKind(row);
}

// A gateway sets its own line speed; the check box cell says in words
// whether it is ticked, for a screen reader.
void ControllersDialog::cellChanged(QTableWidgetItem *item)
{
    if (item->column() == PortColumn || item->column() == PolledColumn)
        showKind(item->row());
}

void ControllersDialog::showKind(int row)
{
    QTableWidget *table = ui->tableControllers;
    QTableWidgetItem *port = table->item(row, PortColumn);
    QTableWidgetItem *speed = table->item(row, SpeedColumn);
    QTableWidgetItem *polled = table->item(row, PolledColumn);
    if (!port || !speed || !polled)
        return; // the row is still being filled
    const QSignalBlocker quiet(table);
    ControllerEntry probe;
    ControllerList::setLinkText(probe, port->text(), ports);
    const Qt::ItemFlags editable = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    speed->setFlags(probe.tcp ? Qt::ItemIsSelectable : editable);
    // Accessibility tools do not report a disabled cell, so its description says why.
    const QString why = probe.tcp ? tr("Скорость линии задаёт шлюз") : QString();
    speed->setToolTip(why);
    speed->setData(Qt::AccessibleDescriptionRole, why);
    polled->setData(Qt::AccessibleTextRole, polled->checkState() == Qt::Checked ? tr("да") : tr("нет"));
}

ControllerEntry ControllersDialog::rowEntry(int row) const
{
    const QTableWidget *table = ui->tableControllers;
    const auto text = [table, row](int column) {
        const QTableWidgetItem *item = table->item(row, column);
        return item ? item->text() : QString();
    };
    ControllerEntry entry;
    entry.name = text(NameColumn).trimmed();
    ControllerList::setLinkText(entry, text(PortColumn), ports);
    const QTableWidgetItem *name = table->item(row, NameColumn);
    if (entry.tcp && name && name->data(TimeoutRole).isValid())
        entry.responseTimeoutMs = name->data(TimeoutRole).toInt();
    entry.baudRate = text(SpeedColumn).toInt();
    entry.address = text(AddressColumn).toInt();
    const QTableWidgetItem *polled = table->item(row, PolledColumn);
    entry.polled = polled && polled->checkState() == Qt::Checked;
    return entry;
}
