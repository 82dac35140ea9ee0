#ifndef CONTROLLERSTATUS_H
#define CONTROLLERSTATUS_H

#include <QString>
#include <QtGlobal>

// What the site panel shows for one controller, from what its worker
// reported. Plain Core code.
class ControllerStatus
{
public:
    // Worst first: a controller shows the first state that applies.
    enum State { NotPolled, NoLink, NoAnswer, Fault, Events, Quiet };

    void setPolled(bool on) { polled = on; }
    void setCurrentEvents(int count) { currentEvents = qMax(0, count); }
    void setVpk(quint32 vpk);
    void setAnswering(bool on) { answering = on; }
    void setLinkLost(bool on) { linkLost = on; }

    int currentEventCount() const { return currentEvents; }
    bool isAnswering() const { return answering; }
    bool isLinkLost() const { return linkLost; }
    State state() const;

    static QString text(State state);

private:
    bool polled = true;
    bool answering = true;
    bool linkLost = false;
    bool fault = false;
    int currentEvents = 0;
};

#endif // CONTROLLERSTATUS_H
