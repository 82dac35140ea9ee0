#include "imagecheck.h"

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
        ConfigImage image; // bytes a refused file must leave as they are
        ConfigFile::fromBytes(QByteArray(ConfigImage::FileSize, '\x5A'), &image);
        QCOMPARE(ImageCheck::checkLoad(path, file.readAll(), &image) + ImageCheck::checkTexts(image)
                     + ImageCheck::checkRefreshIsStable(window, image),
                 QString());
    }
};

QTEST_MAIN(TestFuzzCorpus)
#include "tst_fuzzcorpus.moc"
