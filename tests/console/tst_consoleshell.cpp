// The console window's shell: title, icon, compiled-in pictures, actions.
#include "mainwindow.h"

#include <QAction>
#include <QImageReader>
#include <QResource>
#include <QToolBar>
#include <QtTest>

static QImage iconImage(const QIcon &icon, int size)
{
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

class TestConsoleShell : public QObject
{
    Q_OBJECT
    MainWindow window; // also registers the picture collection

private slots:
    void windowAndToolBar();
    void pictures_data();
    void pictures();
    void actions_data();
    void actions();
};

void TestConsoleShell::windowAndToolBar()
{
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.windowTitle(), QString::fromUtf8("ПКФ \"Велидор\" (SCADA) v0.1"));
    QCOMPARE(window.size(), QSize(843, 726));
    QCOMPARE(window.iconSize(), QSize(24, 24));
    const QIcon resourceIcon(QStringLiteral(":/images/Tarvik.ico"));
    for (int size : {16, 32, 48, 256})
        QCOMPARE(iconImage(window.windowIcon(), size), iconImage(resourceIcon, size));
    QCOMPARE(QImageReader(QStringLiteral(":/images/Tarvik.ico")).imageCount(), 9);

    auto *toolBar = window.findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QVERIFY(toolBar);
    QCOMPARE(toolBar->iconSize(), QSize(48, 48));
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(toolBar->actions().size(), 5);
}

void TestConsoleShell::pictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pixels"); // square
    const QVector<QPair<const char *, int>> pictures{
        {"settings.png", 128}, {"Tarvik.png", 256}, {"application-exit.png", 128},
        {"Reset.png", 321}, {"connect.png", 128}, {"disconnect.png", 128}, {"NoSound.png", 299},
        {"LedGrey.png", 48}, {"LedGreen.png", 48}, {"LedRed.png", 48}, {"LedYellow.png", 48}};
    for (const auto &picture : pictures)
        QTest::newRow(picture.first) << QString(picture.first) << picture.second;
}

void TestConsoleShell::pictures()
{
    QFETCH(QString, name);
    QFETCH(int, pixels);
    const QResource resource(QStringLiteral(":/images/") + name);
    QVERIFY(resource.isValid());
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
    QCOMPARE(QImage(resource.fileName()).size(), QSize(pixels, pixels));
}

void TestConsoleShell::actions_data()
{
    QTest::addColumn<int>("toolBarPosition"); // -1: not on the tool bar
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("icon");
    QTest::newRow("actionExit") << -1 << "Выход" << "Выход" << "application-exit.png";
    QTest::newRow("actionEnablePoll") << 0 << "EnablePoll" << "Начать опрос" << "connect.png";
    QTest::newRow("actionDisablePoll") << 1 << "DisablePoll" << "Завершить опрос" << "disconnect.png";
    QTest::newRow("actionSettings") << 2 << "Settings" << "Настройка" << "settings.png";
    QTest::newRow("actionReset") << 3 << "reset" << "Сброс текущих событий" << "Reset.png";
    QTest::newRow("actionNoSound") << 4 << "noSound" << "Отключить звук" << "NoSound.png";
}

void TestConsoleShell::actions()
{
    QFETCH(QString, icon);
    auto *action = window.findChild<QAction *>(QTest::currentDataTag());
    QVERIFY(action);
    const auto *toolBar = window.findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QTEST(toolBar ? toolBar->actions().indexOf(action) : -2, "toolBarPosition");
    QTEST(action->text(), "text");
    QTEST(action->toolTip(), "toolTip");
    const QIcon expected(QStringLiteral(":/images/") + icon);
    QVERIFY(!expected.pixmap(48, 48).isNull());
    QCOMPARE(iconImage(action->icon(), 48), iconImage(expected, 48));
}

QTEST_MAIN(TestConsoleShell)
#include "tst_consoleshell.moc"
