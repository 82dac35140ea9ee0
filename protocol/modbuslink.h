#ifndef MODBUSLINK_H
#define MODBUSLINK_H

#include "registerlink.h"

#include <QLoggingCategory>

#include <chrono>
#include <optional>

#include <modbus.h>

// "tarvik.link": each failed request with libmodbus's reason, at debug level
// and so off unless switched on (QT_LOGGING_RULES="tarvik.link.debug=true").
Q_DECLARE_LOGGING_CATEGORY(tarvikLink)

// The four requests over an open libmodbus context, RTU or TCP, which it does
// not own.
//
// Modbus RTU answers carry no request number: an answer that comes after the
// response time-out, or bytes left on the line, would be read as the answer
// to the next request of the same shape. So after any failed request the
// next one first waits until the line has been quiet for a response time-out
// and throws away whatever arrived.
//
// Over TCP each answer carries its transaction number, so no quiet wait is
// needed; but libmodbus fails a request that meets the late answer of an
// earlier one, and a dropped connection stays dropped. So after a failure
// that was not a complete exception answer the next request first opens the
// connection anew. A gateway's own exceptions (0x0A, 0x0B) are logged.
class ModbusLink : public RegisterLink
{
public:
    using Clock = std::chrono::steady_clock;

    enum Transport { Rtu, Tcp };

    explicit ModbusLink(modbus_t *context, Transport transport = Rtu);

    int readRegisters(int address, int count, quint16 *dest) override;
    int readInputRegisters(int address, int count, quint16 *dest) override;
    int writeRegister(int address, quint16 value) override;
    int writeRegisters(int address, int count, const quint16 *src) override;
    bool setSlave(int address) override;

    bool isSerial() const { return transport == Rtu; }

    // Drops whatever is waiting on the line now.
    void flush();

    // When the line last carried a failed exchange or stray bytes not yet
    // settled; a later link on the same port takes it over, since a late
    // answer outlives the link that asked for it.
    std::optional<Clock::time_point> unsettledSince() const;
    void setUnsettledSince(Clock::time_point lastTraffic);

private:
    int checked(int result, int expected, int function, int address);
    void settleLine();
    void reconnectIfBroken();
    void prepare();
    std::chrono::milliseconds quietInterval() const;

    modbus_t *context;
    Transport transport;
    bool connectionSuspect = false; // TCP: reconnect before the next request
    std::optional<Clock::time_point> lastTraffic; // set while the line is suspect
};

#endif // MODBUSLINK_H
