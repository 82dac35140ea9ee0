#include "configtables.h"

#include "configimage.h"
#include "spinboxdelegate.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>

namespace {

constexpr int InputRows = ConfigImage::InputCount;
constexpr int AddressedValveRows = 251;
constexpr int AddressedSensorRows = 250;

const QStringList inputHeaders = {
    QStringLiteral("№"), QStringLiteral("Тип входа"), QStringLiteral("Наименование"),
    QStringLiteral("Выбор реле"), QStringLiteral("Выбор клапана"), QStringLiteral("Задержка")};
const QStringList valveHeaders = {
    QStringLiteral("№"), QStringLiteral("Закрывать при отк."), QStringLiteral("Сообщать о обрыве"),
    QStringLiteral("Сообщать о закрытии"), QStringLiteral("Реле состояния клап."),
    QStringLiteral("Тип клапана")};
const QStringList sensorHeaders = {
    QStringLiteral("№"), QStringLiteral("Выбор реле"), QStringLiteral("Выбор клапана")};

const QList<int> inputWidths = {30, 140, 270, 80, 100, 50};
const QList<int> valveWidths = {30, 120, 120, 130, 130, 130};
const QList<int> sensorWidths = {28, 80, 90};

QStringList contactTexts()
{
    return {ConfigImage::contactText(true), ConfigImage::contactText(false)};
}

QStringList reportTexts()
{
    return {ConfigImage::reportText(true), ConfigImage::reportText(false)};
}

QStringList closeTexts()
{
    return {ConfigImage::closeText(true), ConfigImage::closeText(false)};
}

// The editors and boxes offer delays from "0.2": "0.0" only shows a stored 0.
QStringList editableDelayTexts()
{
    return ConfigImage::delayTexts().mid(1);
}

QStringList singleValveTexts()
{
    return ConfigImage::valveTexts().mid(0, 2);
}

QTableWidgetItem *editableItem(const QString &text)
{
    return new QTableWidgetItem(text);
}

QTableWidgetItem *fixedItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

// Keeps the box's index across the refill, even when the shorter list has
// no such item any more (the box then shows no choice).
void refill(QComboBox *box, const QStringList &texts)
{
    if (!box)
        return;
    const int index = box->currentIndex();
    box->clear();
    box->addItems(texts);
    box->setCurrentIndex(index);
}

void setShown(QWidget *widget, bool shown)
{
    if (widget)
        widget->setVisible(shown);
}

QString boxText(const QComboBox *box)
{
    return box ? box->currentText() : QString();
}

quint8 withBit(quint8 value, int bit, bool set)
{
    const quint8 mask = quint8(1u << bit);
    return set ? quint8(value | mask) : quint8(value & ~mask);
}

// Rebuilding thousands of items one by one would repaint and relayout after
// each; holding updates back makes a refresh a single pass.
class TableRebuild
{
public:
    TableRebuild(QTableWidget *table, int rows) : view(table)
    {
        view->setUpdatesEnabled(false);
        view->clearContents();
        view->setRowCount(0);
        view->setRowCount(rows);
    }
    ~TableRebuild()
    {
        view->verticalHeader()->hide();
        view->setUpdatesEnabled(true);
    }
    TableRebuild(const TableRebuild &) = delete;
    TableRebuild &operator=(const TableRebuild &) = delete;

private:
    QTableWidget *view;
};

void prepare(QTableWidget *table, const QStringList &headers, const QList<int> &widths)
{
    if (!table)
        return;
    ConfigTables::setupTable(table);
    table->setColumnCount(headers.size());
    table->setHorizontalHeaderLabels(headers);
    for (int column = 0; column < widths.size(); ++column)
        table->setColumnWidth(column, widths.at(column));
}

} // namespace

ConfigTables::ConfigTables(ConfigImage &image, const Widgets &widgets)
    : config(image), ui(widgets)
{
    sensors[0] = {ui.tableSensorThres1, ConfigImage::Thres1Relay, ConfigImage::Thres1Valve,
                  ui.groupBoxThres1, ui.comboBoxSensorThres1Relay, ui.comboBoxSensorThres1Valve};
    sensors[1] = {ui.tableSensorThres2, ConfigImage::Thres2Relay, ConfigImage::Thres2Valve,
                  ui.groupBoxThres2, ui.comboBoxSensorThres2Relay, ui.comboBoxSensorThres2Valve};
    sensors[2] = {ui.tableSensorDefect, ConfigImage::DefectRelay, ConfigImage::DefectValve,
                  ui.groupBoxDefect, ui.comboBoxSensorDefectRelay, ui.comboBoxSensorDefectValve};
    sensors[3] = {ui.tableSensorFire, ConfigImage::FireRelay, ConfigImage::FireValve,
                  ui.groupBoxFire, ui.comboBoxSensorFireRelay, ui.comboBoxSensorFireValve};

    prepareTables();
}

ConfigTables::~ConfigTables() = default;

// Each view owns its cell editors; a column gets a new one only when its list
// changes (the valve list with the polling mode).
void ConfigTables::setEditor(QTableWidget *table, int column, const QStringList &texts)
{
    auto *current = qobject_cast<SpinBoxDelegate *>(table->itemDelegateForColumn(column));
    if (current && current->items() == texts)
        return;
    table->setItemDelegateForColumn(column, new SpinBoxDelegate(texts, table));
    if (current)
        current->deleteLater(); // an open cell editor may still refer to it
}

void ConfigTables::setupTable(QTableWidget *table)
{
    if (!table)
        return;
    table->setAlternatingRowColors(true);
    table->setSortingEnabled(false);
    table->horizontalHeader()->setSortIndicatorShown(true);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setMinimumSectionSize(19);
    table->verticalHeader()->setDefaultSectionSize(20);
}

void ConfigTables::prepareTables()
{
    prepare(ui.tableDiscreteInput, inputHeaders, inputWidths);
    prepare(ui.tableValve, valveHeaders, valveWidths);
    for (const SensorTable &sensor : sensors)
        prepare(sensor.table, sensorHeaders, sensorWidths);
}

const QStringList &ConfigTables::inputNameTexts()
{
    return ConfigImage::inputNameTexts();
}

// Any mode other than 0 comes only from a controller or a file; it gets the
// addressed layout everywhere so that tables and lists agree.
bool ConfigTables::addressedMode() const
{
    return config.word(ConfigImage::PollingMode) != 0;
}

void ConfigTables::refreshInputTable()
{
    QTableWidget *table = ui.tableDiscreteInput;
    if (!table)
        return;
    const bool addressed = addressedMode();
    TableRebuild rebuild(table, InputRows);
    setEditor(table, 1, contactTexts());
    setEditor(table, 2, ConfigImage::inputNameTexts());
    setEditor(table, 3, ConfigImage::relayTexts());
    setEditor(table, 4, addressed ? ConfigImage::valveTexts() : singleValveTexts());
    setEditor(table, 5, editableDelayTexts());

    refill(ui.comboBoxDiscreteInputType, contactTexts());
    refill(ui.comboBoxDiscreteInputName, ConfigImage::inputNameTexts());
    refill(ui.comboBoxDiscreteInputRelay, ConfigImage::relayTexts());
    refill(ui.comboBoxDiscreteInputValve,
           addressed ? ConfigImage::valveTexts() : singleValveTexts());
    refill(ui.comboBoxDiscreteInputDelay, editableDelayTexts());
    fillInputColumns();
    inputBuilt = true;
}

void ConfigTables::fillInputColumns()
{
    QTableWidget *table = ui.tableDiscreteInput;
    const quint32 contacts = config.dword(ConfigImage::InputContactMask);
    for (int i = 0; i < InputRows; ++i) {
        table->setItem(i, 0, fixedItem(QString::number(i + 1)));
        table->setItem(i, 1, editableItem(ConfigImage::contactText(contacts & (1u << i))));
        table->setItem(i, 2, editableItem(
                                 ConfigImage::inputNameText(config.byte(ConfigImage::InputName + i))));
        table->setItem(i, 3, editableItem(
                                 ConfigImage::relayText(config.byte(ConfigImage::InputRelay + i))));
        table->setItem(i, 4, editableItem(
                                 ConfigImage::valveText(config.byte(ConfigImage::InputValve + i))));
        table->setItem(i, 5, editableItem(
                                 ConfigImage::delayText(config.word(ConfigImage::InputDelay + 2 * i))));
    }
}

void ConfigTables::gatherInputTable()
{
    const QTableWidget *table = ui.tableDiscreteInput;
    if (!table || !inputBuilt)
        return;
    const QString normallyOpen = ConfigImage::contactText(true);
    quint32 contacts = config.dword(ConfigImage::InputContactMask);
    const int rows = qMin(table->rowCount(), InputRows);
    for (int i = 0; i < rows; ++i) {
        const quint32 bit = 1u << i;
        contacts = cellText(table, i, 1) == normallyOpen ? (contacts | bit) : (contacts & ~bit);
        config.setByte(ConfigImage::InputName + i, quint8(ConfigImage::inputNameCode(cellText(table, i, 2))));
        config.setByte(ConfigImage::InputRelay + i, quint8(ConfigImage::relayCode(cellText(table, i, 3))));
        config.setByte(ConfigImage::InputValve + i, quint8(ConfigImage::valveCode(cellText(table, i, 4))));
        config.setWord(ConfigImage::InputDelay + 2 * i,
                       quint16(ConfigImage::delayValue(cellText(table, i, 5))));
    }
    config.setDword(ConfigImage::InputContactMask, contacts);
}

void ConfigTables::refreshValveTable()
{
    QTableWidget *table = ui.tableValve;
    if (!table)
        return;
    const bool addressed = addressedMode();
    const int rows = addressed ? AddressedValveRows : 1;
    TableRebuild rebuild(table, rows);
    setShown(ui.groupBoxValve, addressed);
    setEditor(table, 1, closeTexts());
    setEditor(table, 2, reportTexts());
    setEditor(table, 3, reportTexts());
    setEditor(table, 4, ConfigImage::relayTexts());
    setEditor(table, 5, ConfigImage::valveTypeTexts());

    refill(ui.comboBoxValveEventBreack, reportTexts());
    refill(ui.comboBoxValveEventClose, reportTexts());
    refill(ui.comboBoxRelayValveClose, ConfigImage::relayTexts());
    fillValveColumns(rows);
    valveBuilt = true;
}

void ConfigTables::fillValveColumns(int rows)
{
    QTableWidget *table = ui.tableValve;
    const QString blank = QStringLiteral(" ");
    for (int v = 0; v < rows; ++v) {
        const quint8 report = config.byte(ConfigImage::ValveReportFlags + v);
        table->setItem(v, 0, fixedItem(QString::number(v)));
        table->setItem(v, 2, editableItem(ConfigImage::reportText(report & 1)));
        table->setItem(v, 3, editableItem(ConfigImage::reportText(report & 2)));
        table->setItem(v, 4, editableItem(
                                 ConfigImage::relayText(config.byte(ConfigImage::ValveStateRelay + v))));
        if (v == 0) {
            table->setItem(v, 1, editableItem(
                                     ConfigImage::closeText(config.byte(ConfigImage::ValveFlags) & 1)));
            table->setItem(v, 5, editableItem(
                                     ConfigImage::valveTypeText(config.byte(ConfigImage::ValveType))));
        } else {
            table->setItem(v, 1, fixedItem(blank));
            table->setItem(v, 5, fixedItem(blank));
        }
    }
}

void ConfigTables::gatherValveTable()
{
    const QTableWidget *table = ui.tableValve;
    if (!table || !valveBuilt || table->rowCount() == 0)
        return;
    const QString report = ConfigImage::reportText(true);
    const int rows = qMin(table->rowCount(), AddressedValveRows);
    for (int v = 0; v < rows; ++v) {
        const int flagsAt = ConfigImage::ValveReportFlags + v;
        quint8 flags = config.byte(flagsAt);
        flags = withBit(flags, 0, cellText(table, v, 2) == report);
        flags = withBit(flags, 1, cellText(table, v, 3) == report);
        config.setByte(flagsAt, flags);
        config.setByte(ConfigImage::ValveStateRelay + v,
                       quint8(ConfigImage::relayCode(cellText(table, v, 4))));
    }
    const bool close = cellText(table, 0, 1) == ConfigImage::closeText(true);
    config.setByte(ConfigImage::ValveFlags, withBit(config.byte(ConfigImage::ValveFlags), 0, close));
    const bool kpeg = cellText(table, 0, 5) == ConfigImage::valveTypeText(1);
    config.setByte(ConfigImage::ValveType, kpeg ? 1 : 0);
}

ConfigTables::SensorTable *ConfigTables::sensorTable(QTableWidget *table)
{
    for (SensorTable &sensor : sensors) {
        if (table && sensor.table == table)
            return &sensor;
    }
    return nullptr;
}

// Addressed rows are sensor addresses 1-250; the single line uses entry 0.
int ConfigTables::sensorEntry(const SensorTable &sensor, int row)
{
    return sensor.addressed ? row + 1 : 0;
}

void ConfigTables::refreshSensorTable(QTableWidget *table)
{
    SensorTable *sensor = sensorTable(table);
    if (!sensor)
        return;
    sensor->addressed = addressedMode();
    const int rows = sensor->addressed ? AddressedSensorRows : 1;
    TableRebuild rebuild(table, rows);
    setShown(sensor->groupBox, sensor->addressed);
    setEditor(table, 1, ConfigImage::relayTexts());
    setEditor(table, 2, sensor->addressed ? ConfigImage::valveTexts() : singleValveTexts());
    refill(sensor->relayBox, ConfigImage::relayTexts());
    refill(sensor->valveBox, ConfigImage::valveTexts());
    for (int r = 0; r < rows; ++r) {
        const int entry = sensorEntry(*sensor, r);
        const QString label = sensor->addressed ? QString::number(r + 1) : QStringLiteral(" ");
        table->setItem(r, 0, fixedItem(label));
        table->setItem(r, 1, editableItem(ConfigImage::relayText(config.byte(sensor->relayOffset + entry))));
        table->setItem(r, 2, editableItem(ConfigImage::valveText(config.byte(sensor->valveOffset + entry))));
    }
    sensor->built = true;
}

// Uses the layout the table was built with, not the image's mode now: a mode
// switch gathers the old layout before the new mode is stored.
void ConfigTables::gatherSensorTable(QTableWidget *table)
{
    const SensorTable *sensor = sensorTable(table);
    if (!sensor || !sensor->built)
        return;
    const int rows = qMin(table->rowCount(), sensor->addressed ? AddressedSensorRows : 1);
    for (int r = 0; r < rows; ++r) {
        const int entry = sensorEntry(*sensor, r);
        config.setByte(sensor->relayOffset + entry,
                       quint8(ConfigImage::relayCode(cellText(table, r, 1))));
        config.setByte(sensor->valveOffset + entry,
                       quint8(ConfigImage::valveCode(cellText(table, r, 2))));
    }
}

void ConfigTables::refreshSensorTables()
{
    for (const SensorTable &sensor : sensors)
        refreshSensorTable(sensor.table);
}

void ConfigTables::gatherSensorTables()
{
    for (const SensorTable &sensor : sensors)
        gatherSensorTable(sensor.table);
}

void ConfigTables::refreshAllTables()
{
    refreshInputTable();
    refreshValveTable();
    refreshSensorTables();
}

void ConfigTables::gatherAllTables()
{
    gatherInputTable();
    gatherValveTable();
    gatherSensorTables();
}

void ConfigTables::applyToAll(Assignment assignment)
{
    switch (assignment) {
    case DiscreteInputType:
    case DiscreteInputName:
    case DiscreteInputRelay:
    case DiscreteInputValve:
    case DiscreteInputDelay:
        applyInputAssignment(assignment);
        break;
    case ValveEventBreack:
    case ValveEventClose:
    case RelayValveClose:
        applyValveAssignment(assignment);
        break;
    default:
        applySensorAssignment(assignment);
        break;
    }
}

void ConfigTables::applyInputAssignment(Assignment assignment)
{
    gatherInputTable();
    if (assignment == DiscreteInputType) {
        const bool open = boxText(ui.comboBoxDiscreteInputType) == ConfigImage::contactText(true);
        config.setDword(ConfigImage::InputContactMask, open ? 0xFFFFFFFFu : 0u);
    }
    for (int i = 0; i < InputRows; ++i) {
        switch (assignment) {
        case DiscreteInputName:
            config.setByte(ConfigImage::InputName + i,
                           quint8(ConfigImage::inputNameCode(boxText(ui.comboBoxDiscreteInputName))));
            break;
        case DiscreteInputRelay:
            config.setByte(ConfigImage::InputRelay + i,
                           quint8(ConfigImage::relayCode(boxText(ui.comboBoxDiscreteInputRelay))));
            break;
        case DiscreteInputValve:
            config.setByte(ConfigImage::InputValve + i,
                           quint8(ConfigImage::valveCode(boxText(ui.comboBoxDiscreteInputValve))));
            break;
        case DiscreteInputDelay:
            config.setWord(ConfigImage::InputDelay + 2 * i,
                           quint16(ConfigImage::delayValue(boxText(ui.comboBoxDiscreteInputDelay))));
            break;
        default:
            break;
        }
    }
    refreshInputTable();
}

void ConfigTables::applyValveAssignment(Assignment assignment)
{
    if (!ui.tableValve)
        return;
    gatherValveTable();
    const int rows = valveBuilt ? qMin(ui.tableValve->rowCount(), AddressedValveRows) : 0;
    const QString report = ConfigImage::reportText(true);
    const bool breakOn = boxText(ui.comboBoxValveEventBreack) == report;
    const bool closeOn = boxText(ui.comboBoxValveEventClose) == report;
    const quint8 relay = quint8(ConfigImage::relayCode(boxText(ui.comboBoxRelayValveClose)));
    for (int v = 0; v < rows; ++v) {
        const int flagsAt = ConfigImage::ValveReportFlags + v;
        if (assignment == ValveEventBreack)
            config.setByte(flagsAt, withBit(config.byte(flagsAt), 0, breakOn));
        else if (assignment == ValveEventClose)
            config.setByte(flagsAt, withBit(config.byte(flagsAt), 1, closeOn));
        else
            config.setByte(ConfigImage::ValveStateRelay + v, relay);
    }
    refreshValveTable();
}

ConfigTables::SensorTable *ConfigTables::sensorTable(Assignment assignment)
{
    switch (assignment) {
    case SensorThres1Relay:
    case SensorThres1Valve:
        return &sensors[0];
    case SensorThres2Relay:
    case SensorThres2Valve:
        return &sensors[1];
    case SensorDefectRelay:
    case SensorDefectValve:
        return &sensors[2];
    case SensorFireRelay:
    case SensorFireValve:
        return &sensors[3];
    default:
        return nullptr;
    }
}

void ConfigTables::applySensorAssignment(Assignment assignment)
{
    SensorTable *sensor = sensorTable(assignment);
    if (!sensor || !sensor->table)
        return;
    gatherSensorTable(sensor->table);
    const bool relayColumn = assignment == SensorThres1Relay || assignment == SensorThres2Relay
                             || assignment == SensorDefectRelay || assignment == SensorFireRelay;
    const quint8 code = relayColumn
                            ? quint8(ConfigImage::relayCode(boxText(sensor->relayBox)))
                            : quint8(ConfigImage::valveCode(boxText(sensor->valveBox)));
    const int offset = relayColumn ? sensor->relayOffset : sensor->valveOffset;
    const int limit = sensor->addressed ? AddressedSensorRows : 1;
    const int rows = sensor->built ? qMin(sensor->table->rowCount(), limit) : 0;
    for (int r = 0; r < rows; ++r)
        config.setByte(offset + sensorEntry(*sensor, r), code);
    refreshSensorTable(sensor->table);
}
