#include "simharness.h"

SimHarness::SimHarness(int slaveAddress, int baudRate)
    : SimHarness(QVector<int>{slaveAddress}, baudRate)
{
}

SimHarness::SimHarness(const QVector<int> &slaves, int baudRate)
    : sim(Simulator::Options{slaves.value(0, 1), baudRate, false, slaves.mid(1)})
{
    path = sim.addPseudoTerminal(QString(), &error);
    if (path.isEmpty())
        return;
    ready = sim.start();
    if (!ready)
        error = QStringLiteral("the simulator thread did not start");
}

bool SimHarness::serveTcp(int port)
{
    tcp = std::make_unique<TcpServer>(sim);
    if (tcp->listen(QStringLiteral("127.0.0.1"), port, &error))
        return true;
    tcp.reset();
    return false;
}
