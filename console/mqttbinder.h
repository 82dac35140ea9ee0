#ifndef MQTTBINDER_H
#define MQTTBINDER_H

#include "alarmtype.h"
#include "controllersnapshot.h"
#include "eventcatalogue.h"
#include "lampstate.h"
#include "mqttsettings.h"

#include <QObject>

class Journal;
class MqttPublisher;
class MyThread;
class PasswordStore;
class QAction;
class QLabel;
class SettingsDialog;
class SiteSession;
class SiteStates;
struct Settings;

// Ties the console to publishing: keeps the controller's state (link, Vpk,
// lamps, current events) from what the worker reports, or each site
// controller's through SiteStates, hands them and the journal to the
// publisher, and offers the "MQTT" action, its dialog and the status-bar
// label. The window creates it and says when polling starts and stops.
class MqttBinder : public QObject
{
    Q_OBJECT

public:
    MqttBinder(Journal *journal, SettingsDialog *linkSettings, QWidget *window);

    void watch(MyThread *worker);
    void singleStarted(const Settings &link);
    void siteStarted(SiteSession *site);
    void pollingStopped();

    QAction *action() const { return openAction; }
    QLabel *statusLabel() const { return label; }
    MqttPublisher *publisher() const { return mqtt; }
    ControllerSnapshot state() const { return current; }
    const SiteStates *siteStates() const { return sites; }

    // The caption of each lamp as the panel shows it.
    static QString lampCaption(LampState::Lamp lamp);
    // The nine lamps, steady or blinking as the flags say.
    static QVector<ControllerSnapshot::LampShown> lampsOf(const LampState &flags);

    void openDialog();

private:
    void nameController(const Settings &link);
    void answeringChanged(bool answering);
    void setLink(ControllerSnapshot::Link link);
    void vpkRead(quint32 vpk);
    void currentEvent(AlarmType alarm);
    void currentCleared();
    void publish();
    void apply(MqttSettings settings);
    void passwordLoaded(const QString &key, const QString &password);
    void showStatus(const QString &text);
    QString passwordNote() const;

    QWidget *window;
    SettingsDialog *linkSettings;
    MqttPublisher *mqtt;
    PasswordStore *passwords;
    SiteStates *sites;
    QAction *openAction;
    QLabel *label;
    EventCatalogue catalogue;
    ControllerSnapshot current;
    MqttSettings chosen; // with the password of this session
};

#endif // MQTTBINDER_H
