#include "controllerstatus.h"

#include "lampstate.h"

#include <QCoreApplication>

void ControllerStatus::setVpk(quint32 vpk)
{
    // The worker sends 0 when it parks: that is no news about the controller.
    if (vpk != 0)
        fault = LampState::fromVpk(vpk).fault();
}

ControllerStatus::State ControllerStatus::state() const
{
    if (!polled)
        return NotPolled;
    if (linkLost)
        return NoLink;
    if (!answering)
        return NoAnswer;
    if (fault)
        return Fault;
    return currentEvents > 0 ? Events : Quiet;
}

QString ControllerStatus::text(State state)
{
    switch (state) {
    case NotPolled:
        return QCoreApplication::translate("ControllerStatus", "не опрашивается");
    case NoLink:
        return QCoreApplication::translate("ControllerStatus", "Нет связи");
    case NoAnswer:
        return QCoreApplication::translate("ControllerStatus", "нет ответа");
    case Fault:
        return QCoreApplication::translate("ControllerStatus", "неисправность");
    case Events:
        return QCoreApplication::translate("ControllerStatus", "события");
    case Quiet:
        break;
    }
    return QCoreApplication::translate("ControllerStatus", "норма");
}
