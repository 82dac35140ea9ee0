#include "faultplan.h"

#include <QStringList>

void FaultPlan::addRangeFault(const RangeFault &fault)
{
    if (fault.times == 0 || fault.last < fault.first)
        return;
    ranges.append(fault);
}

void FaultPlan::clear()
{
    *this = FaultPlan();
}

FaultPlan::Action FaultPlan::decide(int function, int address, int count)
{
    if (silent)
        return Drop;
    if (drops > 0) {
        --drops;
        return Drop;
    }
    if (closes > 0) {
        --closes;
        return CloseConnection;
    }
    if (gatewayFailures > 0) {
        --gatewayFailures;
        return GatewayFailure;
    }
    const int last = address + qMax(count, 1) - 1;
    for (int i = 0; i < ranges.size(); ++i) {
        RangeFault &fault = ranges[i];
        const bool functionMatches = fault.function == 0 || fault.function == function;
        if (!functionMatches || last < fault.first || address > fault.last)
            continue;
        const bool silentFault = fault.silent;
        if (fault.times > 0 && --fault.times == 0)
            ranges.remove(i);
        return silentFault ? Drop : DeviceFailure;
    }
    if (brokenCrcs > 0) {
        --brokenCrcs;
        return BrokenCrc;
    }
    return Answer;
}

QString FaultPlan::describe() const
{
    QStringList parts;
    if (silent)
        parts << QStringLiteral("silent");
    if (drops)
        parts << QStringLiteral("drop %1").arg(drops);
    if (brokenCrcs)
        parts << QStringLiteral("crc %1").arg(brokenCrcs);
    if (gatewayFailures)
        parts << QStringLiteral("%1 %2").arg(gatewayCode == GatewayPathUnavailable ? "path" : "gateway")
                     .arg(gatewayFailures);
    if (closes)
        parts << QStringLiteral("close %1").arg(closes);
    if (delay)
        parts << QStringLiteral("delay %1 ms").arg(delay);
    for (const RangeFault &fault : ranges) {
        parts << QStringLiteral("fail fc %1 %2-%3 %4 %5")
                     .arg(fault.function)
                     .arg(fault.first)
                     .arg(fault.last)
                     .arg(fault.times == Forever ? QStringLiteral("always") : QString::number(fault.times))
                     .arg(fault.silent ? QStringLiteral("silent") : QStringLiteral("exception"));
    }
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}
