#ifndef SETTINGSSTORE_H
#define SETTINGSSTORE_H

#include <QString>

class QSettings;

// The store both programs keep the link choice in: INI, user scope,
// organisation "Tarvik", application "Options", each value the text of its
// box. Plain Core code so that the simulator can preset a demo's store
// through the very code the programs read it with.
//
// The TCP choice sits under keys of its own beside the serial ones, which are
// always written too: a store without "link" is a serial one, and a program
// that knows only the serial keys still reads its choice.
class SettingsStore
{
public:
    struct Choice
    {
        Choice(const QString &portName = QString(), const QString &baudRate = QString(),
               const QString &address = QString())
            : portName(portName), baudRate(baudRate), address(address)
        {
        }

        QString portName;
        QString baudRate;
        QString address;
        QString link = serialLink(); // "serial" or "tcp"
        QString tcpHost;
        QString tcpPort = QStringLiteral("502");
        QString tcpTimeout = QStringLiteral("1000"); // response time-out, ms
    };
    static QString serialLink() { return QStringLiteral("serial"); }
    static QString tcpLink() { return QStringLiteral("tcp"); }

    // Absent keys read as "0" (no port), "9600", "1", a serial link, no host,
    // port "502" and "1000" ms.
    static Choice load();
    // The same keys from another store, such as a service's configuration.
    static Choice read(const QSettings &store);
    static bool save(const Choice &choice);

    // Writes the choice into the store a program finds when its per-user
    // configuration folder (XDG_CONFIG_HOME on Linux) is configHome.
    static bool saveUnder(const QString &configHome, const Choice &choice);
};

#endif // SETTINGSSTORE_H
