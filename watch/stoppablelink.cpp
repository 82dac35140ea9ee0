#include "stoppablelink.h"

int StoppableLink::readRegisters(int address, int count, quint16 *dest)
{
    return stopRequested() ? -1 : link.readRegisters(address, count, dest);
}

int StoppableLink::readInputRegisters(int address, int count, quint16 *dest)
{
    return stopRequested() ? -1 : link.readInputRegisters(address, count, dest);
}

int StoppableLink::writeRegister(int address, quint16 value)
{
    return stopRequested() ? -1 : link.writeRegister(address, value);
}

int StoppableLink::writeRegisters(int address, int count, const quint16 *src)
{
    return stopRequested() ? -1 : link.writeRegisters(address, count, src);
}
