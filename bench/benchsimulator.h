#ifndef BENCHSIMULATOR_H
#define BENCHSIMULATOR_H

// The simulator on a pseudo-terminal and on loopback Modbus TCP, for the
// benchmarks that compare the two kinds of link.

#include "simulator.h"
#include "tcpserver.h"

#include <cstdio>

namespace bench {

struct LoopbackSimulator
{
    Simulator sim;
    QString pty;
    TcpServer tcp{sim};

    // False, after saying why, when either side did not start.
    bool start()
    {
        pty = sim.addPseudoTerminal();
        QString error;
        if (!pty.isEmpty() && sim.start() && tcp.listen(QStringLiteral("127.0.0.1"), 0, &error))
            return true;
        std::printf("simulator did not start: %s\n", qPrintable(error));
        return false;
    }
};

} // namespace bench

#endif // BENCHSIMULATOR_H
