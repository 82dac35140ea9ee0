// The record of writes through the window, against the simulator on a
// pseudo-terminal: what was read and written, byte for byte; how failed
// writes end; the history dialog; the settings protocol read back from its
// PDF; and the row a killed editor leaves.
#include "comparedialog.h"
#include "configfile.h"
#include "engineer.h"
#include "linktarget.h"
#include "pdftext.h"
#include "protocoldialog.h"
#include "queueddialogs.h"
#include "simharness.h"
#include "testfiles.h"
#include "testwidgets.h"
#include "writehistorydialog.h"
#include "writerecorder.h"

#include <QAccessible>
#include <QtTest>
#include <QtWidgets>

#include <csignal>

namespace {

const QString MissingPort = QStringLiteral("/nonexistent/ttyTarvikRecord");

using TestWindow = QueuedDialogsWindow;

QString transferActions(QObject &window)
{
    return enabledActions(window, {"actionSettings", "actionRead", "actionWrite"});
}

bool waitIdle(QObject &window)
{
    return QTest::qWaitFor([&] { return transferActions(window) == "111"; }, 60000);
}

// The controller's registers are the configuration's (the file-only bytes never go there).
bool sameRegisters(const QByteArray &bytes, const ConfigImage &controller)
{
    ConfigImage image;
    if (!ConfigFile::fromBytes(bytes, &image))
        return false;
    for (auto block : {ConfigImage::Main, ConfigImage::Phone, ConfigImage::Clock})
        for (int k = 0; k < ConfigImage::registerCount(block); ++k)
            if (image.reg(block, k) != controller.reg(block, k))
                return false;
    return true;
}

QVector<WriteRecord> recorded(const QString &path)
{
    WriteLog log;
    return log.openReadOnly(path) ? log.records(true) : QVector<WriteRecord>();
}

// The child's part of killedEditorLeavesAnUnfinishedRow: a real window writes
// through its real worker until the parent kills it.
int writeUntilKilled(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, qEnvironmentVariable("TARVIK_CHILD_SETTINGS"));
    setStoredPort(qEnvironmentVariable("TARVIK_CHILD_PORT"), {qEnvironmentVariable("TARVIK_CHILD_PORT")});
    MainWindow window;
    child<QCheckBox>(window, "checkBox")->setChecked(false);
    window.gatherAll();
    if (!ConfigFile::save(qEnvironmentVariable("TARVIK_CHILD_SENT"), window.configImage()))
        return 3;
    child<QAction>(window, "actionWrite")->trigger();
    return app.exec();
}

} // namespace

class TestWriteRecord : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    BoxAnswerer boxes;
    QString logPath;

    QString path(const QString &name) const { return QDir(dir.path()).filePath(name); }
    void useStoredPort(const QString &port) { setStoredPort(port, {port, MissingPort}); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        logPath = path("writes.sqlite");
        qputenv("TARVIK_WRITE_LOG", logPath.toLocal8Bit());
    }

    void init()
    {
        boxes.seen.clear();
        boxes.answer = QMessageBox::Ok;
        QFile::remove(logPath);
        Engineer::setName(QString());
        WriteRecorder::setReadFirst(false); // a window takes the choice its predecessor left
    }

    // Unknown before anything was read; the read before a write; the
    // controller changed behind the window and "Читать перед записью". Then
    // the history: newest first, readable cells, the comparison, either side
    // saved and taken into the window.
    void writesAreRecorded_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::newRow("serial") << false;
        QTest::newRow("tcp gateway") << true;
    }

    void writesAreRecorded()
    {
        QFETCH(bool, tcp);
        SimHarness sim;
        QVERIFY2(sim.isReady() && (!tcp || sim.serveTcp()), qPrintable(sim.errorString()));
        if (tcp)
            setStoredGateway(sim.tcpPort());
        else
            useStoredPort(sim.devicePath());
        TestWindow window;
        const QString link = tcp ? QString("Modbus TCP 127.0.0.1:%1, устройство 1").arg(sim.tcpPort())
                                 : "COM-порт " + sim.devicePath() + ", адрес 1";

        child<QAction>(window, "actionWrite")->trigger();
        QVERIFY(waitIdle(window));
        QVector<WriteRecord> rows = recorded(logPath);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].outcome, WriteRecord::Written);
        QCOMPARE(rows[0].outcomeDisplay(), QString("Данные отправлены"));
        QCOMPARE(rows[0].beforeSource, WriteRecord::BeforeUnknown);
        QVERIFY(rows[0].before.isEmpty() && rows[0].changes == -1);
        QCOMPARE(rows[0].written, ConfigFile::toBytes(window.configImage()));
        QVERIFY(sameRegisters(rows[0].written, sim.stateCopy().config()));
        QCOMPARE(rows[0].engineer, Engineer::accountName());
        QCOMPARE(rows[0].link, link);
        QVERIFY(rows[0].started.isValid() && rows[0].ended >= rows[0].started);

        ConfigImage other = sim.stateCopy().config();
        other.setWord(ConfigImage::InputDelay + 8, 40);
        sim.state([&](ControllerState &state) { state.setConfig(other); });
        child<QAction>(window, "actionRead")->trigger();
        QVERIFY(waitIdle(window));
        const QByteArray read = ConfigFile::toBytes(window.configImage());
        window.configImage().setByte(ConfigImage::Thres1Relay, 4);
        window.refreshAll();
        Engineer::setName("  Сидоров  И.  ");
        child<QAction>(window, "actionWrite")->trigger();
        QVERIFY(waitIdle(window));
        rows = recorded(logPath);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].beforeSource, WriteRecord::BeforeRead);
        QCOMPARE(rows[0].before, read);
        QCOMPARE(rows[0].written, ConfigFile::toBytes(window.configImage()));
        QCOMPARE(rows[0].changes, 1);
        QCOMPARE(rows[0].engineer, QString("Сидоров И."));

        other = sim.stateCopy().config();
        other.setPhoneNumber(2, "+380");
        sim.state([&](ControllerState &state) { state.setConfig(other); });
        child<QAction>(window, "actionReadBeforeWrite")->setChecked(true);
        sim.clearRequests();
        child<QAction>(window, "actionWrite")->trigger();
        QVERIFY(waitIdle(window));
        QVERIFY(boxes.seen.isEmpty());
        const QVector<RequestRecord> requests = sim.requests();
        QVERIFY(requests.size() > 24);
        QCOMPARE(requests.at(23).function, 3);  // the whole read comes first
        QCOMPARE(requests.at(24).function, 16);
        rows = recorded(logPath);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].beforeSource, WriteRecord::BeforeReadFirst);
        QVERIFY(sameRegisters(rows[0].before, other));
        QCOMPARE(rows[0].changes, 1); // the number the window never had

        child<QAction>(window, "actionHistory")->trigger();
        auto *history = window.writeRecorder()->historyDialog();
        QVERIFY(history && history->isVisible());
        auto *table = child<QTableView>(*history, "tableRecords");
        QAbstractItemModel *model = table->model();
        QCOMPARE(model->rowCount(), 3);
        QStringList headers;
        for (int column = 0; column < model->columnCount(); ++column)
            headers << model->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"Время", "Инженер", "Подключение", "Изменено полей", "Итог"}));
        QCOMPARE(model->index(0, 3).data().toString(), QString("1"));
        QCOMPARE(model->index(2, 3).data().toString(), QString("—"));
        QCOMPARE(model->index(2, 1).data().toString(), Engineer::accountName());
        QAccessibleInterface *cells = QAccessible::queryAccessibleInterface(table);
        QVERIFY(cells && cells->tableInterface());
        QCOMPARE(cells->tableInterface()->cellAt(0, 4)->text(QAccessible::Name), QString("Данные отправлены"));
        QCOMPARE(cells->tableInterface()->cellAt(0, 2)->text(QAccessible::Name), link);

        QVERIFY(history->compareSelected());
        auto *differences = child<QTableWidget>(*history->compareDialog(), "tableDifferences");
        QCOMPARE(differences->rowCount(), 1);
        QCOMPARE(differences->item(0, 0)->text() + ": " + differences->item(0, 1)->text() + " -> "
                     + differences->item(0, 2)->text(),
                 QString("Номер 3: +380 -> "));
        QCOMPARE(differences->horizontalHeaderItem(1)->text(), QString("До записи"));

        QVERIFY(history->saveSelected(WriteHistoryDialog::Before, path("before.vlr")));
        QCOMPARE(readAll(path("before.vlr")), rows[0].before);
        history->selectRow(2);
        QVERIFY(!history->compareSelected()); // nothing known before the first write
        QCOMPARE(boxes.seen.size(), 1);
        window.modified = false;
        child<QPushButton>(*history, "pushButtonLoadWritten")->click();
        QCOMPARE(ConfigFile::toBytes(window.configImage()), rows[2].written);
        QVERIFY(window.currentFileName().isEmpty() && window.modified);
    }

    // How the window reported the end: the SIM card, a write broken off at a
    // step (the controller refuses main part 8), a record that cannot be kept.
    void failedWritesAreRecorded()
    {
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        useStoredPort(sim.devicePath());
        TestWindow window;

        sim.setSimCard({true, 0, false});
        child<QAction>(window, "actionWrite")->trigger();
        QVERIFY(waitIdle(window));
        sim.setSimCard({});
        sim.failRange(16, 441, 503, 6, false);
        child<QAction>(window, "actionWrite")->trigger();
        QVERIFY(waitIdle(window));
        QCOMPARE(boxes.seen, QStringList(boxSeen(QMessageBox::Critical, "Ошибка отправки данных")));
        QVector<WriteRecord> rows = recorded(logPath);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].outcome, WriteRecord::SimNotReady);
        QCOMPARE(rows[1].outcomeText, QString("SIM карта не готова. Возможно номера телефонов не будут сохранены"));
        QCOMPARE(rows[0].outcome, WriteRecord::Failed);
        QCOMPARE(rows[0].outcomeText, QString("Ошибка отправки данных (шаг: основная часть 8 из 21)"));
        QVERIFY(rows[0].ended.isValid());
        // After a broken write the controller's configuration is no longer known.
        sim.clearFaults();
        child<QAction>(window, "actionWrite")->trigger();
        QVERIFY(waitIdle(window));
        QCOMPARE(recorded(logPath).first().beforeSource, WriteRecord::BeforeUnknown);

        // No place for the record: the user decides; No sends nothing.
        QVERIFY(writeFile(path("blocker"), "a file where a folder should be"));
        qputenv("TARVIK_WRITE_LOG", path("blocker/writes.sqlite").toLocal8Bit());
        TestWindow unrecorded;
        boxes.seen.clear();
        boxes.answer = QMessageBox::No;
        sim.clearRequests();
        child<QAction>(unrecorded, "actionWrite")->trigger();
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY(boxes.seen.first().contains("не будет сохранена в истории записей"));
        QCOMPARE(transferActions(unrecorded), QString("111"));
        QTest::qWait(200);
        QVERIFY(sim.requests().isEmpty());
        boxes.answer = QMessageBox::Yes;
        child<QAction>(unrecorded, "actionWrite")->trigger();
        QVERIFY(waitIdle(unrecorded));
        QVERIFY(!sim.requests().isEmpty());
        qputenv("TARVIK_WRITE_LOG", logPath.toLocal8Bit());
    }

    // A known configuration on paper: every caption and value the window
    // shows, the differences from the last write over the link, numbered pages.
    void protocolPdf()
    {
        useStoredPort(MissingPort);
        TestWindow window;
        child<QCheckBox>(window, "checkBox")->setChecked(false);
        const QString link = WriteRecorder::linkText(LinkTarget::serial(MissingPort, 9600, 1));
        {
            WriteLog log;
            QVERIFY(log.open(logPath));
            WriteRecord previous;
            previous.started = QDateTime(QDate(2026, 3, 4), QTime(10, 20, 30));
            previous.link = link;
            previous.written = ConfigFile::toBytes(window.configImage());
            QVERIFY(log.begin(previous));
            QVERIFY(log.finish(previous.id, WriteRecord::Written, "Готово", previous.started.addSecs(40)));
        }
        ConfigImage &image = window.configImage();
        image.setPhoneNumber(1, "+79161234567");
        image.setByte(ConfigImage::Thres2Relay, 3);
        window.refreshAll();
        Engineer::setName("Кузнецова");

        ProtocolDialog dialog(window.writeRecorder()->protocolContent(link, image), &window);
        child<QLineEdit>(dialog, "lineEditObject")->setText("Котельная №2");
        const int pages = dialog.savePdf(path("protocol.pdf"));
        QVERIFY(pages > 1);
        QCOMPARE(pdfInfo(path("protocol.pdf"), "Pages"), QString::number(pages));
        QVERIFY(pdfInfo(path("protocol.pdf"), "Page size").contains("(A4)"));
        const QString text = pdfText(path("protocol.pdf"));
        const QString flat = text.simplified();
        for (const QString &expected : QStringList{"Протокол настройки контроллера", "Объект: Котельная №2",
                                        "Инженер: Кузнецова", "Время контроллера: не читалось",
                                        "Подключение: " + link, "Настроил", "Проверил", "Дата:",
                                        "Запись от 04.03.2026 10:20:30", "Часы в конфигурации не задано"})
            QVERIFY2(flat.contains(expected), qPrintable(expected));
        QCOMPARE(text.count("Страница "), pages);
        QVERIFY(text.contains(QString("Страница %1 из %1").arg(pages)));
        // Every group by the window's title, every field's caption and value.
        for (const QString &title : QStringList{"Режим опроса", "Положение реле", "Дискретные входа", "Клапан",
                                                "GSM", "Порог 1", "Порог 2", "Неисправность", "Пожар"})
            QVERIFY2(flat.contains(title), qPrintable(title));
        for (const ConfigDiff::Field &field : ConfigDiff::fields(image)) {
            QVERIFY2(flat.contains(field.field.section(": ", -1)), qPrintable(field.field));
            QVERIFY2(flat.contains(field.value.simplified()), qPrintable(field.field + " = " + field.value));
        }
        const QString differences = flat.section("Отличия от предыдущей записи", 1);
        for (const QString &difference : QStringList{"Номер 2", "+79161234567", "Порог 2: Выбор реле", "Реле 1"})
            QVERIFY2(differences.contains(difference), qPrintable(difference));
    }

    // SIGKILL in the middle of a write: the row is on disk, unfinished, with
    // the configuration the child was sending.
    void killedEditorLeavesAnUnfinishedRow()
    {
#ifdef Q_OS_UNIX
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TARVIK_WRITE_CHILD", "1");
        environment.insert("TARVIK_CHILD_SETTINGS", path("child-settings"));
        environment.insert("TARVIK_CHILD_PORT", sim.devicePath());
        environment.insert("TARVIK_CHILD_SENT", path("sent.vlr"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForStarted());
        const auto writes = [&] {
            int count = 0;
            for (const RequestRecord &request : sim.requests())
                count += request.function == 16;
            return count;
        };
        QVERIFY(QTest::qWaitFor([&] { return writes() >= 5; }, 30000));
        sim.setSilent(true); // the controller stops answering in the middle
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QVector<WriteRecord> rows = recorded(logPath);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].outcome, WriteRecord::Unfinished);
        QCOMPARE(rows[0].outcomeDisplay(), QString("не завершена"));
        QVERIFY(!rows[0].ended.isValid());
        QCOMPARE(rows[0].written, readAll(path("sent.vlr")));
#else
        QSKIP("SIGKILL is a Unix signal");
#endif
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("TARVIK_WRITE_CHILD"))
        return writeUntilKilled(argc, argv);
    QApplication app(argc, argv);
    TestWriteRecord test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_writerecord.moc"
