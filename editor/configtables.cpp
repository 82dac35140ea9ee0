#include "configtables.h"

#include "configfields.h"
#include "configimage.h"
#include "spinboxdelegate.h"
#include "textfit.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>

namespace {

constexpr int InputRows = ConfigFields::InputRows;
constexpr int AddressedValveRows = ConfigFields::AddressedValveRows;
constexpr int AddressedSensorRows = ConfigFields::AddressedSensorRows;

// The widest row number any table shows.
const QStringList rowNumberTexts = {QStringLiteral("250")};

// Every text a column can show, in column order.
QList<QStringList> inputColumnTexts()
{
    return {rowNumberTexts, ConfigFields::contactTexts(), ConfigImage::inputNameTexts(),
            ConfigImage::relayTexts(), ConfigImage::valveTexts(), ConfigImage::delayTexts()};
}

QList<QStringList> valveColumnTexts()
{
    return {rowNumberTexts, ConfigFields::closeTexts(), ConfigFields::reportTexts(),
            ConfigFields::reportTexts(), ConfigImage::relayTexts(), ConfigImage::valveTypeTexts()};
}

QList<QStringList> sensorColumnTexts()
{
    return {rowNumberTexts, ConfigImage::relayTexts(), ConfigImage::valveTexts()};
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

// Each column as wide as its header or its widest text, in the table's own font.
void prepare(QTableWidget *table, const QStringList &headers, const QList<QStringList> &texts)
{
    if (!table)
        return;
    ConfigTables::setupTable(table);
    table->setColumnCount(headers.size());
    table->setHorizontalHeaderLabels(headers);
    for (int column = 0; column < texts.size(); ++column) {
        TextFit::wrapCaption(table, column, texts.at(column));
        TextFit::fitColumn(table, column, texts.at(column));
    }
}

} // namespace

ConfigTables::ConfigTables(ConfigImage &image, const Widgets &widgets)
    : config(image), ui(widgets)
{
    const QVector<ConfigFields::SensorGroup> &groups = ConfigFields::sensorGroups();
    const SensorTable bindings[] = {
        {ui.tableSensorThres1, 0, 0, ui.groupBoxThres1, ui.comboBoxSensorThres1Relay, ui.comboBoxSensorThres1Valve},
        {ui.tableSensorThres2, 0, 0, ui.groupBoxThres2, ui.comboBoxSensorThres2Relay, ui.comboBoxSensorThres2Valve},
        {ui.tableSensorDefect, 0, 0, ui.groupBoxDefect, ui.comboBoxSensorDefectRelay, ui.comboBoxSensorDefectValve},
        {ui.tableSensorFire, 0, 0, ui.groupBoxFire, ui.comboBoxSensorFireRelay, ui.comboBoxSensorFireValve}};
    for (int k = 0; k < int(sensors.size()); ++k) {
        sensors[k] = bindings[k];
        sensors[k].relayOffset = groups.at(k).relayOffset;
        sensors[k].valveOffset = groups.at(k).valveOffset;
    }

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
    prepare(ui.tableDiscreteInput, ConfigFields::inputHeaders(), inputColumnTexts());
    prepare(ui.tableValve, ConfigFields::valveHeaders(), valveColumnTexts());
    for (const SensorTable &sensor : sensors)
        prepare(sensor.table, ConfigFields::sensorHeaders(), sensorColumnTexts());
}

const QStringList &ConfigTables::inputNameTexts()
{
    return ConfigImage::inputNameTexts();
}

// Any mode other than 0 comes only from a controller or a file; it gets the
// addressed layout everywhere so that tables and lists agree.
bool ConfigTables::addressedMode() const
{
    return ConfigFields::addressed(config);
}

void ConfigTables::refreshInputTable()
{
    QTableWidget *table = ui.tableDiscreteInput;
    if (!table)
        return;
    const bool addressed = addressedMode();
    TableRebuild rebuild(table, InputRows);
    setEditor(table, 1, ConfigFields::contactTexts());
    setEditor(table, 2, ConfigImage::inputNameTexts());
    setEditor(table, 3, ConfigImage::relayTexts());
    setEditor(table, 4, addressed ? ConfigImage::valveTexts() : ConfigFields::singleValveTexts());
    setEditor(table, 5, ConfigFields::editableDelayTexts());

    refill(ui.comboBoxDiscreteInputType, ConfigFields::contactTexts());
    refill(ui.comboBoxDiscreteInputName, ConfigImage::inputNameTexts());
    refill(ui.comboBoxDiscreteInputRelay, ConfigImage::relayTexts());
    refill(ui.comboBoxDiscreteInputValve,
           addressed ? ConfigImage::valveTexts() : ConfigFields::singleValveTexts());
    refill(ui.comboBoxDiscreteInputDelay, ConfigFields::editableDelayTexts());
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
    setEditor(table, 1, ConfigFields::closeTexts());
    setEditor(table, 2, ConfigFields::reportTexts());
    setEditor(table, 3, ConfigFields::reportTexts());
    setEditor(table, 4, ConfigImage::relayTexts());
    setEditor(table, 5, ConfigImage::valveTypeTexts());

    refill(ui.comboBoxValveEventBreack, ConfigFields::reportTexts());
    refill(ui.comboBoxValveEventClose, ConfigFields::reportTexts());
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
    return ConfigFields::sensorEntry(sensor.addressed, row);
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
    setEditor(table, 2, sensor->addressed ? ConfigImage::valveTexts() : ConfigFields::singleValveTexts());
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
