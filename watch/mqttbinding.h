#ifndef MQTTBINDING_H
#define MQTTBINDING_H

#include "alarmtype.h"
#include "controllersnapshot.h"
#include "eventcatalogue.h"
#include "lampstate.h"
#include "mqttsettings.h"

#include <QObject>

class Journal;
class MqttPublisher;
class MyThread;
class SiteSession;
class SiteStates;
struct Settings;

// Publishing without widgets: keeps the single controller's state (link,
// Vpk, lamps, current events) from what its worker reports, or each site
// controller's through SiteStates, and hands them and the journal to the
// publisher. Its owner says when polling starts and stops.
class MqttBinding : public QObject
{
    Q_OBJECT

public:
    // Named after the link until polling starts on another.
    MqttBinding(Journal *journal, const Settings &link, QObject *parent = nullptr);

    void watch(MyThread *worker);
    void nameController(const Settings &link);
    void singleStarted(const Settings &link);
    void siteStarted(SiteSession *site);
    void pollingStopped();
    void setSettings(const MqttSettings &settings);

    MqttPublisher *publisher() const { return mqtt; }
    ControllerSnapshot state() const { return current; }
    const SiteStates *siteStates() const { return sites; }

    // The caption of each lamp as the panel shows it.
    static QString lampCaption(LampState::Lamp lamp);
    // The nine lamps, steady or blinking as the flags say.
    static QVector<ControllerSnapshot::LampShown> lampsOf(const LampState &flags);

private:
    void answeringChanged(bool answering);
    void setLink(ControllerSnapshot::Link link);
    void vpkRead(quint32 vpk);
    void currentEvent(AlarmType alarm);
    void currentCleared();
    void publish();

    MqttPublisher *mqtt;
    SiteStates *sites;
    EventCatalogue catalogue;
    ControllerSnapshot current;
};

#endif // MQTTBINDING_H
