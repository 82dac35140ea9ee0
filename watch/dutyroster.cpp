#include "dutyroster.h"

#include <QSettings>

namespace {

const QString Organisation = QStringLiteral("Tarvik");
const QString Application = QStringLiteral("Duty");

const QString GuardKey = QStringLiteral("guard");
const QString StartKey = QStringLiteral("shiftStart");

} // namespace

DutyRoster::DutyRoster()
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, Organisation, Application);
    const QString stored = settings.value(GuardKey).toString().trimmed();
    started = QDateTime::fromString(settings.value(StartKey).toString(), Qt::ISODate);
    named = !stored.isEmpty();
    guardName = named ? stored : accountName();
    if (!started.isValid()) {
        started = QDateTime::currentDateTime();
        save();
    }
}

void DutyRoster::startShift(const QString &guard, const QDateTime &when)
{
    const QString name = guard.simplified();
    named = !name.isEmpty();
    guardName = named ? name : accountName();
    started = when;
    save();
}

QString DutyRoster::accountName()
{
    for (const char *variable : {"USERNAME", "USER", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("оператор");
}

void DutyRoster::save() const
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, Organisation, Application);
    settings.setValue(GuardKey, named ? guardName : QString());
    settings.setValue(StartKey, started.toString(Qt::ISODate));
}
