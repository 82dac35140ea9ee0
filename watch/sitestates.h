#ifndef SITESTATES_H
#define SITESTATES_H

#include "alarmtype.h"
#include "controllersnapshot.h"
#include "eventcatalogue.h"

#include <QHash>
#include <QObject>
#include <QPointer>

class MqttPublisher;
class SiteSession;

// The published state of every polled controller of a site, kept from what
// the session reports: link, Vpk and lamps, current events. Each controller
// goes to the publisher under its own key. No widgets.
class SiteStates : public QObject
{
    Q_OBJECT

public:
    explicit SiteStates(MqttPublisher *publisher, QObject *parent = nullptr);

    // Follows the session (a new one replaces the last) and marks it polling.
    void start(SiteSession *session);
    // Every controller idle: what was said of the line no longer holds.
    void stop();
    bool isPolling() const { return polling; }

    ControllerSnapshot state(int id) const { return snapshots.value(id); }
    QList<int> ids() const { return snapshots.keys(); }

private:
    void follow(SiteSession *session);
    void forget();
    void updateLink(int id);
    void updateVpk(int id);
    void eventRead(int id, bool current, const AlarmType &alarm);
    void listCleared(int id, bool current);
    void publish(int id);
    ControllerSnapshot::Link linkOf(int id) const;

    MqttPublisher *publisher;
    QPointer<SiteSession> site;
    QHash<int, ControllerSnapshot> snapshots;
    EventCatalogue catalogue;
    bool polling = false;
};

#endif // SITESTATES_H
