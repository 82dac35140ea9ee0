#ifndef STOREDPORT_H
#define STOREDPORT_H

#include <QSettings>
#include <QString>

// Presets the settings store (wherever QSettings::setPath points it) to poll
// this port at 9600 baud, address 1, and lists the port for the dialog.
inline void setStoredPort(const QString &path)
{
    qputenv("TARVIK_PORTS", path.toLocal8Bit());
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    store.setValue("portName", path);
    store.setValue("baudRate", "9600");
    store.setValue("address", "1");
    store.sync();
}

#endif // STOREDPORT_H
