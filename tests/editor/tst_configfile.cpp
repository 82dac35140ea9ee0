#include "configfile.h"
#include "configimage.h"

#include <QtTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

using Image = std::unique_ptr<ConfigImage>;

Image randomImage(quint32 seed)
{
    Image image(new ConfigImage);
    QRandomGenerator random(seed);
    for (quint8 &b : image->MainBlock)
        b = quint8(random.bounded(256));
    for (quint8 &b : image->PhoneBlock)
        b = quint8(random.bounded(256));
    for (quint8 &b : image->ClockBlock)
        b = quint8(random.bounded(256));
    return image;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Permission bits do not stop a privileged user, so probe instead of assuming.
bool canCreateFileIn(const QString &dirPath)
{
    QFile probe(dirPath + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.remove();
    return true;
}

} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // Layout and round trip
    void freshImageFileLayout();
    void blocksLieBackToBack();
    void roundTrip_data();
    void roundTrip();
    void keepMarkerSurvivesRoundTrip();

    // Loading
    void longerFileLoadsFirstBytes();
    void readOnlyFileLoads();
    void refusedFilesLeaveImageUnchanged_data();
    void refusedFilesLeaveImageUnchanged();
    void unreadableFileRefused();
    void readErrorRefused();
    void shortBytesRefused();

    // Saving
    void saveReplacesLongerFile();
    void saveFailuresKeepOldFile_data();
    void saveFailuresKeepOldFile();
    void saveIntoReadOnlyFolderFails();
    void interruptedSaveKeepsOldFile();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString &name) const { return dir->filePath(name); }
};

void TestConfigFile::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

void TestConfigFile::freshImageFileLayout()
{
    Image image(new ConfigImage);
    image->applyDefaults();
    QString error;
    QVERIFY2(ConfigFile::save(path("fresh.vlr"), *image, &error), qPrintable(error));
    const QByteArray bytes = readAll(path("fresh.vlr"));
    QCOMPARE(bytes.size(), 2858);
    QCOMPARE(quint8(bytes.at(2657)), quint8(0x7B));
    QCOMPARE(bytes.mid(2652, 5), QByteArray::fromHex("8025000001"));
    QCOMPARE(bytes, ConfigFile::toBytes(*image));
}

void TestConfigFile::blocksLieBackToBack()
{
    const Image image = randomImage(7);
    const QByteArray bytes = ConfigFile::toBytes(*image);
    QCOMPARE(bytes.size(), ConfigImage::FileSize);
    QCOMPARE(quint8(bytes.at(0)), image->MainBlock[0]);
    QCOMPARE(quint8(bytes.at(2657)), image->MainBlock[2657]);
    QCOMPARE(quint8(bytes.at(2658)), image->PhoneBlock[0]);
    QCOMPARE(quint8(bytes.at(2849)), image->PhoneBlock[191]);
    QCOMPARE(quint8(bytes.at(2850)), image->ClockBlock[0]);
    QCOMPARE(quint8(bytes.at(2857)), image->ClockBlock[7]);
}

void TestConfigFile::roundTrip_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 0xBADC0DEu, 0xFFFFFFFFu})
        QTest::addRow("seed %u", seed) << seed;
}

void TestConfigFile::roundTrip()
{
    QFETCH(quint32, seed);
    const Image saved = randomImage(seed);
    QString error;
    QVERIFY2(ConfigFile::save(path("round.vlr"), *saved, &error), qPrintable(error));
    QCOMPARE(readAll(path("round.vlr")), ConfigFile::toBytes(*saved));

    const Image loaded = randomImage(seed + 1);
    QVERIFY2(ConfigFile::load(path("round.vlr"), loaded.get(), &error), qPrintable(error));
    QVERIFY(*loaded == *saved);
}

void TestConfigFile::keepMarkerSurvivesRoundTrip()
{
    Image saved = randomImage(11);
    saved->MainBlock[ConfigImage::InitMarker] = ConfigImage::KeepMarker;
    QVERIFY(ConfigFile::save(path("kept.vlr"), *saved));

    Image loaded(new ConfigImage);
    loaded->applyDefaults();
    QVERIFY(ConfigFile::load(path("kept.vlr"), loaded.get()));
    loaded->applyDefaults(); // what "New" does next: the marked image stays
    QVERIFY(*loaded == *saved);
}

void TestConfigFile::longerFileLoadsFirstBytes()
{
    const Image source = randomImage(21);
    QVERIFY(writeFile(path("long.vlr"), ConfigFile::toBytes(*source) + QByteArray(142, '\xEE')));
    Image loaded(new ConfigImage);
    QVERIFY(ConfigFile::load(path("long.vlr"), loaded.get()));
    QVERIFY(*loaded == *source);
}

void TestConfigFile::readOnlyFileLoads()
{
    const Image source = randomImage(31);
    QVERIFY(ConfigFile::save(path("ro.vlr"), *source));
    QVERIFY(QFile::setPermissions(path("ro.vlr"), QFile::ReadOwner | QFile::ReadGroup));
    Image loaded(new ConfigImage);
    QString error;
    QVERIFY2(ConfigFile::load(path("ro.vlr"), loaded.get(), &error), qPrintable(error));
    QVERIFY(*loaded == *source);
}

void TestConfigFile::refusedFilesLeaveImageUnchanged_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size"); // -1: no file; -2: a folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "none.vlr" << -1 << "файл не найден";
    QTest::newRow("folder") << "folder.vlr" << -2 << "это папка, а не файл";
    QTest::newRow("empty") << "empty.vlr" << 0 << "слишком короткий (0 байт из 2858)";
    QTest::newRow("one byte") << "one.vlr" << 1 << "слишком короткий (1 байт из 2858)";
    QTest::newRow("main block only") << "main.vlr" << 2658 << "(2658 байт из 2858)";
    QTest::newRow("one short") << "Конфигурация.vlr" << 2857 << "(2857 байт из 2858)";
}

void TestConfigFile::refusedFilesLeaveImageUnchanged()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(QString, reason);
    if (size == -2)
        QVERIFY(QDir(dir->path()).mkdir(name));
    else if (size >= 0)
        QVERIFY(writeFile(path(name), QByteArray(size, '\x5A')));

    const Image before = randomImage(41);
    Image image = randomImage(41);
    QString error;
    QVERIFY(!ConfigFile::load(path(name), image.get(), &error));
    QVERIFY(*image == *before);
    QVERIFY2(error.contains(QStringLiteral("«%1»").arg(QDir::toNativeSeparators(path(name)))),
             qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void TestConfigFile::unreadableFileRefused()
{
    QVERIFY(ConfigFile::save(path("locked.vlr"), *randomImage(51)));
    QVERIFY(QFile::setPermissions(path("locked.vlr"), QFileDevice::Permissions()));
    QFile probe(path("locked.vlr"));
    if (probe.open(QIODevice::ReadOnly))
        QSKIP("This user reads files whatever their permission bits say");

    const Image before = randomImage(52);
    Image image = randomImage(52);
    QString error;
    QVERIFY(!ConfigFile::load(path("locked.vlr"), image.get(), &error));
    QVERIFY(*image == *before);
    QVERIFY2(error.contains(QStringLiteral("нет прав на чтение")), qPrintable(error));
}

void TestConfigFile::readErrorRefused()
{
#ifdef Q_OS_LINUX
    // Opens for anyone, but reading its first page fails with an I/O error.
    const QString name = QStringLiteral("/proc/self/mem");
    const Image before = randomImage(55);
    Image image = randomImage(55);
    QString error;
    QVERIFY(!ConfigFile::load(name, image.get(), &error));
    QVERIFY(*image == *before);
    QVERIFY2(error.startsWith(QStringLiteral("Не удалось открыть файл «/proc/self/mem»: ошибка чтения")),
             qPrintable(error));
#else
    QSKIP("Needs a file that opens but cannot be read");
#endif
}

void TestConfigFile::shortBytesRefused()
{
    const Image before = randomImage(61);
    Image image = randomImage(61);
    QVERIFY(!ConfigFile::fromBytes(QByteArray(2857, '\0'), image.get()));
    QVERIFY(*image == *before);
    QVERIFY(!ConfigFile::fromBytes(QByteArray(2858, '\0'), nullptr));
    QVERIFY(ConfigFile::fromBytes(QByteArray(2858, '\0'), image.get()));
    QVERIFY(*image == ConfigImage());
}

void TestConfigFile::saveReplacesLongerFile()
{
    QVERIFY(writeFile(path("old.vlr"), QByteArray(3000, '\xEE')));
    const Image image = randomImage(71);
    QVERIFY(ConfigFile::save(path("old.vlr"), *image));
    QCOMPARE(readAll(path("old.vlr")), ConfigFile::toBytes(*image));
}

void TestConfigFile::saveFailuresKeepOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "absent/new.vlr" << "не существует";
    QTest::newRow("under a file") << "old.vlr/new.vlr" << "не существует";
    QTest::newRow("a folder") << "folder" << "по этому пути находится папка";
}

void TestConfigFile::saveFailuresKeepOldFile()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QByteArray old(3000, '\x33');
    QVERIFY(writeFile(path("old.vlr"), old));
    QVERIFY(QDir(dir->path()).mkdir("folder"));

    QString error;
    QVERIFY(!ConfigFile::save(path(name), *randomImage(81), &error));
    QVERIFY2(error.startsWith(QStringLiteral("Не удалось сохранить файл «%1»")
                                  .arg(QDir::toNativeSeparators(path(name)))),
             qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(readAll(path("old.vlr")), old);
    QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"folder", "old.vlr"}));
}

void TestConfigFile::saveIntoReadOnlyFolderFails()
{
    const QString folder = path("ro");
    QVERIFY(QDir(dir->path()).mkdir("ro"));
    const QByteArray old(2858, '\x44');
    QVERIFY(writeFile(folder + "/old.vlr", old));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const bool writable = canCreateFileIn(folder);
    if (!writable) {
        QString error;
        QVERIFY(!ConfigFile::save(folder + "/old.vlr", *randomImage(91), &error));
        QVERIFY2(error.contains(QStringLiteral("нет прав на запись в папку")), qPrintable(error));
        QCOMPARE(readAll(folder + "/old.vlr"), old);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (writable)
        QSKIP("This user writes into folders whatever their permission bits say");
}

void TestConfigFile::interruptedSaveKeepsOldFile()
{
#ifdef Q_OS_UNIX
    // A file-size limit makes the write stop part-way, as a full disk would.
    const QByteArray old(100, '\x66');
    QVERIFY(writeFile(path("old.vlr"), old));
    rlimit saved {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit small = saved;
    small.rlim_cur = 1000;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    QString error;
    const bool saved_ok = ConfigFile::save(path("old.vlr"), *randomImage(101), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved_ok);
    QVERIFY2(error.startsWith(QStringLiteral("Не удалось сохранить файл")), qPrintable(error));
    QCOMPARE(readAll(path("old.vlr")), old);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList({"old.vlr"}));
#else
    QSKIP("Needs a file-size limit");
#endif
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
