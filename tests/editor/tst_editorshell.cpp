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
    void resourcesHaveTheirSizes_data();
    void resourcesHaveTheirSizes();
    void iconFileHoldsNineImages();
    void toolBarActionsInOrder_data();
    void toolBarActionsInOrder();
    void cyrillicArgumentDecodes();
    void startupNameNeedsAnExistingLongName();
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

void TestEditorShell::resourcesHaveTheirSizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("settings") << "settings.png" << QSize(128, 128);
    QTest::newRow("new") << "new.png" << QSize(256, 256);
    QTest::newRow("Open") << "Open.png" << QSize(256, 256);
    QTest::newRow("save") << "save.png" << QSize(256, 256);
    QTest::newRow("Saveall") << "Saveall.png" << QSize(256, 256);
    QTest::newRow("Read") << "Read.png" << QSize(160, 160);
    QTest::newRow("Write") << "Write.png" << QSize(160, 160);
}

void TestEditorShell::resourcesHaveTheirSizes()
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

// Reads the icon's own directory: Qt decodes every entry to 32 bits, so the
// colour depth of each entry is only visible here.
void TestEditorShell::iconFileHoldsNineImages()
{
    MainWindow window;
    QFile file(QStringLiteral(":/images/Tarvik.ico"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    QVERIFY(data.size() >= 6);
    QCOMPARE(qFromLittleEndian<quint16>(bytes + 2), quint16(1));
    const int count = qFromLittleEndian<quint16>(bytes + 4);
    QCOMPARE(count, 9);
    QVERIFY(data.size() >= 6 + 16 * count);

    const QList<QPair<int, int>> expected = {{16, 4}, {32, 4}, {16, 8}, {32, 8}, {48, 8},
                                             {16, 32}, {32, 32}, {48, 32}, {256, 32}};
    for (int i = 0; i < count; ++i) {
        const uchar *entry = bytes + 6 + 16 * i;
        const int size = entry[0] == 0 ? 256 : entry[0];
        const int bits = qFromLittleEndian<quint16>(entry + 6);
        const quint32 length = qFromLittleEndian<quint32>(entry + 8);
        const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
        QCOMPARE(qMakePair(size, bits), expected.at(i));
        QVERIFY(quint64(offset) + length <= quint64(data.size()));
    }

    QImageReader reader(QStringLiteral(":/images/Tarvik.ico"));
    QCOMPARE(reader.imageCount(), 9);
    for (int i = 0; i < 9; ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QCOMPARE(image.size(), QSize(expected.at(i).first, expected.at(i).first));
    }
}

void TestEditorShell::toolBarActionsInOrder_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("icon");
    QTest::newRow("new") << 0 << "actionNewFile" << "New" << "Новый файл" << "new.png";
    QTest::newRow("open") << 1 << "actionOpenFile" << "Open" << "Открыть файл" << "Open.png";
    QTest::newRow("save") << 2 << "actionSaveFile" << "Save" << "Сохранить файл" << "save.png";
    QTest::newRow("save all") << 3 << "actionSaveFileAll" << "SaveAll" << "Сохранить файл как"
                              << "Saveall.png";
    QTest::newRow("settings") << 4 << "actionSettings" << "Settings" << "Настройка"
                              << "settings.png";
    QTest::newRow("read") << 5 << "actionRead" << "Read" << "Прочитать данные" << "Read.png";
    QTest::newRow("write") << 6 << "actionWrite" << "Write" << "Загрузить данные" << "Write.png";
}

void TestEditorShell::toolBarActionsInOrder()
{
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, icon);

    MainWindow window;
    auto *toolBar = window.findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QVERIFY(toolBar);
    QCOMPARE(toolBar->iconSize(), QSize(48, 48));
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    const QList<QAction *> actions = toolBar->actions();
    QCOMPARE(actions.size(), 7);

    const QAction *action = actions.at(position);
    QCOMPARE(action->objectName(), name);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->toolTip(), toolTip);
    const QIcon expected(QStringLiteral(":/images/") + icon);
    QVERIFY(!expected.pixmap(48, 48).isNull());
    QCOMPARE(iconImage(action->icon(), 48), iconImage(expected, 48));
}

void TestEditorShell::cyrillicArgumentDecodes()
{
    if (QTextCodec::codecForLocale()->mibEnum() != 106)
        QSKIP("the locale's 8-bit encoding is not UTF-8");
    const QByteArray utf8("\xD0\x9A\xD0\xBE\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C\xD0\xBD\xD0\xB0\xD1\x8F"
                          " \xE2\x84\x96" "2.vlr");
    QCOMPARE(StartupFile::fromArgument(utf8.constData()), QString::fromUtf8("Котельная №2.vlr"));
    QVERIFY(StartupFile::fromArgument(nullptr).isNull());

    // "Котельная" as the Windows build receives it, one byte per letter.
    const QByteArray cp1251("\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF.vlr");
    QCOMPARE(StartupFile::fromCp1251(cp1251), QString::fromUtf8("Котельная.vlr"));
}

void TestEditorShell::startupNameNeedsAnExistingLongName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    for (const char *name : {"a.bc", "Котельная.vlr"}) {
        QFile file(QString::fromUtf8(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.vlr")));

    StartupFile::setName(QString());
    QVERIFY(StartupFile::existingName().isEmpty());
    StartupFile::setName(QStringLiteral("a.bc")); // exists, but only 4 characters
    QVERIFY(StartupFile::existingName().isEmpty());
    StartupFile::setName(QStringLiteral("missing.vlr"));
    QVERIFY(StartupFile::existingName().isEmpty());
    StartupFile::setName(QStringLiteral("folder.vlr"));
    QVERIFY(StartupFile::existingName().isEmpty());
    StartupFile::setName(QString::fromUtf8("Котельная.vlr"));
    QCOMPARE(StartupFile::existingName(), QString::fromUtf8("Котельная.vlr"));
    QCOMPARE(StartupFile::name(), QString::fromUtf8("Котельная.vlr"));

    StartupFile::setName(QString());
    QVERIFY(QDir::setCurrent(previous));
}

QTEST_MAIN(TestEditorShell)
#include "tst_editorshell.moc"
