#ifndef DISPATCHSETTINGS_H
#define DISPATCHSETTINGS_H

#include "mqttsettings.h"

#include <QString>

class QSettings;

// Which broker the dispatcher watches and under which root. The broker part
// is the console's (the password never touches the file); the client id is
// made once per installation, so the broker keeps the session for it.
struct DispatchSettings
{
    static const QString DefaultRoot;

    MqttSettings broker; // prefix holds the root
    QString clientId;
    QString operatorName; // who acknowledges, as journaled

    static DispatchSettings defaults();
    // From the group "mqtt" of the store; a missing client id is made and kept.
    static DispatchSettings load(QSettings &store);
    void save(QSettings &store) const;

    QString root() const { return broker.prefix; }
    // Empty when it can be tried; else the Russian reason.
    QString problem() const;
};

#endif // DISPATCHSETTINGS_H
