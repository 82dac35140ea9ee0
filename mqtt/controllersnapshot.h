#ifndef CONTROLLERSNAPSHOT_H
#define CONTROLLERSNAPSHOT_H

#include <QString>
#include <QVector>

// What a console shows of one controller, as a plain value: the publisher
// turns it into the retained state message of that controller.
struct ControllerSnapshot
{
    enum class Link { Idle, Polling, NoAnswer, NoLink };
    enum class Lamp { Off, On, Blinking };

    struct LampShown
    {
        QString caption;
        Lamp state = Lamp::Off;
        bool operator==(const LampShown &o) const { return caption == o.caption && state == o.state; }
    };

    struct Event
    {
        QString name;
        int source = 0;
        int code = 0;
        QString time; // the controller's time, as the journal keeps it
        bool operator==(const Event &o) const
        {
            return name == o.name && source == o.source && code == o.code && time == o.time;
        }
    };

    QString key;  // topic-safe, see MqttTopics::controllerKey()
    QString name; // the controller's name, or its port and address
    Link link = Link::Idle;
    quint32 vpk = 0;
    QVector<LampShown> lamps;
    QVector<Event> events;

    bool operator==(const ControllerSnapshot &o) const
    {
        return key == o.key && name == o.name && link == o.link && vpk == o.vpk
            && lamps == o.lamps && events == o.events;
    }
    bool operator!=(const ControllerSnapshot &o) const { return !(*this == o); }
};

#endif // CONTROLLERSNAPSHOT_H
