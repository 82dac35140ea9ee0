#include "mainwindow.h"

#include <QAction>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QToolBar>
#include <QtTest>

class TestConsoleShell : public QObject
{
    Q_OBJECT

private slots:
    void windowTitleIconAndSize();
    void resourcesHaveTheirSizes_data();
    void resourcesHaveTheirSizes();
    void onlyTheConsolesPictures();
    void actions_data();
    void actions();
};

static QImage iconImage(const QIcon &icon, int size)
{
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

void TestConsoleShell::windowTitleIconAndSize()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.windowTitle(), QString::fromUtf8("ПКФ \"Велидор\" (SCADA) v0.1"));
    QCOMPARE(window.size(), QSize(843, 726));
    QCOMPARE(window.iconSize(), QSize(24, 24));

    const QIcon resourceIcon(QStringLiteral(":/images/Tarvik.ico"));
    QVERIFY(!window.windowIcon().isNull());
    for (int size : {16, 32, 48, 256})
        QCOMPARE(iconImage(window.windowIcon(), size), iconImage(resourceIcon, size));
    QCOMPARE(QImageReader(QStringLiteral(":/images/Tarvik.ico")).imageCount(), 9);
}

void TestConsoleShell::resourcesHaveTheirSizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("settings") << "settings.png" << QSize(128, 128);
    QTest::newRow("Tarvik") << "Tarvik.png" << QSize(256, 256);
    QTest::newRow("exit") << "application-exit.png" << QSize(128, 128);
    QTest::newRow("Reset") << "Reset.png" << QSize(321, 321);
    QTest::newRow("connect") << "connect.png" << QSize(128, 128);
    QTest::newRow("disconnect") << "disconnect.png" << QSize(128, 128);
    QTest::newRow("NoSound") << "NoSound.png" << QSize(299, 299);
    for (const char *lamp : {"LedGrey.png", "LedGreen.png", "LedRed.png", "LedYellow.png"})
        QTest::newRow(lamp) << lamp << QSize(48, 48);
}

void TestConsoleShell::resourcesHaveTheirSizes()
{
    QFETCH(QString, name);
    QFETCH(QSize, pixels);
    MainWindow window; // registers the collection
    const QString path = QStringLiteral(":/images/") + name;
    const QResource resource(path);
    QVERIFY2(resource.isValid(), qPrintable(path));
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
    QCOMPARE(QImage(path).size(), pixels);
}

// The editor's file pictures belong to the editor's collection only.
void TestConsoleShell::onlyTheConsolesPictures()
{
    MainWindow window;
    for (const char *name : {"new.png", "Open.png", "save.png", "Saveall.png", "Read.png",
                             "Write.png"})
        QVERIFY2(!QResource(QStringLiteral(":/images/") + QLatin1String(name)).isValid(), name);
}

void TestConsoleShell::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("toolBarPosition"); // -1: not on the tool bar
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("icon");
    QTest::newRow("exit") << "actionExit" << -1 << "Выход" << "Выход" << "application-exit.png";
    QTest::newRow("enable") << "actionEnablePoll" << 0 << "EnablePoll" << "Начать опрос"
                            << "connect.png";
    QTest::newRow("disable") << "actionDisablePoll" << 1 << "DisablePoll" << "Завершить опрос"
                             << "disconnect.png";
    QTest::newRow("settings") << "actionSettings" << 2 << "Settings" << "Настройка"
                              << "settings.png";
    QTest::newRow("reset") << "actionReset" << 3 << "reset" << "Сброс текущих событий"
                           << "Reset.png";
    QTest::newRow("no sound") << "actionNoSound" << 4 << "noSound" << "Отключить звук"
                              << "NoSound.png";
}

void TestConsoleShell::actions()
{
    QFETCH(QString, name);
    QFETCH(int, toolBarPosition);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, icon);

    MainWindow window;
    auto *toolBar = window.findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QVERIFY(toolBar);
    QCOMPARE(toolBar->iconSize(), QSize(48, 48));
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    const QList<QAction *> onToolBar = toolBar->actions();
    QCOMPARE(onToolBar.size(), 5);

    auto *action = window.findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->parent(), &window);
    QCOMPARE(onToolBar.indexOf(action), toolBarPosition);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->toolTip(), toolTip);
    const QIcon expected(QStringLiteral(":/images/") + icon);
    QVERIFY(!expected.pixmap(48, 48).isNull());
    QCOMPARE(iconImage(action->icon(), 48), iconImage(expected, 48));
}

QTEST_MAIN(TestConsoleShell)
#include "tst_consoleshell.moc"
