#include "configfile.h"
#include "configimage.h"
#include "mainwindow.h"
#include "queueddialogs.h"
#include "startupfile.h"
#include "testfiles.h"
#include "testwidgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

namespace {

using TestWindow = QueuedDialogsWindow;

const QString Prompt = boxSeen(QMessageBox::Information, QStringLiteral("Сохранить изменение в файле"),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

// The defaults; another marker tells the image apart.
ConfigImage defaults(quint8 marker = ConfigImage::DefaultMarker)
{
    ConfigImage image;
    image.applyDefaults();
    image.setByte(ConfigImage::InitMarker, marker);
    return image;
}

// All but the clock, which a save takes from the clock editors.
QByteArray settings(const ConfigImage &image)
{
    return ConfigFile::toBytes(image).left(ConfigImage::MainSize + ConfigImage::PhoneSize);
}

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    QString path(const QString &name) const { return QDir(dir->path()).filePath(name); }
    BoxAnswerer boxes;

private slots:
    void init()
    {
        boxes.seen.clear();
        StartupFile::setName(QString());
        dir = new QTemporaryDir;
    }

    void cleanup() { delete dir; }

    // New, Open and close go on only after No, or Yes and a good save; a file
    // that does not open changes nothing. "@" is the test's folder.
    void promptBeforeDiscarding_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("reply");
        QTest::addColumn<QString>("open"); // the open dialog's answer
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<QString>("failure");
        const int yes = QMessageBox::Yes, no = QMessageBox::No, cancel = QMessageBox::Cancel;
        const QString saveFails = "Не удалось сохранить файл «@/sub/current.vlr»: папка «@/sub» не существует.";
        QTest::newRow("new, yes") << "new" << yes << "" << true << "";
        QTest::newRow("new, cancel") << "new" << cancel << "" << false << "";
        QTest::newRow("open, no") << "open" << no << "other.vlr" << true << "";
        QTest::newRow("open, yes, save fails") << "open" << yes << "other.vlr" << false << saveFails;
        QTest::newRow("open, dialog cancelled") << "open" << no << "" << false << "";
        QTest::newRow("open, missing file") << "open" << no << "missing.vlr" << false
                                            << "Не удалось открыть файл «@/missing.vlr»: файл не найден.";
        QTest::newRow("close, yes") << "close" << yes << "" << true << "";
        QTest::newRow("close, yes, save fails") << "close" << yes << "" << false << saveFails;
        QTest::newRow("close, no") << "close" << no << "" << true << "";
        QTest::newRow("close, cancel") << "close" << cancel << "" << false << "";
    }

    void promptBeforeDiscarding()
    {
        QFETCH(QString, command);
        QFETCH(int, reply);
        QFETCH(QString, open);
        QFETCH(bool, goesOn);
        QFETCH(QString, failure);
        const ConfigImage other = defaults(0x11);
        QVERIFY(ConfigFile::save(path("other.vlr"), other) && QDir(dir->path()).mkdir("sub"));
        TestWindow window;
        window.saveAnswers << path("sub/current.vlr");
        window.SaveAlFile();
        QVERIFY(!failure.startsWith("Не удалось сохранить") || QDir(path("sub")).removeRecursively());
        window.configImage().setByte(ConfigImage::Thres2Relay + 1, 3);
        window.refreshAll();
        window.modified = true;
        const ConfigImage edited = window.configImage();
        window.openAnswers << (open.isEmpty() ? open : path(open));
        boxes.answer = QMessageBox::StandardButton(reply);

        const bool closed = command == "close" && window.close();
        if (command != "close")
            command == "new" ? window.NewFile() : window.OpenFile();

        const QString why = QDir::toNativeSeparators(QString(failure).replace("@", dir->path()));
        QCOMPARE(boxes.seen, QStringList({Prompt, boxSeen(QMessageBox::Critical, why)}).mid(0, failure.isEmpty() ? 1 : 2));
        const bool saved = reply == QMessageBox::Yes && failure.isEmpty();
        QCOMPARE(readAll(path("sub/current.vlr")).left(2850) == settings(edited), saved);
        QCOMPARE(closed, command == "close" && goesOn);
        // The file and configuration each command leaves; one that does not go on leaves the window's.
        struct Left { QString name; ConfigImage image; };
        const Left kept{path("sub/current.vlr"), edited};
        const QMap<QString, Left> leaves{{"new", {QString(), defaults()}}, {"open", {path("other.vlr"), other}}};
        const auto left = goesOn ? leaves.value(command, kept) : kept;
        QCOMPARE(window.currentFileName(), left.name);
        QCOMPARE(window.modified, !goesOn || (command == "close" && !saved));
        QCOMPARE(settings(window.configImage()), settings(left.image));
    }

    // Save asks for a name only while there is none; Save as always asks.
    void cancelledOrFailedSaveKeepsNameAndFlag()
    {
        TestWindow window;
        window.modified = true;
        boxes.answer = QMessageBox::Yes;
        QVERIFY(!window.close()); // the save dialog is cancelled: the window stays
        QVERIFY(window.modified && window.currentFileName().isEmpty());
        window.saveAnswers << path("good.vlr") << path("absent/bad.vlr");
        window.SaveFile();
        QCOMPARE(readAll(path("good.vlr")).mid(2652, 6), QByteArray::fromHex("80250000017B"));

        window.configImage().setByte(ConfigImage::FireRelay + 9, 2);
        window.modified = true;
        window.SaveFile();
        QVERIFY(!window.modified);
        QCOMPARE(readAll(path("good.vlr")), ConfigFile::toBytes(window.configImage()));
        window.modified = true;
        window.SaveAlFile(); // fails
        window.SaveAlFile(); // cancelled
        QCOMPARE(boxes.seen.size(), 2);
        QVERIFY(window.modified);
        QCOMPARE(window.currentFileName(), path("good.vlr"));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList({"good.vlr"}));
    }

    // "Системное время" is checked from the start: a save before the first
    // tick stores the time of the save, not 2000-01-01 00:00.
    void saveAtOnceStoresCurrentTime()
    {
        TestWindow window;
        window.saveAnswers << path("now.vlr");
        window.SaveAlFile();
        const QByteArray clock = readAll(path("now.vlr")).mid(2850);
        QCOMPARE(clock.size(), 8);
        const auto at = [&clock](int i) { return int(quint8(clock[i])); };
        const QDateTime stored(QDate(2000 + at(6) + 256 * at(7), at(3), at(4)), QTime(at(0), at(1), at(2)));
        QVERIFY2(qAbs(stored.secsTo(QDateTime::currentDateTime())) < 5, qPrintable(stored.toString(Qt::ISODate)));
    }

    // A name of four characters or fewer, a missing file or one that does not
    // load is ignored silently. The file's 0x93 marker keeps its configuration through New.
    void startupFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("loads");
        QTest::newRow("Cyrillic name") << "Котельная №2.vlr" << 2858 << true;
        QTest::newRow("four characters") << "a.vl" << 2858 << false;
        QTest::newRow("short file") << "short.vlr" << 2000 << false;
        QTest::newRow("missing file") << "missing.vlr" << -1 << false;
    }

    void startupFile()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(bool, loads);
        const ConfigImage stored = defaults(ConfigImage::KeepMarker);
        QVERIFY(size < 0 || writeFile(path(name), ConfigFile::toBytes(stored).left(size)));
        QTextCodec *cp1251 = QTextCodec::codecForName("CP1251");
        QVERIFY(cp1251);
        StartupFile::setName(StartupFile::fromCp1251(cp1251->fromUnicode(name)));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()));
        TestWindow window;
        QDir::setCurrent(previous);
        QVERIFY(boxes.seen.isEmpty() && !window.modified);
        QCOMPARE(window.currentFileName(), loads ? name : QString());
        QVERIFY(window.configImage() == (loads ? stored : defaults()));
        window.NewFile();
        QVERIFY(window.configImage() == (loads ? stored : defaults()));
        QVERIFY(window.currentFileName().isEmpty() && !window.modified);
    }

    // An argument is CP1251 on Windows, the locale's 8-bit encoding elsewhere.
    void startupArgument()
    {
        QVERIFY(StartupFile::fromArgument(nullptr).isNull());
        if (QTextCodec::codecForLocale()->mibEnum() != 106)
            QSKIP("the locale's 8-bit encoding is not UTF-8");
        QCOMPARE(StartupFile::fromArgument("Котельная №2.vlr"), QString("Котельная №2.vlr"));
    }
};

QTEST_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
