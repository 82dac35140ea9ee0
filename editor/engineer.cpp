#include "engineer.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QSettings>

namespace {

QString storedName()
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                             QStringLiteral("Editor"));
    return settings.value(QStringLiteral("engineer")).toString().simplified();
}

} // namespace

QString Engineer::name()
{
    const QString stored = storedName();
    return stored.isEmpty() ? accountName() : stored;
}

bool Engineer::isNamed()
{
    return !storedName().isEmpty();
}

void Engineer::setName(const QString &name)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                       QStringLiteral("Editor"));
    settings.setValue(QStringLiteral("engineer"), name.simplified());
}

QString Engineer::accountName()
{
    for (const char *variable : {"USERNAME", "USER", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("инженер");
}

bool Engineer::ask(QWidget *parent)
{
    bool ok = false;
    const QString typed = QInputDialog::getText(
        parent, QCoreApplication::translate("Engineer", "Инженер"),
        QCoreApplication::translate("Engineer", "Имя инженера для истории записей и протоколов\n"
                                                "(пусто — пользователь компьютера «%1»):")
            .arg(accountName()),
        QLineEdit::Normal, isNamed() ? name() : QString(), &ok);
    if (ok)
        setName(typed);
    return ok;
}
