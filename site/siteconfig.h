#ifndef SITECONFIG_H
#define SITECONFIG_H

#include "controllerlist.h"
#include "mqttsettings.h"

#include <QStringList>

// The service's configuration: one INI file with the console's own keys (the
// first controller's link at the top as the settings dialog keeps it, the
// list under [controllers], publishing under [mqtt]), read by the console's
// own loading code. The MQTT password never comes from the file itself, only
// from the file [mqtt] passwordFile names or from the service's credential
// ([mqtt] passwordCredential, tarvik-mqtt-password by default) in
// $CREDENTIALS_DIRECTORY.
class SiteConfig
{
public:
    static QString defaultCredential() { return QStringLiteral("tarvik-mqtt-password"); }

    static SiteConfig load(const QString &iniPath);

    // One line per fault; the service does not start while there is one.
    QStringList faults() const { return problems; }
    bool isValid() const { return problems.isEmpty(); }

    QString path() const { return iniPath; }
    ControllerList controllers() const { return list; }
    MqttSettings mqtt() const { return broker; }
    // [journal] path (relative to the file's folder), else journal.sqlite in
    // $STATE_DIRECTORY, else in /var/lib/tarvik.
    QString journalPath() const { return journal; }

    // What the service would poll: a line per port or gateway with its
    // controllers, those not polled, the journal and the broker.
    QStringList describe() const;

private:
    void readJournalPath(const QSettings &store);
    void readMqtt(QSettings &store);
    void readPassword(const QString &fileKey, const QString &credentialKey);
    void checkControllers(bool anyGiven);
    void checkUnquotedNames(QSettings &store);
    QString describeLine(const QVector<int> &line) const;

    QString iniPath;
    ControllerList list;
    MqttSettings broker;
    QString passwordSource; // for describe()
    QString journal;
    QStringList problems;
};

#endif // SITECONFIG_H
