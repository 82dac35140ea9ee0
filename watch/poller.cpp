#include "poller.h"

#include "registerlink.h"

constexpr int Poller::ResetRegister;
constexpr int Poller::VpkRegister;
constexpr quint32 Poller::VpkForcedBit;

Poller::Poller(Listener &listener)
    : listener(listener),
      current(EventListReader::CurrentEvents,
              [this](const AlarmType &alarm) { this->listener.currentEventRead(alarm); },
              [this] { this->listener.currentListCleared(); }),
      all(EventListReader::AllEvents,
          [this](const AlarmType &alarm) { this->listener.allEventRead(alarm); },
          [this] { this->listener.allListCleared(); })
{
}

bool Poller::pollCurrentEvents(RegisterLink &link)
{
    if (!current.step(link))
        return lineFailure();
    // Tried after every step, even one whose own request failed.
    return writePendingReset(link);
}

bool Poller::pollAllEvents(RegisterLink &link)
{
    return all.step(link) || lineFailure();
}

bool Poller::pollVpk(RegisterLink &link)
{
    quint16 words[2] = {};
    if (link.readInputRegisters(VpkRegister, 2, words) != 2) {
        if (++vpkErrorCount <= EventListReader::MaxErrors)
            return true;
        vpkErrorCount = 0;
        return lineFailure();
    }
    vpkErrorCount = 0;
    vpk = (quint32(words[1]) << 16 | words[0]) | VpkForcedBit;
    listener.vpkRead(vpk);
    return true;
}

bool Poller::writePendingReset(RegisterLink &link)
{
    if (!resetRequested)
        return true;
    if (link.writeRegister(ResetRegister, 1) == 1) {
        resetRequested = false;
        current.clearErrors();
        return true;
    }
    // Shares the current reader's failure count; kept for the next cycle.
    return current.countFailure() || lineFailure();
}

bool Poller::lineFailure()
{
    listener.lineFailed();
    return false;
}
