#include "imagecheck.h"

#include <QTableWidget>
#include <QtTest>

// Each corpus file goes through what opening it does: load, texts, window refresh.
class TestFuzzCorpus : public QObject
{
    Q_OBJECT

    MainWindow window;

private slots:
    void corpusFileLoads_data()
    {
        QTest::addColumn<QString>("path");
        const QString folder = QStringLiteral(TARVIK_FUZZ_CORPUS);
        QVERIFY2(QDir(folder).exists(), "fuzz corpus not found");
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        QVERIFY(files.size() >= 8);
        for (const QFileInfo &file : files)
            QTest::newRow(qPrintable(file.fileName())) << file.filePath();
    }

    void corpusFileLoads()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const QByteArray before(ConfigImage::FileSize, '\x5A'); // what a refused file must leave
        ConfigImage image;
        ConfigFile::fromBytes(before, &image);
        QCOMPARE(ConfigFile::load(path, &image), bytes.size() >= ConfigImage::FileSize);
        QCOMPARE(ConfigFile::toBytes(image), bytes.size() >= ConfigImage::FileSize ? bytes.left(ConfigImage::FileSize) : before);
        QCOMPARE(ImageCheck::checkTexts(image) + ImageCheck::checkRefreshIsStable(window, image), QString());
    }

    // edges.vlr: codes at and past each list's end, addressed (row r is sensor r + 1).
    void edgeCodesShowClampedTexts()
    {
        QVERIFY(ConfigFile::load(QStringLiteral(TARVIK_FUZZ_CORPUS "/edges.vlr"), &window.configImage()));
        window.refreshAll();
        auto text = [this](const char *table, int row, int column) {
            return window.findChild<QTableWidget *>(table)->model()->index(row, column).data().toString();
        };
        QCOMPARE(text("tableSensorThres1", 0, 1) + text("tableSensorThres1", 0, 2), QString("Нет   Нет   ")); // relay 9, valve 252
        QCOMPARE(text("tableSensorThres1", 1, 2), QStringLiteral("Клапан 250")); // valve code 251
        QCOMPARE(text("tableDiscreteInput", 10, 2), ConfigImage::inputNameTexts().at(160));
        QCOMPARE(text("tableDiscreteInput", 11, 2), QString(40, QLatin1Char(' '))); // code 161
        QCOMPARE(text("tableDiscreteInput", 0, 5), QStringLiteral("9.8")); // 990 hundredths
        QCOMPARE(text("tableDiscreteInput", 2, 5), QStringLiteral("10.0")); // 1004, past the list
    }
};

QTEST_MAIN(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
