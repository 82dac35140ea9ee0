#ifndef REGISTERLINK_H
#define REGISTERLINK_H

#include <QtGlobal>

// The four Modbus requests the programs make, behind an interface so the
// transfer and polling logic can be driven by a scripted peer in tests.
// Each call returns the number of registers transferred (1 for a single
// write) or -1 on failure, as libmodbus does.
class RegisterLink
{
public:
    virtual ~RegisterLink() = default;

    virtual int readRegisters(int address, int count, quint16 *dest) = 0;       // FC 3
    virtual int readInputRegisters(int address, int count, quint16 *dest) = 0;  // FC 4
    virtual int writeRegister(int address, quint16 value) = 0;                  // FC 6
    virtual int writeRegisters(int address, int count, const quint16 *src) = 0; // FC 16

    // Addresses the following requests to another controller on the same
    // line. False when this link cannot change its peer.
    virtual bool setSlave(int address) { Q_UNUSED(address) return false; }
};

#endif // REGISTERLINK_H
