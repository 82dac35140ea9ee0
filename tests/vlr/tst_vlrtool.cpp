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

    // show: every field of the window, in its order, one line each.
    void show()
    {
        const Outcome shown = run({"show", path("b.vlr")});
        QCOMPARE(shown.status, 0);
        QVERIFY(shown.err.isEmpty());
        const QStringList lines = shown.out.split('\n');
        const QVector<ConfigDiff::Field> fields = ConfigDiff::fields(changed);
        QCOMPARE(lines.size(), fields.size() + 1);
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines.at(0), QString("Режим опроса: Адресный"));
        QCOMPARE(lines.at(1), QString("Реле 1: Выключено"));
        QVERIFY(lines.contains("Дискретный вход 24: Наименование: Клапан закрыт"));
        QVERIFY(lines.contains("Порог 1, датчик 12: Выбор реле: Реле 4"));
        QVERIFY(lines.contains("Номер 2: 12\\x0A3"));
        QCOMPARE(lines.at(fields.size() - 1), QString("Пожар, датчик 250: Выбор клапана: Клапан 0"));
    }

    void diff()
    {
        const Outcome different = run({"diff", path("a.vlr"), path("b.vlr")});
        QCOMPARE(different.status, 1);
        QVERIFY(different.err.isEmpty());
        QCOMPARE(different.out, QString("Режим опроса: Безадресный -> Адресный\n"
                                        "Дискретный вход 2: Задержка: 0.2 (значение 20) -> 0.2 (значение 30)\n"
                                        "Номер 2:  -> 12\\x0A3\n"
                                        "Порог 1, датчик 12: Выбор реле: Реле 2 -> Реле 4\n"));
        const Outcome equal = run({"diff", path("b.vlr"), path("b.vlr")});
        QCOMPARE(equal.status, 0);
        QVERIFY(equal.out.isEmpty() && equal.err.isEmpty());
    }

    // --json: the same content, read back with QJsonDocument.
    void json()
    {
        const Outcome shown = run({"--json", "show", path("b.vlr")});
        QCOMPARE(shown.status, 0);
        QJsonParseError error;
        const QJsonObject show = QJsonDocument::fromJson(shown.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(show.value("file").toString(), path("b.vlr"));
        const QJsonArray fields = show.value("fields").toArray();
        const QStringList lines = run({"show", path("b.vlr")}).out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(fields.size(), lines.size());
        for (int i = 0; i < fields.size(); ++i) {
            const QJsonObject f = fields.at(i).toObject();
            QCOMPARE(f.value("field").toString() + ": " + f.value("value").toString(), lines.at(i));
        }

        for (const QString &right : QStringList{"a.vlr", "b.vlr"}) {
            const Outcome compared = run({"diff", path("a.vlr"), path(right), "--json"});
            const QJsonObject diff = QJsonDocument::fromJson(compared.out.toUtf8(), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            const QStringList plain = run({"diff", path("a.vlr"), path(right)}).out.split('\n', Qt::SkipEmptyParts);
            const QJsonArray differences = diff.value("differences").toArray();
            QCOMPARE(compared.status, plain.isEmpty() ? 0 : 1);
            QCOMPARE(diff.value("equal").toBool(), plain.isEmpty());
            QCOMPARE(diff.value("left").toString(), path("a.vlr"));
            QCOMPARE(diff.value("right").toString(), path(right));
            QCOMPARE(differences.size(), plain.size());
            for (int i = 0; i < differences.size(); ++i) {
                const QJsonObject d = differences.at(i).toObject();
                QCOMPARE(d.value("field").toString() + ": " + d.value("left").toString() + " -> "
                             + d.value("right").toString(),
                         plain.at(i));
            }
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
