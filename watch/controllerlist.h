#ifndef CONTROLLERLIST_H
#define CONTROLLERLIST_H

#include "controllerentry.h"
#include "settingsstore.h"

#include <QStringList>
#include <QVector>

class QSettings;

// The console's controllers. The first one is the link the settings dialog
// edits (the store both programs share); the others live in the console's
// own store. Plain Core code: the dialog and the window only bind to it.
class ControllerList
{
public:
    static constexpr int MinAddress = 1;
    static constexpr int MaxAddress = 247;

    ControllerList() = default;
    explicit ControllerList(QVector<ControllerEntry> entries) : list(std::move(entries)) {}

    const QVector<ControllerEntry> &entries() const { return list; }
    int size() const { return list.size(); }
    const ControllerEntry &at(int index) const { return list.at(index); }

    // Indexes of the polled controllers, in list order.
    QVector<int> polled() const;
    // Two or more polled controllers make the site view.
    bool isSite() const { return polled().size() >= 2; }
    // The polled controllers grouped by the line they share (a serial port
    // or a gateway), lines in the order of their first controller.
    QVector<QVector<int>> polledLines() const;

    // Empty when the list can be polled; otherwise what is wrong, for the user.
    QString problem() const { return problems().value(0); }
    // Everything that is wrong, one text each, in list order.
    QStringList problems() const;

    static QString defaultName(int number); // "Контроллер N", counted from 1

    // Points the entry at what the "Порт" cell says: a listed serial port, or
    // "host:port" ("[::1]:502" for IPv6) for a Modbus TCP gateway. Any other
    // text is a serial port that is not there now.
    static void setLinkText(ControllerEntry &entry, const QString &text, const QStringList &serialPorts);

    // The first entry's link comes from the shared store, its name and the
    // rest from the console's store.
    static ControllerList load();
    // The same from other stores: the first entry's link as the settings
    // dialog keeps it, the list as the console's store does.
    static ControllerList read(const SettingsStore::Choice &first, QSettings &listStore);
    bool save() const;

private:
    static QString linkProblem(const ControllerEntry &entry);
    static QString clashProblem(const ControllerEntry &a, const ControllerEntry &b);

    QVector<ControllerEntry> list;
};

#endif // CONTROLLERLIST_H
