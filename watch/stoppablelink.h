#ifndef STOPPABLELINK_H
#define STOPPABLELINK_H

#include "registerlink.h"

#include <functional>
#include <utility>

// Passes requests on to a link until the worker is told to stop; from then on
// each request fails at once, without touching the line or waiting for it to
// settle, so an exit waits for the request in flight only.
class StoppableLink : public RegisterLink
{
public:
    StoppableLink(RegisterLink &link, std::function<bool()> stopRequested)
        : link(link), stopRequested(std::move(stopRequested))
    {
    }

    int readRegisters(int address, int count, quint16 *dest) override;
    int readInputRegisters(int address, int count, quint16 *dest) override;
    int writeRegister(int address, quint16 value) override;
    int writeRegisters(int address, int count, const quint16 *src) override;
    bool setSlave(int address) override { return link.setSlave(address); }

private:
    RegisterLink &link;
    std::function<bool()> stopRequested;
};

#endif // STOPPABLELINK_H
