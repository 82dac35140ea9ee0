#ifndef CONFIGTABLES_H
#define CONFIGTABLES_H

#include <QStringList>
#include <QTableWidget>

#include <array>

class ConfigImage;
class QComboBox;
class QGroupBox;

// Binds the editor window's six tables, their "Для всех" combo boxes and the
// assignment group boxes to the configuration image: refresh turns stored
// codes into cell texts, gather turns the texts back into codes.
class ConfigTables
{
public:
    // The window's widgets, by their form object names.
    struct Widgets {
        QTableWidget *tableDiscreteInput = nullptr;
        QTableWidget *tableValve = nullptr;
        QTableWidget *tableSensorThres1 = nullptr;
        QTableWidget *tableSensorThres2 = nullptr;
        QTableWidget *tableSensorDefect = nullptr;
        QTableWidget *tableSensorFire = nullptr;

        QComboBox *comboBoxDiscreteInputType = nullptr;
        QComboBox *comboBoxDiscreteInputName = nullptr;
        QComboBox *comboBoxDiscreteInputRelay = nullptr;
        QComboBox *comboBoxDiscreteInputValve = nullptr;
        QComboBox *comboBoxDiscreteInputDelay = nullptr;
        QComboBox *comboBoxValveEventBreack = nullptr;
        QComboBox *comboBoxValveEventClose = nullptr;
        QComboBox *comboBoxRelayValveClose = nullptr;
        QComboBox *comboBoxSensorThres1Relay = nullptr;
        QComboBox *comboBoxSensorThres1Valve = nullptr;
        QComboBox *comboBoxSensorThres2Relay = nullptr;
        QComboBox *comboBoxSensorThres2Valve = nullptr;
        QComboBox *comboBoxSensorDefectRelay = nullptr;
        QComboBox *comboBoxSensorDefectValve = nullptr;
        QComboBox *comboBoxSensorFireRelay = nullptr;
        QComboBox *comboBoxSensorFireValve = nullptr;

        QGroupBox *groupBoxValve = nullptr;
        QGroupBox *groupBoxThres1 = nullptr;
        QGroupBox *groupBoxThres2 = nullptr;
        QGroupBox *groupBoxDefect = nullptr;
        QGroupBox *groupBoxFire = nullptr;
    };

    // Picks the widgets out of a generated form class by name.
    template <class Form>
    static Widgets widgetsOf(const Form *form);

    // One per "Для всех" button, named after the button.
    enum Assignment {
        DiscreteInputType,
        DiscreteInputName,
        DiscreteInputRelay,
        DiscreteInputValve,
        DiscreteInputDelay,
        ValveEventBreack,
        ValveEventClose,
        RelayValveClose,
        SensorThres1Relay,
        SensorThres1Valve,
        SensorThres2Relay,
        SensorThres2Valve,
        SensorDefectRelay,
        SensorDefectValve,
        SensorFireRelay,
        SensorFireValve
    };

    // Also applies the common table settings, headers and column widths.
    ConfigTables(ConfigImage &image, const Widgets &widgets);
    ~ConfigTables();
    ConfigTables(const ConfigTables &) = delete;
    ConfigTables &operator=(const ConfigTables &) = delete;

    // Alternating rows, sort indicator without sorting, last column stretched,
    // compact rows.
    static void setupTable(QTableWidget *table);

    void refreshInputTable();
    void gatherInputTable();
    void refreshValveTable();
    void gatherValveTable();
    void refreshSensorTable(QTableWidget *table);
    void gatherSensorTable(QTableWidget *table);
    void refreshSensorTables();
    void gatherSensorTables();
    void refreshAllTables();
    void gatherAllTables();

    // Gathers the button's table, stores the box's choice into every row of
    // it and rebuilds the table.
    void applyToAll(Assignment assignment);

    // The 161 discrete input names, the empty one first.
    static const QStringList &inputNameTexts();

private:

    // One sensor table with the arrays it shows and its assignment widgets.
    struct SensorTable {
        QTableWidget *table = nullptr;
        int relayOffset = 0;
        int valveOffset = 0;
        QGroupBox *groupBox = nullptr;
        QComboBox *relayBox = nullptr;
        QComboBox *valveBox = nullptr;
        bool built = false;
        bool addressed = false; // the layout the table was last built with
    };

    bool addressedMode() const;
    SensorTable *sensorTable(QTableWidget *table);
    SensorTable *sensorTable(Assignment assignment);
    static int sensorEntry(const SensorTable &sensor, int row);
    void prepareTables();
    static void setEditor(QTableWidget *table, int column, const QStringList &texts);
    void fillInputColumns();
    void fillValveColumns(int rows);
    void applyInputAssignment(Assignment assignment);
    void applyValveAssignment(Assignment assignment);
    void applySensorAssignment(Assignment assignment);

    ConfigImage &config;
    Widgets ui;
    std::array<SensorTable, 4> sensors;
    bool inputBuilt = false;
    bool valveBuilt = false;
};

template <class Form>
ConfigTables::Widgets ConfigTables::widgetsOf(const Form *form)
{
    Widgets w;
    w.tableDiscreteInput = form->tableDiscreteInput;
    w.tableValve = form->tableValve;
    w.tableSensorThres1 = form->tableSensorThres1;
    w.tableSensorThres2 = form->tableSensorThres2;
    w.tableSensorDefect = form->tableSensorDefect;
    w.tableSensorFire = form->tableSensorFire;
    w.comboBoxDiscreteInputType = form->comboBoxDiscreteInputType;
    w.comboBoxDiscreteInputName = form->comboBoxDiscreteInputName;
    w.comboBoxDiscreteInputRelay = form->comboBoxDiscreteInputRelay;
    w.comboBoxDiscreteInputValve = form->comboBoxDiscreteInputValve;
    w.comboBoxDiscreteInputDelay = form->comboBoxDiscreteInputDelay;
    w.comboBoxValveEventBreack = form->comboBoxValveEventBreack;
    w.comboBoxValveEventClose = form->comboBoxValveEventClose;
    w.comboBoxRelayValveClose = form->comboBoxRelayValveClose;
    w.comboBoxSensorThres1Relay = form->comboBoxSensorThres1Relay;
    w.comboBoxSensorThres1Valve = form->comboBoxSensorThres1Valve;
    w.comboBoxSensorThres2Relay = form->comboBoxSensorThres2Relay;
    w.comboBoxSensorThres2Valve = form->comboBoxSensorThres2Valve;
    w.comboBoxSensorDefectRelay = form->comboBoxSensorDefectRelay;
    w.comboBoxSensorDefectValve = form->comboBoxSensorDefectValve;
    w.comboBoxSensorFireRelay = form->comboBoxSensorFireRelay;
    w.comboBoxSensorFireValve = form->comboBoxSensorFireValve;
    w.groupBoxValve = form->groupBoxValve;
    w.groupBoxThres1 = form->groupBoxThres1;
    w.groupBoxThres2 = form->groupBoxThres2;
    w.groupBoxDefect = form->groupBoxDefect;
    w.groupBoxFire = form->groupBoxFire;
    return w;
}

#endif // CONFIGTABLES_H
