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

QStringList ControllerList::polledPorts() const
{
    QStringList ports;
    for (int i : polled()) {
        if (!ports.contains(list.at(i).portName))
            ports << list.at(i).portName;
    }
    return ports;
}

QString ControllerList::problem() const
{
    if (list.isEmpty())
        return tr("Список контроллеров пуст.");
    for (int i = 0; i < list.size(); ++i) {
        const ControllerEntry &a = list.at(i);
        if (a.name.trimmed().isEmpty())
            return tr("У контроллера в строке %1 нет названия.").arg(i + 1);
        if (a.address < MinAddress || a.address > MaxAddress)
            return tr("Адрес контроллера «%1» вне пределов 1–247.").arg(a.name);
        for (int j = 0; j < i; ++j) {
            const ControllerEntry &b = list.at(j);
            if (a.name.trimmed() == b.name.trimmed())
                return tr("Название «%1» дано двум контроллерам.").arg(a.name.trimmed());
            if (a.portName != b.portName)
                continue;
            if (a.address == b.address)
                return tr("Адрес %1 на порту %2 занят дважды: «%3» и «%4».")
                    .arg(a.address).arg(a.portName, b.name, a.name);
            if (a.baudRate != b.baudRate)
                return tr("Порт %1 задан с двумя скоростями: %2 («%3») и %4 («%5»).")
                    .arg(a.portName).arg(b.baudRate).arg(b.name).arg(a.baudRate).arg(a.name);
        }
    }
    return QString();
}

QString ControllerList::defaultName(int number)
{
    return tr("Контроллер %1").arg(number);
}

ControllerList ControllerList::load()
{
    const SettingsStore::Choice choice = SettingsStore::load();
    ControllerEntry first;
    first.portName = choice.portName == QLatin1String("0") ? QString() : choice.portName;
    first.baudRate = choice.baudRate.toInt();
    first.address = choice.address.toInt();

    QSettings store = consoleStore();
    const int count = store.beginReadArray(groupKey);
    QVector<ControllerEntry> entries;
    for (int i = 0; i < qMax(1, count); ++i) {
        store.setArrayIndex(i);
        ControllerEntry entry = i == 0 ? first : ControllerEntry();
        entry.name = store.value(QStringLiteral("name"), defaultName(i + 1)).toString();
        entry.polled = store.value(QStringLiteral("polled"), true).toBool();
        if (i > 0) {
            entry.portName = store.value(QStringLiteral("portName")).toString();
            entry.baudRate = store.value(QStringLiteral("baudRate"), 9600).toInt();
            entry.address = store.value(QStringLiteral("address"), 1).toInt();
        }
        entries << entry;
    }
    store.endArray();
    return ControllerList(entries);
}

bool ControllerList::save() const
{
    if (list.isEmpty())
        return false;
    const ControllerEntry &first = list.first();
    bool saved = SettingsStore::save({ first.portName, QString::number(first.baudRate),
                                       QString::number(first.address) });
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
    }
    store.endArray();
    store.sync();
    return saved && store.status() == QSettings::NoError;
}
