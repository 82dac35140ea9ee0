// How long one 63-register read (FC 3) takes from a libmodbus master to the
// simulator over a pseudo-terminal, at 9600 and 115200 baud, with and without
// the simulator's line timing.
#include "simulator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <modbus.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int Reads = 300;

struct Result {
    double meanMs = 0;
    double medianMs = 0;
    double maxMs = 0;
    int failures = 0;
};

Result measure(int baudRate, bool lineTiming)
{
    Simulator::Options options;
    options.baudRate = baudRate;
    options.lineTiming = lineTiming;
    Simulator sim(options);
    const QString path = sim.addPseudoTerminal();
    Result result;
    if (path.isEmpty() || !sim.start()) {
        result.failures = Reads;
        return result;
    }
    modbus_t *ctx = modbus_new_rtu(QFile::encodeName(path).constData(), baudRate, 'N', 8, 1);
    modbus_set_slave(ctx, 1);
    modbus_connect(ctx);
    const int reads = lineTiming ? Reads / 10 : Reads;
    std::vector<double> times;
    uint16_t regs[63];
    for (int i = 0; i < reads; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (modbus_read_registers(ctx, 63 * (i % 21), 63, regs) != 63)
            ++result.failures;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    modbus_close(ctx);
    modbus_free(ctx);
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    result.meanMs = sum / times.size();
    result.medianMs = times[times.size() / 2];
    result.maxMs = times.back();
    return result;
}

} // namespace

int main()
{
    QTextStream out(stdout);
    out << "63-register read over a pseudo-terminal (" << Reads << " reads, line timing " << Reads / 10 << ")\n";
    for (bool lineTiming : {false, true}) {
        for (int baud : {9600, 115200}) {
            const Result r = measure(baud, lineTiming);
            out << QStringLiteral("%1 baud, line timing %2: mean %3 ms, median %4 ms, max %5 ms, failures %6\n")
                       .arg(baud, 6)
                       .arg(lineTiming ? QStringLiteral("on ") : QStringLiteral("off"))
                       .arg(r.meanMs, 0, 'f', 3)
                       .arg(r.medianMs, 0, 'f', 3)
                       .arg(r.maxMs, 0, 'f', 3)
                       .arg(r.failures);
        }
    }
    // A real line carries 8 + 131 bytes of 10 bits each, plus two 3.5-character silences.
    for (int baud : {9600, 115200})
        out << QStringLiteral("on the wire at %1 baud: about %2 ms\n").arg(baud).arg(146.0 * 10 * 1000 / baud, 0, 'f', 1);
    return 0;
}
