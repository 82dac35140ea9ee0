#include "settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString portKey = QStringLiteral("portName");
const QString baudKey = QStringLiteral("baudRate");
const QString addressKey = QStringLiteral("address");

QSettings openStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QStringLiteral("Tarvik"), QStringLiteral("Options"));
}

} // namespace

SettingsStore::Choice SettingsStore::load()
{
    QSettings store = openStore();
    return { store.value(portKey, 0).toString(),
             store.value(baudKey, QStringLiteral("9600")).toString(),
             store.value(addressKey, QStringLiteral("1")).toString() };
}

bool SettingsStore::save(const Choice &choice)
{
    QSettings store = openStore();
    store.setValue(portKey, choice.portName);
    store.setValue(baudKey, choice.baudRate);
    store.setValue(addressKey, choice.address);
    store.sync();
    return store.status() == QSettings::NoError;
}

// The user-scope INI folder is process-wide; it is pointed at configHome only
// while this store is written and put back after.
bool SettingsStore::saveUnder(const QString &configHome, const Choice &choice)
{
    QDir ownHome = QFileInfo(openStore().fileName()).dir(); // <home>/Tarvik
    ownHome.cdUp();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configHome);
    const bool saved = save(choice);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, ownHome.absolutePath());
    return saved;
}
