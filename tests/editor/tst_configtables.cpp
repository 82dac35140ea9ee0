#include "configimage.h"
#include "configtables.h"
#include "spinboxdelegate.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QStandardItemModel>
#include <QtTest>

#include <memory>

namespace {

using Tables = ConfigTables;

// The window's widgets, built the way the form builds them.
struct Form {
    QWidget root;
    Tables::Widgets w;
    QTableWidget *tables[6];
    QComboBox *boxes[16];

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
        for (int i = 0; i < 16; ++i) // indexed like ConfigTables::Assignment
            boxes[i] = *b[i] = new QComboBox(&root);
        for (QGroupBox **g : {&w.groupBoxValve, &w.groupBoxThres1, &w.groupBoxThres2,
                              &w.groupBoxDefect, &w.groupBoxFire})
            *g = new QGroupBox(&root);
    }
};

// Every code within its list, so the tables show each value exactly; bytes
// the tables do not own are random too and must survive untouched.
std::unique_ptr<ConfigImage> randomImage(quint32 seed, int mode)
{
    QRandomGenerator rng(seed);
    auto image = std::make_unique<ConfigImage>();
    for (quint8 &b : image->MainBlock) b = quint8(rng.bounded(256));
    for (quint8 &b : image->PhoneBlock) b = quint8(rng.bounded(256));
    for (int i = 0; i < ConfigImage::SensorCount; ++i) {
        for (int relay : {ConfigImage::Thres1Relay, ConfigImage::Thres2Relay, ConfigImage::FireRelay,
                          ConfigImage::DefectRelay, ConfigImage::ValveStateRelay})
            image->MainBlock[relay + i] = quint8(rng.bounded(5));
        for (int valve : {ConfigImage::Thres1Valve, ConfigImage::Thres2Valve,
                          ConfigImage::FireValve, ConfigImage::DefectValve})
            image->MainBlock[valve + i] = quint8(rng.bounded(252));
    }
    for (int i = 0; i < ConfigImage::InputCount; ++i) {
        image->MainBlock[ConfigImage::InputValve + i] = quint8(rng.bounded(252));
        image->MainBlock[ConfigImage::InputRelay + i] = quint8(rng.bounded(5));
        image->MainBlock[ConfigImage::InputName + i] = quint8(rng.bounded(161));
        image->setWord(ConfigImage::InputDelay + 2 * i, quint16(20 * rng.bounded(51)));
    }
    image->setByte(ConfigImage::ValveType, quint8(rng.bounded(2)));
    image->setWord(ConfigImage::PollingMode, quint16(mode));
    return image;
}

void setCell(QTableWidget *table, int row, int column, const QString &text)
{
    table->item(row, column)->setText(text);
}

QString cell(QTableWidget *table, int row, int column)
{
    return table->item(row, column) ? table->item(row, column)->text() : QStringLiteral("<none>");
}

bool editable(QTableWidget *table, int row, int column)
{
    return table->item(row, column)->flags() & Qt::ItemIsEditable;
}

} // namespace

class TestConfigTables : public QObject
{
    Q_OBJECT

private slots:
    void shapesPerMode_data();
    void shapesPerMode();
    void roundTripKeepsEveryByte_data();
    void roundTripKeepsEveryByte();
    void modeSwitchKeepsBothLayouts();
    void gatherUsesBuiltLayout();
    void refillKeepsIndex();
    void outOfRangeCodesShowClamped();
    void applyToAllWritesExactlyItsField_data();
    void applyToAllWritesExactlyItsField();
    void applyToAllEdgeCases();
    void delegatePreselectsAndStores();
    void delegatesReleasedOnDestruction();
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
    auto image = randomImage(1, mode);
    Tables tables(*image, form.w);
    tables.refreshAllTables();
    const auto &w = form.w;

    QCOMPARE(w.tableDiscreteInput->rowCount(), 24);
    QCOMPARE(w.tableValve->rowCount(), addressed ? 251 : 1);
    QCOMPARE(w.groupBoxValve->isHidden(), !addressed);
    for (QTableWidget *t : form.tables) {
        QVERIFY(t->verticalHeader()->isHidden());
        QVERIFY(t->horizontalHeader()->isSortIndicatorShown());
        QVERIFY(!t->isSortingEnabled());
        QVERIFY(t->alternatingRowColors());
        for (int r = 0; r < t->rowCount(); ++r)
            QVERIFY(!editable(t, r, 0));
    }
    for (int s = 2; s < 6; ++s) {
        QTableWidget *t = form.tables[s];
        QCOMPARE(t->rowCount(), addressed ? 250 : 1);
        QCOMPARE(cell(t, 0, 0), addressed ? QStringLiteral("1") : QStringLiteral(" "));
        QCOMPARE(t->columnWidth(1), 80);
        QCOMPARE(t->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Выбор клапана"));
        QCOMPARE(t->itemDelegateForColumn(2), addressed ? tables.valveEditorAddressed()
                                                        : tables.valveEditorSingle());
    }
    QCOMPARE(w.groupBoxThres1->isHidden(), !addressed);
    QCOMPARE(w.groupBoxFire->isHidden(), !addressed);
    QCOMPARE(cell(w.tableSensorFire, addressed ? 249 : 0, 0), addressed ? QStringLiteral("250") : QStringLiteral(" "));

    QCOMPARE(cell(w.tableDiscreteInput, 23, 0), QStringLiteral("24"));
    QCOMPARE(w.tableDiscreteInput->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Тип входа"));
    QCOMPARE(w.tableDiscreteInput->columnWidth(2), 270);
    QCOMPARE(w.tableValve->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Реле состояния клап."));
    QCOMPARE(w.tableValve->columnWidth(3), 130);
    QCOMPARE(cell(w.tableValve, addressed ? 250 : 0, 0), addressed ? QStringLiteral("250") : QStringLiteral("0"));
    QVERIFY(editable(w.tableValve, 0, 1) && editable(w.tableValve, 0, 5) && editable(w.tableValve, 0, 2));
    if (addressed) {
        QCOMPARE(cell(w.tableValve, 7, 1), QStringLiteral(" "));
        QVERIFY(!editable(w.tableValve, 7, 1) && !editable(w.tableValve, 250, 5));
        QVERIFY(editable(w.tableValve, 250, 4));
    }
    QCOMPARE(w.tableDiscreteInput->itemDelegateForColumn(4), addressed ? tables.valveEditorAddressed()
                                                                      : tables.valveEditorSingle());
    QCOMPARE(w.tableDiscreteInput->itemDelegateForColumn(5), tables.delayEditor());
    QCOMPARE(w.tableValve->itemDelegateForColumn(5), tables.valveTypeEditor());

    QCOMPARE(w.comboBoxDiscreteInputValve->count(), addressed ? 252 : 2);
    QCOMPARE(w.comboBoxSensorDefectValve->count(), 252);
    QCOMPARE(w.comboBoxDiscreteInputName->count(), 161);
    QCOMPARE(w.comboBoxDiscreteInputDelay->itemText(0), QStringLiteral("0.2"));
    QCOMPARE(w.comboBoxDiscreteInputDelay->count(), 50);
    QCOMPARE(w.comboBoxRelayValveClose->itemText(0), QStringLiteral("Нет   "));
}

void TestConfigTables::roundTripKeepsEveryByte_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 11; seed < 14; ++seed) {
        QTest::addRow("non-addressed %u", seed) << 0 << seed;
        QTest::addRow("addressed %u", seed) << 1 << seed;
    }
}

// Entry 0 and 251 in addressed mode, entries past 0 in non-addressed mode,
// unused bits and file-only bytes are not shown and must come back as they were.
void TestConfigTables::roundTripKeepsEveryByte()
{
    QFETCH(int, mode);
    QFETCH(quint32, seed);
    Form form;
    auto image = randomImage(seed, mode);
    const ConfigImage before = *image;
    Tables tables(*image, form.w);
    tables.refreshAllTables();
    tables.gatherAllTables();
    for (int i = 0; i < ConfigImage::MainSize; ++i)
        QVERIFY2(image->MainBlock[i] == before.MainBlock[i], qPrintable(QString::number(i)));
    QVERIFY(*image == before);
}

void TestConfigTables::modeSwitchKeepsBothLayouts()
{
    Form form;
    auto image = randomImage(21, 1);
    image->MainBlock[ConfigImage::FireRelay] = 3;
    Tables tables(*image, form.w);
    tables.refreshAllTables();
    setCell(form.w.tableSensorFire, 4, 1, QStringLiteral("Реле 4"));
    setCell(form.w.tableValve, 9, 4, QStringLiteral("Реле 2"));

    tables.gatherAllTables(); // the window's mode switch: gather, store mode, refresh
    image->setWord(ConfigImage::PollingMode, 0);
    const ConfigImage addressedState = *image;
    tables.refreshAllTables();
    QCOMPARE(form.w.tableSensorFire->rowCount(), 1);
    QCOMPARE(cell(form.w.tableSensorFire, 0, 1), QStringLiteral("Реле 3"));
    setCell(form.w.tableSensorFire, 0, 1, QStringLiteral("Реле 1"));

    tables.gatherAllTables();
    image->setWord(ConfigImage::PollingMode, 1);
    tables.refreshAllTables();
    QCOMPARE(form.w.tableSensorFire->rowCount(), 250);
    QCOMPARE(form.w.tableValve->rowCount(), 251);
    QCOMPARE(cell(form.w.tableSensorFire, 4, 1), QStringLiteral("Реле 4"));
    QCOMPARE(cell(form.w.tableValve, 9, 4), QStringLiteral("Реле 2"));
    QCOMPARE(image->byte(ConfigImage::FireRelay), quint8(1));
    // Only the single-line entry changed while non-addressed.
    ConfigImage expected = addressedState;
    expected.setByte(ConfigImage::FireRelay, 1);
    expected.setWord(ConfigImage::PollingMode, 1);
    QVERIFY(*image == expected);
}

void TestConfigTables::gatherUsesBuiltLayout()
{
    Form form;
    auto image = randomImage(31, 1);
    Tables tables(*image, form.w);
    tables.refreshAllTables();
    setCell(form.w.tableSensorThres2, 0, 2, QStringLiteral("Клапан 99"));
    setCell(form.w.tableSensorThres2, 5, 1, QStringLiteral("Реле 4"));
    setCell(form.w.tableValve, 3, 2, QStringLiteral("Не сообщать"));
    setCell(form.w.tableValve, 3, 3, QStringLiteral("Сообщать"));
    image->setWord(ConfigImage::PollingMode, 0); // e.g. a new mode stored before the gather
    const ConfigImage before = *image;
    tables.gatherAllTables();
    QCOMPARE(image->byte(ConfigImage::Thres2Valve + 1), quint8(100));
    QCOMPARE(image->byte(ConfigImage::Thres2Valve), before.byte(ConfigImage::Thres2Valve));
    QCOMPARE(image->byte(ConfigImage::Thres2Relay + 6), quint8(4));
    QCOMPARE(image->byte(ConfigImage::ValveReportFlags + 3) & 3, 2);
}

void TestConfigTables::refillKeepsIndex()
{
    Form form;
    auto image = randomImage(41, 1);
    Tables tables(*image, form.w);
    tables.refreshAllTables();
    form.w.comboBoxDiscreteInputValve->setCurrentIndex(5);
    form.w.comboBoxSensorThres1Valve->setCurrentIndex(200);
    form.w.comboBoxDiscreteInputName->setCurrentIndex(1);
    image->setWord(ConfigImage::PollingMode, 0);
    tables.refreshAllTables();
    QCOMPARE(form.w.comboBoxDiscreteInputValve->currentIndex(), -1); // no such item any more
    QCOMPARE(form.w.comboBoxSensorThres1Valve->currentIndex(), 200);
    QCOMPARE(form.w.comboBoxDiscreteInputName->currentText().trimmed(), QStringLiteral("Пожар"));
}

void TestConfigTables::outOfRangeCodesShowClamped()
{
    Form form;
    auto image = randomImage(51, 0);
    image->setByte(ConfigImage::InputRelay, 9);
    image->setByte(ConfigImage::InputValve + 1, 255);
    image->setByte(ConfigImage::InputValve + 2, 8);
    image->setByte(ConfigImage::InputName, 200);
    image->setByte(ConfigImage::InputName + 1, 93);
    const int delays[] = {1500, 30, 0, 10, 1000};
    for (int i = 0; i < 5; ++i)
        image->setWord(ConfigImage::InputDelay + 2 * i, quint16(delays[i]));
    image->setByte(ConfigImage::ValveType, 7);
    image->setByte(ConfigImage::ValveStateRelay, 200);
    image->setByte(ConfigImage::FireValve, 252);
    Tables tables(*image, form.w);
    tables.refreshAllTables();

    QTableWidget *in = form.w.tableDiscreteInput;
    QCOMPARE(cell(in, 0, 3), QStringLiteral("Нет   "));
    QCOMPARE(cell(in, 1, 4), QStringLiteral("Нет   "));
    QCOMPARE(cell(in, 2, 4), QStringLiteral("Клапан 7")); // beyond the two-item list, still shown
    QCOMPARE(cell(in, 0, 2), QString(40, QLatin1Char(' ')));
    QCOMPARE(cell(in, 1, 2).trimmed(), QStringLiteral("Клапан закрыт"));
    const char *shown[] = {"10.0", "0.2", "0.0", "0.0", "10.0"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(cell(in, i, 5), QString::fromLatin1(shown[i]));
    QCOMPARE(cell(form.w.tableValve, 0, 5), QStringLiteral("КЗЭГ/ВН"));
    QCOMPARE(cell(form.w.tableValve, 0, 4), QStringLiteral("Нет   "));
    QCOMPARE(cell(form.w.tableSensorFire, 0, 2), QStringLiteral("Нет   "));

    tables.gatherAllTables(); // what is shown is what gets stored
    QCOMPARE(image->byte(ConfigImage::InputRelay), quint8(0));
    QCOMPARE(image->byte(ConfigImage::InputValve + 1), quint8(0));
    QCOMPARE(image->byte(ConfigImage::InputValve + 2), quint8(8));
    QCOMPARE(image->byte(ConfigImage::InputName), quint8(0));
    QCOMPARE(image->byte(ConfigImage::InputName + 1), quint8(93));
    const int stored[] = {1000, 20, 0, 0, 1000};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(int(image->word(ConfigImage::InputDelay + 2 * i)), stored[i]);
    QCOMPARE(image->byte(ConfigImage::ValveType), quint8(0));
    QCOMPARE(image->byte(ConfigImage::ValveStateRelay), quint8(0));
    QCOMPARE(image->byte(ConfigImage::FireValve), quint8(0));
}

void TestConfigTables::applyToAllWritesExactlyItsField_data()
{
    // offset, bytes per row, first entry, rows, text chosen, value per row
    QTest::addColumn<int>("assignment");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<int>("value");
    QTest::newRow("input name") << int(Tables::DiscreteInputName) << int(ConfigImage::InputName) << 1 << 0 << 24 << ConfigImage::inputNameText(93) << 93;
    QTest::newRow("input relay") << int(Tables::DiscreteInputRelay) << int(ConfigImage::InputRelay) << 1 << 0 << 24 << "Реле 4" << 4;
    QTest::newRow("input valve") << int(Tables::DiscreteInputValve) << int(ConfigImage::InputValve) << 1 << 0 << 24 << "Клапан 250" << 251;
    QTest::newRow("input delay 10.0") << int(Tables::DiscreteInputDelay) << int(ConfigImage::InputDelay) << 2 << 0 << 24 << "10.0" << 1000;
    QTest::newRow("input delay 0.2") << int(Tables::DiscreteInputDelay) << int(ConfigImage::InputDelay) << 2 << 0 << 24 << "0.2" << 20;
    QTest::newRow("valve state relay") << int(Tables::RelayValveClose) << int(ConfigImage::ValveStateRelay) << 1 << 0 << 251 << "Реле 3" << 3;
    const struct { const char *name; int assignment; int offset; bool relay; } sensorArrays[] = {
        {"thres1 relay", Tables::SensorThres1Relay, ConfigImage::Thres1Relay, true},
        {"thres1 valve", Tables::SensorThres1Valve, ConfigImage::Thres1Valve, false},
        {"thres2 relay", Tables::SensorThres2Relay, ConfigImage::Thres2Relay, true},
        {"thres2 valve", Tables::SensorThres2Valve, ConfigImage::Thres2Valve, false},
        {"defect relay", Tables::SensorDefectRelay, ConfigImage::DefectRelay, true},
        {"defect valve", Tables::SensorDefectValve, ConfigImage::DefectValve, false},
        {"fire relay", Tables::SensorFireRelay, ConfigImage::FireRelay, true},
        {"fire valve", Tables::SensorFireValve, ConfigImage::FireValve, false}};
    for (const auto &s : sensorArrays) {
        QTest::newRow(s.name) << s.assignment << s.offset << 1 << 1 << 250
            << (s.relay ? QStringLiteral("Реле 2") : QStringLiteral("Клапан 17")) << (s.relay ? 2 : 18);
    }
}

// Everything but the chosen field on the chosen rows stays byte for byte,
// including sensor entries 0 and 251 and valve entry 251.
void TestConfigTables::applyToAllWritesExactlyItsField()
{
    QFETCH(int, assignment);
    QFETCH(int, offset);
    QFETCH(int, width);
    QFETCH(int, first);
    QFETCH(int, rows);
    QFETCH(QString, choice);
    QFETCH(int, value);
    Form form;
    auto image = randomImage(61 + quint32(assignment), 1);
    Tables tables(*image, form.w);
    tables.refreshAllTables();
    QComboBox *box = form.boxes[assignment];
    box->setCurrentIndex(box->findText(choice));
    QCOMPARE(box->currentText(), choice);
    ConfigImage expected = *image;
    for (int r = 0; r < rows; ++r) {
        const int at = offset + (first + r) * width;
        width == 2 ? expected.setWord(at, quint16(value)) : expected.setByte(at, quint8(value));
    }
    tables.applyToAll(Tables::Assignment(assignment));
    QVERIFY(*image == expected);
    QCOMPARE(box->currentText(), choice);
}

void TestConfigTables::applyToAllEdgeCases()
{
    Form form;
    auto image = randomImage(71, 1);
    Tables tables(*image, form.w);
    tables.refreshAllTables();
    const auto &w = form.w;

    w.comboBoxDiscreteInputType->setCurrentText(QStringLiteral("Нормально замкнут"));
    tables.applyToAll(Tables::DiscreteInputType);
    QCOMPARE(image->dword(ConfigImage::InputContactMask), 0u);
    w.comboBoxDiscreteInputType->setCurrentText(QStringLiteral("Нормально разомкнут"));
    tables.applyToAll(Tables::DiscreteInputType);
    QCOMPARE(image->dword(ConfigImage::InputContactMask), 0xFFFFFFFFu);

    // Report bits: only the chosen bit moves, the rest of each flag byte stays.
    ConfigImage before = *image;
    w.comboBoxValveEventBreack->setCurrentText(QStringLiteral("Не сообщать"));
    tables.applyToAll(Tables::ValveEventBreack);
    w.comboBoxValveEventClose->setCurrentText(QStringLiteral("Сообщать"));
    tables.applyToAll(Tables::ValveEventClose);
    for (int v = 0; v < 252; ++v) {
        const quint8 old = before.byte(ConfigImage::ValveReportFlags + v);
        const quint8 now = image->byte(ConfigImage::ValveReportFlags + v);
        QCOMPARE(now, v < 251 ? quint8((old & ~1) | 2) : old);
    }

    // The table is gathered first: an edit in its other column survives, while
    // an unsaved edit in another table stays only in that table's cells.
    setCell(w.tableSensorFire, 10, 2, QStringLiteral("Клапан 5"));
    setCell(w.tableSensorThres1, 10, 2, QStringLiteral("Клапан 6"));
    const quint8 thres1Before = image->byte(ConfigImage::Thres1Valve + 11);
    w.comboBoxSensorFireRelay->setCurrentText(QStringLiteral("Реле 1"));
    tables.applyToAll(Tables::SensorFireRelay);
    QCOMPARE(image->byte(ConfigImage::FireValve + 11), quint8(6));
    QCOMPARE(cell(w.tableSensorFire, 10, 2), QStringLiteral("Клапан 5"));
    QCOMPARE(image->byte(ConfigImage::Thres1Valve + 11), thres1Before);
    QCOMPARE(cell(w.tableSensorThres1, 10, 2), QStringLiteral("Клапан 6"));

    // An empty box stores code 0; in the single layout only entry 0 is written.
    image->setWord(ConfigImage::PollingMode, 0);
    tables.refreshAllTables();
    before = *image;
    w.comboBoxSensorDefectValve->setCurrentIndex(-1);
    tables.applyToAll(Tables::SensorDefectValve);
    before.setByte(ConfigImage::DefectValve, 0);
    QVERIFY(*image == before);
}

void TestConfigTables::delegatePreselectsAndStores()
{
    Form form;
    auto image = randomImage(81, 1);
    image->setWord(ConfigImage::InputDelay, 0);
    Tables tables(*image, form.w);
    tables.refreshAllTables();
    QTableWidget *in = form.w.tableDiscreteInput;
    SpinBoxDelegate *delay = tables.delayEditor();
    const QModelIndex zeroDelay = in->model()->index(0, 5);
    QCOMPARE(zeroDelay.data().toString(), QStringLiteral("0.0"));

    QStyleOptionViewItem option;
    option.rect = QRect(3, 4, 50, 20);
    std::unique_ptr<QWidget> editor(delay->createEditor(in->viewport(), option, zeroDelay));
    auto *combo = qobject_cast<QComboBox *>(editor.get());
    QVERIFY(combo);
    QVERIFY(!combo->isEditable());
    QCOMPARE(combo->count(), 50);
    delay->setEditorData(combo, zeroDelay);
    QCOMPARE(combo->currentText(), QStringLiteral("0.2"));
    delay->updateEditorGeometry(combo, option, zeroDelay);
    QCOMPARE(combo->geometry(), option.rect);
    delay->setModelData(combo, in->model(), zeroDelay);
    QCOMPARE(cell(in, 0, 5), QStringLiteral("0.2"));
    tables.gatherInputTable();
    QCOMPARE(int(image->word(ConfigImage::InputDelay)), 20);

    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QStringLiteral("Реле 3"));
    SpinBoxDelegate *relay = tables.relayEditor();
    std::unique_ptr<QWidget> relayEditor(relay->createEditor(nullptr, option, model.index(0, 0)));
    auto *relayCombo = qobject_cast<QComboBox *>(relayEditor.get());
    relay->setEditorData(relayCombo, model.index(0, 0));
    QCOMPARE(relayCombo->currentIndex(), 3);
    relayCombo->setCurrentIndex(4);
    relay->setModelData(relayCombo, &model, model.index(0, 0));
    QCOMPARE(model.data(model.index(0, 0), Qt::EditRole).toString(), QStringLiteral("Реле 4"));
    QCOMPARE(tables.valveEditorSingle()->items(), (QStringList{QStringLiteral("Нет   "), QStringLiteral("Клапан 0")}));
}

// The views would otherwise keep pointers to deleted delegates.
void TestConfigTables::delegatesReleasedOnDestruction()
{
    Form form;
    auto image = randomImage(91, 1);
    {
        Tables tables(*image, form.w);
        tables.refreshAllTables();
        QVERIFY(form.w.tableValve->itemDelegateForColumn(2));
    }
    for (QTableWidget *t : form.tables)
        for (int c = 0; c < t->columnCount(); ++c)
            QVERIFY(!t->itemDelegateForColumn(c));
}

QTEST_MAIN(TestConfigTables)
#include "tst_configtables.moc"
