#include "configimage.h"
#include "configtables.h"
#include "spinboxdelegate.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

using Tables = ConfigTables;

// The window's widgets, built the way the form builds them.
struct Form {
    QWidget root;
    Tables::Widgets w;
    QTableWidget *tables[6];
    QComboBox *boxes[16]; // indexed like ConfigTables::Assignment

    Form()
    {
        QTableWidget **t[] = {&w.tableDiscreteInput, &w.tableValve, &w.tableSensorThres1,
                              &w.tableSensorThres2, &w.tableSensorDefect, &w.tableSensorFire};
        for (int i = 0; i < 6; ++i)
            tables[i] = *t[i] = new QTableWidget(&root);
        QComboBox **b[] = {
            &w.comboBoxDiscreteInputType, &w.comboBoxDiscreteInputName,
            &w.comboBoxDiscreteInputRelay, &w.comboBoxDiscreteInputValve,
            &w.comboBoxDiscreteInputDelay, &w.comboBoxValveEventBreack,
            &w.comboBoxValveEventClose, &w.comboBoxRelayValveClose,
            &w.comboBoxSensorThres1Relay, &w.comboBoxSensorThres1Valve,
            &w.comboBoxSensorThres2Relay, &w.comboBoxSensorThres2Valve,
            &w.comboBoxSensorDefectRelay, &w.comboBoxSensorDefectValve,
            &w.comboBoxSensorFireRelay, &w.comboBoxSensorFireValve};
        for (int i = 0; i < 16; ++i)
            boxes[i] = *b[i] = new QComboBox(&root);
        for (QGroupBox **g : {&w.groupBoxValve, &w.groupBoxThres1, &w.groupBoxThres2,
                              &w.groupBoxDefect, &w.groupBoxFire})
            *g = new QGroupBox(&root);
    }
};

// Every code within its list, so the tables show each value exactly; bytes
// the tables do not own are random too and must survive untouched.
ConfigImage randomImage(quint32 seed, int mode)
{
    QRandomGenerator rng(seed);
    ConfigImage image;
    for (quint8 &b : image.MainBlock) b = quint8(rng.bounded(256));
    for (quint8 &b : image.PhoneBlock) b = quint8(rng.bounded(256));
    for (int i = 0; i < ConfigImage::SensorCount; ++i) {
        for (int relay : {ConfigImage::Thres1Relay, ConfigImage::Thres2Relay, ConfigImage::FireRelay,
                          ConfigImage::DefectRelay, ConfigImage::ValveStateRelay})
            image.MainBlock[relay + i] = quint8(rng.bounded(5));
        for (int valve : {ConfigImage::Thres1Valve, ConfigImage::Thres2Valve,
                          ConfigImage::FireValve, ConfigImage::DefectValve})
            image.MainBlock[valve + i] = quint8(rng.bounded(252));
    }
    for (int i = 0; i < ConfigImage::InputCount; ++i) {
        image.MainBlock[ConfigImage::InputValve + i] = quint8(rng.bounded(252));
        image.MainBlock[ConfigImage::InputRelay + i] = quint8(rng.bounded(5));
        image.MainBlock[ConfigImage::InputName + i] = quint8(rng.bounded(161));
        image.setWord(ConfigImage::InputDelay + 2 * i, quint16(20 * rng.bounded(51)));
    }
    image.setByte(ConfigImage::ValveType, quint8(rng.bounded(2)));
    image.setWord(ConfigImage::PollingMode, quint16(mode));
    return image;
}

QString cell(QTableWidget *table, int row, int column)
{
    return table->item(row, column) ? table->item(row, column)->text() : QStringLiteral("<none>");
}

QStringList shownTexts(const Form &form)
{
    QStringList texts;
    for (QTableWidget *t : form.tables) {
        for (int r = 0; r < t->rowCount(); ++r) {
            for (int c = 0; c < t->columnCount(); ++c)
                texts << cell(t, r, c);
        }
    }
    return texts;
}

bool editable(QTableWidget *table, int row, int column)
{
    return table->item(row, column)->flags() & Qt::ItemIsEditable;
}

// Stores value into rows entries of a field, from entry first; mask picks
// the bits of a byte field.
void setField(ConfigImage &image, int offset, int width, int first, int rows, quint32 value, int mask)
{
    for (int r = first; r < first + rows; ++r) {
        const int at = offset + r * width;
        if (width == 4)
            image.setDword(at, value);
        else if (width == 2)
            image.setWord(at, quint16(value));
        else
            image.setByte(at, quint8((image.byte(at) & ~mask) | (value & mask)));
    }
}

} // namespace

class TestConfigTables : public QObject
{
    Q_OBJECT

private slots:
    void shapesPerMode_data();
    void shapesPerMode();
    void roundTrip_data();
    void roundTrip();
    void modeSwitchKeepsBothLayouts();
    void applyToAll_data();
    void applyToAll();
    void applyToAllGathersOnlyItsTable();
    void cellEditors();
};

void TestConfigTables::shapesPerMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("non-addressed") << 0;
    QTest::newRow("addressed") << 1;
    QTest::newRow("mode 7 taken as addressed") << 7;
}

void TestConfigTables::shapesPerMode()
{
    QFETCH(int, mode);
    const bool addressed = mode != 0;
    Form form;
    ConfigImage image = randomImage(1, mode);
    Tables tables(image, form.w);
    tables.refreshAllTables();
    const auto &w = form.w;
    SpinBoxDelegate *valveEditor = addressed ? tables.valveEditorAddressed() : tables.valveEditorSingle();
    const char *sensorLast = addressed ? "250" : " ";
    const struct { QTableWidget *table; int rows; const char *last; int column; const char *header; int width; } shapes[] = {
        {w.tableDiscreteInput, 24, "24", 1, "Тип входа", 140},
        {w.tableValve, addressed ? 251 : 1, addressed ? "250" : "0", 4, "Реле состояния клап.", 130},
        {w.tableSensorThres1, addressed ? 250 : 1, sensorLast, 2, "Выбор клапана", 90},
        {w.tableSensorThres2, addressed ? 250 : 1, sensorLast, 1, "Выбор реле", 80},
        {w.tableSensorDefect, addressed ? 250 : 1, sensorLast, 2, "Выбор клапана", 90},
        {w.tableSensorFire, addressed ? 250 : 1, sensorLast, 2, "Выбор клапана", 90}};
    for (const auto &s : shapes) {
        QTableWidget *t = s.table;
        QCOMPARE(t->rowCount(), s.rows);
        QCOMPARE(cell(t, s.rows - 1, 0), QString::fromUtf8(s.last));
        QCOMPARE(t->model()->headerData(s.column, Qt::Horizontal).toString(), QString::fromUtf8(s.header));
        QCOMPARE(t->columnWidth(s.column), s.width);
        QVERIFY(t->verticalHeader()->isHidden() && t->alternatingRowColors() && !t->isSortingEnabled());
        QVERIFY(t->horizontalHeader()->isSortIndicatorShown());
        for (int r = 0; r < t->rowCount(); ++r)
            QVERIFY(!editable(t, r, 0));
        if (t != w.tableDiscreteInput && t != w.tableValve)
            QCOMPARE(t->itemDelegateForColumn(2), valveEditor);
    }
    for (QGroupBox *g : {w.groupBoxValve, w.groupBoxThres1, w.groupBoxThres2, w.groupBoxDefect, w.groupBoxFire})
        QCOMPARE(g->isHidden(), !addressed);
    QCOMPARE(w.tableDiscreteInput->itemDelegateForColumn(4), valveEditor);
    QCOMPARE(w.tableDiscreteInput->itemDelegateForColumn(5), tables.delayEditor());
    QCOMPARE(w.tableValve->itemDelegateForColumn(5), tables.valveTypeEditor());
    // Valve 0 alone carries the close flag and the type; other rows show fixed blanks.
    QVERIFY(editable(w.tableValve, 0, 1) && editable(w.tableValve, 0, 5) && editable(w.tableValve, 0, 2));
    if (addressed) {
        QCOMPARE(cell(w.tableValve, 7, 1), QStringLiteral(" "));
        QVERIFY(!editable(w.tableValve, 7, 1) && !editable(w.tableValve, 250, 5));
        QVERIFY(editable(w.tableValve, 250, 4));
    }
    QCOMPARE(w.comboBoxDiscreteInputValve->count(), addressed ? 252 : 2);
    QCOMPARE(w.comboBoxSensorDefectValve->count(), 252);
    QCOMPARE(w.comboBoxDiscreteInputDelay->count(), 50);
    QCOMPARE(w.comboBoxDiscreteInputDelay->itemText(0), QStringLiteral("0.2"));
}

void TestConfigTables::roundTrip_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("outOfRange");
    for (int mode : {0, 1}) {
        for (bool outOfRange : {false, true})
            QTest::addRow("mode %d%s", mode, outOfRange ? ", codes out of range" : "") << mode << outOfRange;
    }
}

// Codes in range come back byte for byte, with everything the tables do not
// show (entry 0 and 251 in addressed mode, entries past 0 otherwise, unused
// bits, file-only bytes). A code out of range comes back as what was shown.
void TestConfigTables::roundTrip()
{
    QFETCH(int, mode);
    QFETCH(bool, outOfRange);
    Form form;
    ConfigImage image = randomImage(quint32(11 + mode + 2 * outOfRange), mode);
    ConfigImage expected = image;
    if (outOfRange) {
        const struct { int offset, width, stored, back; } codes[] = {
            {ConfigImage::InputRelay, 1, 9, 0}, {ConfigImage::InputValve + 1, 1, 255, 0},
            {ConfigImage::InputName, 1, 200, 0}, {ConfigImage::InputDelay, 2, 1500, 1000},
            {ConfigImage::InputDelay + 2, 2, 30, 20}, {ConfigImage::InputDelay + 4, 2, 10, 0},
            {ConfigImage::ValveType, 1, 7, 0}, {ConfigImage::ValveStateRelay, 1, 200, 0},
            {ConfigImage::FireValve + mode, 1, 252, 0}, {ConfigImage::Thres1Relay + mode, 1, 5, 0}};
        for (const auto &c : codes) {
            setField(image, c.offset, c.width, 0, 1, quint32(c.stored), 0xFF);
            setField(expected, c.offset, c.width, 0, 1, quint32(c.back), 0xFF);
        }
    }
    Tables tables(image, form.w);
    tables.refreshAllTables();
    const QStringList shown = shownTexts(form);
    tables.gatherAllTables();
    QVERIFY(image == expected);
    tables.refreshAllTables(); // what was shown is what was stored
    QCOMPARE(shownTexts(form), shown);
}

// A mode switch gathers, stores the new mode and refreshes. The gather uses
// the layout the tables were built with even when the new mode is stored
// first; going back restores the first layout's values.
void TestConfigTables::modeSwitchKeepsBothLayouts()
{
    Form form;
    const auto &w = form.w;
    ConfigImage image = randomImage(21, 1);
    image.setByte(ConfigImage::FireRelay, 3);
    Tables tables(image, w);
    tables.refreshAllTables();
    w.tableSensorFire->item(4, 1)->setText(QStringLiteral("Реле 4"));
    w.tableSensorThres2->item(0, 2)->setText(QStringLiteral("Клапан 99"));
    w.tableValve->item(9, 4)->setText(QStringLiteral("Реле 2"));
    w.comboBoxDiscreteInputValve->setCurrentIndex(5);
    w.comboBoxSensorThres1Valve->setCurrentIndex(200);

    image.setWord(ConfigImage::PollingMode, 0);
    tables.gatherAllTables();
    QCOMPARE(image.byte(ConfigImage::FireRelay + 5), quint8(4));
    QCOMPARE(image.byte(ConfigImage::Thres2Valve + 1), quint8(100));
    QCOMPARE(image.byte(ConfigImage::ValveStateRelay + 9), quint8(2));
    const ConfigImage addressedState = image;
    tables.refreshAllTables();
    QCOMPARE(w.tableSensorFire->rowCount(), 1);
    QCOMPARE(cell(w.tableSensorFire, 0, 1), QStringLiteral("Реле 3"));
    QCOMPARE(w.comboBoxDiscreteInputValve->currentIndex(), -1); // no such item any more
    QCOMPARE(w.comboBoxSensorThres1Valve->currentIndex(), 200);
    w.tableSensorFire->item(0, 1)->setText(QStringLiteral("Реле 1"));

    tables.gatherAllTables();
    image.setWord(ConfigImage::PollingMode, 1);
    tables.refreshAllTables();
    QCOMPARE(w.tableValve->rowCount(), 251);
    QCOMPARE(cell(w.tableSensorFire, 4, 1), QStringLiteral("Реле 4"));
    QCOMPARE(cell(w.tableValve, 9, 4), QStringLiteral("Реле 2"));
    ConfigImage expected = addressedState; // only the single-line entry changed
    expected.setByte(ConfigImage::FireRelay, 1);
    expected.setWord(ConfigImage::PollingMode, 1);
    QVERIFY(image == expected);
}

struct Assignment
{
    QString name;
    int mode;
    Tables::Assignment assignment;
    QString choice;
    int offset, width, first, rows; // the field's entries the choice goes to
    quint32 value;
    int mask;                       // the bits of a byte field
};

static QVector<Assignment> assignments()
{
    QVector<Assignment> rows = {
        {"contact closed", 1, Tables::DiscreteInputType, "Нормально замкнут", ConfigImage::InputContactMask, 4, 0, 1, 0u, 0},
        {"contact open", 1, Tables::DiscreteInputType, "Нормально разомкнут", ConfigImage::InputContactMask, 4, 0, 1, 0xFFFFFFFFu, 0},
        {"input name", 1, Tables::DiscreteInputName, ConfigImage::inputNameText(93), ConfigImage::InputName, 1, 0, 24, 93, 0xFF},
        {"input relay", 1, Tables::DiscreteInputRelay, "Реле 4", ConfigImage::InputRelay, 1, 0, 24, 4, 0xFF},
        {"input valve", 1, Tables::DiscreteInputValve, "Клапан 250", ConfigImage::InputValve, 1, 0, 24, 251, 0xFF},
        {"input delay 10.0", 1, Tables::DiscreteInputDelay, "10.0", ConfigImage::InputDelay, 2, 0, 24, 1000, 0},
        {"input delay 0.2", 1, Tables::DiscreteInputDelay, "0.2", ConfigImage::InputDelay, 2, 0, 24, 20, 0},
        {"valve break off", 1, Tables::ValveEventBreack, "Не сообщать", ConfigImage::ValveReportFlags, 1, 0, 251, 0, 1},
        {"valve close on", 1, Tables::ValveEventClose, "Сообщать", ConfigImage::ValveReportFlags, 1, 0, 251, 2, 2},
        {"valve state relay", 1, Tables::RelayValveClose, "Реле 3", ConfigImage::ValveStateRelay, 1, 0, 251, 3, 0xFF},
        // An empty box stores code 0; the single layout writes entry 0 only.
        {"single line, empty box", 0, Tables::SensorDefectValve, QString(), ConfigImage::DefectValve, 1, 0, 1, 0, 0xFF}};
    const int sensorArrays[4][2] = {{ConfigImage::Thres1Relay, ConfigImage::Thres1Valve},
                                    {ConfigImage::Thres2Relay, ConfigImage::Thres2Valve},
                                    {ConfigImage::DefectRelay, ConfigImage::DefectValve},
                                    {ConfigImage::FireRelay, ConfigImage::FireValve}};
    for (int s = 0; s < 4; ++s) {
        const auto relay = Tables::Assignment(Tables::SensorThres1Relay + 2 * s);
        rows.append({QString("sensor relay %1").arg(s), 1, relay, "Реле 2", sensorArrays[s][0], 1, 1, 250, 2, 0xFF});
        rows.append({QString("sensor valve %1").arg(s), 1, Tables::Assignment(relay + 1), "Клапан 17",
                     sensorArrays[s][1], 1, 1, 250, 18, 0xFF});
    }
    return rows;
}

void TestConfigTables::applyToAll_data()
{
    QTest::addColumn<int>("index");
    const QVector<Assignment> rows = assignments();
    for (int i = 0; i < rows.size(); ++i)
        QTest::newRow(qPrintable(rows[i].name)) << i;
}

// Everything but the chosen field on the table's rows stays byte for byte,
// including sensor entries 0 and 251 and valve entry 251.
void TestConfigTables::applyToAll()
{
    QFETCH(int, index);
    const Assignment a = assignments().at(index);
    Form form;
    ConfigImage image = randomImage(61 + quint32(index), a.mode);
    Tables tables(image, form.w);
    tables.refreshAllTables();
    QComboBox *box = form.boxes[a.assignment];
    box->setCurrentIndex(box->findText(a.choice));
    QCOMPARE(box->currentText(), a.choice);
    ConfigImage expected = image;
    setField(expected, a.offset, a.width, a.first, a.rows, a.value, a.mask);
    tables.applyToAll(a.assignment);
    QVERIFY(image == expected);
    QCOMPARE(box->currentText(), a.choice);
}

// The table is gathered first: an edit in its other column survives, while an
// unsaved edit in another table stays only in that table's cells.
void TestConfigTables::applyToAllGathersOnlyItsTable()
{
    Form form;
    ConfigImage image = randomImage(71, 1);
    Tables tables(image, form.w);
    tables.refreshAllTables();
    form.w.tableSensorFire->item(10, 2)->setText(QStringLiteral("Клапан 5"));
    form.w.tableSensorThres1->item(10, 2)->setText(QStringLiteral("Клапан 6"));
    const quint8 thres1Before = image.byte(ConfigImage::Thres1Valve + 11);
    form.w.comboBoxSensorFireRelay->setCurrentText(QStringLiteral("Реле 1"));
    tables.applyToAll(Tables::SensorFireRelay);
    QCOMPARE(image.byte(ConfigImage::FireValve + 11), quint8(6));
    QCOMPARE(cell(form.w.tableSensorFire, 10, 2), QStringLiteral("Клапан 5"));
    QCOMPARE(image.byte(ConfigImage::Thres1Valve + 11), thres1Before);
    QCOMPARE(cell(form.w.tableSensorThres1, 10, 2), QStringLiteral("Клапан 6"));
}

// The drop-down editors preselect the cell's text ("0.0" is not offered, so
// the first item) and store the choice.
void TestConfigTables::cellEditors()
{
    Form form;
    ConfigImage image = randomImage(81, 1);
    image.setWord(ConfigImage::InputDelay, 0);
    image.setByte(ConfigImage::InputRelay, 3);
    Tables tables(image, form.w);
    tables.refreshAllTables();
    QTableWidget *in = form.w.tableDiscreteInput;
    QStyleOptionViewItem option;
    option.rect = QRect(3, 4, 50, 20);
    const QModelIndex delay = in->model()->index(0, 5);
    std::unique_ptr<QWidget> editor(tables.delayEditor()->createEditor(in->viewport(), option, delay));
    auto *combo = qobject_cast<QComboBox *>(editor.get());
    QVERIFY(combo && !combo->isEditable());
    QCOMPARE(combo->parentWidget(), in->viewport());
    QCOMPARE(combo->count(), 50);
    tables.delayEditor()->setEditorData(combo, delay);
    QCOMPARE(combo->currentText(), QStringLiteral("0.2"));
    tables.delayEditor()->updateEditorGeometry(combo, option, delay);
    QCOMPARE(combo->geometry(), option.rect);

    const QModelIndex relay = in->model()->index(0, 3);
    editor.reset(tables.relayEditor()->createEditor(in->viewport(), option, relay));
    combo = qobject_cast<QComboBox *>(editor.get());
    tables.relayEditor()->setEditorData(combo, relay);
    QCOMPARE(combo->currentText(), QStringLiteral("Реле 3"));
    combo->setCurrentIndex(4);
    tables.relayEditor()->setModelData(combo, in->model(), relay);
    QCOMPARE(cell(in, 0, 3), QStringLiteral("Реле 4"));
    QCOMPARE(tables.valveEditorSingle()->items(), QStringList({"Нет   ", "Клапан 0"}));

}

QTEST_MAIN(TestConfigTables)
#include "tst_configtables.moc"
