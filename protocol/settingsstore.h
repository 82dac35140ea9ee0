#ifndef SETTINGSSTORE_H
#define SETTINGSSTORE_H

#include <QString>

// The store both programs keep the link choice in: INI, user scope,
// organisation "Tarvik", application "Options", each value the text of its
// box. Plain Core code so that the simulator can preset a demo's store
// through the very code the programs read it with.
class SettingsStore
{
public:
    struct Choice
    {
        QString portName;
        QString baudRate;
        QString address;
    };

    // Absent keys read as "0" (no port), "9600" and "1".
    static Choice load();
    static bool save(const Choice &choice);

    // Writes the choice into the store a program finds when its per-user
    // configuration folder (XDG_CONFIG_HOME on Linux) is configHome.
    static bool saveUnder(const QString &configHome, const Choice &choice);
};

#endif // SETTINGSSTORE_H
