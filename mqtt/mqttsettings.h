#ifndef MQTTSETTINGS_H
#define MQTTSETTINGS_H

#include <QString>

class QSettings;

// Where and how the console publishes. The password is never part of what
// load()/save() touch: it lives in the key store or in memory only.
struct MqttSettings
{
    static constexpr int PlainPort = 1883;
    static constexpr int TlsPort = 8883;

    bool enabled = false;
    QString host = QStringLiteral("localhost");
    int port = PlainPort;
    bool tls = false;
    QString caFile;
    QString certFile; // optional client certificate and its key
    QString keyFile;
    QString user;
    QString password;
    QString prefix = defaultPrefix();

    static QString defaultPrefix();

    // From the group "mqtt" of the store; absent keys keep the defaults.
    static MqttSettings load(QSettings &store);
    void save(QSettings &store) const;

    // TARVIK_MQTT=host:port turns publishing on for this run only (the demo's
    // private broker); returns false when the variable is absent or malformed.
    bool applyOverride(const QString &value);

    // Empty when the settings can be tried; otherwise the Russian reason.
    QString problem() const;
    // The key the password is filed under in the key store.
    QString passwordKey() const;

    bool operator==(const MqttSettings &other) const;
    bool operator!=(const MqttSettings &other) const { return !(*this == other); }
};

#endif // MQTTSETTINGS_H
