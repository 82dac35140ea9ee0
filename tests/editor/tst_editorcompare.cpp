// The editor's comparisons: the words of ConfigDiff against the window's own
// widgets, the compare read against the simulator on a pseudo-terminal, and
// the comparison with a file.
#include "configdiff.h"
#include "configfile.h"
#include "mainwindow.h"
#include "queueddialogs.h"
#include "simharness.h"
#include "testfiles.h"
#include "testimages.h"
#include "testwidgets.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QString MissingPort = QStringLiteral("/nonexistent/ttyTarvikCompare");

using TestWindow = QueuedDialogsWindow;

QString transferActions(QObject &window)
{
    return enabledActions(window, {"actionSettings", "actionRead", "actionWrite", "actionCompare"});
}

// What the dialog shows: its title, its headers, then one line per row or
// the no-difference text.
QStringList dialogRows(MainWindow &window)
{
    CompareDialog *dialog = window.compareDialog();
    if (!dialog || !dialog->isVisible())
        return {"no dialog"};
    auto *table = child<QTableWidget>(*dialog, "tableDifferences");
    QStringList rows{dialog->windowTitle()};
    QStringList headers;
    for (int column = 0; column < table->columnCount(); ++column)
        headers << table->horizontalHeaderItem(column)->text();
    rows << headers.join(" | ");
    if (child<QLabel>(*dialog, "labelNoDifferences")->isVisible())
        rows << child<QLabel>(*dialog, "labelNoDifferences")->text();
    if (table->isVisible()) {
        for (int row = 0; row < table->rowCount(); ++row)
            rows << table->item(row, 0)->text() + ": " + table->item(row, 1)->text() + " -> "
                        + table->item(row, 2)->text();
    }
    return rows;
}

ConfigImage randomImage(QRandomGenerator &random, int mode)
{
    ConfigImage image = randomBytesImage(random);
    for (int slot = 0; slot < ConfigImage::PhoneCount; ++slot) // short lengths as well as long ones
        image.PhoneBlock[181 + 2 * slot] = quint8(slot % 2 ? 0 : random.bounded(256));
    image.setWord(ConfigImage::PollingMode, quint16(mode));
    return image;
}

} // namespace

class TestEditorCompare : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QRandomGenerator random{20261206};
    BoxAnswerer boxes;

    QString path(const QString &name) const { return QDir(dir.path()).filePath(name); }

    void useStoredPort(const QString &port) { setStoredPort(port, {port, MissingPort}); }

    // A window in the addressed layout, its clock editors still, its
    // configuration loaded from a file so that it has a name.
    void prepare(TestWindow &window, const QString &fileName)
    {
        child<QCheckBox>(window, "checkBox")->setChecked(false);
        child<QRadioButton>(window, "radioButtonModeAdr")->click();
        window.gatherAll();
        QVERIFY(ConfigFile::save(path(fileName), window.configImage()));
        window.modified = false; // the mode click: no save prompt
        window.openAnswers << path(fileName);
        window.OpenFile();
        QCOMPARE(window.currentFileName(), path(fileName));
        QVERIFY(!window.modified);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        useStoredPort(MissingPort);
    }

    void init() { boxes.seen.clear(); }

    // Every field ConfigDiff names is a cell, box or field of the window under
    // the same header or label, showing the same text; and the other way round.
    void fieldsAgreeWithTheWindow()
    {
        MainWindow window;
        for (int mode : {0, 1, 5}) {
            window.configImage() = randomImage(random, mode);
            window.refreshAll();
            QMap<QString, QString> shown;
            auto add = [&shown](const QString &field, const QString &text) {
                QVERIFY2(!shown.contains(field), qPrintable(field));
                shown.insert(field, text);
            };
            auto *addressed = child<QRadioButton>(window, "radioButtonModeAdr");
            add(child<QGroupBox>(window, "groupBox_5")->title(),
                (addressed->isChecked() ? addressed : child<QRadioButton>(window, "radioButtonModeNoAdr"))->text());
            for (int k = 1; k <= 4; ++k)
                add(child<QLabel>(window, QString("labelRelay%1").arg(k))->text(),
                    child<QComboBox>(window, QString("comboBoxRelay%1").arg(k))->currentText());
            for (int i = 0; i < 6; ++i) {
                const QString label = child<QLabel>(window, QString("label_%1").arg(5 + i))->text();
                auto *dial = child<QCheckBox>(window, QString("checkBox_%1").arg(2 + i));
                add(label, child<QLineEdit>(window, i ? QString("lineEdit_%1").arg(i + 1) : "lineEdit")->text());
                add(label + ": " + dial->text(), dial->isChecked() ? "Да" : "Нет");
            }
            auto addTable = [&](const QString &table, const std::function<QString(const QString &)> &rowName) {
                auto *view = child<QTableWidget>(window, table);
                for (int row = 0; row < view->rowCount(); ++row)
                    for (int column = 1; column < view->columnCount(); ++column)
                        if (view->item(row, column)->flags() & Qt::ItemIsEditable)
                            add(rowName(view->item(row, 0)->text()) + ": "
                                    // a caption on two lines reads as one name
                                    + view->horizontalHeaderItem(column)->text().replace('\n', ' '),
                                view->item(row, column)->text());
            };
            addTable("tableDiscreteInput", [](const QString &label) { return "Дискретный вход " + label; });
            addTable("tableValve", [](const QString &label) { return "Клапан " + label; });
            for (const QString &t : QStringList{"Thres1|9", "Thres2|12", "Defect|15", "Fire|17"}) {
                const QString group = child<QGroupBox>(window, "groupBox_" + t.section('|', 1))->title();
                addTable("tableSensor" + t.section('|', 0, 0), [group](const QString &label) {
                    return label.trimmed().isEmpty() ? group : group + ", датчик " + label;
                });
            }

            const QVector<ConfigDiff::Field> fields = ConfigDiff::fields(window.configImage());
            QCOMPARE(fields.size(), shown.size());
            for (const ConfigDiff::Field &field : fields) {
                QVERIFY2(shown.contains(field.field), qPrintable(field.field));
                QCOMPARE(field.value, shown.value(field.field));
            }
        }
    }

    void compareWithController_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::newRow("serial") << false;
        QTest::newRow("tcp gateway") << true;
    }

    // A configuration changed in the controller after a write shows exactly
    // those rows; the read is Read's own and the window keeps its image, name
    // and modified flag, also when the controller is silent. On a serial port
    // and through a TCP gateway.
    void compareWithController()
    {
        QFETCH(bool, tcp);
        SimHarness sim;
        QVERIFY2(sim.isReady() && (!tcp || sim.serveTcp()), qPrintable(sim.errorString()));
        if (tcp)
            setStoredGateway(sim.tcpPort());
        else
            useStoredPort(sim.devicePath());
        TestWindow window;
        prepare(window, "window.vlr");
        child<QAction>(window, "actionWrite")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("1111"), 30000);
        QVERIFY(boxes.seen.isEmpty());

        const ConfigImage before = window.configImage();
        ConfigImage changed = before;
        changed.setByte(ConfigImage::Thres1Relay + 12, 4);
        changed.setWord(ConfigImage::InputDelay + 8, 40);
        changed.setPhoneNumber(2, "+380");
        sim.state([&](ControllerState &state) { state.setConfig(changed); });

        auto *progress = child<QProgressBar>(window, "progressBar");
        sim.clearRequests();
        child<QAction>(window, "actionCompare")->trigger();
        QCOMPARE(transferActions(window), QString("0000"));
        QVERIFY(progress->isVisible() && progress->maximum() == 21);
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("1111"), 30000);
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(dialogRows(window), QStringList({
            "Сравнение с контроллером", "Параметр | В окне | В контроллере",
            "Дискретный вход 5: Задержка: 0.2 -> 0.4", "Номер 3:  -> +380",
            "Порог 1, датчик 12: Выбор реле: Реле 2 -> Реле 4"}));
        QVERIFY(window.configImage() == before);
        QCOMPARE(window.currentFileName(), path("window.vlr"));
        QVERIFY(!window.modified);
        QCOMPARE(child<QLineEdit>(window, "lineEdit_3")->text(), QString());
        QTRY_COMPARE(window.statusBar()->currentMessage(), QString("Данные прочитаны"));
        QVERIFY(!progress->isVisible());

        const QVector<RequestRecord> compareRequests = sim.requests();

        // The rows go to the clipboard as tab-separated lines under the headers.
        window.compareDialog()->copyToClipboard();
        const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
        QCOMPARE(lines.size(), 5); // headers, three rows, the end of the last line
        QCOMPARE(lines.at(0), QString("Параметр\tВ окне\tВ контроллере"));
        QCOMPARE(lines.at(3), QString("Порог 1, датчик 12: Выбор реле\tРеле 2\tРеле 4"));

        // A silent controller: Read's failure box and nothing else changes.
        const QStringList rows = dialogRows(window);
        sim.setSilent(true);
        child<QAction>(window, "actionCompare")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen, QStringList(boxSeen(QMessageBox::Critical, "Ошибка чтения данных")), 30000);
        QCOMPARE(transferActions(window), QString("1111"));
        QVERIFY(!progress->isVisible() && window.configImage() == before && !window.modified);
        QCOMPARE(dialogRows(window), rows);

        // The same requests as Read's.
        sim.setSilent(false);
        sim.clearRequests();
        child<QAction>(window, "actionRead")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(transferActions(window), QString("1111"), 30000);
        QCOMPARE(sim.requests(), compareRequests);
        QCOMPARE(compareRequests.size(), 24);
    }

    void compareWithFile()
    {
        TestWindow window;
        prepare(window, "mine.vlr");
        const ConfigImage before = window.configImage();
        ConfigImage other = before;
        other.setByte(ConfigImage::ValveType, 1);
        other.setPhoneNumber(0, "112");
        QVERIFY(ConfigFile::save(path("other.vlr"), other));
        QVERIFY(ConfigFile::save(path("same.vlr"), before));
        QVERIFY(writeFile(path("short.vlr"), QByteArray(2857, '\1')));

        window.compareAnswers << path("other.vlr");
        child<QAction>(window, "actionCompareFile")->trigger();
        QCOMPARE(dialogRows(window), QStringList({"Сравнение с файлом", "Параметр | В окне | В файле",
                                                  "Клапан 0: Тип клапана: КЗЭГ/ВН -> КПЭГ", "Номер 1:  -> 112"}));

        window.compareAnswers << path("same.vlr");
        child<QAction>(window, "actionCompareFile")->trigger();
        QCOMPARE(dialogRows(window), QStringList({"Сравнение с файлом", "Параметр | В окне | В файле", "Различий нет"}));

        // Open's message for a file that cannot be loaded; the last comparison stays.
        for (const QString &bad : {path("short.vlr"), path("missing.vlr")}) {
            boxes.seen.clear();
            QString openError;
            QVERIFY(!ConfigFile::load(bad, &other, &openError));
            window.compareAnswers << bad;
            child<QAction>(window, "actionCompareFile")->trigger();
            QCOMPARE(boxes.seen, QStringList(boxSeen(QMessageBox::Critical, openError)));
            QCOMPARE(dialogRows(window).last(), QString("Различий нет"));
        }
        window.compareAnswers.clear(); // a cancelled file dialog
        child<QAction>(window, "actionCompareFile")->trigger();
        QVERIFY(window.configImage() == before);
        QCOMPARE(window.currentFileName(), path("mine.vlr"));
        QVERIFY(!window.modified);
    }
};

QTEST_MAIN(TestEditorCompare)
#include "tst_editorcompare.moc"
