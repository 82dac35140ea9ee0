#ifndef WATCHEDLINK_H
#define WATCHEDLINK_H

#include "registerlink.h"

// Passes requests on and remembers whether the last one was answered, so the
// window hears of a silent controller at its first failed request rather
// than when the line-failure rule gives up.
class WatchedLink : public RegisterLink
{
public:
    explicit WatchedLink(RegisterLink &link) : link(link) {}

    int readRegisters(int address, int count, quint16 *dest) override
    {
        return note(link.readRegisters(address, count, dest), count);
    }
    int readInputRegisters(int address, int count, quint16 *dest) override
    {
        return note(link.readInputRegisters(address, count, dest), count);
    }
    int writeRegister(int address, quint16 value) override
    {
        return note(link.writeRegister(address, value), 1);
    }
    int writeRegisters(int address, int count, const quint16 *src) override
    {
        return note(link.writeRegisters(address, count, src), count);
    }
    bool setSlave(int address) override { return link.setSlave(address); }

    bool lastAnswered() const { return answered; }
    int requests() const { return requestCount; }
    void resetCount() { requestCount = 0; }

private:
    int note(int result, int expected)
    {
        ++requestCount;
        answered = result == expected;
        return result;
    }

    RegisterLink &link;
    bool answered = true;
    int requestCount = 0;
};

#endif // WATCHEDLINK_H
