#include "controlcommands.h"
#include "controlserver.h"
#include "settingsstore.h"
#include "simulator.h"
#include "tcpserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

struct SimSettings {
    Simulator::Options options;
    int pseudoTerminals = 0;
    QStringList links;
    QStringList settingsHomes;
    QStringList devices;
    QString configFile;
    QString saveFile;
    QString controlPath;
    QString tcpHost;   // serve Modbus TCP when tcpPort >= 0
    int tcpPort = -1;
    bool demo = false;
    int demoPeriodMs = 5000;
    int commitReads = 0;
    ControllerState::SimCard simCard;
};

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool intOption(const QCommandLineParser &parser, const QString &name, int low, int high, int *value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int parsed = parser.value(name).toInt(&ok, 0);
    if (!ok || parsed < low || parsed > high) {
        err() << "TarvikSim: --" << name << " must be a number from " << low << " to " << high << Qt::endl;
        return false;
    }
    *value = parsed;
    return true;
}

bool slaveList(const QString &text, Simulator::Options *options)
{
    QVector<int> addresses;
    for (const QString &word : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int address = word.trimmed().toInt(&ok);
        if (!ok || address < 1 || address > 247 || addresses.contains(address)) {
            err() << "TarvikSim: --slave takes different addresses from 1 to 247, separated by commas" << Qt::endl;
            return false;
        }
        addresses << address;
    }
    options->slaveAddress = addresses.first();
    options->moreSlaves = addresses.mid(1);
    return true;
}

bool parse(const QCoreApplication &app, SimSettings *s)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Gas-safety controller simulator: a Modbus RTU slave on pseudo-terminals or serial devices,\n"
        "or a Modbus TCP server.\n"
        "Type \"help\" on standard input (or send it to the --control socket) for commands."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("pty"), QStringLiteral("Number of pseudo-terminals to serve (default 1, none with --device)."), QStringLiteral("n")},
        {QStringLiteral("link"), QStringLiteral("Serve a pseudo-terminal through this symlink (repeatable)."), QStringLiteral("path")},
        {QStringLiteral("preset-settings"), QStringLiteral("Write the programs' settings store under this configuration folder (XDG_CONFIG_HOME), naming the n-th --link, the baud rate and the address (repeatable, one per --link)."), QStringLiteral("dir")},
        {QStringLiteral("device"), QStringLiteral("Serve a serial device (repeatable)."), QStringLiteral("path")},
        {QStringLiteral("tcp"), QStringLiteral("Serve Modbus TCP on [HOST:]PORT (host 127.0.0.1 unless given, [::1] for IPv6, port 0 for any free one); no pseudo-terminal unless --pty or --link."), QStringLiteral("[host:]port")},
        {QStringLiteral("address"), QStringLiteral("Slave address, 1-247 (default 1)."), QStringLiteral("n")},
        {QStringLiteral("slave"), QStringLiteral("Several controllers on the line, each with its own state: their addresses, e.g. 1,2,3 (replaces --address; \"slave N\" picks the one the commands address)."), QStringLiteral("list")},
        {QStringLiteral("baud"), QStringLiteral("Baud rate (default 9600)."), QStringLiteral("n")},
        {QStringLiteral("line-timing"), QStringLiteral("Answer as late as a real line at the baud rate would.")},
        {QStringLiteral("config"), QStringLiteral("Load the configuration from a .vlr file."), QStringLiteral("file")},
        {QStringLiteral("save"), QStringLiteral("Save the configuration here on \"save\" and at exit."), QStringLiteral("file")},
        {QStringLiteral("control"), QStringLiteral("Accept commands on this local socket."), QStringLiteral("path")},
        {QStringLiteral("demo"), QStringLiteral("Raise and clear plausible events now and then.")},
        {QStringLiteral("demo-period"), QStringLiteral("Mean time between demo events (default 5000)."), QStringLiteral("ms")},
        {QStringLiteral("commit-reads"), QStringLiteral("Reads before a commit register clears, or -1 for never (default 0)."), QStringLiteral("n")},
        {QStringLiteral("sim-busy"), QStringLiteral("After a commit the SIM card is pending and busy for n reads."), QStringLiteral("n")},
        {QStringLiteral("sim-not-ready"), QStringLiteral("The SIM card is not ready.")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        err() << "TarvikSim: unexpected argument " << parser.positionalArguments().first() << Qt::endl;
        return false;
    }
    if (!intOption(parser, QStringLiteral("pty"), 0, 16, &s->pseudoTerminals)
        || !intOption(parser, QStringLiteral("address"), 1, 247, &s->options.slaveAddress)
        || !intOption(parser, QStringLiteral("baud"), 1200, 115200, &s->options.baudRate)
        || !intOption(parser, QStringLiteral("demo-period"), 100, 3600000, &s->demoPeriodMs)
        || !intOption(parser, QStringLiteral("commit-reads"), -1, 1000000, &s->commitReads)
        || !intOption(parser, QStringLiteral("sim-busy"), -1, 1000000, &s->simCard.busyReads))
        return false;
    if (parser.isSet(QStringLiteral("slave")) && !slaveList(parser.value(QStringLiteral("slave")), &s->options))
        return false;
    s->links = parser.values(QStringLiteral("link"));
    s->devices = parser.values(QStringLiteral("device"));
    s->settingsHomes = parser.values(QStringLiteral("preset-settings"));
    if (s->settingsHomes.size() > s->links.size()) {
        err() << "TarvikSim: each --preset-settings needs its own --link" << Qt::endl;
        return false;
    }
    if (parser.isSet(QStringLiteral("tcp"))
        && !TcpServer::parseAddress(parser.value(QStringLiteral("tcp")), &s->tcpHost, &s->tcpPort)) {
        err() << "TarvikSim: --tcp wants [HOST:]PORT with a port from 0 to 65535" << Qt::endl;
        return false;
    }
    if (!parser.isSet(QStringLiteral("pty")) && s->devices.isEmpty() && s->tcpPort < 0)
        s->pseudoTerminals = 1;
    s->pseudoTerminals = qMax(s->pseudoTerminals, s->links.size());
    s->options.lineTiming = parser.isSet(QStringLiteral("line-timing"));
    s->configFile = parser.value(QStringLiteral("config"));
    s->saveFile = parser.value(QStringLiteral("save"));
    s->controlPath = parser.value(QStringLiteral("control"));
    s->demo = parser.isSet(QStringLiteral("demo"));
    s->simCard.pendingAfterCommit = parser.isSet(QStringLiteral("sim-busy"));
    s->simCard.ready = !parser.isSet(QStringLiteral("sim-not-ready"));
    return true;
}

bool openPorts(Simulator &simulator, const SimSettings &s)
{
    QString error;
    for (int i = 0; i < s.pseudoTerminals; ++i) {
        const QString link = s.links.value(i);
        const QString path = simulator.addPseudoTerminal(link, &error);
        if (path.isEmpty()) {
            err() << "TarvikSim: " << error << Qt::endl;
            return false;
        }
        out() << path;
        if (!link.isEmpty())
            out() << " <- " << link;
        out() << Qt::endl;
    }
    for (const QString &device : s.devices) {
        if (simulator.addDevice(device, &error).isEmpty()) {
            err() << "TarvikSim: " << error << Qt::endl;
            return false;
        }
        out() << device << Qt::endl;
    }
    return true;
}

// Written before the links appear, so a program started once they exist finds its port.
bool presetSettings(const SimSettings &s)
{
    for (int i = 0; i < s.settingsHomes.size(); ++i) {
        const SettingsStore::Choice choice{ s.links.at(i), QString::number(s.options.baudRate),
                                            QString::number(s.options.slaveAddress) };
        if (!SettingsStore::saveUnder(s.settingsHomes.at(i), choice)) {
            err() << "TarvikSim: cannot write the settings under " << s.settingsHomes.at(i) << Qt::endl;
            return false;
        }
    }
    return true;
}

#ifdef Q_OS_UNIX
// SIGINT and SIGTERM end the event loop, so links are removed and the
// configuration saved as on "quit".
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    if (::write(signalPipe[1], &byte, 1) < 0) {
        // Nothing to do in a signal handler.
    }
}
#endif

void quitOnSignals(QCoreApplication &app)
{
#ifdef Q_OS_UNIX
    if (::pipe(signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
#else
    Q_UNUSED(app)
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("TarvikSim"));
    SimSettings settings;
    if (!parse(app, &settings))
        return 2;

    Simulator simulator(settings.options);
    QString error;
    const QVector<int> slaves = simulator.slaves();
    for (int slave : slaves) {
        simulator.selectSlave(slave);
        if (!settings.configFile.isEmpty()
            && !simulator.withState([&](ControllerState &s) { return s.loadFile(settings.configFile, &error); })) {
            err() << "TarvikSim: cannot load " << settings.configFile << ": " << error << Qt::endl;
            return 1;
        }
        simulator.withState([&](ControllerState &s) {
            for (int stage = 0; stage < ControllerState::CommitStages; ++stage)
                s.setCommitReadsBeforeClear(stage, settings.commitReads);
            s.setSimCard(settings.simCard);
        });
    }
    simulator.selectSlave(slaves.first());
    if (!presetSettings(settings) || !openPorts(simulator, settings) || !simulator.start())
        return 1;
    simulator.setDemo(settings.demo, settings.demoPeriodMs);
    TcpServer tcp(simulator);
    if (settings.tcpPort >= 0) {
        if (!tcp.listen(settings.tcpHost, settings.tcpPort, &error)) {
            err() << "TarvikSim: " << error << Qt::endl;
            return 1;
        }
        const QString host = settings.tcpHost.contains(QLatin1Char(':')) ? "[" + settings.tcpHost + "]" : settings.tcpHost;
        out() << "tcp " << host << ':' << tcp.port() << Qt::endl;
    }

    ControlCommands commands(simulator, settings.saveFile);
    ControlServer control(commands);
    control.watchStandardInput();
    if (!settings.controlPath.isEmpty() && !control.listen(settings.controlPath, &error)) {
        err() << "TarvikSim: cannot listen on " << settings.controlPath << ": " << error << Qt::endl;
        return 1;
    }
    QObject::connect(&control, &ControlServer::quitRequested, &app, &QCoreApplication::quit);
    quitOnSignals(app);

    const int result = app.exec();
    simulator.stop();
    const QString saved = commands.saveOnExit();
    if (!saved.isEmpty())
        out() << saved << Qt::endl;
    return result;
}
