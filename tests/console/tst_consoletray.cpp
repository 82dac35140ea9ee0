// The console with a real notification area: an X display with a tray on it, named by
// TARVIK_TRAY_DISPLAY (scripts/test.sh starts Xvfb and trayer). Skipped without one.
#include "mainwindow.h"

#include <QtTest>
#include <QtWidgets>

class TestConsoleTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void closingHidesInTheTray();

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

// Closing hides the window in the tray the desktop reports. What the tray does after
// is tst_consolewindow's, under a pretended tray.
void TestConsoleTray::closingHidesInTheTray()
{
    MainWindow window;
    window.show();
    auto *tray = window.findChild<QSystemTrayIcon *>();
    QVERIFY(tray && tray->isVisible() && QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!tray->geometry().isEmpty());
    QVERIFY(!window.close() && !window.isVisible() && tray->isVisible());
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
