#include "controllerlist.h"

#include "settingsstore.h"

#include <QCoreApplication>
#include <QSet>
#include <QSettings>

namespace {

const QString groupKey = QStringLiteral("controllers");

QSettings consoleStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                     QStringLiteral("Console"));
}

QString tr(const char *text)
{
    return QCoreApplication::translate("ControllerList", text);
}

} // namespace

constexpr int ControllerList::MinAddress;
constexpr int ControllerList::MaxAddress;

QVector<int> ControllerList::polled() const
{
    QVector<int> indexes;
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).polled)
            indexes << i;
    }
    return indexes;
}

QVector<QVector<int>> ControllerList::polledLines() const
{
    QStringList keys;
    QVector<QVector<int>> lines;
    for (int i : polled()) {
        const QString key = list.at(i).linkKey();
        int line = keys.indexOf(key);
        if (line < 0) {
            line = keys.size();
            keys << key;
            lines.append(QVector<int>());
        }
        lines[line] << i;
    }
    return lines;
}

QStringList ControllerList::problems() const
{
    if (list.isEmpty())
        return {tr("Список контроллеров пуст.")};
    QStringList found;
    for (int i = 0; i < list.size(); ++i) {
        const ControllerEntry &a = list.at(i);
        if (a.name.trimmed().isEmpty())
            found << tr("У контроллера в строке %1 нет названия.").arg(i + 1);
        if (a.address < MinAddress || a.address > MaxAddress)
            found << tr("Адрес контроллера «%1» вне пределов 1–247.").arg(a.name);
        const QString linkText = linkProblem(a);
        if (!linkText.isEmpty())
            found << linkText;
        for (int j = 0; j < i; ++j) {
            const ControllerEntry &b = list.at(j);
            if (!a.name.trimmed().isEmpty() && a.name.trimmed() == b.name.trimmed())
                found << tr("Название «%1» дано двум контроллерам.").arg(a.name.trimmed());
            const QString clash = clashProblem(a, b);
            if (!clash.isEmpty())
                found << clash;
        }
    }
    return found;
}

QString ControllerList::linkProblem(const ControllerEntry &entry)
{
    if (!entry.tcp)
        return QString();
    QString problem = LinkTarget::hostProblem(entry.host);
    if (problem.isEmpty())
        problem = LinkTarget::portProblem(entry.tcpPort);
    if (problem.isEmpty() && entry.responseTimeoutMs <= 0)
        problem = tr("Время ожидания ответа должно быть больше нуля.");
    return problem.isEmpty() ? QString() : tr("Контроллер «%1»: %2").arg(entry.name.trimmed(), problem);
}

// b comes before a in the list. Only controllers on one line can clash.
QString ControllerList::clashProblem(const ControllerEntry &a, const ControllerEntry &b)
{
    if (a.linkKey() != b.linkKey())
        return QString();
    if (a.tcp) {
        if (a.address == b.address)
            return tr("Адрес %1 на шлюзе %2 занят дважды: «%3» и «%4».")
                .arg(a.address).arg(a.linkName(), b.name, a.name);
        return QString(); // a gateway has no speed
    }
    if (a.address == b.address)
        return tr("Адрес %1 на порту %2 занят дважды: «%3» и «%4».")
            .arg(a.address).arg(a.portName, b.name, a.name);
    if (a.baudRate != b.baudRate)
        return tr("Порт %1 задан с двумя скоростями: %2 («%3») и %4 («%5»).")
            .arg(a.portName).arg(b.baudRate).arg(b.name).arg(a.baudRate).arg(a.name);
    return QString();
}

QString ControllerList::defaultName(int number)
{
    return tr("Контроллер %1").arg(number);
}

void ControllerList::setLinkText(ControllerEntry &entry, const QString &text, const QStringList &serialPorts)
{
    const QString trimmed = text.trimmed();
    const int colon = trimmed.lastIndexOf(QLatin1Char(':'));
    entry.tcp = !serialPorts.contains(trimmed) && colon >= 0;
    if (!entry.tcp) {
        entry.portName = trimmed;
        return;
    }
    QString host = trimmed.left(colon).trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool isNumber = false;
    const int port = trimmed.mid(colon + 1).trimmed().toInt(&isNumber);
    entry.host = host;
    entry.tcpPort = isNumber ? port : 0; // refused by the list's check
    entry.portName.clear();
}

namespace {

int numberOr(const QString &text, int fallback)
{
    bool isNumber = false;
    const int value = text.toInt(&isNumber);
    return isNumber ? value : fallback;
}

// The first controller is whatever the settings dialog chose.
ControllerEntry entryOf(const SettingsStore::Choice &choice)
{
    ControllerEntry entry;
    entry.baudRate = choice.baudRate.toInt();
    entry.address = choice.address.toInt();
    entry.tcp = choice.link == SettingsStore::tcpLink();
    if (!entry.tcp) {
        entry.portName = choice.portName == QLatin1String("0") ? QString() : choice.portName;
        return entry;
    }
    entry.host = choice.tcpHost;
    entry.tcpPort = numberOr(choice.tcpPort, 0);
    const int timeout = numberOr(choice.tcpTimeout, 0);
    entry.responseTimeoutMs = timeout > 0 ? timeout : LinkTarget::DefaultResponseTimeoutMs;
    return entry;
}

// Only the chosen kind's keys change: the settings dialog keeps the other
// kind's fields filled for when the user switches back.
SettingsStore::Choice choiceOf(const ControllerEntry &entry)
{
    SettingsStore::Choice choice = SettingsStore::load();
    choice.address = QString::number(entry.address);
    if (entry.tcp) {
        choice.link = SettingsStore::tcpLink();
        choice.tcpHost = entry.host;
        choice.tcpPort = QString::number(entry.tcpPort);
        choice.tcpTimeout = QString::number(entry.responseTimeoutMs);
    } else {
        choice.link = SettingsStore::serialLink();
        choice.portName = entry.portName;
        choice.baudRate = QString::number(entry.baudRate);
    }
    return choice;
}

const QString linkKey = QStringLiteral("link");
const QString tcpLinkValue = QStringLiteral("tcp");

// A further row's link; one written before TCP links existed has no "link"
// and is serial.
ControllerEntry readLink(const QSettings &store)
{
    ControllerEntry entry;
    entry.baudRate = store.value(QStringLiteral("baudRate"), 9600).toInt();
    entry.address = store.value(QStringLiteral("address"), 1).toInt();
    entry.tcp = store.value(linkKey).toString() == tcpLinkValue;
    if (!entry.tcp) {
        entry.portName = store.value(QStringLiteral("portName")).toString();
        return entry;
    }
    entry.host = store.value(QStringLiteral("tcpHost")).toString();
    entry.tcpPort = store.value(QStringLiteral("tcpPort"), LinkTarget::DefaultTcpPort).toInt();
    entry.responseTimeoutMs = store.value(QStringLiteral("tcpTimeout"), LinkTarget::DefaultResponseTimeoutMs).toInt();
    return entry;
}

} // namespace

ControllerList ControllerList::load()
{
    QSettings store = consoleStore();
    return read(SettingsStore::load(), store);
}

ControllerList ControllerList::read(const SettingsStore::Choice &firstChoice, QSettings &store)
{
    const ControllerEntry first = entryOf(firstChoice);
    const int count = store.beginReadArray(groupKey);
    QVector<ControllerEntry> entries;
    for (int i = 0; i < qMax(1, count); ++i) {
        store.setArrayIndex(i);
        ControllerEntry entry = i == 0 ? first : readLink(store);
        entry.name = store.value(QStringLiteral("name"), defaultName(i + 1)).toString();
        entry.polled = store.value(QStringLiteral("polled"), true).toBool();
        entries << entry;
    }
    store.endArray();
    return ControllerList(entries);
}

bool ControllerList::save() const
{
    if (list.isEmpty())
        return false;
    const bool saved = SettingsStore::save(choiceOf(list.first()));
    QSettings store = consoleStore();
    store.remove(groupKey);
    store.beginWriteArray(groupKey, list.size());
    for (int i = 0; i < list.size(); ++i) {
        const ControllerEntry &entry = list.at(i);
        store.setArrayIndex(i);
        store.setValue(QStringLiteral("name"), entry.name);
        store.setValue(QStringLiteral("polled"), entry.polled);
        if (i == 0)
            continue; // its link is the shared store's
        store.setValue(QStringLiteral("portName"), entry.portName);
        store.setValue(QStringLiteral("baudRate"), entry.baudRate);
        store.setValue(QStringLiteral("address"), entry.address);
        store.setValue(linkKey, entry.tcp ? tcpLinkValue : QStringLiteral("serial"));
        store.setValue(QStringLiteral("tcpHost"), entry.host);
        store.setValue(QStringLiteral("tcpPort"), entry.tcpPort);
        store.setValue(QStringLiteral("tcpTimeout"), entry.responseTimeoutMs);
    }
    store.endArray();
    store.sync();
    return saved && store.status() == QSettings::NoError;
}
