#include "configfile.h"
#include "configimage.h"
#include "mainwindow.h"
#include "startupfile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <optional>

namespace {

// File dialogs answer from queues; the save prompt is the real box unless a
// test gives a fixed answer.
class TestWindow : public MainWindow
{
public:
    QStringList openAnswers;
    QStringList saveAnswers;
    std::optional<QMessageBox::StandardButton> promptAnswer;
    int openAsked = 0;
    int saveAsked = 0;
    int promptAsked = 0;

protected:
    QString askOpenFileName() override
    {
        ++openAsked;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString askSaveFileName() override
    {
        ++saveAsked;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    QMessageBox::StandardButton askSaveChanges() override
    {
        ++promptAsked;
        return promptAnswer ? *promptAnswer : MainWindow::askSaveChanges();
    }
};

// Answers every modal message box that opens while it lives, and records them.
class BoxAnswerer : public QObject
{
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
    };
    QList<Box> boxes;

    QMessageBox::StandardButton answer = QMessageBox::Ok;

    BoxAnswerer()
    {
        connect(&timer, &QTimer::timeout, this, &BoxAnswerer::poll);
        timer.start(10);
    }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == answered)
            return;
        answered = box;
        boxes.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        QAbstractButton *button = box->button(answer);
        if (!button)
            button = box->buttons().value(0);
        button->click();
    }

    QPointer<QMessageBox> answered;
    QTimer timer;
};

ConfigImage distinctImage(quint8 marker)
{
    ConfigImage image;
    image.applyDefaults();
    image.setByte(ConfigImage::Thres1Relay + 3, 4);
    image.setByte(ConfigImage::InputName + 2, 77);
    image.setByte(ConfigImage::InitMarker, marker);
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

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // New and the file's marker
    void freshSaveLayout();
    void markedFileMakesNewKeepConfiguration();
    void documentPromptBeforeNewAndOpen_data();
    void documentPromptBeforeNewAndOpen();

    // Save
    void cancelledSaveDialogKeepsModified();
    void failedSaveShowsBoxAndKeepsState();
    void saveReplacesLongerFile();

    // Open
    void cancelledOpenDialogChangesNothing();
    void refusedFileShowsBoxAndKeepsState_data();
    void refusedFileShowsBoxAndKeepsState();
    void readOnlyAndLongerFilesOpen();

    // Close
    void closePrompt_data();
    void closePrompt();

    // Start-up file
    void cyrillicStartupFileLoads();
    void startupNamesIgnoredSilently_data();
    void startupNamesIgnoredSilently();

private:
    std::unique_ptr<QTemporaryDir> dir;
    // Every box a test opens is answered, so a box nobody expected fails the
    // test instead of hanging it.
    std::unique_ptr<BoxAnswerer> answerer;
    QString path(const QString &name) const { return dir->filePath(name); }
};

void TestDocumentCommands::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    StartupFile::setName(QString());
    answerer.reset(new BoxAnswerer);
}

void TestDocumentCommands::cleanup()
{
    answerer.reset();
    StartupFile::setName(QString());
}

void TestDocumentCommands::freshSaveLayout()
{
    TestWindow window;
    window.NewFile();
    window.saveAnswers << path("fresh.vlr");
    window.SaveFile();
    const QByteArray bytes = readAll(path("fresh.vlr"));
    QCOMPARE(bytes.size(), 2858);
    QCOMPARE(quint8(bytes.at(2657)), quint8(0x7B));
    QCOMPARE(bytes.mid(2652, 5), QByteArray::fromHex("8025000001"));
    QCOMPARE(window.currentFileName(), path("fresh.vlr"));
    QVERIFY(!window.modified);
}

void TestDocumentCommands::markedFileMakesNewKeepConfiguration()
{
    const ConfigImage marked = distinctImage(ConfigImage::KeepMarker);
    QVERIFY(ConfigFile::save(path("marked.vlr"), marked));
    TestWindow window;
    window.openAnswers << path("marked.vlr");
    window.OpenFile();
    QVERIFY(window.configImage() == marked);

    window.NewFile();
    QVERIFY(window.configImage() == marked);
    QVERIFY(window.currentFileName().isEmpty());
    QVERIFY(!window.modified);
}

// What follows the prompt: "saved" is whether the current file was written.
void TestDocumentCommands::documentPromptBeforeNewAndOpen_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveWorks");
    QTest::addColumn<bool>("goesOn");
    for (bool open : {false, true}) {
        const char *command = open ? "open" : "new";
        QTest::addRow("%s, yes", command) << open << int(QMessageBox::Yes) << true << true;
        QTest::addRow("%s, yes, save fails", command) << open << int(QMessageBox::Yes) << false << false;
        QTest::addRow("%s, no", command) << open << int(QMessageBox::No) << true << true;
        QTest::addRow("%s, cancel", command) << open << int(QMessageBox::Cancel) << true << false;
    }
}

void TestDocumentCommands::documentPromptBeforeNewAndOpen()
{
    QFETCH(bool, open);
    QFETCH(int, answer);
    QFETCH(bool, saveWorks);
    QFETCH(bool, goesOn);
    const ConfigImage other = distinctImage(0x11);
    QVERIFY(ConfigFile::save(path("other.vlr"), other));

    TestWindow window;
    QVERIFY(QDir(dir->path()).mkdir("sub"));
    const QString current = path("sub/current.vlr");
    window.saveAnswers << current;
    window.SaveAlFile();
    QCOMPARE(window.currentFileName(), current);
    QVERIFY(QDir(path("sub")).removeRecursively());
    if (saveWorks)
        QVERIFY(QDir(dir->path()).mkdir("sub"));
    window.configImage().setByte(ConfigImage::Thres2Relay + 1, 3);
    window.refreshAll();
    window.modified = true;
    const ConfigImage edited = window.configImage();
    window.promptAnswer = QMessageBox::StandardButton(answer);
    window.openAnswers << path("other.vlr");

    open ? window.OpenFile() : window.NewFile();

    QCOMPARE(window.promptAsked, 1);
    const bool saved = QFile::exists(current);
    QCOMPARE(saved, answer == QMessageBox::Yes && saveWorks);
    if (saved)
        QCOMPARE(ConfigFile::toBytes(edited).mid(0, 2850), readAll(current).mid(0, 2850));
    QCOMPARE(answerer->boxes.size(), answer == QMessageBox::Yes && !saveWorks ? 1 : 0);
    QCOMPARE(window.openAsked, goesOn && open ? 1 : 0);
    QCOMPARE(window.modified, !goesOn);
    if (!goesOn) {
        QVERIFY(window.configImage() == edited);
        QCOMPARE(window.currentFileName(), current);
    } else if (open) {
        QVERIFY(window.configImage() == other);
        QCOMPARE(window.currentFileName(), path("other.vlr"));
    } else {
        QCOMPARE(window.configImage().byte(ConfigImage::Thres2Relay + 1), quint8(1));
        QVERIFY(window.currentFileName().isEmpty());
    }
}

void TestDocumentCommands::cancelledSaveDialogKeepsModified()
{
    TestWindow window;
    window.modified = true;
    window.SaveFile(); // no name yet: the dialog is cancelled
    QCOMPARE(window.saveAsked, 1);
    QVERIFY(window.modified);
    QVERIFY(window.currentFileName().isEmpty());

    window.saveAnswers << path("kept.vlr");
    window.SaveAlFile();
    window.modified = true;
    window.SaveAlFile(); // cancelled: the name and the flag stay
    QCOMPARE(window.saveAsked, 3);
    QVERIFY(window.modified);
    QCOMPARE(window.currentFileName(), path("kept.vlr"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList({"kept.vlr"}));
}

void TestDocumentCommands::failedSaveShowsBoxAndKeepsState()
{
    TestWindow window;
    window.saveAnswers << path("good.vlr") << path("absent/bad.vlr");
    window.SaveFile();
    window.modified = true;

    window.SaveAlFile();
    QCOMPARE(answerer->boxes.size(), 1);
    const BoxAnswerer::Box box = answerer->boxes.first();
    QCOMPARE(box.title, QStringLiteral("Внимание"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY2(box.text.startsWith(QStringLiteral("Не удалось сохранить файл «%1»")
                                     .arg(QDir::toNativeSeparators(path("absent/bad.vlr")))),
             qPrintable(box.text));
    QVERIFY(window.modified);
    QCOMPARE(window.currentFileName(), path("good.vlr"));
}

void TestDocumentCommands::saveReplacesLongerFile()
{
    QVERIFY(writeFile(path("long.vlr"), QByteArray(3000, '\xEE')));
    TestWindow window;
    window.saveAnswers << path("long.vlr");
    window.SaveFile();
    QCOMPARE(readAll(path("long.vlr")), ConfigFile::toBytes(window.configImage()));
}

void TestDocumentCommands::cancelledOpenDialogChangesNothing()
{
    TestWindow window;
    window.saveAnswers << path("named.vlr");
    window.SaveFile();
    window.configImage().setByte(ConfigImage::FireRelay + 9, 2);
    window.modified = true;
    const ConfigImage before = window.configImage();
    window.promptAnswer = QMessageBox::No;
    window.OpenFile(); // the dialog answers nothing
    QCOMPARE(window.openAsked, 1);
    QCOMPARE(window.currentFileName(), path("named.vlr"));
    QVERIFY(window.modified);
    QVERIFY(window.configImage() == before);
}

void TestDocumentCommands::refusedFileShowsBoxAndKeepsState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size"); // -1 none, -2 a folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing.vlr" << -1 << "файл не найден";
    QTest::newRow("folder") << "folder.vlr" << -2 << "это папка";
    QTest::newRow("empty") << "empty.vlr" << 0 << "(0 байт из 2858)";
    QTest::newRow("one short") << "short.vlr" << 2857 << "(2857 байт из 2858)";
}

void TestDocumentCommands::refusedFileShowsBoxAndKeepsState()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(QString, reason);
    if (size == -2)
        QVERIFY(QDir(dir->path()).mkdir(name));
    else if (size >= 0)
        QVERIFY(writeFile(path(name), QByteArray(size, '\x5A')));

    TestWindow window;
    window.saveAnswers << path("named.vlr");
    window.SaveFile();
    window.configImage().setByte(ConfigImage::DefectRelay + 4, 3);
    window.modified = true;
    window.promptAnswer = QMessageBox::No;
    const ConfigImage before = window.configImage();

    window.openAnswers << path(name);
    window.OpenFile();
    QCOMPARE(answerer->boxes.size(), 1);
    QCOMPARE(answerer->boxes.first().title, QStringLiteral("Внимание"));
    QCOMPARE(answerer->boxes.first().icon, QMessageBox::Critical);
    const QString text = answerer->boxes.first().text;
    QVERIFY2(text.contains(QStringLiteral("«%1»").arg(QDir::toNativeSeparators(path(name)))),
             qPrintable(text));
    QVERIFY2(text.contains(reason), qPrintable(text));
    QVERIFY(window.configImage() == before);
    QCOMPARE(window.currentFileName(), path("named.vlr"));
    QVERIFY(window.modified);
}

void TestDocumentCommands::readOnlyAndLongerFilesOpen()
{
    const ConfigImage stored = distinctImage(0x7B);
    QVERIFY(writeFile(path("long.vlr"), ConfigFile::toBytes(stored) + QByteArray(142, '\x01')));
    QVERIFY(QFile::setPermissions(path("long.vlr"), QFile::ReadOwner | QFile::ReadGroup));
    TestWindow window;
    window.modified = true;
    window.promptAnswer = QMessageBox::No;
    window.openAnswers << path("long.vlr");
    window.OpenFile();
    QVERIFY(answerer->boxes.isEmpty());
    QVERIFY(window.configImage() == stored);
    QCOMPARE(window.currentFileName(), path("long.vlr"));
    QVERIFY(!window.modified);
}

void TestDocumentCommands::closePrompt_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveAnswer"); // what the save dialog gives
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("written");
    QTest::newRow("yes, saved") << int(QMessageBox::Yes) << "saved.vlr" << true << true;
    QTest::newRow("yes, save fails") << int(QMessageBox::Yes) << "absent/saved.vlr" << false << false;
    QTest::newRow("yes, dialog cancelled") << int(QMessageBox::Yes) << "" << false << false;
    QTest::newRow("no") << int(QMessageBox::No) << "saved.vlr" << true << false;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << "saved.vlr" << false << false;
}

void TestDocumentCommands::closePrompt()
{
    QFETCH(int, answer);
    QFETCH(QString, saveAnswer);
    QFETCH(bool, closes);
    QFETCH(bool, written);
    TestWindow window;
    window.modified = true;
    if (!saveAnswer.isEmpty())
        window.saveAnswers << path(saveAnswer);

    answerer->answer = QMessageBox::StandardButton(answer);
    const bool closed = window.close();
    {
        QVERIFY(!answerer->boxes.isEmpty());
        const BoxAnswerer::Box prompt = answerer->boxes.first();
        QCOMPARE(prompt.title, QStringLiteral("Внимание"));
        QCOMPARE(prompt.text, QStringLiteral("Сохранить изменение в файле"));
        QCOMPARE(prompt.icon, QMessageBox::Information);
        QCOMPARE(prompt.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        const bool failedSave = saveAnswer.startsWith("absent");
        QCOMPARE(answerer->boxes.size(), answer == QMessageBox::Yes && failedSave ? 2 : 1);
    }
    QCOMPARE(closed, closes);
    QCOMPARE(window.promptAsked, 1);
    QCOMPARE(QFile::exists(path("saved.vlr")), written);
    QCOMPARE(window.modified, !written);
    if (!closes) {
        // Still a working window: a clean document closes without asking.
        window.modified = false;
        QVERIFY(window.close());
        QCOMPARE(window.promptAsked, 1);
    }
}

void TestDocumentCommands::cyrillicStartupFileLoads()
{
    const QString name = path(QStringLiteral("Котельная №2.vlr"));
    const ConfigImage stored = distinctImage(0x7B);
    QVERIFY(ConfigFile::save(name, stored));
    // The argument as the Windows command line hands it over.
    QTextCodec *cp1251 = QTextCodec::codecForName("CP1251");
    QVERIFY(cp1251);
    StartupFile::setName(StartupFile::fromCp1251(cp1251->fromUnicode(name)));

    TestWindow window;
    QVERIFY(answerer->boxes.isEmpty());
    QVERIFY(window.configImage() == stored);
    QCOMPARE(window.currentFileName(), name);
    QVERIFY(!window.modified);
}

void TestDocumentCommands::startupNamesIgnoredSilently_data()
{
    QTest::addColumn<QString>("argument");
    QTest::newRow("four characters") << "a.vl";
    QTest::newRow("no such file") << "missing.vlr";
    QTest::newRow("short file") << "short.vlr";
    QTest::newRow("folder") << "folder.vlr";
}

void TestDocumentCommands::startupNamesIgnoredSilently()
{
    QFETCH(QString, argument);
    const QByteArray marked = ConfigFile::toBytes(distinctImage(ConfigImage::KeepMarker));
    QVERIFY(writeFile(path("a.vl"), marked));
    QVERIFY(writeFile(path("short.vlr"), marked.left(2000)));
    QVERIFY(QDir(dir->path()).mkdir("folder.vlr"));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path()));
    StartupFile::setName(argument);

    ConfigImage defaults;
    defaults.applyDefaults();
    TestWindow window;
    QDir::setCurrent(previous);
    QVERIFY(answerer->boxes.isEmpty());
    QCOMPARE(window.configImage().byte(ConfigImage::InitMarker), quint8(0x7B));
    QVERIFY(std::equal(defaults.MainBlock, defaults.MainBlock + ConfigImage::MainSize,
                       window.configImage().MainBlock));
    QVERIFY(window.currentFileName().isEmpty());
    QVERIFY(!window.modified);
}

QTEST_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
