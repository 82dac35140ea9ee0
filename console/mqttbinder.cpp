#include "mqttbinder.h"

#include "mqttdialog.h"
#include "mqttpublisher.h"
#include "passwordstore.h"
#include "settingsdialog.h"

#include <QAction>
#include <QLabel>
#include <QSettings>

namespace {

QSettings openStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                     QStringLiteral("Options"));
}

} // namespace

MqttBinder::MqttBinder(Journal *journal, SettingsDialog *linkSettings, QWidget *window)
    : MqttBinder(new MqttBinding(journal, linkSettings->settings()), window)
{
    binding->setParent(this);
}

MqttBinder::MqttBinder(MqttBinding *binding, QWidget *window)
    : QObject(window),
      window(window),
      binding(binding),
      passwords(new PasswordStore(this)),
      openAction(new QAction(tr("MQTT"), this)),
      label(new QLabel(window))
{
    openAction->setObjectName(QStringLiteral("actionMqtt"));
    openAction->setToolTip(tr("Публикация для диспетчерской (MQTT)"));
    connect(openAction, &QAction::triggered, this, &MqttBinder::openDialog);
    label->setObjectName(QStringLiteral("labelMqtt"));
    label->hide();
    connect(binding->publisher(), &MqttPublisher::statusChanged, this, &MqttBinder::showStatus);
    connect(passwords, &PasswordStore::loaded, this, &MqttBinder::passwordLoaded);

    QSettings store = openStore();
    chosen = MqttSettings::load(store);
    const QString override = qEnvironmentVariable("TARVIK_MQTT");
    if (!override.isEmpty() && chosen.applyOverride(override)) {
        binding->setSettings(chosen);
        return;
    }
    // Also tells whether there is a key store at all, for the dialog's note.
    passwords->read(chosen.passwordKey());
    if (!chosen.enabled || chosen.user.isEmpty())
        binding->setSettings(chosen); // else once the password is known
}

void MqttBinder::openDialog()
{
    MqttDialog dialog(window);
    dialog.setSettings(chosen);
    dialog.setPasswordNote(passwordNote());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const MqttSettings settings = dialog.settings();
    QSettings store = openStore();
    settings.save(store);
    if (!settings.user.isEmpty())
        passwords->write(settings.passwordKey(), settings.password);
    apply(settings);
}

void MqttBinder::apply(MqttSettings settings)
{
    chosen = settings;
    binding->setSettings(chosen);
}

void MqttBinder::passwordLoaded(const QString &key, const QString &password)
{
    if (key != chosen.passwordKey())
        return;
    chosen.password = password;
    binding->setSettings(chosen);
}

QString MqttBinder::passwordNote() const
{
    if (passwords->problem().isEmpty())
        return tr("Пароль хранится в хранилище паролей системы.");
    return tr("%1: пароль будет храниться только до выхода из программы.").arg(passwords->problem());
}

void MqttBinder::showStatus(const QString &text)
{
    label->setText(text);
    label->setToolTip(binding->publisher()->statusDetail());
    label->setVisible(!text.isEmpty());
}
