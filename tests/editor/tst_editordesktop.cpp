// The editor as a desktop program: keys on its commands, recent files under
// Open, a dropped .vlr file, and its window remembered.
#include "configfile.h"
#include "configimage.h"
#include "queueddialogs.h"
#include "recentfiles.h"
#include "recentfilesmenu.h"
#include "shortcuttips.h"
#include "startupfile.h"
#include "testfiles.h"
#include "testwidgets.h"
#include "translations.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using TestWindow = QueuedDialogsWindow;

QSettings desktopStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Desktop");
}

// A valid configuration file whose marker tells it apart.
bool writeConfig(const QString &path, quint8 marker)
{
    ConfigImage image;
    image.applyDefaults();
    image.setByte(ConfigImage::InitMarker, marker);
    return ConfigFile::save(path, image);
}

// Drags the files over the window and drops them, as a file manager does.
bool dropOn(QWidget *window, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

} // namespace

class TestEditorDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    QString path(const QString &name) const { return QDir(dir->path()).filePath(name); }

private slots:
    void init()
    {
        desktopStore().clear();
        StartupFile::setName(QString());
        dir = new QTemporaryDir;
    }

    void cleanup() { delete dir; }

    // Each key runs its command, and the tool bar's tip names the key while
    // the action keeps its own tip.
    void keysTriggerTheirActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("tip");
        QTest::newRow("new") << "actionNewFile" << QKeySequence("Ctrl+N") << "Новый файл";
        QTest::newRow("open") << "actionOpenFile" << QKeySequence("Ctrl+O") << "Открыть файл";
        QTest::newRow("save") << "actionSaveFile" << QKeySequence("Ctrl+S") << "Сохранить файл";
        QTest::newRow("save as") << "actionSaveFileAll" << QKeySequence("Ctrl+Shift+S")
                                 << "Сохранить файл как";
        QTest::newRow("read") << "actionRead" << QKeySequence("F5") << "Прочитать данные";
        QTest::newRow("help") << "actionHelp" << QKeySequence("F1") << "Справка";
    }

    void keysTriggerTheirActions()
    {
        QFETCH(QString, action);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, tip);
        BoxAnswerer boxes; // Read on no port ends in a failure box
        TestWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *command = child<QAction>(window, action);
        QCOMPARE(command->toolTip(), tip);
        QCOMPARE(ShortcutTips::tipOf(command), tip + " (" + keys.toString(QKeySequence::NativeText) + ")");
        QSignalSpy triggered(command, &QAction::triggered);
        QTest::keySequence(&window, keys);
        QCOMPARE(triggered.count(), 1);
        if (action == "actionSaveFile" || action == "actionSaveFileAll")
            QCOMPARE(window.saveDialogs, 1); // no name yet: both ask for one
        if (action == "actionRead") {
            QVERIFY(!command->isEnabled()); // the read began
            QTRY_VERIFY_WITH_TIMEOUT(command->isEnabled(), 20000);
        }
        // Another program's key does nothing here.
        QSignalSpy write(child<QAction>(window, "actionWrite"), &QAction::triggered);
        QTest::keySequence(&window, QKeySequence("Shift+F5"));
        QCOMPARE(write.count(), 0);
    }

    // As the program starts: Russian dates in the clock group.
    void dateReadsTheRussianWay()
    {
        Translations::install(qApp);
        MainWindow window;
        child<QCheckBox>(window, "checkBox")->setChecked(false); // stop following the clock
        auto *date = child<QDateEdit>(window, "dateEdit");
        date->setDate(QDate(2026, 12, 7));
        QCOMPARE(date->text(), QStringLiteral("07.12.2026"));
    }

    // Tab from the first control visits the groups as the form reads, each
    // once, leaving every table at once.
    void tabFollowsReadingOrder()
    {
        MainWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        const QStringList groups{"groupBox_5", "groupBox", "groupBox_2", "groupBox_3",
                                 "groupBox_6", "groupBox_8", "groupBox_7"};
        const auto groupOf = [&](const QWidget *widget) {
            for (; widget; widget = widget->parentWidget()) {
                if (groups.contains(widget->objectName()))
                    return groups.indexOf(widget->objectName());
            }
            return -1;
        };
        QWidget *first = child(window, "radioButtonModeNoAdr");
        first->setFocus();
        QStringList visited;
        int group = 0;
        for (int presses = 0; presses < 200; ++presses) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *now = QApplication::focusWidget();
            if (now == first || groupOf(now) < 0)
                break; // past the form
            // Tab steps through a date's day, month and year first.
            if (visited.isEmpty() || visited.last() != now->objectName())
                visited << now->objectName();
            const int at = groupOf(now);
            QVERIFY2(at >= group, qPrintable(visited.join(' ')));
            group = at;
        }
        QCOMPARE(group, groups.size() - 1);
        QCOMPARE(visited.mid(0, 6), QStringList({"dateEdit", "timeEdit", "checkBox", "comboBoxRelay1",
                                                 "comboBoxRelay2", "comboBoxRelay3"}));
        QCOMPARE(visited.count("tableDiscreteInput"), 1);
        QVERIFY(visited.indexOf("lineEdit_6") < visited.indexOf("tableDiscreteInput"));
        QVERIFY(visited.indexOf("comboBoxDiscreteInputDelay") < visited.indexOf("tableValve"));
        QVERIFY(visited.indexOf("tableSensorThres1") < visited.indexOf("tableSensorFire"));
    }

    // Newest first, each file once, eight at most; kept for the next run.
    void recentFilesListOrderAndLimit()
    {
        RecentFiles recent;
        QVERIFY(recent.paths().isEmpty());
        for (int i = 1; i <= 10; ++i)
            recent.add(path(QStringLiteral("f%1.vlr").arg(i)));
        recent.add(path("f5.vlr"));
        const QStringList expected{path("f5.vlr"), path("f10.vlr"), path("f9.vlr"), path("f8.vlr"),
                                   path("f7.vlr"), path("f6.vlr"), path("f4.vlr"), path("f3.vlr")};
        QCOMPARE(recent.paths(), expected);
        QCOMPARE(RecentFiles().paths(), expected);
        // A relative name is kept as the absolute one it meant.
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir->path());
        recent.add("f3.vlr");
        QDir::setCurrent(before);
        QCOMPARE(RecentFiles().paths().first(), path("f3.vlr"));
        QCOMPARE(RecentFiles().paths().count(path("f3.vlr")), 1);
    }

    // Open's drop-down: opened and saved files, the missing one greyed out,
    // and an entry opens its file.
    void recentFilesMenu()
    {
        QVERIFY(writeConfig(path("a.vlr"), 0x11));
        QVERIFY(writeConfig(path("b.vlr"), 0x22));
        BoxAnswerer boxes;
        TestWindow window;
        window.openAnswers << path("a.vlr") << path("b.vlr");
        window.saveAnswers << path("saved.vlr");
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.OpenFile();
        window.OpenFile();
        window.SaveAlFile();
        QVERIFY(QFile::remove(path("b.vlr")));

        RecentFilesMenu *menu = window.recentFilesMenu();
        QCOMPARE(child<QAction>(window, "actionOpenFile")->menu(), menu);
        menu->rebuild();
        QStringList entries;
        for (const QAction *entry : menu->actions()) {
            if (!entry->isSeparator())
                entries << entry->text() + (entry->isEnabled() ? "" : " (grey)");
        }
        QCOMPARE(entries, QStringList({"&1 saved.vlr", "&2 b.vlr (grey)", "&3 a.vlr", "Очистить список"}));
        QCOMPARE(boxes.seen, QStringList());

        menu->actions().at(2)->trigger();
        QCOMPARE(window.currentFileName(), path("a.vlr"));
        QCOMPARE(window.configImage().byte(ConfigImage::InitMarker), quint8(0x11));
        QCOMPARE(menu->paths().first(), path("a.vlr"));
    }

    // A dropped .vlr opens as Open does: a modified window asks first, and
    // Cancel keeps everything; other files are refused.
    void dropOpensAfterAsking_data()
    {
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("opens");
        QTest::newRow("unmodified") << false << int(QMessageBox::Cancel) << true;
        QTest::newRow("modified, no") << true << int(QMessageBox::No) << true;
        QTest::newRow("modified, cancel") << true << int(QMessageBox::Cancel) << false;
    }

    void dropOpensAfterAsking()
    {
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(bool, opens);
        QVERIFY(writeConfig(path("dropped.VLR"), 0x33));
        QVERIFY(writeFile(path("notes.txt"), "text"));
        BoxAnswerer boxes;
        boxes.answer = QMessageBox::StandardButton(answer);
        TestWindow window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.modified = modified;

        QVERIFY(!dropOn(&window, {QUrl::fromLocalFile(path("notes.txt"))}));
        QVERIFY(!dropOn(&window, {QUrl("https://example.invalid/x.vlr")}));
        QVERIFY(dropOn(&window, {QUrl::fromLocalFile(path("notes.txt")),
                                 QUrl::fromLocalFile(path("dropped.VLR"))}));
        QTRY_COMPARE(window.currentFileName().isEmpty(), !opens);
        QTest::qWait(50);
        QCOMPARE(window.currentFileName().isEmpty(), !opens);
        QCOMPARE(boxes.seen.size(), modified ? 1 : 0);
        if (modified)
            QVERIFY(boxes.seen.first().endsWith("Сохранить изменение в файле"));
        QCOMPARE(window.configImage().byte(ConfigImage::InitMarker) == 0x33, opens);
        QCOMPARE(window.modified, modified && !opens);
    }

    // The first start fills the screen; later ones come back as left.
    void windowRemembered()
    {
        QRect left;
        {
            TestWindow first;
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            QVERIFY(first.isMaximized());
            first.showNormal();
            left = QRect(QPoint(30, 40), QSize(700, 500));
            first.setGeometry(left);
            QTRY_COMPARE(first.geometry(), left);
            QVERIFY(first.close());
        }
        TestWindow second;
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QVERIFY(!second.isMaximized());
        QCOMPARE(second.geometry(), left);
    }
};

QTEST_MAIN(TestEditorDesktop)
#include "tst_editordesktop.moc"
