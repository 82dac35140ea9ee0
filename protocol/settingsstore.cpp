#include "settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString portKey = QStringLiteral("portName");
const QString baudKey = QStringLiteral("baudRate");
const QString addressKey = QStringLiteral("address");
const QString linkKey = QStringLiteral("link");
const QString hostKey = QStringLiteral("tcpHost");
const QString tcpPortKey = QStringLiteral("tcpPort");
const QString timeoutKey = QStringLiteral("tcpTimeout");

QSettings openStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QStringLiteral("Tarvik"), QStringLiteral("Options"));
}

} // namespace

SettingsStore::Choice SettingsStore::load()
{
    return read(openStore());
}

SettingsStore::Choice SettingsStore::read(const QSettings &store)
{
    Choice choice;
    choice.portName = store.value(portKey, 0).toString();
    choice.baudRate = store.value(baudKey, QStringLiteral("9600")).toString();
    choice.address = store.value(addressKey, QStringLiteral("1")).toString();
    choice.link = store.value(linkKey, choice.link).toString();
    choice.tcpHost = store.value(hostKey, choice.tcpHost).toString();
    choice.tcpPort = store.value(tcpPortKey, choice.tcpPort).toString();
    choice.tcpTimeout = store.value(timeoutKey, choice.tcpTimeout).toString();
    return choice;
}

bool SettingsStore::save(const Choice &choice)
{
    QSettings store = openStore();
    store.setValue(portKey, choice.portName);
    store.setValue(baudKey, choice.baudRate);
    store.setValue(addressKey, choice.address);
    store.setValue(linkKey, choice.link);
    store.setValue(hostKey, choice.tcpHost);
    store.setValue(tcpPortKey, choice.tcpPort);
    store.setValue(timeoutKey, choice.tcpTimeout);
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
