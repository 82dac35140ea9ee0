#include "configfile.h"
#include "configimage.h"
#include "mainwindow.h"
#include "startupfile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

namespace {

// The file dialogs answer from queues; an empty queue is a cancelled dialog.
class TestWindow : public MainWindow
{
public:
    QStringList openAnswers;
    QStringList saveAnswers;

protected:
    QString askOpenFileName() override { return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst(); }
    QString askSaveFileName() override { return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst(); }
};

struct Box
{
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

ConfigImage defaults()
{
    ConfigImage image;
    image.applyDefaults();
    return image;
}

ConfigImage distinctImage(quint8 marker)
{
    ConfigImage image = defaults();
    image.setByte(ConfigImage::Thres1Relay + 3, 4);
    image.setByte(ConfigImage::InputName + 2, 77);
    image.setByte(ConfigImage::InitMarker, marker);
    return image;
}

// All but the clock, which a save takes from the clock editors.
QByteArray settings(const ConfigImage &image)
{
    return ConfigFile::toBytes(image).left(ConfigImage::MainSize + ConfigImage::PhoneSize);
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

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void freshAndMarkedDocuments();
    void promptBeforeDiscarding_data();
    void promptBeforeDiscarding();
    void cancelledOrFailedSaveKeepsNameAndFlag();
    void refusedOpenKeepsDocument_data();
    void refusedOpenKeepsDocument();
    void startupFile_data();
    void startupFile();

private:
    QString path(const QString &name) const { return QDir(dir->path()).filePath(name); }

    QTemporaryDir *dir = nullptr;
    // Every modal box is answered, so one nobody expected fails a test
    // instead of hanging it.
    QTimer boxTimer;
    QList<Box> boxes;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
};

void TestDocumentCommands::initTestCase()
{
    connect(&boxTimer, &QTimer::timeout, this, [this] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        boxes.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        QAbstractButton *button = box->button(answer);
        (button ? button : box->buttons().value(0))->click();
    });
    boxTimer.start(10);
}

void TestDocumentCommands::init()
{
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    boxes.clear();
    answer = QMessageBox::Ok;
    StartupFile::setName(QString());
}

void TestDocumentCommands::cleanup()
{
    delete dir;
    StartupFile::setName(QString());
}

// A fresh document saves the defaults with their file-only bytes; once a file
// marked 0x93 is open, New keeps its configuration.
void TestDocumentCommands::freshAndMarkedDocuments()
{
    TestWindow window;
    window.NewFile();
    window.saveAnswers << path("fresh.vlr");
    window.SaveFile();
    const QByteArray bytes = readAll(path("fresh.vlr"));
    QCOMPARE(bytes.size(), 2858);
    QCOMPARE(bytes.mid(2652, 6), QByteArray::fromHex("80250000017B"));
    QCOMPARE(window.currentFileName(), path("fresh.vlr"));
    QVERIFY(!window.modified);

    const ConfigImage marked = distinctImage(ConfigImage::KeepMarker);
    QVERIFY(ConfigFile::save(path("marked.vlr"), marked));
    window.openAnswers << path("marked.vlr");
    window.OpenFile();
    QCOMPARE(window.currentFileName(), path("marked.vlr"));
    window.NewFile();
    QVERIFY(window.configImage() == marked);
    QVERIFY(window.currentFileName().isEmpty());
    QVERIFY(!window.modified);
    QVERIFY(boxes.isEmpty());
}

// New, Open and closing ask before dropping changes; they go on only when
// the answer is No, or Yes and the save went through.
void TestDocumentCommands::promptBeforeDiscarding_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveTo"); // the save dialog's answer
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<QString>("name"); // the current file name after
    const int yes = QMessageBox::Yes, no = QMessageBox::No, cancel = QMessageBox::Cancel;
    QTest::newRow("new, yes") << "new" << yes << "saved.vlr" << true << "";
    QTest::newRow("new, cancel") << "new" << cancel << "saved.vlr" << false << "";
    QTest::newRow("open, no") << "open" << no << "saved.vlr" << true << "other.vlr";
    QTest::newRow("open, yes, save fails") << "open" << yes << "absent/saved.vlr" << false << "";
    QTest::newRow("close, yes") << "close" << yes << "saved.vlr" << true << "saved.vlr";
    QTest::newRow("close, yes, save fails") << "close" << yes << "absent/saved.vlr" << false << "";
    QTest::newRow("close, yes, dialog cancelled") << "close" << yes << "" << false << "";
    QTest::newRow("close, no") << "close" << no << "saved.vlr" << true << "";
    QTest::newRow("close, cancel") << "close" << cancel << "saved.vlr" << false << "";
}

void TestDocumentCommands::promptBeforeDiscarding()
{
    QFETCH(QString, command);
    QFETCH(int, answer);
    QFETCH(QString, saveTo);
    QFETCH(bool, goesOn);
    QFETCH(QString, name);
    const ConfigImage other = distinctImage(0x11);
    QVERIFY(ConfigFile::save(path("other.vlr"), other));
    TestWindow window;
    window.configImage().setByte(ConfigImage::Thres2Relay + 1, 3);
    window.refreshAll();
    window.modified = true;
    const ConfigImage edited = window.configImage();
    if (!saveTo.isEmpty())
        window.saveAnswers << path(saveTo);
    window.openAnswers << path("other.vlr");
    this->answer = QMessageBox::StandardButton(answer);

    bool closed = false;
    if (command == "new")
        window.NewFile();
    else if (command == "open")
        window.OpenFile();
    else
        closed = window.close();

    QVERIFY(!boxes.isEmpty());
    QCOMPARE(boxes.first().title, QStringLiteral("Внимание"));
    QCOMPARE(boxes.first().text, QStringLiteral("Сохранить изменение в файле"));
    QCOMPARE(boxes.first().icon, QMessageBox::Information);
    QCOMPARE(boxes.first().buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const bool saveFails = answer == QMessageBox::Yes && saveTo.startsWith("absent");
    QCOMPARE(boxes.size(), saveFails ? 2 : 1);
    const bool written = QFile::exists(path("saved.vlr"));
    QCOMPARE(written, answer == QMessageBox::Yes && saveTo == "saved.vlr");
    if (written)
        QCOMPARE(readAll(path("saved.vlr")).left(2850), settings(edited));
    QCOMPARE(closed, command == "close" && goesOn);
    QCOMPARE(window.currentFileName(), name.isEmpty() ? name : path(name));
    QCOMPARE(window.modified, !goesOn || (command == "close" && !written));
    const ConfigImage expected = !goesOn || command == "close" ? edited : command == "open" ? other : defaults();
    QCOMPARE(settings(window.configImage()), settings(expected));
}

void TestDocumentCommands::cancelledOrFailedSaveKeepsNameAndFlag()
{
    TestWindow window;
    window.modified = true;
    window.SaveFile(); // no name yet, and the dialog is cancelled
    QVERIFY(window.modified);
    QVERIFY(window.currentFileName().isEmpty());
    window.saveAnswers << path("good.vlr");
    window.SaveFile();
    QVERIFY(!window.modified);

    window.configImage().setByte(ConfigImage::FireRelay + 9, 2);
    window.modified = true;
    window.SaveFile(); // the known name: no dialog
    QVERIFY(!window.modified);
    QCOMPARE(readAll(path("good.vlr")), ConfigFile::toBytes(window.configImage()));
    window.modified = true;
    window.SaveAlFile(); // cancelled
    window.saveAnswers << path("absent/bad.vlr");
    window.SaveAlFile();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("Внимание"));
    QCOMPARE(boxes.first().icon, QMessageBox::Critical);
    QCOMPARE(boxes.first().text, QStringLiteral("Не удалось сохранить файл «%1»: папка «%2» не существует.")
                                     .arg(shown(path("absent/bad.vlr")), shown(path("absent"))));
    QVERIFY(window.modified);
    QCOMPARE(window.currentFileName(), path("good.vlr"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList({"good.vlr"}));
}

void TestDocumentCommands::refusedOpenKeepsDocument_data()
{
    QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
    QTest::addColumn<int>("size"); // -1: no file
    QTest::addColumn<QString>("reason");
    QTest::newRow("cancelled") << "" << -1 << "";
    QTest::newRow("missing") << "missing.vlr" << -1 << "файл не найден";
    QTest::newRow("one short") << "short.vlr" << 2857 << "(2857 байт из 2858)";
}

void TestDocumentCommands::refusedOpenKeepsDocument()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(QString, reason);
    QVERIFY(size < 0 || writeFile(path(name), QByteArray(size, '\x5A')));
    TestWindow window;
    window.saveAnswers << path("named.vlr");
    window.SaveFile();
    window.configImage().setByte(ConfigImage::DefectRelay + 4, 3);
    window.modified = true;
    const ConfigImage before = window.configImage();
    if (!name.isEmpty())
        window.openAnswers << path(name);
    answer = QMessageBox::No;
    window.OpenFile();
    QCOMPARE(boxes.size(), reason.isEmpty() ? 1 : 2); // the prompt, then why the file was refused
    if (!reason.isEmpty()) {
        QCOMPARE(boxes.last().title, QStringLiteral("Внимание"));
        QCOMPARE(boxes.last().icon, QMessageBox::Critical);
        QVERIFY2(boxes.last().text.contains("«" + shown(path(name)) + "»"), qPrintable(boxes.last().text));
        QVERIFY2(boxes.last().text.contains(reason), qPrintable(boxes.last().text));
    }
    QVERIFY(window.configImage() == before);
    QCOMPARE(window.currentFileName(), path("named.vlr"));
    QVERIFY(window.modified);
}

// The name as the Windows command line hands it over; names of four
// characters or fewer and files that do not load are ignored silently.
void TestDocumentCommands::startupFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("loads");
    QTest::newRow("Cyrillic name") << "Котельная №2.vlr" << 2858 << true;
    QTest::newRow("four characters") << "a.vl" << 2858 << false;
    QTest::newRow("short file") << "short.vlr" << 2000 << false;
}

void TestDocumentCommands::startupFile()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(bool, loads);
    const ConfigImage stored = distinctImage(0x11);
    QVERIFY(writeFile(path(name), ConfigFile::toBytes(stored).left(size)));
    QTextCodec *cp1251 = QTextCodec::codecForName("CP1251");
    QVERIFY(cp1251);
    StartupFile::setName(StartupFile::fromCp1251(cp1251->fromUnicode(name)));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path()));
    TestWindow window;
    QDir::setCurrent(previous);
    QVERIFY(boxes.isEmpty());
    QVERIFY(!window.modified);
    QCOMPARE(window.currentFileName(), loads ? name : QString());
    QVERIFY(window.configImage() == (loads ? stored : defaults()));
}

QTEST_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
