// The console window's shell: title, icon, compiled-in pictures, tool bar.
#include "mainwindow.h"

#include <QAction>
#include <QToolBar>
#include <QtTest>

class TestConsoleShell : public QObject
{
    Q_OBJECT
    // An alarm file in the working directory: the sound's tool tip names no problem.
    QTemporaryDir workDir;
    const bool alarmFileThere = QDir::setCurrent(workDir.path())
        && QFile(workDir.filePath("Alarm.wav")).open(QIODevice::WriteOnly);
    MainWindow window; // also registers the picture collection

private slots:
    void shell();
};

void TestConsoleShell::shell()
{
    const auto iconImage = [](const QIcon &icon, int size) {
        return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    };
    QVERIFY(alarmFileThere);
    QCOMPARE(window.windowTitle(), QString::fromUtf8("ПКФ \"Велидор\" (SCADA) v0.1"));
    const QIcon ico(QStringLiteral(":/images/Tarvik.ico"));
    QVERIFY(!ico.pixmap(16, 16).isNull());
    for (int size : {16, 32, 48, 256})
        QCOMPARE(iconImage(window.windowIcon(), size), iconImage(ico, size));

    const QPair<QString, int> pictures[] = { // square, uncompressed
        {"connect.png", 128}, {"disconnect.png", 128}, {"settings.png", 128}, {"Reset.png", 321},
        {"NoSound.png", 299}, {"application-exit.png", 128}, {"Tarvik.png", 256},
        {"LedGrey.png", 48}, {"LedGreen.png", 48}, {"LedRed.png", 48}, {"LedYellow.png", 48}};
    for (const auto &picture : pictures) {
        const QResource resource(QStringLiteral(":/images/") + picture.first);
        QVERIFY2(resource.compressionAlgorithm() == QResource::NoCompression, qPrintable(picture.first));
        QCOMPARE(QImage(resource.fileName()).size(), QSize(picture.second, picture.second));
    }

    // The tool bar in order with the first five pictures; Exit, the sixth, is not on it.
    const QStringList tips{"Начать опрос", "Завершить опрос", "Настройка", "Сброс текущих событий",
                           "Отключить звук", "Выход"};
    QList<QAction *> actions = window.findChild<QToolBar *>()->actions();
    QCOMPARE(actions.size(), 5);
    actions << window.findChild<QAction *>(QStringLiteral("actionExit"));
    for (int i = 0; i < tips.size(); ++i) {
        QCOMPARE(actions[i]->toolTip(), tips[i]);
        QCOMPARE(iconImage(actions[i]->icon(), 48), iconImage(QIcon(":/images/" + pictures[i].first), 48));
    }
}

QTEST_MAIN(TestConsoleShell)
#include "tst_consoleshell.moc"
