// The service's INI file: the console's keys read by the console's code,
// the password kept out of it, and every fault on a line of its own.

#include "siteconfig.h"
#include "testfiles.h"

#include <QtTest>

namespace {

const QByteArray twoLines = R"(portName=/dev/ttyUSB0
baudRate=9600
address=1

[controllers]
size=5
1\name=Котельная
2\name="Котельная, котёл 2"
2\portName=/dev/ttyUSB0
2\baudRate=9600
2\address=2
3\name=Цех 2
3\portName=/dev/ttyUSB1
3\baudRate=19200
3\address=1
4\name=Склад
4\link=tcp
4\tcpHost=127.0.0.1
4\tcpPort=1502
4\address=3
5\name=Резерв
5\portName=/dev/ttyUSB1
5\baudRate=19200
5\address=9
5\polled=false
)";

} // namespace

class SiteConfigTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;

    QString write(const QByteArray &text, const QString &name = QStringLiteral("site.ini"))
    {
        const QString path = folder.filePath(name);
        return writeFile(path, text) ? path : QString();
    }

private slots:
    void init()
    {
        qunsetenv("CREDENTIALS_DIRECTORY");
        qunsetenv("STATE_DIRECTORY");
    }

    // Names in UTF-8 as an editor saves them; relative paths from the file's folder.
    void aSiteWithItsBroker()
    {
        QVERIFY(writeFile(folder.filePath("broker.pass"), "s3cret\r\n"));
        const QString path = write(twoLines + "\n[mqtt]\nenabled=true\nhost=127.0.0.1\nport=1883\nuser=site\n"
                                              "passwordFile=broker.pass\nprefix=tarvik/boiler-house\n"
                                              "[journal]\npath=data/../journal.sqlite\n");
        const SiteConfig config = SiteConfig::load(path);
        QVERIFY2(config.isValid(), qPrintable(config.faults().join('\n')));
        QCOMPARE(config.controllers().size(), 5);
        QCOMPARE(config.controllers().at(1).name, QStringLiteral("Котельная, котёл 2"));
        QCOMPARE(config.controllers().polledLines(), (QVector<QVector<int>>{{0, 1}, {2}, {3}}));
        QCOMPARE(config.mqtt().password, QStringLiteral("s3cret"));
        QCOMPARE(config.mqtt().user, QStringLiteral("site"));
        QCOMPARE(config.journalPath(), folder.filePath("journal.sqlite"));
        QCOMPARE(config.describe(), (QStringList{
            "Линия /dev/ttyUSB0, 9600 бод: «Котельная» (адрес 1), «Котельная, котёл 2» (адрес 2)",
            "Линия /dev/ttyUSB1, 19200 бод: «Цех 2» (адрес 1)",
            "Шлюз 127.0.0.1:1502: «Склад» (адрес 3)",
            "Не опрашиваются: «Резерв»",
            "Журнал: " + folder.filePath("journal.sqlite"),
            "MQTT: 127.0.0.1:1883, темы tarvik/boiler-house/…, пользователь site, пароль из "
                + folder.filePath("broker.pass")}));
    }

    // As systemd starts it: the journal in the state folder, the password
    // from the credential when there is one.
    void underTheServiceManager()
    {
        const QString path = write(twoLines + "\n[mqtt]\nenabled=true\nhost=127.0.0.1\n");
        qputenv("STATE_DIRECTORY", QFile::encodeName(folder.filePath("state")) + ":/elsewhere");
        qputenv("CREDENTIALS_DIRECTORY", QFile::encodeName(folder.path()));
        SiteConfig config = SiteConfig::load(path);
        QVERIFY2(config.isValid(), qPrintable(config.faults().join('\n')));
        QCOMPARE(config.journalPath(), folder.filePath("state/journal.sqlite"));
        QVERIFY(config.mqtt().password.isEmpty());

        QVERIFY(writeFile(folder.filePath(SiteConfig::defaultCredential()), "from-systemd"));
        config = SiteConfig::load(path);
        QVERIFY2(config.isValid(), qPrintable(config.faults().join('\n')));
        QCOMPARE(config.mqtt().password, QStringLiteral("from-systemd"));

        qunsetenv("STATE_DIRECTORY");
        QCOMPARE(SiteConfig::load(path).journalPath(), QStringLiteral("/var/lib/tarvik/journal.sqlite"));
    }

    // The example the package installs is a file the service accepts.
    void theShippedExampleIsValid()
    {
        const SiteConfig config = SiteConfig::load(QStringLiteral(TARVIK_SITE_EXAMPLE));
        QVERIFY2(config.isValid(), qPrintable(config.faults().join('\n')));
        QCOMPARE(config.controllers().polledLines().size(), 2);
    }

    void badFilesGetOneLinePerFault_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("no controllers") << QByteArray("[mqtt]\nenabled=false\n")
            << QStringList{"В файле %1 не задан ни один контроллер"};
        QTest::newRow("list checks") << QByteArray(
            "portName=/dev/ttyUSB0\n[controllers]\nsize=4\n1\\name=A\n2\\name=B\n2\\portName=/dev/ttyUSB0\n"
            "3\\name=C\n3\\portName=/dev/ttyUSB0\n3\\baudRate=19200\n3\\address=3\n4\\name=\n4\\portName=\n4\\address=300\n")
            << QStringList{"Адрес 1 на порту /dev/ttyUSB0 занят дважды: «A» и «B».",
                           "Порт /dev/ttyUSB0 задан с двумя скоростями: 9600 («A») и 19200 («C»).",
                           "Порт /dev/ttyUSB0 задан с двумя скоростями: 9600 («B») и 19200 («C»).",
                           "У контроллера в строке 4 нет названия.",
                           "Адрес контроллера «» вне пределов 1–247.",
                           "Контроллер «»: не указан порт"};
        QTest::newRow("comma outside quotes") << QByteArray("portName=/dev/ttyUSB0\n[controllers]\nsize=1\n1\\name=Цех 2, север\n")
            << QStringList{"У контроллера в строке 1 нет названия.",
                           "Строка 1 в [controllers]: название с запятой заключите в кавычки (1\\name=\"...\")"};
        QTest::newRow("nothing polled") << QByteArray("portName=/dev/ttyUSB0\n[controllers]\nsize=1\n1\\name=A\n1\\polled=false\n")
            << QStringList{"Ни один контроллер не опрашивается"};
        QTest::newRow("password in the file") << QByteArray("portName=/dev/ttyUSB0\n[mqtt]\npassword=secret\n")
            << QStringList{"MQTT: пароль не хранится в файле настроек; укажите passwordFile или учётные данные службы tarvik-mqtt-password"};
        QTest::newRow("broker") << QByteArray("portName=/dev/ttyUSB0\n[mqtt]\nenabled=true\nhost=127.0.0.1\ntls=true\n"
                                              "passwordFile=/nonexistent/pass\n")
            << QStringList{"MQTT: для TLS нужен файл сертификата центра сертификации",
                           "MQTT: не удаётся прочитать файл пароля /nonexistent/pass: No such file or directory"};
        QTest::newRow("credential not passed") << QByteArray("portName=/dev/ttyUSB0\n[mqtt]\nenabled=true\nhost=127.0.0.1\n"
                                                             "passwordCredential=broker\n")
            << QStringList{"MQTT: учётные данные broker не переданы службе (нет $CREDENTIALS_DIRECTORY)"};
    }

    void badFilesGetOneLinePerFault()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, faults);
        const QString path = write(text);
        for (QString &fault : faults)
            fault = fault.arg(path);
        QCOMPARE(SiteConfig::load(path).faults(), faults);
    }

    void unreadableFiles()
    {
        const QString missing = folder.filePath("missing.ini");
        QCOMPARE(SiteConfig::load(missing).faults(), QStringList("Файл настроек " + missing + " не найден"));
        QCOMPARE(SiteConfig::load(folder.path()).faults(),
                 QStringList("Файл настроек " + folder.path() + " не читается: это не файл"));
    }
};

QTEST_GUILESS_MAIN(SiteConfigTest)
#include "tst_siteconfig.moc"
