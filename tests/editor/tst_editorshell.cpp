#include "mainwindow.h"
#include "startupfile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QToolBar>
#include <QtEndian>
#include <QtTest>

class TestEditorShell : public QObject
{
    Q_OBJECT

private slots:
    void windowTitleIconAndState();
    void toolBarActionsInOrder_data();
    void toolBarActionsInOrder();
    void iconFileHoldsNineImages();
    void startupFileName();
};

static QImage iconImage(const QIcon &icon, int size)
{
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

void TestEditorShell::windowTitleIconAndState()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.windowTitle(), QString::fromUtf8("ПКФ \"Велидор\" (Editor) v0.1"));
    QVERIFY(window.isMaximized());
    QCOMPARE(window.iconSize(), QSize(24, 24));
    const QIcon resourceIcon(QStringLiteral(":/images/Tarvik.ico"));
    QVERIFY(!window.windowIcon().isNull());
    for (int size : {16, 32, 48, 256})
        QCOMPARE(iconImage(window.windowIcon(), size), iconImage(resourceIcon, size));
}

void TestEditorShell::toolBarActionsInOrder_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("pixels");
    QTest::newRow("new") << 0 << "actionNewFile" << "New" << "Новый файл" << "new.png" << 256;
    QTest::newRow("open") << 1 << "actionOpenFile" << "Open" << "Открыть файл" << "Open.png" << 256;
    QTest::newRow("save") << 2 << "actionSaveFile" << "Save" << "Сохранить файл" << "save.png" << 256;
    QTest::newRow("save all") << 3 << "actionSaveFileAll" << "SaveAll" << "Сохранить файл как"
                              << "Saveall.png" << 256;
    QTest::newRow("settings") << 4 << "actionSettings" << "Settings" << "Настройка" << "settings.png" << 128;
    QTest::newRow("read") << 5 << "actionRead" << "Read" << "Прочитать данные" << "Read.png" << 160;
    QTest::newRow("write") << 6 << "actionWrite" << "Write" << "Загрузить данные" << "Write.png" << 160;
}

// Each action shows its picture, compiled in uncompressed at its own size.
void TestEditorShell::toolBarActionsInOrder()
{
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, icon);
    QFETCH(int, pixels);
    MainWindow window;
    auto *toolBar = window.findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QVERIFY(toolBar);
    QCOMPARE(toolBar->iconSize(), QSize(48, 48));
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(toolBar->actions().size(), 7);
    const QAction *action = toolBar->actions().at(position);
    QCOMPARE(action->objectName(), name);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->toolTip(), toolTip);

    const QString path = QStringLiteral(":/images/") + icon;
    const QResource resource(path);
    QVERIFY2(resource.isValid(), qPrintable(path));
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
    QCOMPARE(QImage(path).size(), QSize(pixels, pixels));
    QCOMPARE(iconImage(action->icon(), 48), iconImage(QIcon(path), 48));
}

// Reads the icon's own directory: Qt decodes every entry to 32 bits, so the
// colour depth of each entry is only visible there.
void TestEditorShell::iconFileHoldsNineImages()
{
    MainWindow window; // registers the collection
    QFile file(QStringLiteral(":/images/Tarvik.ico"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QVERIFY(data.size() >= 6 + 16 * 9);
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    QCOMPARE(qFromLittleEndian<quint16>(bytes + 4), quint16(9));
    const int sizes[] = {16, 32, 16, 32, 48, 16, 32, 48, 256};
    const int depths[] = {4, 4, 8, 8, 8, 32, 32, 32, 32};
    QImageReader reader(file.fileName());
    QCOMPARE(reader.imageCount(), 9);
    for (int i = 0; i < 9; ++i) {
        const uchar *entry = bytes + 6 + 16 * i;
        QCOMPARE(entry[0] == 0 ? 256 : entry[0], sizes[i]);
        QCOMPARE(int(qFromLittleEndian<quint16>(entry + 6)), depths[i]);
        QVERIFY(reader.jumpToImage(i));
        QCOMPARE(reader.read().size(), QSize(sizes[i], sizes[i]));
    }
}

// Only an existing file with a name longer than 4 characters is opened; the
// argument decodes from CP1251 on Windows, from the locale's encoding elsewhere.
void TestEditorShell::startupFileName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const char *name : {"a.bc", "Котельная.vlr"})
        QVERIFY(QFile(QString::fromUtf8(name)).open(QIODevice::WriteOnly));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.vlr")));
    const struct { const char *name; bool opens; } names[] = {
        {"", false}, {"a.bc", false}, {"missing.vlr", false}, {"folder.vlr", false}, {"Котельная.vlr", true}};
    for (const auto &n : names) {
        const QString fileName = QString::fromUtf8(n.name);
        StartupFile::setName(fileName);
        QCOMPARE(StartupFile::name(), fileName);
        QCOMPARE(StartupFile::existingName(), n.opens ? fileName : QString());
    }
    StartupFile::setName(QString());
    QVERIFY(QDir::setCurrent(previous));

    const QByteArray cp1251("\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF.vlr"); // as Windows passes it
    QCOMPARE(StartupFile::fromCp1251(cp1251), QString::fromUtf8("Котельная.vlr"));
    QVERIFY(StartupFile::fromArgument(nullptr).isNull());
    if (QTextCodec::codecForLocale()->mibEnum() != 106)
        QSKIP("the locale's 8-bit encoding is not UTF-8");
    QCOMPARE(StartupFile::fromArgument("\xD0\x9A\xD0\xBE\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C\xD0\xBD\xD0\xB0\xD1\x8F"
                                       " \xE2\x84\x96" "2.vlr"),
             QString::fromUtf8("Котельная №2.vlr"));
}

QTEST_MAIN(TestEditorShell)
#include "tst_editorshell.moc"
