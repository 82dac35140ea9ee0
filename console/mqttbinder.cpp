#include "mqttbinder.h"

#include "journal.h"
#include "journalrecord.h"
#include "mqttdialog.h"
#include "mqttpublisher.h"
#include "mqtttopics.h"
#include "mythread.h"
#include "passwordstore.h"
#include "settingsdialog.h"
#include "sitestates.h"

#include <QAction>
#include <QLabel>
#include <QSettings>

namespace {

struct Caption
{
    LampState::Lamp lamp;
    QString text;
};

// As the panel's caption labels have them ("Порог СH" ends in a Latin H).
const Caption captions[] = {
    { LampState::JobLamp, QStringLiteral("Работа") },
    { LampState::ThresCoLamp, QStringLiteral("Порог СО") },
    { LampState::FaultLamp, QStringLiteral("Неисправность") },
    { LampState::FireLamp, QStringLiteral("Пожар") },
    { LampState::ThresChLamp, QStringLiteral("Порог СH") },
    { LampState::AlarmPLamp, QStringLiteral("Авария давления воды, газа") },
    { LampState::BreakingLamp, QStringLiteral("Взлом") },
    { LampState::ValveCloseLamp, QStringLiteral("Клапан закрыт") },
    { LampState::AlarmTLamp, QStringLiteral("Авария тех. оборудования") },
};

QSettings openStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                     QStringLiteral("Options"));
}

} // namespace

MqttBinder::MqttBinder(Journal *journal, SettingsDialog *linkSettings, QWidget *window)
    : QObject(window),
      window(window),
      linkSettings(linkSettings),
      mqtt(new MqttPublisher(journal, this)),
      passwords(new PasswordStore(this)),
      sites(new SiteStates(mqtt, this)),
      openAction(new QAction(tr("MQTT"), this)),
      label(new QLabel(window)),
      catalogue(EventCatalogue::Console)
{
    openAction->setObjectName(QStringLiteral("actionMqtt"));
    openAction->setToolTip(tr("Публикация для диспетчерской (MQTT)"));
    connect(openAction, &QAction::triggered, this, &MqttBinder::openDialog);
    label->setObjectName(QStringLiteral("labelMqtt"));
    label->hide();
    connect(mqtt, &MqttPublisher::statusChanged, this, &MqttBinder::showStatus);
    connect(passwords, &PasswordStore::loaded, this, &MqttBinder::passwordLoaded);

    nameController(linkSettings->settings());
    current.lamps = lampsOf(LampState());
    mqtt->setState(current);

    QSettings store = openStore();
    chosen = MqttSettings::load(store);
    const QString override = qEnvironmentVariable("TARVIK_MQTT");
    if (!override.isEmpty() && chosen.applyOverride(override)) {
        mqtt->setSettings(chosen);
        return;
    }
    // Also tells whether there is a key store at all, for the dialog's note.
    passwords->read(chosen.passwordKey());
    if (!chosen.enabled || chosen.user.isEmpty())
        mqtt->setSettings(chosen); // else once the password is known
}

void MqttBinder::watch(MyThread *worker)
{
    connect(worker, &MyThread::SignalVpk, this, &MqttBinder::vpkRead);
    connect(worker, &MyThread::SignalAlarmCurrent, this, &MqttBinder::currentEvent);
    connect(worker, &MyThread::SignalAlarmCurrentClear, this, &MqttBinder::currentCleared);
    connect(worker, &MyThread::answeringChanged, this, &MqttBinder::answeringChanged);
    connect(worker, &MyThread::Signal, this, [this] { setLink(ControllerSnapshot::Link::NoLink); });
}

void MqttBinder::singleStarted(const Settings &link)
{
    sites->stop();
    nameController(link);
    setLink(ControllerSnapshot::Link::Polling);
}

// The single worker is parked while a site polls: its controller is idle.
void MqttBinder::siteStarted(SiteSession *site)
{
    setLink(ControllerSnapshot::Link::Idle);
    sites->start(site);
}

void MqttBinder::pollingStopped()
{
    setLink(ControllerSnapshot::Link::Idle);
    sites->stop();
}

QString MqttBinder::lampCaption(LampState::Lamp lamp)
{
    for (const Caption &caption : captions) {
        if (caption.lamp == lamp)
            return caption.text;
    }
    return QString();
}

QVector<ControllerSnapshot::LampShown> MqttBinder::lampsOf(const LampState &flags)
{
    QVector<ControllerSnapshot::LampShown> lamps;
    for (const Caption &caption : captions) {
        // Lit in one blink phase only: blinking; lit in both: steady.
        const bool lit = flags.isLit(caption.lamp, true);
        const bool steady = flags.isLit(caption.lamp, false);
        const auto shown = steady ? ControllerSnapshot::Lamp::On
                                  : lit ? ControllerSnapshot::Lamp::Blinking : ControllerSnapshot::Lamp::Off;
        lamps.append({ caption.text, shown });
    }
    return lamps;
}

// One controller is named by the link (port, or host:port) and the address
// polled, as its journal rows are.
void MqttBinder::nameController(const Settings &link)
{
    const QString linkName = link.linkName();
    const QString key = MqttTopics::controllerKey(QString(), linkName, link.address);
    if (key != current.key) {
        current.key = key;
        current.name = linkName.isEmpty() ? tr("адрес %1").arg(link.address)
                                          : tr("%1, адрес %2").arg(linkName).arg(link.address);
        current.events.clear(); // another controller
    }
}

// Only while polling: a late word from a parked worker changes nothing.
void MqttBinder::answeringChanged(bool answering)
{
    using Link = ControllerSnapshot::Link;
    if (current.link == Link::Polling || current.link == Link::NoAnswer)
        setLink(answering ? Link::Polling : Link::NoAnswer);
}

void MqttBinder::setLink(ControllerSnapshot::Link link)
{
    current.link = link;
    publish();
}

void MqttBinder::vpkRead(quint32 vpk)
{
    current.vpk = vpk;
    current.lamps = lampsOf(LampState::fromVpk(vpk));
    publish();
}

void MqttBinder::currentEvent(AlarmType alarm)
{
    current.events.append({ catalogue.eventText(alarm.source, alarm.code).trimmed(), alarm.source,
                            alarm.code, JournalRecord::occurredText(alarm) });
    publish();
}

void MqttBinder::currentCleared()
{
    if (current.events.isEmpty())
        return; // the worker reports an empty list in every cycle
    current.events.clear();
    publish();
}

void MqttBinder::publish()
{
    mqtt->setState(current);
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
    mqtt->setSettings(chosen);
}

void MqttBinder::passwordLoaded(const QString &key, const QString &password)
{
    if (key != chosen.passwordKey())
        return;
    chosen.password = password;
    mqtt->setSettings(chosen);
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
    label->setToolTip(mqtt->statusDetail());
    label->setVisible(!text.isEmpty());
}
