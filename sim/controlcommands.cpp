#include "controlcommands.h"

#include "simulator.h"

#include <QHash>

namespace {

const QString Ok = QStringLiteral("ok");

QString failure(const QString &text)
{
    return QStringLiteral("error: ") + text;
}

// Decimal or 0x-prefixed hexadecimal, within [low, high].
bool number(const QString &text, qint64 low, qint64 high, qint64 *value)
{
    bool ok = false;
    const qint64 parsed = text.toLongLong(&ok, 0);
    if (!ok || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

bool onOff(const QString &text, bool *value)
{
    if (text == QLatin1String("on") || text == QLatin1String("1")) {
        *value = true;
        return true;
    }
    if (text == QLatin1String("off") || text == QLatin1String("0")) {
        *value = false;
        return true;
    }
    return false;
}

// A count of reads or times, or "never"/"always" for no end.
bool countOrForever(const QString &text, int *value)
{
    if (text == QLatin1String("never") || text == QLatin1String("always")) {
        *value = -1;
        return true;
    }
    qint64 parsed;
    if (!number(text, 0, 1000000, &parsed))
        return false;
    *value = int(parsed);
    return true;
}

QString hex(quint32 value, int digits)
{
    return QStringLiteral("0x%1").arg(value, digits, 16, QLatin1Char('0'));
}

} // namespace

ControlCommands::ControlCommands(Simulator &simulator, const QString &savePath)
    : sim(simulator)
    , defaultSavePath(savePath)
{
}

QString ControlCommands::helpText()
{
    return QStringLiteral(
        "event current|log SOURCE CODE   add an event stamped now (a current one is logged too)\n"
        "                                SOURCE 0-31 controller, 32 device, 33+ device address+32\n"
        "events                          list the current and logged events\n"
        "remove N                        let current event N (from 0) clear\n"
        "clear current|log|all           empty an event list\n"
        "status HEX | status auto        set the status word, or let it follow the events\n"
        "commit STAGE READS|never        commit register STAGE (1-3) clears after READS reads\n"
        "sim pending on|off | sim busy READS|never | sim ready on|off\n"
        "ack current|log frozen|free     freeze an acknowledge register\n"
        "fault drop N | fault crc N | fault delay MS | fault silent | fault resume\n"
        "fault gateway N | fault path N | fault close N   exception 0x0B / 0x0A, or the TCP\n"
        "                                connection closed, for the next N requests\n"
        "fault fail FC FIRST LAST TIMES|always [silent|exception]   FC 0 = any function\n"
        "fault clear | fault             clear / show the injected faults\n"
        "get holding|input ADDR [COUNT]  show registers\n"
        "set holding|input ADDR VALUE    set a register\n"
        "save [PATH] | load PATH         configuration file (.vlr)\n"
        "demo on [PERIOD_MS] | demo off  raise and clear plausible events now and then\n"
        "stats | requests [N]            statistics / the last N requests\n"
        "slave [ADDRESS]                 the controller the other commands address (several on a line)\n"
        "help | quit");
}

QString ControlCommands::execute(const QString &line)
{
    using Handler = QString (ControlCommands::*)(const QStringList &);
    static const QHash<QString, Handler> handlers = {
        {QStringLiteral("help"), &ControlCommands::help},
        {QStringLiteral("quit"), &ControlCommands::quitCommand},
        {QStringLiteral("exit"), &ControlCommands::quitCommand},
        {QStringLiteral("event"), &ControlCommands::event},
        {QStringLiteral("events"), &ControlCommands::events},
        {QStringLiteral("remove"), &ControlCommands::remove},
        {QStringLiteral("clear"), &ControlCommands::clear},
        {QStringLiteral("status"), &ControlCommands::status},
        {QStringLiteral("commit"), &ControlCommands::commit},
        {QStringLiteral("sim"), &ControlCommands::simCard},
        {QStringLiteral("ack"), &ControlCommands::ack},
        {QStringLiteral("fault"), &ControlCommands::fault},
        {QStringLiteral("get"), &ControlCommands::get},
        {QStringLiteral("set"), &ControlCommands::set},
        {QStringLiteral("save"), &ControlCommands::save},
        {QStringLiteral("load"), &ControlCommands::load},
        {QStringLiteral("demo"), &ControlCommands::demo},
        {QStringLiteral("stats"), &ControlCommands::statistics},
        {QStringLiteral("requests"), &ControlCommands::requests},
        {QStringLiteral("slave"), &ControlCommands::slave},
    };
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QString();
    const QString command = words.first().toLower();
    const Handler handler = handlers.value(command);
    if (!handler)
        return failure(QStringLiteral("unknown command \"%1\"; try help").arg(command));
    return (this->*handler)(words.mid(1));
}

QString ControlCommands::help(const QStringList &)
{
    return helpText();
}

QString ControlCommands::quitCommand(const QStringList &)
{
    quit = true;
    return Ok;
}

QString ControlCommands::event(const QStringList &args)
{
    qint64 source;
    qint64 code;
    if (args.size() != 3 || !number(args.at(1), 0, 0xFFFF, &source) || !number(args.at(2), 0, 0xFF, &code))
        return failure(QStringLiteral("usage: event current|log SOURCE CODE"));
    const SimEvent event = SimEvent::now(quint16(source), quint8(code));
    if (args.first() == QLatin1String("current"))
        sim.withState([&](ControllerState &s) { s.addCurrentEvent(event); });
    else if (args.first() == QLatin1String("log"))
        sim.withState([&](ControllerState &s) { s.addLoggedEvent(event); });
    else
        return failure(QStringLiteral("usage: event current|log SOURCE CODE"));
    return Ok;
}

QString ControlCommands::events(const QStringList &)
{
    const ControllerState state = sim.stateCopy();
    QStringList lines;
    auto list = [&](const char *title, const QVector<SimEvent> &events) {
        lines << QStringLiteral("%1: %2").arg(QLatin1String(title)).arg(events.size());
        for (int i = 0; i < events.size(); ++i) {
            const SimEvent &e = events.at(i);
            lines << QStringLiteral("  %1: source %2 code %3 at %4:%5:%6 %7.%8.%9")
                         .arg(i)
                         .arg(e.source)
                         .arg(e.code)
                         .arg(e.hour, 2, 10, QLatin1Char('0'))
                         .arg(e.minute, 2, 10, QLatin1Char('0'))
                         .arg(e.second, 2, 10, QLatin1Char('0'))
                         .arg(e.day, 2, 10, QLatin1Char('0'))
                         .arg(e.month, 2, 10, QLatin1Char('0'))
                         .arg(e.year, 2, 10, QLatin1Char('0'));
        }
    };
    list("current", state.currentEvents());
    list("log", state.loggedEvents());
    lines << QStringLiteral("status %1").arg(hex(state.statusWord(), 8));
    return lines.join(QLatin1Char('\n'));
}

QString ControlCommands::remove(const QStringList &args)
{
    qint64 position;
    if (args.size() != 1 || !number(args.first(), 0, ControllerState::MaxEvents, &position))
        return failure(QStringLiteral("usage: remove N"));
    const bool removed = sim.withState([&](ControllerState &s) { return s.removeCurrentEvent(int(position)); });
    return removed ? Ok : failure(QStringLiteral("no current event %1").arg(position));
}

QString ControlCommands::clear(const QStringList &args)
{
    const QString which = args.value(0);
    if (args.size() != 1 || (which != QLatin1String("current") && which != QLatin1String("log")
                             && which != QLatin1String("all")))
        return failure(QStringLiteral("usage: clear current|log|all"));
    sim.withState([&](ControllerState &s) {
        if (which != QLatin1String("log"))
            s.clearCurrentEvents();
        if (which != QLatin1String("current"))
            s.clearLoggedEvents();
    });
    return Ok;
}

QString ControlCommands::status(const QStringList &args)
{
    if (args.size() == 1 && args.first() == QLatin1String("auto")) {
        sim.withState([](ControllerState &s) { s.followEvents(); });
        return Ok;
    }
    qint64 value;
    if (args.size() != 1 || !number(args.first(), 0, 0xFFFFFFFFll, &value))
        return failure(QStringLiteral("usage: status HEX | status auto"));
    sim.withState([&](ControllerState &s) { s.setStatusWord(quint32(value)); });
    return Ok;
}

QString ControlCommands::commit(const QStringList &args)
{
    qint64 stage;
    int reads;
    if (args.size() != 2 || !number(args.first(), 1, ControllerState::CommitStages, &stage)
        || !countOrForever(args.at(1), &reads))
        return failure(QStringLiteral("usage: commit STAGE READS|never"));
    sim.withState([&](ControllerState &s) { s.setCommitReadsBeforeClear(int(stage) - 1, reads); });
    return Ok;
}

QString ControlCommands::simCard(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: sim pending on|off | sim busy READS|never | sim ready on|off");
    if (args.size() != 2)
        return failure(usage);
    ControllerState::SimCard card = sim.stateCopy().simCard();
    bool flag = false;
    if (args.first() == QLatin1String("pending") && onOff(args.at(1), &flag))
        card.pendingAfterCommit = flag;
    else if (args.first() == QLatin1String("ready") && onOff(args.at(1), &flag))
        card.ready = flag;
    else if (args.first() == QLatin1String("busy") && countOrForever(args.at(1), &card.busyReads))
        card.pendingAfterCommit = true;
    else
        return failure(usage);
    sim.withState([&](ControllerState &s) { s.setSimCard(card); });
    return Ok;
}

QString ControlCommands::ack(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: ack current|log frozen|free");
    if (args.size() != 2 || (args.at(1) != QLatin1String("frozen") && args.at(1) != QLatin1String("free")))
        return failure(usage);
    ControllerState::EventList list;
    if (args.first() == QLatin1String("current"))
        list = ControllerState::Current;
    else if (args.first() == QLatin1String("log"))
        list = ControllerState::Logged;
    else
        return failure(usage);
    const bool frozen = args.at(1) == QLatin1String("frozen");
    sim.withState([&](ControllerState &s) { s.setAckFrozen(list, frozen); });
    return Ok;
}

QString ControlCommands::fault(const QStringList &args)
{
    const QString kind = args.value(0);
    if (args.isEmpty())
        return QStringLiteral("faults: ") + sim.faultsCopy().describe();
    if (kind == QLatin1String("fail"))
        return failRange(args.mid(1));
    if (args.size() == 1) {
        if (kind == QLatin1String("silent"))
            sim.withFaults([](FaultPlan &f) { f.setSilent(true); });
        else if (kind == QLatin1String("resume"))
            sim.withFaults([](FaultPlan &f) { f.setSilent(false); });
        else if (kind == QLatin1String("clear"))
            sim.withFaults([](FaultPlan &f) { f.clear(); });
        else
            return failure(QStringLiteral("unknown fault \"%1\"; try help").arg(kind));
        return Ok;
    }
    qint64 value;
    if (args.size() != 2 || !number(args.at(1), 0, 1000000, &value))
        return failure(QStringLiteral("usage: fault drop N | fault crc N | fault delay MS | fault gateway N | fault path N | fault close N"));
    if (kind == QLatin1String("drop"))
        sim.withFaults([&](FaultPlan &f) { f.dropNext(int(value)); });
    else if (kind == QLatin1String("crc"))
        sim.withFaults([&](FaultPlan &f) { f.breakCrcOfNext(int(value)); });
    else if (kind == QLatin1String("delay"))
        sim.withFaults([&](FaultPlan &f) { f.setDelay(int(value)); });
    else if (kind == QLatin1String("gateway"))
        sim.withFaults([&](FaultPlan &f) { f.failGatewayOfNext(int(value)); });
    else if (kind == QLatin1String("path"))
        sim.withFaults([&](FaultPlan &f) { f.failGatewayOfNext(int(value), FaultPlan::GatewayPathUnavailable); });
    else if (kind == QLatin1String("close"))
        sim.withFaults([&](FaultPlan &f) { f.closeOnNext(int(value)); });
    else
        return failure(QStringLiteral("unknown fault \"%1\"; try help").arg(kind));
    return Ok;
}

QString ControlCommands::failRange(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: fault fail FC FIRST LAST TIMES|always [silent|exception]");
    qint64 function;
    qint64 first;
    qint64 last;
    FaultPlan::RangeFault fault;
    if (args.size() < 4 || args.size() > 5 || !number(args.at(0), 0, 255, &function)
        || !number(args.at(1), 0, 0xFFFF, &first) || !number(args.at(2), first, 0xFFFF, &last)
        || !countOrForever(args.at(3), &fault.times) || fault.times == 0)
        return failure(usage);
    const QString mode = args.value(4, QStringLiteral("silent"));
    if (mode != QLatin1String("silent") && mode != QLatin1String("exception"))
        return failure(usage);
    fault.function = int(function);
    fault.first = int(first);
    fault.last = int(last);
    fault.silent = mode == QLatin1String("silent");
    sim.withFaults([&](FaultPlan &f) { f.addRangeFault(fault); });
    return Ok;
}

QString ControlCommands::get(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: get holding|input ADDR [COUNT]");
    qint64 address;
    qint64 count = 1;
    if (args.size() < 2 || args.size() > 3 || !number(args.at(1), 0, 0xFFFF, &address)
        || (args.size() == 3 && !number(args.at(2), 1, 125, &count)))
        return failure(usage);
    const bool holding = args.first() == QLatin1String("holding");
    if (!holding && args.first() != QLatin1String("input"))
        return failure(usage);
    const ControllerState state = sim.stateCopy();
    QStringList values;
    for (int i = 0; i < count; ++i) {
        const int at = int(address) + i;
        values << QStringLiteral("%1=%2").arg(at).arg(hex(holding ? state.holding(at) : state.input(at), 4));
    }
    return values.join(QLatin1Char(' '));
}

QString ControlCommands::set(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: set holding|input ADDR VALUE");
    qint64 address;
    qint64 value;
    if (args.size() != 3 || !number(args.at(1), 0, 0xFFFF, &address) || !number(args.at(2), 0, 0xFFFF, &value))
        return failure(usage);
    if (args.first() == QLatin1String("holding")) {
        if (!ControllerState::holdingMapped(int(address), 1))
            return failure(QStringLiteral("holding register %1 is not mapped").arg(address));
        sim.withState([&](ControllerState &s) { s.setHolding(int(address), quint16(value)); });
    } else if (args.first() == QLatin1String("input")) {
        if (!ControllerState::inputMapped(int(address), 1))
            return failure(QStringLiteral("input register %1 is not mapped").arg(address));
        sim.withState([&](ControllerState &s) { s.setInput(int(address), quint16(value)); });
    } else {
        return failure(usage);
    }
    return Ok;
}

QString ControlCommands::save(const QStringList &args)
{
    const QString path = args.isEmpty() ? defaultSavePath : args.join(QLatin1Char(' '));
    if (path.isEmpty())
        return failure(QStringLiteral("usage: save PATH (no --save file was given)"));
    QString error;
    const ControllerState state = sim.stateCopy();
    if (!state.saveFile(path, &error))
        return failure(QStringLiteral("cannot save %1: %2").arg(path, error));
    return QStringLiteral("ok: saved %1").arg(path);
}

QString ControlCommands::load(const QStringList &args)
{
    if (args.isEmpty())
        return failure(QStringLiteral("usage: load PATH"));
    const QString path = args.join(QLatin1Char(' '));
    QString error;
    const bool loaded = sim.withState([&](ControllerState &s) { return s.loadFile(path, &error); });
    return loaded ? Ok : failure(QStringLiteral("cannot load %1: %2").arg(path, error));
}

QString ControlCommands::saveOnExit()
{
    return defaultSavePath.isEmpty() ? QString() : save(QStringList());
}

QString ControlCommands::demo(const QStringList &args)
{
    bool on = false;
    qint64 period = 5000;
    if (args.isEmpty() || args.size() > 2 || !onOff(args.first(), &on)
        || (args.size() == 2 && !number(args.at(1), 100, 3600000, &period)))
        return failure(QStringLiteral("usage: demo on [PERIOD_MS] | demo off"));
    sim.setDemo(on, int(period));
    return Ok;
}

QString ControlCommands::statistics(const QStringList &)
{
    const Simulator::Statistics s = sim.statistics();
    return QStringLiteral("requests %1, answered %2 (exceptions %3), unanswered %4, "
                          "broken frames %5, other slave %6\nfaults: %7")
        .arg(s.requests)
        .arg(s.answered)
        .arg(s.exceptions)
        .arg(s.unanswered)
        .arg(s.brokenFrames)
        .arg(s.otherSlave)
        .arg(sim.faultsCopy().describe());
}

QString ControlCommands::requests(const QStringList &args)
{
    qint64 wanted = 20;
    if (args.size() > 1 || (args.size() == 1 && !number(args.first(), 1, Simulator::MaxLoggedRequests, &wanted)))
        return failure(QStringLiteral("usage: requests [N]"));
    const QVector<RequestRecord> log = sim.requestLog();
    QStringList lines;
    for (int i = qMax(0, log.size() - int(wanted)); i < log.size(); ++i) {
        const RequestRecord &r = log.at(i);
        QString line = QStringLiteral("fc %1 address %2 count %3 %4")
                           .arg(r.function)
                           .arg(r.address)
                           .arg(r.count)
                           .arg(r.answered ? QStringLiteral("answered") : QStringLiteral("unanswered"));
        if (r.exception)
            line += QStringLiteral(" exception %1").arg(r.exception);
        lines << line;
    }
    return lines.isEmpty() ? QStringLiteral("no requests") : lines.join(QLatin1Char('\n'));
}

QString ControlCommands::slave(const QStringList &args)
{
    QStringList served;
    for (int address : sim.slaves())
        served << QString::number(address);
    if (args.isEmpty())
        return QStringLiteral("slave %1 of %2").arg(sim.selectedSlave()).arg(served.join(QLatin1Char(',')));
    qint64 address = 0;
    if (args.size() != 1 || !number(args.first(), 1, 247, &address) || !sim.selectSlave(int(address)))
        return failure(QStringLiteral("slave takes one of %1").arg(served.join(QLatin1Char(','))));
    return Ok;
}
