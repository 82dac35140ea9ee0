// The journal through the console's window: what the slots write, the
// "Журнал" tab after a restart, copying and CSV from the event tables, bad
// journal files while polling the simulator, and a console killed mid-burst.
#include "eventtablemenu.h"
#include "journal.h"
#include "journalmodel.h"
#include "journalquery.h"
#include "journalview.h"
#include "mainwindow.h"
#include "simharness.h"
#include "testwidgets.h"
#include "testfiles.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <QtWidgets>

#include <signal.h>

namespace {

// Every row of a journal file, read as another program would: "kind list name".
QStringList journalRows(const QString &path, const QString &columns = "kind, list, name")
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec("SELECT " + columns + " FROM journal ORDER BY id")) {
            while (query.next()) {
                QStringList fields;
                for (int i = 0; i < query.record().count(); ++i)
                    fields << query.value(i).toString();
                rows << fields.join(' ').trimmed();
            }
        }
    }
    QSqlDatabase::removeDatabase("reader");
    return rows;
}

QMessageBox *journalWarning(const QWidget &window)
{
    for (QMessageBox *box : window.findChildren<QMessageBox *>()) {
        if (box->isVisible() && box->text().contains("урнал"))
            return box;
    }
    return nullptr;
}

} // namespace

class TestJournalWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { setStoredPort(QStringLiteral("/nonexistent/tarvik-port"), {QStringLiteral("/nonexistent/tarvik-port")}); }
    void pollingIsJournaledBeforeItIsShown();
    void copyAndSaveFromTheTables();
    void badJournalNeverStopsPolling();
    void killedRightAfterBurst();

private:
    QString journalPath(const QString &name) const { return workDir.filePath(name); }

    QTemporaryDir storeDir;
    QTemporaryDir workDir;
};

void TestJournalWindow::initTestCase()
{
    QVERIFY(storeDir.isValid() && workDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
}

void TestJournalWindow::pollingIsJournaledBeforeItIsShown()
{
    const QString path = journalPath("polling.sqlite");
    qputenv("TARVIK_JOURNAL", path.toLocal8Bit());
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    setStoredPort(sim.devicePath(), {sim.devicePath()});
    {
        MainWindow window;
        auto *tabs = child<QTabWidget>(window, "tabSelect");
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(2), QString("Журнал"));
        QVERIFY(!journalWarning(window));
        QTableWidget *current = child<QTableWidget>(window, "tableAlarmCurrent");
        QTableWidget *all = child<QTableWidget>(window, "tableAlarmAll");
        // At the moment a row appears its event is already in the file.
        QStringList late;
        for (QTableWidget *table : {current, all}) {
            connect(table->model(), &QAbstractItemModel::rowsInserted, this, [&late, table, path] {
                const int journaled = journalRows(path, "kind").count("event");
                if (journaled < table->rowCount())
                    late << QString("%1 rows, %2 journaled").arg(table->rowCount()).arg(journaled);
            });
        }
        sim.addCurrentEvent(SimEvent::at(37, 4, QDateTime(QDate(2024, 3, 12), QTime(14, 30, 9))), false);
        sim.addLoggedEvent(SimEvent::at(131, 9, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 1))));
        window.findChild<QAction *>("actionEnablePoll")->trigger();
        QTRY_VERIFY(current->rowCount() == 1 && all->rowCount() == 1);
        window.findChild<QAction *>("actionReset")->trigger();
        QTRY_COMPARE(current->rowCount(), 0);
        window.findChild<QAction *>("actionDisablePoll")->trigger();
        QVERIFY2(late.isEmpty(), qPrintable(late.join(", ")));

        // A line that stops answering ends polling with a failure.
        sim.setSilent(true);
        BoxAnswerer closer;
        window.findChild<QAction *>("actionEnablePoll")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QAction *>("actionEnablePoll")->isEnabled(), 30000);
    }
    const QString port = sim.devicePath();
    QStringList expected{"polling-started  Порт " + port + ", адрес 1",
                         "event current Неисправность датчика, Адрес 5",
                         "event all Пожар, Адрес 99",
                         "reset current",
                         "cleared current",
                         "polling-stopped",
                         "polling-started  Порт " + port + ", адрес 1",
                         "line-failure  Ошибка чтения линии! Опрос завершен."};
    QStringList rows = journalRows(path);
    rows.removeAll("cleared all"); // only if the controller happened to empty its log
    QCOMPARE(rows, expected);
    QCOMPARE(journalRows(path, "source, code, occurred, port, slave").mid(1, 2),
             (QStringList{"37 4 2024-03-12T14:30:09 " + port + " 1", "131 9 2023-12-31T23:59:01 " + port + " 1"}));

    // After a restart the tab shows the earlier rows, newest at the bottom, and filters them.
    MainWindow again;
    JournalModel *model = child<JournalView>(again)->model();
    QCOMPARE(model->rowCount(), expected.size());
    QCOMPARE(model->data(model->index(expected.size() - 1, 1)).toString(), QString("Отказ линии"));
    QCOMPARE(model->data(model->index(1, 3)).toString(), QString("Неисправность датчика, Адрес 5"));
    child<QLineEdit>(again, "lineFilter")->setText("Адрес 99");
    QTRY_COMPARE(model->rowCount(), 1);
    child<QCheckBox>(again, "checkPeriod")->setChecked(true); // today only
    QCOMPARE(model->rowCount(), 1);
    child<QDateEdit>(again, "dateTo")->setDate(QDate::currentDate().addDays(-1));
    QCOMPARE(model->rowCount(), 0);

    // New rows come into view as they are journaled.
    child<QCheckBox>(again, "checkPeriod")->setChecked(false);
    child<QLineEdit>(again, "lineFilter")->clear();
    QTRY_COMPARE(model->rowCount(), expected.size());
    again.TableAlarmAllSet(AlarmType{5, 1, 24, 3, 5, 7, 0, 9});
    QTRY_COMPARE(model->rowCount(), expected.size() + 1);
    qunsetenv("TARVIK_JOURNAL");
}

void TestJournalWindow::copyAndSaveFromTheTables()
{
    qputenv("TARVIK_JOURNAL", journalPath("tables.sqlite").toLocal8Bit());
    MainWindow window;
    for (const AlarmType &alarm : {AlarmType{5, 1, 24, 3, 5, 7, 0, 9}, AlarmType{131, 9, 123, 12, 31, 23, 59, 59},
                                   AlarmType{0, 78, 0, 1, 10, 10, 9, 0}})
        window.TableAlarmAllSet(alarm);
    QTableWidget *all = child<QTableWidget>(window, "tableAlarmAll");
    QCOMPARE(all->contextMenuPolicy(), Qt::ActionsContextMenu);
    QStringList texts;
    for (QAction *action : all->actions())
        texts << action->text();
    QCOMPARE(texts, (QStringList{"Копировать", "Сохранить в CSV…"}));
    QCOMPARE(child<QTableWidget>(window, "tableAlarmCurrent")->actions().size(), 2);

    all->clearSelection();
    all->selectionModel()->select(all->model()->index(2, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    all->selectionModel()->select(all->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    all->actions().first()->trigger();
    QCOMPARE(QApplication::clipboard()->text(),
             QString("Пожар\t07:00:09\t05.03.2024\nНеизвестное событие, код 78\t10:09:00\t10.01.2000\n"));

    EventTableMenu *menu = child<EventTableMenu>(*all);
    const QString csv = workDir.filePath("all.csv");
    QCOMPARE(menu->saveCsv(csv), CsvFileSaver::Saved);
    QCOMPARE(readAll(csv), QByteArray("\xEF\xBB\xBFИмя события;Время;Дата\r\n"
                                      "Пожар;07:00:09;05.03.2024\r\n"
                                      "Пожар, Адрес 99;23:59:59;31.12.20123\r\n"
                                      "Неизвестное событие, код 78;10:09:00;10.01.2000\r\n"));

    // A cancelled save leaves the earlier file; a failed one says so and leaves nothing.
    const auto cancel = [](QIODevice *device, QString *) {
        device->write("partial");
        return CsvFileSaver::Cancelled;
    };
    QCOMPARE(CsvFileSaver::save(&window, csv, cancel), CsvFileSaver::Cancelled);
    QVERIFY(readAll(csv).startsWith("\xEF\xBB\xBFИмя события"));
    BoxAnswerer boxes;
    const QString nowhere = workDir.filePath("no-folder/all.csv");
    QCOMPARE(menu->saveCsv(nowhere), CsvFileSaver::Failed);
    const QString failure = "Не удалось сохранить файл «" + QDir::toNativeSeparators(nowhere) + "»: ";
    QVERIFY2(boxes.seen.size() == 1 && boxes.seen[0].startsWith("Внимание|") && boxes.seen[0].contains("|" + failure),
             qPrintable(boxes.seen.join('\n')));
    QVERIFY(!QFile::exists(nowhere));

    // The journal's own export: what the view shows, under the view's captions.
    JournalView *view = child<JournalView>(window);
    child<QLineEdit>(window, "lineFilter")->setText("Адрес 99");
    QTRY_COMPARE(view->model()->rowCount(), 1);
    const QString journalCsv = workDir.filePath("journal.csv");
    QCOMPARE(view->saveCsv(journalCsv), CsvFileSaver::Saved);
    const QList<QByteArray> lines = readAll(journalCsv).split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QByteArray("\xEF\xBB\xBFПолучено;Запись;Список;Событие;Время события\r"));
    QVERIFY2(lines[1].endsWith(";Событие;Все события;Пожар, Адрес 99;31.12.20123 23:59:59\r"), lines[1].constData());
    qunsetenv("TARVIK_JOURNAL");
}

void TestJournalWindow::badJournalNeverStopsPolling()
{
    QVERIFY(writeFile(journalPath("file"), "a file, not a folder"));
    const QString corrupt = journalPath("corrupt.sqlite");
    QVERIFY(writeFile(corrupt, QByteArray(8192, '\x5a')));

    const struct { QString path, says; } journals[] = {
        {journalPath("file/Tarvik/journal.sqlite"), "не удалось создать папку"}, {corrupt, "был повреждён"}};
    for (const auto &[path, says] : journals) {
        qputenv("TARVIK_JOURNAL", path.toLocal8Bit());
        SimHarness sim;
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        setStoredPort(sim.devicePath(), {sim.devicePath()});
        MainWindow window;
        window.show();
        QTRY_VERIFY(journalWarning(window));
        const QString text = journalWarning(window)->text();
        QVERIFY2(text.contains(says), qPrintable(text));
        QCOMPARE(journalWarning(window)->windowTitle(), QString("Внимание"));
        QVERIFY(!journalWarning(window)->isModal());
        QCOMPARE(child<QLabel>(window, "labelJournalProblem")->text(), text);

        // Polling goes on, the warning is not repeated.
        QTableWidget *all = child<QTableWidget>(window, "tableAlarmAll");
        sim.addLoggedEvent(SimEvent::now(32, 0));
        window.findChild<QAction *>("actionEnablePoll")->trigger();
        QTRY_COMPARE(all->rowCount(), 1);
        journalWarning(window)->close();
        sim.addLoggedEvent(SimEvent::now(32, 1));
        QTRY_COMPARE(all->rowCount(), 2);
        QTest::qWait(50);
        QVERIFY(!journalWarning(window));
        window.findChild<QAction *>("actionDisablePoll")->trigger();
        if (path == corrupt) // the new journal took the events
            QCOMPARE(journalRows(corrupt, "kind").count("event"), 2);
    }
    QVERIFY(QFileInfo(journalPath("file")).isFile());
    QCOMPARE(QDir(workDir.path()).entryList({"corrupt.corrupt-*.sqlite"}).size(), 1);
    qunsetenv("TARVIK_JOURNAL");
}

void TestJournalWindow::killedRightAfterBurst()
{
    SimHarness sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    const QString config = workDir.filePath("victim-config");
    QVERIFY(QDir().mkpath(config + "/Tarvik"));
    QVERIFY(writeFile(config + "/Tarvik/Options.ini",
                      "[General]\nportName=" + sim.devicePath().toUtf8() + "\nbaudRate=9600\naddress=1\n"));
    const QString path = journalPath("killed.sqlite");
    const int burst = 400;
    for (int n = 0; n < burst; ++n)
        sim.addLoggedEvent(SimEvent::at(quint16(33 + n % 250), quint8(n % 40),
                                        QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(n)));

    QProcess victim;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("TARVIK_PORTS", sim.devicePath());
    env.insert("TARVIK_JOURNAL", path);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    victim.setProcessEnvironment(env);
    victim.setWorkingDirectory(workDir.path());
    victim.start(JOURNAL_VICTIM, {sim.devicePath()});
    QVERIFY2(victim.waitForStarted(), qPrintable(victim.errorString()));
    int shown = 0;
    QDeadlineTimer deadline(60000);
    while (shown < 100 && !deadline.hasExpired() && victim.state() == QProcess::Running) {
        victim.waitForReadyRead(100);
        while (victim.canReadLine())
            shown = victim.readLine().trimmed().mid(6).toInt();
    }
    QVERIFY2(shown >= 100, qPrintable(victim.readAllStandardError()));
    ::kill(pid_t(victim.processId()), SIGKILL);
    QVERIFY(victim.waitForFinished());
    QCOMPARE(victim.exitStatus(), QProcess::CrashExit);
    while (victim.canReadLine()) // shown before the kill, read after it
        shown = victim.readLine().trimmed().mid(6).toInt();

    // Every row on screen is in the file, in order, with its fields.
    const QStringList rows = journalRows(path, "source, code, occurred");
    QVERIFY2(rows.size() >= shown + 1, qPrintable(QString("%1 rows for %2 shown").arg(rows.size()).arg(shown)));
    QVERIFY(rows.size() <= burst + 1);
    qInfo("killed with %d rows shown, %lld events in the file", shown, qint64(rows.size() - 1));
    for (int n = 0; n < shown; ++n) {
        const QString occurred = QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(n).toString(Qt::ISODate);
        QCOMPARE(rows[n + 1], QString("%1 %2 %3").arg(33 + n % 250).arg(n % 40).arg(occurred));
    }
    Journal reopened;
    QVERIFY2(reopened.open(path) && reopened.problem().isEmpty(), qPrintable(reopened.problem()));
    QSqlQuery check(QSqlDatabase::database(reopened.connectionName()));
    QVERIFY(check.exec("PRAGMA integrity_check") && check.next());
    QCOMPARE(check.value(0).toString(), QString("ok"));
}

QTEST_MAIN(TestJournalWindow)
#include "tst_journalwindow.moc"
