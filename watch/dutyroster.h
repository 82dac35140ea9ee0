#ifndef DUTYROSTER_H
#define DUTYROSTER_H

#include <QDateTime>
#include <QString>

// The guard on duty and when the shift began, kept in the user's settings
// (INI, "Tarvik"/"Duty") so a restart of the console keeps the shift.
// Until a guard gives a name, the computer's user is on duty; nothing ever
// asks for a name on its own.
class DutyRoster
{
public:
    DutyRoster(); // reads the stored shift; a first start begins one now

    QString guard() const { return guardName; }
    QDateTime shiftStart() const { return started; }
    bool isNamed() const { return named; } // a guard gave a name, not the user account

    // A new shift from `when`; an empty name hands the watch back to the user account.
    void startShift(const QString &guard, const QDateTime &when);

    static QString accountName();

private:
    void save() const;

    QString guardName;
    QDateTime started;
    bool named = false;
};

#endif // DUTYROSTER_H
