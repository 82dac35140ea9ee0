#include "siteconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString mqttGroup = QStringLiteral("mqtt");
constexpr qint64 MaxPasswordBytes = 4096;

QString firstStateDirectory()
{
    // systemd lists one folder per StateDirectory= entry, separated by ':'.
    const QString dirs = qEnvironmentVariable("STATE_DIRECTORY");
    const QString first = dirs.section(QLatin1Char(':'), 0, 0);
    return first.isEmpty() ? QStringLiteral("/var/lib/tarvik") : first;
}

// The file's text without the line end an editor or echo leaves.
QString passwordFrom(const QByteArray &bytes)
{
    QByteArray text = bytes;
    if (text.endsWith('\n'))
        text.chop(1);
    if (text.endsWith('\r'))
        text.chop(1);
    return QString::fromUtf8(text);
}

} // namespace

SiteConfig SiteConfig::load(const QString &iniPath)
{
    SiteConfig config;
    config.iniPath = iniPath;
    const QFileInfo info(iniPath);
    if (!info.exists()) {
        config.problems << QStringLiteral("Файл настроек %1 не найден").arg(iniPath);
        return config;
    }
    QFile probe(iniPath);
    if (!info.isFile() || !probe.open(QIODevice::ReadOnly)) {
        config.problems << QStringLiteral("Файл настроек %1 не читается: %2")
                               .arg(iniPath, info.isFile() ? probe.errorString() : QStringLiteral("это не файл"));
        return config;
    }
    probe.close();

    QSettings store(iniPath, QSettings::IniFormat);
    store.setIniCodec("UTF-8"); // written by hand, not escaped as Qt writes it
    if (store.status() != QSettings::NoError) {
        config.problems << QStringLiteral("Файл настроек %1: ошибка формата").arg(iniPath);
        return config;
    }
    const bool anyController = store.contains(QStringLiteral("portName")) || store.contains(QStringLiteral("tcpHost"))
        || store.contains(QStringLiteral("controllers/size"));
    config.list = ControllerList::read(SettingsStore::read(store), store);
    config.checkControllers(anyController);
    config.checkUnquotedNames(store);
    config.readMqtt(store);
    config.readJournalPath(store);
    return config;
}

void SiteConfig::checkControllers(bool anyGiven)
{
    if (!anyGiven) {
        problems << QStringLiteral("В файле %1 не задан ни один контроллер").arg(iniPath);
        return;
    }
    problems << list.problems();
    for (const ControllerEntry &entry : list.entries()) {
        if (!entry.tcp && entry.portName.trimmed().isEmpty())
            problems << QStringLiteral("Контроллер «%1»: не указан порт").arg(entry.name.trimmed());
    }
    if (list.polled().isEmpty())
        problems << QStringLiteral("Ни один контроллер не опрашивается");
}

// A password in the file itself is refused, not ignored: it sits where
// anyone who may read the configuration reads it.
// INI reads a comma outside quotes as a list, which would lose the name.
void SiteConfig::checkUnquotedNames(QSettings &store)
{
    const int count = store.beginReadArray(QStringLiteral("controllers"));
    for (int i = 0; i < count; ++i) {
        store.setArrayIndex(i);
        if (store.value(QStringLiteral("name")).type() == QVariant::StringList)
            problems << QStringLiteral("Строка %1 в [controllers]: название с запятой заключите в кавычки (%1\\name=\"...\")")
                            .arg(i + 1);
    }
    store.endArray();
}

void SiteConfig::readMqtt(QSettings &store)
{
    broker = MqttSettings::load(store);
    if (store.contains(mqttGroup + QStringLiteral("/password")))
        problems << QStringLiteral("MQTT: пароль не хранится в файле настроек; укажите passwordFile "
                                   "или учётные данные службы %1").arg(defaultCredential());
    if (!broker.enabled)
        return;
    const QString problem = broker.problem();
    if (!problem.isEmpty())
        problems << QStringLiteral("MQTT: %1").arg(problem);
    readPassword(store.value(mqttGroup + QStringLiteral("/passwordFile")).toString(),
                 store.value(mqttGroup + QStringLiteral("/passwordCredential")).toString());
}

// From the named file, else from the credential when the service got it.
// A credential named in the file must be there; the default one may be absent.
void SiteConfig::readPassword(const QString &fileKey, const QString &credentialKey)
{
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    const QString credential = credentials + QLatin1Char('/')
        + (credentialKey.isEmpty() ? defaultCredential() : credentialKey);
    QString source;
    if (!fileKey.isEmpty())
        source = QDir(QFileInfo(iniPath).absolutePath()).absoluteFilePath(fileKey);
    else if (!credentials.isEmpty() && (!credentialKey.isEmpty() || QFile::exists(credential)))
        source = credential;
    else if (!credentialKey.isEmpty())
        problems << QStringLiteral("MQTT: учётные данные %1 не переданы службе (нет $CREDENTIALS_DIRECTORY)")
                        .arg(credentialKey);
    if (source.isEmpty())
        return;
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        problems << QStringLiteral("MQTT: не удаётся прочитать файл пароля %1: %2").arg(source, file.errorString());
        return;
    }
    if (file.size() > MaxPasswordBytes) {
        problems << QStringLiteral("MQTT: файл пароля %1 больше %2 байт").arg(source).arg(MaxPasswordBytes);
        return;
    }
    broker.password = passwordFrom(file.readAll());
    passwordSource = source;
}

void SiteConfig::readJournalPath(const QSettings &store)
{
    const QString key = store.value(QStringLiteral("journal/path")).toString();
    if (!key.isEmpty())
        journal = QDir::cleanPath(QDir(QFileInfo(iniPath).absolutePath()).absoluteFilePath(key));
    else
        journal = firstStateDirectory() + QStringLiteral("/journal.sqlite");
}

QString SiteConfig::describeLine(const QVector<int> &line) const
{
    const ControllerEntry &first = list.at(line.first());
    QStringList names;
    for (int i : line)
        names << QStringLiteral("«%1» (адрес %2)").arg(list.at(i).name.trimmed()).arg(list.at(i).address);
    const QString head = first.tcp ? QStringLiteral("Шлюз %1").arg(first.linkName())
                                   : QStringLiteral("Линия %1, %2 бод").arg(first.portName).arg(first.baudRate);
    return head + QStringLiteral(": ") + names.join(QStringLiteral(", "));
}

QStringList SiteConfig::describe() const
{
    QStringList lines;
    for (const QVector<int> &line : list.polledLines())
        lines << describeLine(line);
    QStringList idle;
    for (const ControllerEntry &entry : list.entries()) {
        if (!entry.polled)
            idle << QStringLiteral("«%1»").arg(entry.name.trimmed());
    }
    if (!idle.isEmpty())
        lines << QStringLiteral("Не опрашиваются: ") + idle.join(QStringLiteral(", "));
    lines << QStringLiteral("Журнал: ") + journal;
    if (!broker.enabled) {
        lines << QStringLiteral("MQTT: выключено");
        return lines;
    }
    QString mqtt = QStringLiteral("MQTT: %1:%2%3, темы %4/…")
                       .arg(broker.host).arg(broker.port)
                       .arg(broker.tls ? QStringLiteral(" (TLS)") : QString(), broker.prefix);
    if (!broker.user.isEmpty())
        mqtt += QStringLiteral(", пользователь %1").arg(broker.user);
    if (!passwordSource.isEmpty())
        mqtt += QStringLiteral(", пароль из %1").arg(passwordSource);
    return lines << mqtt;
}
