#include "mainwindow.h"
#include "startupfile.h"

#include <QAction>
#include <QDir>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QToolBar>
#include <QtTest>

class TestEditorShell : public QObject
{
    Q_OBJECT

private slots:
    void titleIconAndToolBar();
    void startupFileName();
};

// True when the icon shows the picture of the resource, which must exist.
static bool shows(const QIcon &icon, const QString &resource, int size)
{
    const QImage expected = QIcon(":/images/" + resource).pixmap(size).toImage();
    return !expected.isNull() && icon.pixmap(size).toImage() == expected;
}

// The texts a user reads, and the tool bar's actions in order with their pictures.
void TestEditorShell::titleIconAndToolBar()
{
    MainWindow window;
    QCOMPARE(window.windowTitle(), QString::fromUtf8("ПКФ \"Велидор\" (Editor) v0.1"));
    for (int size : {16, 32, 48, 256}) QVERIFY(shows(window.windowIcon(), "Tarvik.ico", size));
    const QStringList expected = {"New|Новый файл|new.png", "Open|Открыть файл|Open.png",
        "Save|Сохранить файл|save.png", "SaveAll|Сохранить файл как|Saveall.png", "Settings|Настройка|settings.png",
        "Read|Прочитать данные|Read.png", "Write|Загрузить данные|Write.png",
        "Сравнить с контроллером|Сравнить с контроллером|Compare.png",
        "Сравнить с файлом…|Сравнить с файлом…|CompareFile.png"};
    const QList<QAction *> actions = window.findChild<QToolBar *>("mainToolBar")->actions();
    QCOMPARE(actions.size(), expected.size());
    for (int i = 0; i < actions.size(); ++i) {
        QCOMPARE(actions[i]->text() + '|' + actions[i]->toolTip(), expected[i].section('|', 0, 1));
        QVERIFY2(shows(actions[i]->icon(), expected[i].section('|', 2), 48), qPrintable(expected[i]));
    }
}

// Only an existing file named by over 4 characters opens; an argument is CP1251 on Windows.
void TestEditorShell::startupFileName()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()) && QDir().mkdir("folder.vlr"));
    for (const char *name : {"a.bc", "Котельная.vlr"})
        QVERIFY(QFile(QString::fromUtf8(name)).open(QIODevice::WriteOnly));
    const struct { const char *name; bool opens; } names[] = {
        {"", false}, {"a.bc", false}, {"missing.vlr", false}, {"folder.vlr", false}, {"Котельная.vlr", true}};
    for (const auto &n : names) {
        StartupFile::setName(QString::fromUtf8(n.name));
        QCOMPARE(StartupFile::existingName(), n.opens ? QString::fromUtf8(n.name) : QString());
    }
    QVERIFY(QDir::setCurrent(previous));

    QCOMPARE(StartupFile::fromCp1251("\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF.vlr"), QString::fromUtf8("Котельная.vlr"));
    QVERIFY(StartupFile::fromArgument(nullptr).isNull());
    if (QTextCodec::codecForLocale()->mibEnum() != 106)
        QSKIP("the locale's 8-bit encoding is not UTF-8");
    QCOMPARE(StartupFile::fromArgument("Котельная №2.vlr"), QString::fromUtf8("Котельная №2.vlr"));
}

QTEST_MAIN(TestEditorShell)
#include "tst_editorshell.moc"
