#include "sitestates.h"

#include "journalrecord.h"
#include "lampstate.h"
#include "mqttbinding.h"
#include "mqttpublisher.h"
#include "mqtttopics.h"
#include "sitesession.h"

SiteStates::SiteStates(MqttPublisher *publisher, QObject *parent)
    : QObject(parent), publisher(publisher), catalogue(EventCatalogue::Console)
{
}

void SiteStates::start(SiteSession *session)
{
    follow(session);
    polling = true;
    for (int id : snapshots.keys())
        updateLink(id);
}

void SiteStates::stop()
{
    polling = false;
    for (int id : snapshots.keys())
        updateLink(id);
}

void SiteStates::follow(SiteSession *session)
{
    if (site == session)
        return;
    forget();
    site = session;
    const ControllerList &list = session->controllers();
    for (int id : session->polledIds()) {
        const ControllerEntry &entry = list.at(id);
        ControllerSnapshot &snapshot = snapshots[id];
        snapshot.key = MqttTopics::controllerKey(entry.name, entry.portName, entry.address);
        snapshot.name = entry.name;
        snapshot.lamps = MqttBinding::lampsOf(LampState());
    }
    connect(session, &SiteSession::statusChanged, this, &SiteStates::updateLink);
    connect(session, &SiteSession::vpkChanged, this, &SiteStates::updateVpk);
    connect(session, &SiteSession::eventRead, this, &SiteStates::eventRead);
    connect(session, &SiteSession::listCleared, this, &SiteStates::listCleared);
    connect(session, &QObject::destroyed, this, &SiteStates::forget);
}

// A session that goes away polls no more: its controllers are left idle.
void SiteStates::forget()
{
    if (site)
        disconnect(site, nullptr, this, nullptr);
    for (int id : snapshots.keys()) {
        snapshots[id].link = ControllerSnapshot::Link::Idle;
        publish(id);
    }
    snapshots.clear();
    site = nullptr;
}

ControllerSnapshot::Link SiteStates::linkOf(int id) const
{
    if (!polling || !site)
        return ControllerSnapshot::Link::Idle;
    const ControllerStatus &status = site->status(id);
    if (status.isLinkLost())
        return ControllerSnapshot::Link::NoLink;
    if (!status.isAnswering())
        return ControllerSnapshot::Link::NoAnswer;
    return ControllerSnapshot::Link::Polling;
}

void SiteStates::updateLink(int id)
{
    if (!snapshots.contains(id))
        return; // not polled
    snapshots[id].link = linkOf(id);
    publish(id);
}

void SiteStates::updateVpk(int id)
{
    if (!snapshots.contains(id) || !site)
        return;
    ControllerSnapshot &snapshot = snapshots[id];
    snapshot.vpk = site->vpk(id);
    snapshot.lamps = MqttBinding::lampsOf(LampState::fromVpk(snapshot.vpk));
    publish(id);
}

void SiteStates::eventRead(int id, bool current, const AlarmType &alarm)
{
    if (!current || !snapshots.contains(id))
        return;
    snapshots[id].events.append({ catalogue.eventText(alarm.source, alarm.code).trimmed(), alarm.source,
                                  alarm.code, JournalRecord::occurredText(alarm) });
    publish(id);
}

void SiteStates::listCleared(int id, bool current)
{
    if (!current || !snapshots.contains(id) || snapshots[id].events.isEmpty())
        return; // an empty list is reported in every cycle
    snapshots[id].events.clear();
    publish(id);
}

// The publisher sends only what changed, so repeats cost nothing.
void SiteStates::publish(int id)
{
    publisher->setState(snapshots.value(id));
}
