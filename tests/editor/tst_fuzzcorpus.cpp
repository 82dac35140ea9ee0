#include "../fuzz/imagecheck.h"
#include "../fuzz/windowcheck.h"
#include "configfile.h"
#include "configimage.h"
#include "mainwindow.h"

#include <QTableWidget>
#include <QtTest>

#include <memory>

// Every file kept in the fuzz corpus goes through what opening it does: the
// file check, every code -> text conversion, and the window's refresh.
class TestFuzzCorpus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void corpusFileLoads_data();
    void corpusFileLoads();
    void edgeCodesShowClampedTexts();

private:
    std::unique_ptr<MainWindow> window;
};

void TestFuzzCorpus::initTestCase()
{
    window.reset(new MainWindow);
}

void TestFuzzCorpus::cleanupTestCase()
{
    window.reset();
}

void TestFuzzCorpus::corpusFileLoads_data()
{
    QTest::addColumn<QString>("path");
    const QString folder = QFINDTESTDATA("../fuzz/corpus");
    QVERIFY2(!folder.isEmpty(), "fuzz corpus not found");
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 8);
    for (const QFileInfo &file : files)
        QTest::newRow(qPrintable(file.fileName())) << file.filePath();
}

void TestFuzzCorpus::corpusFileLoads()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    ConfigImage image;
    image.applyDefaults();
    const ConfigImage before = image;
    QString error;
    const bool loaded = ConfigFile::load(path, &image, &error);
    QCOMPARE(loaded, bytes.size() >= ConfigImage::FileSize);
    if (!loaded) {
        QVERIFY(image == before);
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(ConfigFile::toBytes(image), bytes.left(ConfigImage::FileSize));

    const QString textFailure = ImageCheck::checkTexts(image);
    QVERIFY2(textFailure.isEmpty(), qPrintable(textFailure));
    const QString windowFailure = WindowCheck::checkRefreshIsStable(*window, image);
    QVERIFY2(windowFailure.isEmpty(), qPrintable(windowFailure));
}

// edges.vlr holds codes just inside and just past each list (addressed mode,
// so sensor table row r shows sensor r + 1).
void TestFuzzCorpus::edgeCodesShowClampedTexts()
{
    ConfigImage image;
    QVERIFY(ConfigFile::load(QFINDTESTDATA("../fuzz/corpus/edges.vlr"), &image));
    window->configImage() = image;
    window->refreshAll();

    auto text = [this](const char *table, int row, int column) {
        const auto *widget = window->findChild<QTableWidget *>(QLatin1String(table));
        const QTableWidgetItem *item = widget ? widget->item(row, column) : nullptr;
        return item ? item->text() : QStringLiteral("<no cell>");
    };
    QCOMPARE(text("tableSensorThres1", 0, 1), QStringLiteral("Нет   "));     // relay 9
    QCOMPARE(text("tableSensorThres1", 0, 2), QStringLiteral("Нет   "));     // valve code 252
    QCOMPARE(text("tableSensorThres1", 1, 2), QStringLiteral("Клапан 250")); // valve code 251
    const QStringList &names = ConfigImage::inputNameTexts();
    QCOMPARE(text("tableDiscreteInput", 10, 2), names.at(160));
    QCOMPARE(text("tableDiscreteInput", 11, 2), EventCatalogue::emptyEntry()); // code 161
    QCOMPARE(text("tableDiscreteInput", 0, 5), QStringLiteral("9.8"));  // 990 hundredths
    QCOMPARE(text("tableDiscreteInput", 2, 5), QStringLiteral("10.0")); // 1004, past the list
}

QTEST_MAIN(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
