// The console with a real notification area: an X display with a tray on it, named by
// TARVIK_TRAY_DISPLAY (scripts/test.sh starts Xvfb and trayer). Skipped without one.
#include "apprun.h"
#include "mainwindow.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

class TestConsoleTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void hiddenInTheTrayUntilExit();

private:
    QTemporaryDir storeDir;
};

void TestConsoleTray::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("no tray display: set TARVIK_TRAY_DISPLAY to an X display with a notification area");
    if (!QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000))
        QSKIP("the display has no notification area");
    QVERIFY(storeDir.isValid() && QDir::setCurrent(storeDir.path()));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir.path());
}

// Closing hides the window in the tray, as the desktop reports one; a box dismissed
// meanwhile leaves the console there; the icon brings the window back; Выход ends with 0.
void TestConsoleTray::hiddenInTheTrayUntilExit()
{
    MainWindow window;
    window.show();
    auto *tray = window.findChild<QSystemTrayIcon *>();
    QVERIFY(tray && tray->isVisible());
    const auto box = [] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); };
    QElapsedTimer sinceOk;
    bool goneAtOnce = false;
    const QVector<AppStep> steps{
        {"close", [&] { return QTest::qWaitForWindowExposed(&window, 0) && !tray->geometry().isEmpty(); },
         [&] {
             QVERIFY(!window.close() && !window.isVisible());
             QTimer::singleShot(0, &window, [&window] { window.Message("Проверка"); });
         }},
        {"OK", box, [&] {
             box()->button(QMessageBox::Ok)->click();
             sinceOk.start();
         }},
        {"icon", [&] { return sinceOk.elapsed() > 500; }, [&] {
             QVERIFY(!window.isVisible() && tray->isVisible());
             emit tray->activated(QSystemTrayIcon::Trigger);
             QVERIFY(window.isVisible());
         }},
        {"Выход", &always, [&] {
             tray->contextMenu()->actions().at(2)->trigger();
             goneAtOnce = !window.isVisible() && !tray->isVisible();
         }}};
    QStringList done;
    QCOMPARE(runApplication(steps, &done), 0);
    QCOMPARE(done, stepNames(steps));
    QVERIFY(goneAtOnce && !window.isWorkerRunning());
}

// The display is chosen before the application starts; without one, offscreen and skip.
int main(int argc, char *argv[])
{
    const QByteArray display = qgetenv("TARVIK_TRAY_DISPLAY");
    if (display.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        qputenv("DISPLAY", display);
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    TestConsoleTray test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_consoletray.moc"
