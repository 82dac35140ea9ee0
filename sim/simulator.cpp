#include "simulator.h"

#include "demoscript.h"
#include "simport.h"

#include <QDateTime>

#include <modbus.h>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {

constexpr int PollIntervalMs = 50;
constexpr int MaxReadCount = 125;
constexpr int MaxWriteCount = 123;
constexpr int BitsPerCharacter = 10; // start, 8 data, stop

enum ExceptionCode {
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    SlaveDeviceFailure = 4
};

} // namespace

Simulator::Simulator()
    : Simulator(Options())
{
}

Simulator::Simulator(const Options &options)
    : opts(options)
{
    opts.slaveAddress = qBound(1, opts.slaveAddress, 247);
    units.resize(1);
    units[0].address = opts.slaveAddress;
    for (int address : qAsConst(opts.moreSlaves)) {
        if (address < 1 || address > 247 || unitOf(address))
            continue;
        units.emplace_back();
        units.back().address = address;
    }
}

Simulator::Unit *Simulator::unitOf(int address)
{
    for (Unit &unit : units) {
        if (unit.address == address)
            return &unit;
    }
    return nullptr;
}

QVector<int> Simulator::slaves() const
{
    QVector<int> addresses;
    for (const Unit &unit : units)
        addresses << unit.address;
    return addresses;
}

bool Simulator::selectSlave(int address)
{
    std::lock_guard<std::mutex> locker(mutex);
    for (size_t i = 0; i < units.size(); ++i) {
        if (units[i].address == address) {
            selected = int(i);
            return true;
        }
    }
    return false;
}

int Simulator::selectedSlave() const
{
    std::lock_guard<std::mutex> locker(mutex);
    return units[selected].address;
}

Simulator::~Simulator()
{
    stop();
    if (mapping)
        modbus_mapping_free(mapping);
}

QString Simulator::addPseudoTerminal(const QString &linkPath, QString *error)
{
    if (isRunning()) {
        if (error)
            *error = QStringLiteral("ports can only be added while the simulator is stopped");
        return QString();
    }
    std::unique_ptr<SimPort> port = SimPort::openPseudoTerminal(opts.slaveAddress, opts.baudRate, error);
    if (!port || (!linkPath.isEmpty() && !port->addLink(linkPath, error)))
        return QString();
    const QString path = port->path();
    ports.push_back(std::move(port));
    return path;
}

QString Simulator::addDevice(const QString &path, QString *error)
{
    if (isRunning()) {
        if (error)
            *error = QStringLiteral("ports can only be added while the simulator is stopped");
        return QString();
    }
    std::unique_ptr<SimPort> port = SimPort::openDevice(path, opts.slaveAddress, opts.baudRate, error);
    if (!port)
        return QString();
    ports.push_back(std::move(port));
    return path;
}

QStringList Simulator::devicePaths() const
{
    QStringList paths;
    for (const auto &port : ports)
        paths << port->path();
    return paths;
}

QStringList Simulator::linkPaths() const
{
    QStringList paths;
    for (const auto &port : ports)
        paths << port->link();
    return paths;
}

bool Simulator::start()
{
#ifdef Q_OS_UNIX
    if (isRunning())
        return true;
    if (!mapping)
        mapping = modbus_mapping_new(0, 0, ControllerState::HoldingSpan, ControllerState::InputSpan);
    if (!mapping || pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    stopRequested = false;
    running = true;
    thread = std::thread(&Simulator::run, this);
    return true;
#else
    return false;
#endif
}

void Simulator::stop()
{
#ifdef Q_OS_UNIX
    if (!isRunning())
        return;
    stopRequested = true;
    wake();
    thread.join();
    ::close(wakePipe[0]);
    ::close(wakePipe[1]);
    wakePipe[0] = wakePipe[1] = -1;
    running = false;
#endif
}

void Simulator::wake()
{
#ifdef Q_OS_UNIX
    const char byte = 1;
    if (::write(wakePipe[1], &byte, 1) < 0) {
        // The pipe is full, so the thread is awake already.
    }
#endif
}

void Simulator::run()
{
#ifdef Q_OS_UNIX
    std::vector<pollfd> fds;
    while (!stopRequested) {
        fds.clear();
        fds.push_back({wakePipe[0], POLLIN, 0});
        for (const auto &port : ports)
            fds.push_back({port->descriptor(), POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), PollIntervalMs);
        if (stopRequested)
            break;
        if (ready > 0) {
            char buffer[64];
            while (fds[0].revents && ::read(wakePipe[0], buffer, sizeof buffer) > 0) {
            }
            for (size_t i = 0; i < ports.size(); ++i) {
                const short events = fds[i + 1].revents;
                if (events & POLLIN)
                    serve(*ports[i]);
                else if (events & (POLLERR | POLLHUP | POLLNVAL))
                    pause(PollIntervalMs); // a device in trouble must not spin the loop
            }
        }
        demoTick();
    }
#endif
}

void Simulator::serve(SimPort &port)
{
    quint8 frame[MODBUS_RTU_MAX_ADU_LENGTH];
    const int length = receive(port, frame);
    // Whatever follows a frame before we answer is noise: drop it, as a real
    // controller resynchronises on the silence after a frame.
    port.drainInput();
    if (length <= 0) {
        if (length == 0)
            port.renewContext();
        std::lock_guard<std::mutex> locker(mutex);
        if (length == 0)
            ++stats.otherSlave;
        else
            ++stats.brokenFrames;
        return;
    }
    const Answer answer = prepareAnswer(frame, length);
    if (answer.kind == Answer::None || !pause(answer.delayMs))
        return;
    send(port, frame, length, answer);
}

// libmodbus takes one slave address per context: a frame for another of our
// controllers comes back as "not for us" (0) with the frame read into the
// buffer. Such a frame is checked here and the context turned to its address.
int Simulator::receive(SimPort &port, quint8 *frame)
{
    const int length = modbus_receive(port.context(), frame);
    if (length != 0 || units.size() == 1)
        return length;
    const RtuFrame::Request request = RtuFrame::describe(frame, MODBUS_RTU_MAX_ADU_LENGTH);
    int frameLength = 8;
    if (request.function == RtuFrame::WriteMultiple)
        frameLength = 9 + request.byteCount;
    else if (request.function != RtuFrame::ReadHolding && request.function != RtuFrame::ReadInput
             && request.function != RtuFrame::WriteSingle)
        return 0;
    bool ours = false;
    {
        std::lock_guard<std::mutex> locker(mutex);
        ours = unitOf(request.slave) != nullptr;
    }
    if (!ours || frameLength > MODBUS_RTU_MAX_ADU_LENGTH
        || !RtuFrame::crcValid(QByteArray(reinterpret_cast<const char *>(frame), frameLength)))
        return 0;
    port.renewContext(request.slave);
    return frameLength;
}

Simulator::Answer Simulator::prepareAnswer(const quint8 *frame, int length)
{
    const RtuFrame::Request request = RtuFrame::describe(frame, length);
    std::lock_guard<std::mutex> locker(mutex);
    ++stats.requests;
    Answer answer;
    answer.function = request.function;
    answer.address = request.address;
    answer.count = request.count;
    // A broadcast reaches the first controller only.
    Unit &unit = request.slave == 0 || !unitOf(request.slave) ? units[0] : *unitOf(request.slave);
    const FaultPlan::Action action = unit.faults.decide(request.function, request.address, request.count);
    if (action == FaultPlan::DeviceFailure || action == FaultPlan::GatewayFailure) {
        answer.kind = Answer::Exception;
        answer.exception = action == FaultPlan::DeviceFailure ? SlaveDeviceFailure : unit.faults.gatewayException();
    } else if (action == FaultPlan::CloseConnection) {
        answer.kind = Answer::Close;
    } else if (action != FaultPlan::Drop) {
        serveRequest(unit, request, frame, length, answer);
    }
    if (request.slave == 0 && answer.kind != Answer::Close) // a broadcast is carried out but never answered
        answer.kind = Answer::None;
    if (action == FaultPlan::BrokenCrc && answer.kind != Answer::None)
        breakAnswer(request, frame, answer);
    recordRequest(request, length, answer);
    answer.delayMs += unit.faults.delayMs();
    return answer;
}

void Simulator::serveRequest(Unit &unit, const RtuFrame::Request &request, const quint8 *frame,
                             int length, Answer &answer)
{
    answer.exception = validate(request.function, request.address, request.count, request.byteCount, length);
    answer.kind = answer.exception ? Answer::Exception : Answer::Normal;
    const bool write = request.function == RtuFrame::WriteSingle || request.function == RtuFrame::WriteMultiple;
    // Reads have side effects (commit and SIM countdowns): none for a broadcast.
    if (!answer.exception && (write || request.slave != 0))
        applyRequest(unit.state, frame, length, request.function, request.address, request.count, answer);
}

// The answer the request deserves, with its CRC spoilt on the way.
void Simulator::breakAnswer(const RtuFrame::Request &request, const quint8 *frame, Answer &answer)
{
    QByteArray good;
    if (answer.kind == Answer::Exception)
        good = RtuFrame::exceptionAnswer(request.slave, request.function, answer.exception);
    else if (!answer.values.isEmpty())
        good = RtuFrame::readAnswer(request.slave, request.function, answer.values.constData(), answer.values.size());
    else
        good = RtuFrame::writeAnswer(request, quint16(frame[4] << 8 | frame[5]));
    answer.raw = RtuFrame::withBrokenCrc(good);
    answer.kind = Answer::Broken;
}

void Simulator::recordRequest(const RtuFrame::Request &request, int length, Answer &answer)
{
    RequestRecord record;
    record.function = request.function;
    record.address = request.address;
    record.count = request.count;
    record.answered = answer.kind != Answer::None && answer.kind != Answer::Close;
    record.exception = record.answered ? answer.exception : 0;
    if (log.size() >= MaxLoggedRequests)
        log.remove(0, MaxLoggedRequests / 10);
    log.append(record);
    if (!record.answered) {
        ++stats.unanswered;
        return;
    }
    ++stats.answered;
    if (record.exception)
        ++stats.exceptions;
    const int answerBytes = record.exception ? 5 : answer.values.isEmpty() ? 8 : 5 + 2 * answer.values.size();
    answer.delayMs = lineDelayMs(length, answerBytes);
}

// The exception a controller gives for a request, 0 when it is served.
// Quantity is checked before the address, as Modbus orders it.
int Simulator::validate(int function, int address, int count, int byteCount, int length) const
{
    switch (function) {
    case RtuFrame::ReadHolding:
    case RtuFrame::ReadInput:
        if (count < 1 || count > MaxReadCount)
            return IllegalDataValue;
        if (function == RtuFrame::ReadHolding ? !ControllerState::holdingMapped(address, count)
                                              : !ControllerState::inputMapped(address, count))
            return IllegalDataAddress;
        return 0;
    case RtuFrame::WriteSingle:
        return ControllerState::holdingMapped(address, 1) ? 0 : IllegalDataAddress;
    case RtuFrame::WriteMultiple:
        if (count < 1 || count > MaxWriteCount || byteCount != 2 * count || length < 9 + 2 * count)
            return IllegalDataValue;
        return ControllerState::holdingMapped(address, count) ? 0 : IllegalDataAddress;
    default:
        return IllegalFunction;
    }
}

void Simulator::applyRequest(ControllerState &state, const quint8 *frame, int length, int function,
                             int address, int count, Answer &answer)
{
    if (function == RtuFrame::ReadHolding || function == RtuFrame::ReadInput) {
        answer.values.resize(count);
        if (function == RtuFrame::ReadHolding)
            state.readHolding(address, count, answer.values.data());
        else
            state.readInput(address, count, answer.values.data());
        return;
    }
    quint16 values[MaxWriteCount];
    const int written = RtuFrame::writeValues(frame, length, values, MaxWriteCount);
    state.writeHolding(address, written, values);
}

void Simulator::send(SimPort &port, const quint8 *frame, int length, const Answer &answer)
{
    modbus_t *ctx = port.context();
    switch (answer.kind) {
    case Answer::Exception:
        modbus_reply_exception(ctx, frame, unsigned(answer.exception));
        break;
    case Answer::Broken:
        port.writeRaw(answer.raw);
        break;
    case Answer::Normal:
        if (answer.function == RtuFrame::ReadHolding || answer.function == RtuFrame::ReadInput) {
            uint16_t *table = answer.function == RtuFrame::ReadHolding ? mapping->tab_registers
                                                                       : mapping->tab_input_registers;
            std::copy(answer.values.cbegin(), answer.values.cend(), table + answer.address);
        }
        modbus_reply(ctx, frame, length, mapping);
        break;
    case Answer::None:
    case Answer::Close: // a serial line cannot be closed: silence
        break;
    }
}

Simulator::Answer Simulator::answerTcpRequest(const quint8 *unitAndPdu, int length)
{
    const int unit = length > 0 ? unitAndPdu[0] : -1;
    if (unit != 0xFF && !slaves().contains(unit)) {
        std::lock_guard<std::mutex> locker(mutex);
        ++stats.otherSlave;
        Answer answer;
        answer.kind = Answer::Exception;
        answer.exception = GatewayTargetFailed;
        return answer;
    }
    // The serial path counts a checksum in the length; its bytes are never read.
    Answer answer = prepareAnswer(unitAndPdu, length + 2);
    if (answer.kind == Answer::Broken) { // no checksum on TCP: a gateway reports the bad frame
        answer.kind = Answer::Exception;
        answer.exception = GatewayTargetFailed;
    }
    return answer;
}

int Simulator::lineDelayMs(int requestBytes, int answerBytes) const
{
    if (!opts.lineTiming || opts.baudRate <= 0)
        return 0;
    // Both frames on the wire plus the 3.5 character silence after each.
    const double characters = requestBytes + answerBytes + 7.0;
    return int(characters * BitsPerCharacter * 1000.0 / opts.baudRate + 0.5);
}

// Sleeps without delaying stop(); false when the simulator is stopping.
bool Simulator::pause(int milliseconds)
{
#ifdef Q_OS_UNIX
    if (milliseconds > 0) {
        pollfd fd = {wakePipe[0], POLLIN, 0};
        ::poll(&fd, 1, milliseconds);
    }
#endif
    return !stopRequested;
}

void Simulator::demoTick()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::lock_guard<std::mutex> locker(mutex);
    for (Unit &unit : units) {
        if (!unit.demo || now < unit.nextDemoAt)
            continue;
        unit.demo->step(unit.state, QDateTime::fromMSecsSinceEpoch(now));
        // Half to one and a half periods apart, so it does not look mechanical.
        unit.nextDemoAt = now + demoPeriodMs / 2 + QRandomGenerator::global()->bounded(qMax(1, demoPeriodMs));
    }
}

ControllerState Simulator::stateCopy() const
{
    std::lock_guard<std::mutex> locker(mutex);
    return units[selected].state;
}

FaultPlan Simulator::faultsCopy() const
{
    std::lock_guard<std::mutex> locker(mutex);
    return units[selected].faults;
}

QVector<RequestRecord> Simulator::requestLog() const
{
    std::lock_guard<std::mutex> locker(mutex);
    return log;
}

void Simulator::clearRequestLog()
{
    std::lock_guard<std::mutex> locker(mutex);
    log.clear();
}

Simulator::Statistics Simulator::statistics() const
{
    std::lock_guard<std::mutex> locker(mutex);
    return stats;
}

void Simulator::resetStatistics()
{
    std::lock_guard<std::mutex> locker(mutex);
    stats = Statistics();
}

void Simulator::setDemo(bool enabled, int periodMs)
{
    std::lock_guard<std::mutex> locker(mutex);
    demoPeriodMs = qMax(100, periodMs);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (size_t i = 0; i < units.size(); ++i) {
        Unit &unit = units[i];
        if (!enabled) {
            unit.demo.reset();
            continue;
        }
        if (!unit.demo)
            unit.demo.reset(new DemoScript(QRandomGenerator::global()->generate()));
        // Spread over the period, so the controllers do not speak together.
        unit.nextDemoAt = now + demoPeriodMs / 2 + qint64(i) * demoPeriodMs / qint64(units.size());
    }
}

bool Simulator::demoEnabled() const
{
    std::lock_guard<std::mutex> locker(mutex);
    return units[0].demo != nullptr;
}
