#ifndef ENGINEER_H
#define ENGINEER_H

#include <QString>

class QWidget;

// The engineer the record of writes names, kept in the user's settings
// (INI, "Tarvik"/"Editor"). Until a name is given it is the computer's user.
class Engineer
{
public:
    static QString name();
    static bool isNamed();
    // An empty name hands back to the computer's user.
    static void setName(const QString &name);
    static QString accountName();
    // "Инженер…": asks for the name; false when cancelled.
    static bool ask(QWidget *parent);
};

#endif // ENGINEER_H
