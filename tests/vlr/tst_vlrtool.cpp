// tarvik-vlr: output, JSON read back, exit codes and messages, through the
// class the program runs and once through the program itself.
#include "configdiff.h"
#include "configfile.h"
#include "configimage.h"
#include "testfiles.h"
#include "vlrtool.h"

#include <QtTest>

namespace {

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome run(const QStringList &arguments)
{
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int status = VlrTool::run(arguments, out, err);
    return {status, QString::fromUtf8(out.data()), QString::fromUtf8(err.data())};
}

ConfigImage defaults()
{
    ConfigImage image;
    image.applyDefaults();
    return image;
}

} // namespace

class TestVlrTool : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name) const { return QDir(dir.path()).filePath(name); }
    ConfigImage changed;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        changed = defaults();
        changed.setWord(ConfigImage::PollingMode, 1);
        changed.setByte(ConfigImage::Thres1Relay + 12, 4);
        changed.setPhoneNumber(1, QByteArray("12\n3", 4)); // a byte no line may carry
        changed.setWord(ConfigImage::InputDelay + 2, 30);
        QVERIFY(ConfigFile::save(path("a.vlr"), defaults()));
        QVERIFY(ConfigFile::save(path("b.vlr"), changed));
        QVERIFY(writeFile(path("short.vlr"), ConfigFile::toBytes(changed).left(2857)));
    }

    // show: every field of the window in its order, one line each; --json
    // the same pairs, read back with QJsonDocument.
    void show()
    {
        const Outcome shown = run({"show", path("b.vlr")});
        QCOMPARE(shown.status, 0);
        QVERIFY(shown.err.isEmpty() && shown.out.endsWith('\n'));
        const QStringList lines = shown.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), ConfigDiff::fields(changed).size());
        QCOMPARE(lines.at(0), QString("Режим опроса: Адресный"));
        QVERIFY(lines.contains("Дискретный вход 24: Наименование: Клапан закрыт"));
        QVERIFY(lines.contains("Номер 2: 12\\x0A3"));
        QCOMPARE(lines.last(), QString("Пожар, датчик 250: Выбор клапана: Клапан 0"));

        const Outcome json = run({"--json", "show", path("b.vlr")});
        QJsonParseError error;
        const QJsonObject document = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json.status, 0);
        QCOMPARE(document.value("file").toString(), path("b.vlr"));
        QStringList pairs;
        for (const QJsonValue &field : document.value("fields").toArray())
            pairs << field["field"].toString() + ": " + field["value"].toString();
        QCOMPARE(pairs, lines);
    }

    void diff()
    {
        const Outcome different = run({"diff", path("a.vlr"), path("b.vlr")});
        QCOMPARE(different.status, 1);
        QVERIFY(different.err.isEmpty());
        const QString expected = "Режим опроса: Безадресный -> Адресный\n"
                                 "Дискретный вход 2: Задержка: 0.2 (значение 20) -> 0.2 (значение 30)\n"
                                 "Номер 2:  -> 12\\x0A3\n"
                                 "Порог 1, датчик 12: Выбор реле: Реле 2 -> Реле 4\n";
        QCOMPARE(different.out, expected);
        const Outcome equal = run({"diff", path("b.vlr"), path("b.vlr")});
        QCOMPARE(equal.status, 0);
        QVERIFY(equal.out.isEmpty() && equal.err.isEmpty());

        for (const Outcome &json : {run({"diff", path("a.vlr"), path("b.vlr"), "--json"}),
                                    run({"diff", "--json", path("b.vlr"), path("b.vlr")})}) {
            QJsonParseError error;
            const QJsonObject document = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QString lines;
            for (const QJsonValue &d : document.value("differences").toArray())
                lines += d["field"].toString() + ": " + d["left"].toString() + " -> " + d["right"].toString() + '\n';
            const bool same = document.value("equal").toBool();
            QCOMPARE(json.status, same ? 0 : 1);
            QCOMPARE(lines, same ? QString() : expected);
            QCOMPARE(document.value("right").toString(), path("b.vlr"));
        }
    }

    // Trouble is 2, with a message on standard error naming the file or the
    // mistake, and nothing on standard output.
    void trouble_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("short file") << QStringList{"diff", "@a.vlr", "@short.vlr"}
                                    << "tarvik-vlr: Файл «@short.vlr» слишком короткий (2857 байт из 2858)";
        QTest::newRow("missing file") << QStringList{"show", "@missing.vlr"}
                                      << "tarvik-vlr: Не удалось открыть файл «@missing.vlr»: файл не найден.";
        QTest::newRow("missing first") << QStringList{"diff", "@missing.vlr", "@b.vlr"}
                                       << "tarvik-vlr: Не удалось открыть файл «@missing.vlr»";
        QTest::newRow("folder") << QStringList{"show", "@"} << "это папка, а не файл";
        QTest::newRow("no command") << QStringList{} << "tarvik-vlr: не указана команда (show или diff)\nСправка: tarvik-vlr --help";
        QTest::newRow("bad command") << QStringList{"merge", "@a.vlr"} << "неизвестная команда «merge»";
        QTest::newRow("one file to diff") << QStringList{"diff", "@a.vlr"} << "diff ожидает два файла";
        QTest::newRow("two files to show") << QStringList{"show", "@a.vlr", "@b.vlr"} << "show ожидает один файл";
        QTest::newRow("bad option") << QStringList{"show", "--yaml", "@a.vlr"} << "неизвестный параметр «--yaml»";
    }

    void trouble()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        for (QString &argument : arguments)
            argument.replace('@', dir.path() + '/');
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.status, 2);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY2(outcome.err.contains(message.replace('@', dir.path() + '/')), qPrintable(outcome.err));
    }

    void help()
    {
        const Outcome outcome = run({"diff", "--help"});
        QCOMPARE(outcome.status, 0);
        QVERIFY(outcome.err.isEmpty());
        for (const char *word : {"tarvik-vlr show [--json] ФАЙЛ", "tarvik-vlr diff [--json] ФАЙЛ_A ФАЙЛ_B", "2 — ошибка"})
            QVERIFY2(outcome.out.contains(QString::fromUtf8(word)), word);
    }

    // The program itself: no display needed, UTF-8 out, the exit status of diff(1).
    void program()
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(environment);
        process.start(TARVIK_VLR_PATH, {"diff", path("a.vlr"), path("b.vlr")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), run({"diff", path("a.vlr"), path("b.vlr")}).out);

        process.start(TARVIK_VLR_PATH, {"show", path("short.vlr")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("short.vlr"));
    }
};

QTEST_GUILESS_MAIN(TestVlrTool)
#include "tst_vlrtool.moc"
