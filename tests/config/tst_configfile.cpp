#include "configfile.h"
#include "configimage.h"
#include "testfiles.h"
#include "testimages.h"

#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

QByteArray randomBytes(quint32 seed, int size = ConfigImage::FileSize)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char &b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

#ifdef Q_OS_UNIX
// Files of this process grow no larger than `bytes` (0: as before) while it lives.
struct FileSizeLimit
{
    rlimit saved {};
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limited = {bytes ? bytes : saved.rlim_cur, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

// Permission bits do not stop root: while it lives, a process that runs as
// root acts as "nobody" (the saved id lets it come back).
struct UnprivilegedUser
{
    const bool root = geteuid() == 0;
    const bool ok = !root || (setresgid(65534, 65534, 0) == 0 && setresuid(65534, 65534, 0) == 0);
    ~UnprivilegedUser()
    {
        if (root && setresuid(0, 0, 0) == 0)
            setresgid(0, 0, 0);
    }
};
#endif

} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    QString path(const QString &name) const { return QDir(dir->path()).filePath(name); }

private slots:
    void init() { dir = new QTemporaryDir; QVERIFY(dir->isValid()); }
    void cleanup()
    {
        QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        delete dir;
    }

    // The file is the three blocks back to back; loading overwrites every byte.
    void roundTripKeepsBlockOrder()
    {
        ConfigImage saved, loaded;
        QVERIFY(ConfigFile::fromBytes(randomBytes(1), &saved) && ConfigFile::fromBytes(randomBytes(2), &loaded));
        QString error;
        QVERIFY2(ConfigFile::save(path("round.vlr"), saved, &error), qPrintable(error));
        const auto raw = [](const quint8 *data, int size) { return QByteArray((const char *)data, size); };
        QCOMPARE(readAll(path("round.vlr")), raw(saved.MainBlock, 2658) + raw(saved.PhoneBlock, 192) + raw(saved.ClockBlock, 8));
        QVERIFY2(ConfigFile::load(path("round.vlr"), &loaded, &error), qPrintable(error));
        QVERIFY(loaded == saved);
        QVERIFY(!ConfigFile::load(path("round.vlr"), nullptr));
        QVERIFY(!ConfigFile::fromBytes(readAll(path("round.vlr")), nullptr));
    }

    // Read-only files open; a file shorter than the image is refused whole.
    void load_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size"); // -1: no file made; -2: a folder
        QTest::addColumn<QString>("text"); // how the message starts (%1: the file); empty: loads
        const QString open = "Не удалось открыть файл «%1»: ";
        const QString tooShort = "Файл «%1» слишком короткий (%2 байт из 2858) и не является файлом конфигурации.";
        QTest::newRow("longer") << "long.vlr" << 3000 << QString();
        QTest::newRow("missing") << "none.vlr" << -1 << open + "файл не найден.";
        QTest::newRow("folder") << "folder.vlr" << -2 << open + "это папка, а не файл.";
        QTest::newRow("empty") << "empty.vlr" << 0 << tooShort.arg("%1", "0");
        QTest::newRow("one short") << "Конфигурация.vlr" << 2857 << tooShort.arg("%1", "2857");
#ifdef Q_OS_LINUX
        QTest::newRow("read error") << "/proc/self/mem" << -1 << open + "ошибка чтения"; // opens, reads EIO
#endif
    }

    void load()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(QString, text);
        const QByteArray bytes = randomBytes(7, qMax(size, 0));
        QVERIFY(size != -2 || QDir(dir->path()).mkdir(name));
        QVERIFY(size < 0 || (writeFile(path(name), bytes) && QFile::setPermissions(path(name), QFile::ReadOwner)));
        ConfigImage image = patternedImage();
        const ConfigImage before = image;
        QString error;
        QCOMPARE(ConfigFile::load(path(name), &image, &error), text.isEmpty());
        QCOMPARE(ConfigFile::toBytes(image), text.isEmpty() ? bytes.left(ConfigImage::FileSize)
                                                             : ConfigFile::toBytes(before));
        text.replace("%1", QDir::toNativeSeparators(path(name)));
        QVERIFY2(error.startsWith(text), qPrintable(error));
    }

    // All or nothing: a longer old file is replaced whole; a failed save leaves
    // it as it was, with no stray temporary file.
    void saveReplacesOrKeepsOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sizeLimit"); // 0: none
        QTest::addColumn<QString>("text"); // empty: the save works
        const QString failed = "Не удалось сохранить файл «%1»: ";
        QTest::newRow("longer file") << "old.vlr" << 0 << QString();
        QTest::newRow("missing folder") << "absent/new.vlr" << 0 << failed + "папка «%2» не существует.";
        QTest::newRow("a folder") << "folder" << 0 << failed + "по этому пути находится папка.";
#ifdef Q_OS_UNIX
        QTest::newRow("short write") << "old.vlr" << 1000 << failed; // as a full disk would
#endif
    }

    void saveReplacesOrKeepsOldFile()
    {
        QFETCH(QString, name);
        QFETCH(int, sizeLimit);
        QFETCH(QString, text);
        const QByteArray old(3000, '\x33');
        QVERIFY(writeFile(path("old.vlr"), old) && QDir(dir->path()).mkdir("folder"));
        const ConfigImage image = patternedImage();
        QString error;
        bool ok = false;
        {
#ifdef Q_OS_UNIX
            const FileSizeLimit limit{rlim_t(sizeLimit)};
#endif
            ok = ConfigFile::save(path(name), image, &error);
        }
        QCOMPARE(ok, text.isEmpty());
        QCOMPARE(readAll(path("old.vlr")), ok ? ConfigFile::toBytes(image) : old);
        text.replace("%1", QDir::toNativeSeparators(path(name))).replace("%2", QDir::toNativeSeparators(path("absent")));
        QVERIFY2(error.startsWith(text), qPrintable(error));
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"folder", "old.vlr"}));
    }

#ifdef Q_OS_UNIX
    // A folder that refuses new files: a writable file in it is rewritten in
    // place, its longer old content cut to the image, and a write that falls
    // short is still reported; a new file or a read-only one is refused.
    void saveInFolderRefusingNewFiles()
    {
        const QString locked = path("locked");
        const QByteArray old(3000, '\x33');
        QVERIFY(QDir(dir->path()).mkdir("locked") && writeFile(locked + "/old.vlr", old)
                && writeFile(locked + "/readonly.vlr", old));
        const auto mode = [](const QString &path, mode_t bits) {
            return chmod(QFile::encodeName(path).constData(), bits) == 0;
        };
        QVERIFY(mode(dir->path(), 0755) && mode(locked, 0555) && mode(locked + "/old.vlr", 0666)
                && mode(locked + "/readonly.vlr", 0444));
        const ConfigImage image = patternedImage();
        const UnprivilegedUser user;
        QVERIFY2(user.ok, "cannot leave root for an unprivileged user");
        QString error;
        QVERIFY2(ConfigFile::save(locked + "/old.vlr", image, &error), qPrintable(error));
        QCOMPARE(readAll(locked + "/old.vlr"), ConfigFile::toBytes(image));
        {
            const FileSizeLimit limit(1000);
            QVERIFY(!ConfigFile::save(locked + "/old.vlr", image, &error));
        }
        QVERIFY(error.startsWith("Не удалось сохранить файл"));
        const QString failed = QString("Не удалось сохранить файл «%1/%2»: %3.").arg(QDir::toNativeSeparators(locked));
        QVERIFY(!ConfigFile::save(locked + "/new.vlr", image, &error));
        QCOMPARE(error, failed.arg("new.vlr", QString("нет прав на запись в папку «%1»").arg(QDir::toNativeSeparators(locked))));
        QVERIFY(!ConfigFile::save(locked + "/readonly.vlr", image, &error));
        QCOMPARE(error, failed.arg("readonly.vlr", "файл защищён от записи"));
        QCOMPARE(readAll(locked + "/readonly.vlr"), old);
        QCOMPARE(QDir(locked).entryList(QDir::Files), QStringList({"old.vlr", "readonly.vlr"}));
    }
#endif
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
