#ifndef MQTTBINDER_H
#define MQTTBINDER_H

#include "controllersnapshot.h"
#include "mqttbinding.h"
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

// The console's face of publishing: the "MQTT" action, its dialog, the
// status-bar label and the password in the system key store, over the
// binding that keeps and publishes the controllers' state.
class MqttBinder : public QObject
{
    Q_OBJECT

public:
    // Over the engine's binding, or a binding of its own named after the link.
    MqttBinder(MqttBinding *binding, QWidget *window);
    MqttBinder(Journal *journal, SettingsDialog *linkSettings, QWidget *window);

    void watch(MyThread *worker) { binding->watch(worker); }
    void singleStarted(const Settings &link) { binding->singleStarted(link); }
    void siteStarted(SiteSession *site) { binding->siteStarted(site); }
    void pollingStopped() { binding->pollingStopped(); }

    QAction *action() const { return openAction; }
    QLabel *statusLabel() const { return label; }
    MqttBinding *publishing() const { return binding; }
    MqttPublisher *publisher() const { return binding->publisher(); }
    ControllerSnapshot state() const { return binding->state(); }
    const SiteStates *siteStates() const { return binding->siteStates(); }

    void openDialog();

private:
    void loadSettings();
    void apply(MqttSettings settings);
    void passwordLoaded(const QString &key, const QString &password);
    void showStatus(const QString &text);
    QString passwordNote() const;

    QWidget *window;
    MqttBinding *binding;
    PasswordStore *passwords;
    QAction *openAction;
    QLabel *label;
    MqttSettings chosen; // with the password of this session
};

#endif // MQTTBINDER_H
