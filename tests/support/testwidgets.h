#ifndef TESTWIDGETS_H
#define TESTWIDGETS_H

#include <QByteArray>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QWidget>

// The named child of a window; a missing one ends the test program at once,
// since every later step would only fail for the same reason.
template <typename T = QWidget>
T *child(const QObject &parent, const QString &name = QString())
{
    T *found = parent.findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

// The link choice a program finds in its store (the test's own, see
// QSettings::setPath) and the ports its settings dialog lists.
inline void setStoredPort(const QString &path, const QStringList &listedPorts)
{
    qputenv("TARVIK_PORTS", listedPorts.join(QLatin1Char(':')).toLocal8Bit());
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Tarvik", "Options");
    store.setValue("portName", path);
    store.setValue("baudRate", "9600");
    store.setValue("address", "1");
    store.sync();
}

#endif // TESTWIDGETS_H
