// tarvik-vlr: output, JSON read back, exit codes and messages, through the
// class the program runs and once through the program itself; the record of
// writes listed.
#include "configdiff.h"
#include "configfile.h"
#include "configimage.h"
#include "testfiles.h"
#include "vlrtool.h"
#include "writelog.h"

#include <QtTest>

namespace {

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome run(const QStringList &arguments)
{
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int status = VlrTool::run(arguments, out, err);
    return {status, QString::fromUtf8(out.data()), QString::fromUtf8(err.data())};
}

// The JSON on standard output; not JSON reads as an empty object.
QJsonObject json(const Outcome &outcome)
{
    return QJsonDocument::fromJson(outcome.out.toUtf8()).object();
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
        changed.applyDefaults();
        QVERIFY(ConfigFile::save(path("a.vlr"), changed));
        changed.setWord(ConfigImage::PollingMode, 1);
        changed.setByte(ConfigImage::Thres1Relay + 12, 4);
        changed.setPhoneNumber(1, QByteArray("12\n3", 4)); // a byte no line may carry
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

        const Outcome shownAsJson = run({"--json", "show", path("b.vlr")});
        const QJsonObject document = json(shownAsJson);
        QVERIFY(shownAsJson.status == 0 && document.value("file").toString() == path("b.vlr"));
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
                                 "Номер 2:  -> 12\\x0A3\n"
                                 "Порог 1, датчик 12: Выбор реле: Реле 2 -> Реле 4\n";
        QCOMPARE(different.out, expected);
        const Outcome equal = run({"diff", path("b.vlr"), path("b.vlr")});
        QCOMPARE(equal.status, 0);
        QVERIFY(equal.out.isEmpty() && equal.err.isEmpty());

        for (const Outcome &outcome : {run({"diff", path("a.vlr"), path("b.vlr"), "--json"}),
                                       run({"diff", "--json", path("b.vlr"), path("b.vlr")})}) {
            const QJsonObject document = json(outcome);
            QString lines;
            for (const QJsonValue &d : document.value("differences").toArray())
                lines += d["field"].toString() + ": " + d["left"].toString() + " -> " + d["right"].toString() + '\n';
            const bool same = document.value("equal").toBool();
            QCOMPARE(outcome.status, same ? 0 : 1);
            QCOMPARE(lines, same ? QString() : expected);
            QCOMPARE(document.value("right").toString(), path("b.vlr"));
        }
    }

    // Trouble is 2, with a message on standard error naming the file or the
    // mistake, and nothing on standard output; help is 0, on standard output only.
    void messages_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        for (const char *usage : {"tarvik-vlr show [--json] ФАЙЛ", "tarvik-vlr diff [--json] ФАЙЛ_A ФАЙЛ_B", "2 — ошибка"})
            QTest::addRow("help: %s", usage) << QStringList{"diff", "--help"} << QString::fromUtf8(usage);
        QTest::newRow("short file") << QStringList{"diff", "@a.vlr", "@short.vlr"}
                                    << "tarvik-vlr: Файл «@short.vlr» слишком короткий (2857 байт из 2858)";
        QTest::newRow("missing file") << QStringList{"show", "@missing.vlr"}
                                      << "tarvik-vlr: Не удалось открыть файл «@missing.vlr»: файл не найден.";
        QTest::newRow("missing first") << QStringList{"diff", "@missing.vlr", "@b.vlr"}
                                       << "tarvik-vlr: Не удалось открыть файл «@missing.vlr»";
        QTest::newRow("folder") << QStringList{"show", "@"} << "это папка, а не файл";
        QTest::newRow("no command") << QStringList{} << "tarvik-vlr: не указана команда (show, diff или history)\nСправка: tarvik-vlr --help";
        QTest::newRow("bad command") << QStringList{"merge", "@a.vlr"} << "неизвестная команда «merge»";
        QTest::newRow("one file to diff") << QStringList{"diff", "@a.vlr"} << "diff ожидает два файла";
        QTest::newRow("two files to show") << QStringList{"show", "@a.vlr", "@b.vlr"} << "show ожидает один файл";
        QTest::newRow("bad option") << QStringList{"show", "--yaml", "@a.vlr"} << "неизвестный параметр «--yaml»";
    }

    void messages()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        for (QString &argument : arguments)
            argument.replace('@', dir.path() + '/');
        const Outcome outcome = run(arguments);
        const bool help = arguments.contains("--help");
        QCOMPARE(outcome.status, help ? 0 : 2);
        QVERIFY((help ? outcome.err : outcome.out).isEmpty());
        const QString &text = help ? outcome.out : outcome.err;
        QVERIFY2(text.contains(message.replace('@', dir.path() + '/')), qPrintable(text));
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

    // history: the record newest first, an unfinished write said so, an
    // unknown "before" without a count; a missing or foreign file is trouble
    // and stays as it was (listing never creates or sets aside).
    void history()
    {
        {
            WriteLog log;
            QVERIFY2(log.open(path("writes.sqlite")), qPrintable(log.problem()));
            ConfigImage before;
            before.applyDefaults();
            WriteRecord first;
            first.started = QDateTime::currentDateTime().addSecs(-60);
            first.engineer = "Иванов";
            first.link = "COM-порт /dev/ttyUSB0, адрес 1";
            first.before = ConfigFile::toBytes(before);
            first.written = ConfigFile::toBytes(changed);
            QVERIFY(log.begin(first));
            QVERIFY(log.finish(first.id, WriteRecord::SimNotReady, "SIM карта не готова", QDateTime::currentDateTime()));
            WriteRecord second = first;
            second.started = QDateTime::currentDateTime();
            second.before.clear();
            second.beforeSource = WriteRecord::BeforeUnknown;
            QVERIFY(log.begin(second));
        }
        const Outcome listed = run({"history", "--json", path("writes.sqlite")});
        QCOMPARE(listed.status, 0);
        const QJsonArray records = json(listed).value("records").toArray();
        QCOMPARE(records.size(), 2);
        const QJsonObject newest = records.at(0).toObject();
        const QJsonObject oldest = records.at(1).toObject();
        QCOMPARE(newest.value("outcome").toString(), QString("не завершена"));
        QVERIFY(!newest.value("finished").toBool() && newest.value("ended").isNull() && newest.value("changes").isNull());
        QCOMPARE(oldest.value("outcome").toString(), QString("SIM карта не готова"));
        QCOMPARE(oldest.value("changes").toInt(), 3); // the fields b.vlr changes
        QCOMPARE(oldest.value("engineer").toString(), QString("Иванов"));
        QCOMPARE(oldest.value("link").toString(), QString("COM-порт /dev/ttyUSB0, адрес 1"));
        QVERIFY(QDateTime::fromString(oldest.value("ended").toString(), Qt::ISODate).isValid());
        const QStringList lines = run({"history", path("writes.sqlite")}).out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).endsWith("\tИванов\tCOM-порт /dev/ttyUSB0, адрес 1\t—\tне завершена"));

        QVERIFY(writeFile(path("foreign.sqlite"), "not a record file"));
        for (const QString &bad : {path("missing.sqlite"), path("foreign.sqlite")}) {
            const Outcome refused = run({"history", bad});
            QCOMPARE(refused.status, 2);
            QVERIFY(refused.err.contains(QFileInfo(bad).fileName()));
        }
        QVERIFY(!QFile::exists(path("missing.sqlite")));
        QCOMPARE(QDir(dir.path()).entryList({"foreign*"}), QStringList("foreign.sqlite"));
    }
};

QTEST_GUILESS_MAIN(TestVlrTool)
#include "tst_vlrtool.moc"
