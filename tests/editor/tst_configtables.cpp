#include "configimage.h"
#include "configtables.h"
#include "spinboxdelegate.h"
#include "testimages.h"

#include <QComboBox>
#include <QGroupBox>
#include <QRandomGenerator>
#include <QtTest>

namespace {

using Image = ConfigImage;
using Tables = ConfigTables;

// The window's widgets as the form builds them; boxes in Assignment order.
struct Form {
    QWidget root;
    Tables::Widgets w;
    Form()
    {
        for (QTableWidget **t : {&w.tableDiscreteInput, &w.tableValve, &w.tableSensorThres1, &w.tableSensorThres2,
                                 &w.tableSensorDefect, &w.tableSensorFire})
            *t = new QTableWidget(&root);
        for (QComboBox **b : {&w.comboBoxDiscreteInputType, &w.comboBoxDiscreteInputName, &w.comboBoxDiscreteInputRelay,
                              &w.comboBoxDiscreteInputValve, &w.comboBoxDiscreteInputDelay, &w.comboBoxValveEventBreack,
                              &w.comboBoxValveEventClose, &w.comboBoxRelayValveClose, &w.comboBoxSensorThres1Relay,
                              &w.comboBoxSensorThres1Valve, &w.comboBoxSensorThres2Relay, &w.comboBoxSensorThres2Valve,
                              &w.comboBoxSensorDefectRelay, &w.comboBoxSensorDefectValve, &w.comboBoxSensorFireRelay,
                              &w.comboBoxSensorFireValve})
            *b = new QComboBox(&root);
        for (QGroupBox **g : {&w.groupBoxValve, &w.groupBoxThres1, &w.groupBoxThres2, &w.groupBoxDefect,
                              &w.groupBoxFire})
            *g = new QGroupBox(&root);
    }
};

// Codes within their lists; bytes the tables do not own are random too.
Image randomImage(quint32 seed, int mode)
{
    QRandomGenerator rng(seed);
    Image image = randomShownImage(rng, mode);
    for (int i = 0; i < Image::InputCount; ++i)
        image.setByte(Image::InputName + i, quint8(rng.bounded(161)));
    return image;
}

// A cell's text, marked when the user cannot edit it.
QString cell(QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return !item ? QStringLiteral("<none>") : item->text() + (item->flags() & Qt::ItemIsEditable ? "" : "#");
}

QStringList shownTexts(const Form &form)
{
    QStringList texts;
    for (QTableWidget *t : form.root.findChildren<QTableWidget *>())
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < t->columnCount(); ++c)
                texts << cell(t, r, c);
    return texts;
}

// Stores value into `rows` entries of a little-endian field from entry `first`;
// mask picks the bits of each byte.
void setField(Image &image, int offset, int width, int first, int rows, quint32 value, int mask = 0xFF)
{
    for (int at = offset + first * width; at < offset + (first + rows) * width; at += width)
        for (int b = 0; b < width; ++b)
            image.MainBlock[at + b] = quint8((image.MainBlock[at + b] & ~mask) | ((value >> 8 * b) & mask));
}

} // namespace

class TestConfigTables : public QObject
{
    Q_OBJECT

private slots:
    void eachMode();
    void applyToAll();
    void cellEditors();
};

// Any mode but 0 gets the addressed layout. Codes come back byte for byte with all
// the tables do not show, a code out of range as shown. A mode switch gathers the
// layout the tables were built with, even if the new mode is stored first.
void TestConfigTables::eachMode()
{
    for (int mode : {0, 1, 7}) {
        const int addressed = mode != 0;
        Form form;
        Image image = randomImage(quint32(11 + mode), mode);
        Image expected = image;
        const struct { int offset, width, stored, back; } codes[] = {
            {Image::InputRelay, 1, 9, 0}, {Image::InputValve + 1, 1, 255, 0}, {Image::InputName, 1, 200, 0},
            {Image::InputDelay, 2, 1500, 1000}, {Image::ValveType, 1, 7, 0}, {Image::ValveStateRelay, 1, 200, 0},
            {Image::FireValve + addressed, 1, 252, 0}, {Image::Thres1Relay + addressed, 1, 5, 0}};
        for (const auto &c : codes) {
            setField(image, c.offset, c.width, 0, 1, quint32(c.stored));
            setField(expected, c.offset, c.width, 0, 1, quint32(c.back));
        }
        Tables tables(image, form.w);
        tables.refreshAllTables();
        QStringList shape;
        for (QTableWidget *t : form.root.findChildren<QTableWidget *>())
            shape << QString::number(t->rowCount()) + ':' + cell(t, 0, 0) + '-' + cell(t, t->rowCount() - 1, 0);
        QCOMPARE(shape.join(' '), addressed ? "24:1#-24# 251:0#-250# 250:1#-250# 250:1#-250# 250:1#-250# 250:1#-250#"
                                            : "24:1#-24# 1:0#-0# 1: #- # 1: #- # 1: #- # 1: #- #");
        const QStringList shown = shownTexts(form);
        QCOMPARE(shown.filter("#").size(), addressed ? 24 + 251 + 250 * 2 + 250 * 4 : 24 + 1 + 4);
        QCOMPARE(cell(form.w.tableValve, 7, 1) + cell(form.w.tableValve, 250, 5), addressed ? " # #" : "<none><none>");
        for (QGroupBox *g : form.root.findChildren<QGroupBox *>())
            QCOMPARE(g->isHidden(), !addressed);
        // The valve column's cell editor, owned by its view, offers the layout's list.
        const auto valveEditorSizes = [&form] {
            QVector<int> sizes;
            for (QTableWidget *view : {form.w.tableDiscreteInput, form.w.tableSensorFire}) {
                auto *valves = qobject_cast<SpinBoxDelegate *>(view->itemDelegateForColumn(view == form.w.tableSensorFire ? 2 : 4));
                sizes << (valves && valves->parent() == view ? valves->items().size() : -1);
            }
            return sizes;
        };
        QCOMPARE(valveEditorSizes(), QVector<int>(2, addressed ? 252 : 2));
        QCOMPARE(form.w.comboBoxDiscreteInputValve->count(), addressed ? 252 : 2);

        tables.gatherAllTables();
        QVERIFY(image == expected);
        tables.refreshAllTables();
        QCOMPARE(shownTexts(form), shown);

        // An edit in each layout, the new mode stored before the gather, and back.
        form.w.tableSensorFire->item(0, 1)->setText(QStringLiteral("Реле 4"));
        image.setWord(Image::PollingMode, quint16(!addressed));
        tables.gatherAllTables();
        tables.refreshAllTables();
        QCOMPARE(valveEditorSizes(), QVector<int>(2, addressed ? 2 : 252));
        form.w.tableSensorFire->item(0, 1)->setText(QStringLiteral("Реле 2"));
        tables.gatherAllTables();
        image.setWord(Image::PollingMode, quint16(mode));
        tables.refreshAllTables();
        setField(expected, Image::FireRelay + addressed, 1, 0, 1, 4);
        setField(expected, Image::FireRelay + !addressed, 1, 0, 1, 2);
        QVERIFY(image == expected);
        QCOMPARE(cell(form.w.tableSensorFire, 0, 1), QStringLiteral("Реле 4"));
    }
}

// Each "Для всех" writes exactly its field on its table's rows (sensor entries 0
// and 251, valve entry 251 stay). Its table is gathered first: an edit in its
// other column survives, an edit in another table stays only on screen.
void TestConfigTables::applyToAll()
{
    struct Row { int mode, assignment; QString choice; int offset, width, first, rows; quint32 value; int mask; };
    QVector<Row> rows = {
        {1, Tables::DiscreteInputType, "Нормально разомкнут", Image::InputContactMask, 4, 0, 1, ~0u, 0xFF},
        {1, Tables::DiscreteInputName, Image::inputNameText(93), Image::InputName, 1, 0, 24, 93, 0xFF},
        {1, Tables::DiscreteInputRelay, "Реле 4", Image::InputRelay, 1, 0, 24, 4, 0xFF},
        {1, Tables::DiscreteInputValve, "Клапан 250", Image::InputValve, 1, 0, 24, 251, 0xFF},
        {1, Tables::DiscreteInputDelay, "10.0", Image::InputDelay, 2, 0, 24, 1000, 0xFF},
        {1, Tables::ValveEventBreack, "Не сообщать", Image::ValveReportFlags, 1, 0, 251, 0, 1},
        {1, Tables::ValveEventClose, "Сообщать", Image::ValveReportFlags, 1, 0, 251, 2, 2},
        {1, Tables::RelayValveClose, "Реле 3", Image::ValveStateRelay, 1, 0, 251, 3, 0xFF},
        {0, Tables::SensorDefectValve, QString(), Image::DefectValve, 1, 0, 1, 0, 0xFF}}; // empty box: code 0
    const int sensorArrays[] = {Image::Thres1Relay, Image::Thres1Valve, Image::Thres2Relay, Image::Thres2Valve,
                                Image::DefectRelay, Image::DefectValve, Image::FireRelay, Image::FireValve};
    for (int s = 0; s < 8; ++s)
        rows.append({1, Tables::SensorThres1Relay + s, s % 2 ? "Клапан 17" : "Реле 2", sensorArrays[s], 1, 1, 250,
                     s % 2 ? 18u : 2u, 0xFF});
    for (const Row &a : rows) {
        Form form;
        Image image = randomImage(quint32(61 + a.assignment), a.mode);
        Tables tables(image, form.w);
        tables.refreshAllTables();
        form.w.tableSensorFire->item(0, 2)->setText(QStringLiteral("Клапан 5"));
        QComboBox *box = form.root.findChildren<QComboBox *>().at(a.assignment);
        box->setCurrentIndex(box->findText(a.choice));
        Image expected = image;
        setField(expected, a.offset, a.width, a.first, a.rows, a.value, a.mask);
        if (a.assignment == Tables::SensorFireRelay)
            expected.setByte(Image::FireValve + 1, 6);
        tables.applyToAll(Tables::Assignment(a.assignment));
        QVERIFY2(image == expected, qPrintable(QString::number(a.assignment)));
        QCOMPARE(box->currentText(), a.choice); // found, and kept through the refresh
        QCOMPARE(cell(form.w.tableSensorFire, 0, 2),
                 a.assignment == Tables::SensorFireValve ? "Клапан 17" : "Клапан 5");
    }
}

// The drop-down editors preselect the cell's text (a "0.0" delay is not offered:
// the first item) and store the choice.
void TestConfigTables::cellEditors()
{
    Form form;
    Image image = randomImage(81, 1);
    image.setWord(Image::InputDelay, 0);
    Tables tables(image, form.w);
    tables.refreshAllTables();
    QTableWidget *in = form.w.tableDiscreteInput;
    for (int column = 1; column < 6; ++column) {
        const QModelIndex index = in->model()->index(0, column);
        QAbstractItemDelegate *delegate = in->itemDelegateForColumn(column);
        QScopedPointer<QWidget> editor(delegate->createEditor(in->viewport(), QStyleOptionViewItem(), index));
        auto *combo = qobject_cast<QComboBox *>(editor.data());
        QVERIFY(combo && !combo->isEditable());
        delegate->setEditorData(combo, index);
        QCOMPARE(combo->currentText(), column == 5 ? QStringLiteral("0.2") : cell(in, 0, column));
        combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        delegate->setModelData(combo, in->model(), index);
        QCOMPARE(cell(in, 0, column), combo->currentText());
    }
}

QTEST_MAIN(TestConfigTables)
#include "tst_configtables.moc"
