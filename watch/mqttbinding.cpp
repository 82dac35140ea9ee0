#include "mqttbinding.h"

#include "journalrecord.h"
#include "mqttpublisher.h"
#include "mqtttopics.h"
#include "mythread.h"
#include "settings.h"
#include "sitestates.h"

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

} // namespace

MqttBinding::MqttBinding(Journal *journal, const Settings &link, QObject *parent)
    : QObject(parent),
      mqtt(new MqttPublisher(journal, this)),
      sites(new SiteStates(mqtt, this)),
      catalogue(EventCatalogue::Console)
{
    nameController(link);
    current.lamps = lampsOf(LampState());
    mqtt->setState(current);
}

void MqttBinding::watch(MyThread *worker)
{
    connect(worker, &MyThread::SignalVpk, this, &MqttBinding::vpkRead);
    connect(worker, &MyThread::SignalAlarmCurrent, this, &MqttBinding::currentEvent);
    connect(worker, &MyThread::SignalAlarmCurrentClear, this, &MqttBinding::currentCleared);
    connect(worker, &MyThread::answeringChanged, this, &MqttBinding::answeringChanged);
    connect(worker, &MyThread::Signal, this, [this] { setLink(ControllerSnapshot::Link::NoLink); });
}

void MqttBinding::singleStarted(const Settings &link)
{
    sites->stop();
    nameController(link);
    setLink(ControllerSnapshot::Link::Polling);
}

// The single worker is parked while a site polls: its controller is idle.
void MqttBinding::siteStarted(SiteSession *site)
{
    setLink(ControllerSnapshot::Link::Idle);
    sites->start(site);
}

void MqttBinding::pollingStopped()
{
    setLink(ControllerSnapshot::Link::Idle);
    sites->stop();
}

void MqttBinding::setSettings(const MqttSettings &settings)
{
    mqtt->setSettings(settings);
}

QString MqttBinding::lampCaption(LampState::Lamp lamp)
{
    for (const Caption &caption : captions) {
        if (caption.lamp == lamp)
            return caption.text;
    }
    return QString();
}

QVector<ControllerSnapshot::LampShown> MqttBinding::lampsOf(const LampState &flags)
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
void MqttBinding::nameController(const Settings &link)
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
void MqttBinding::answeringChanged(bool answering)
{
    using Link = ControllerSnapshot::Link;
    if (current.link == Link::Polling || current.link == Link::NoAnswer)
        setLink(answering ? Link::Polling : Link::NoAnswer);
}

void MqttBinding::setLink(ControllerSnapshot::Link link)
{
    current.link = link;
    publish();
}

void MqttBinding::vpkRead(quint32 vpk)
{
    current.vpk = vpk;
    current.lamps = lampsOf(LampState::fromVpk(vpk));
    publish();
}

void MqttBinding::currentEvent(AlarmType alarm)
{
    current.events.append({ catalogue.eventText(alarm.source, alarm.code).trimmed(), alarm.source,
                            alarm.code, JournalRecord::occurredText(alarm) });
    publish();
}

void MqttBinding::currentCleared()
{
    if (current.events.isEmpty())
        return; // the worker reports an empty list in every cycle
    current.events.clear();
    publish();
}

void MqttBinding::publish()
{
    mqtt->setState(current);
}
