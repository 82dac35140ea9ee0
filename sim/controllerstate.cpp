#include "controllerstate.h"

#include "configfile.h"

#include <cstring>

#include <QFile>


namespace {

struct Block {
    int first;
    int last;
};

// Holding register blocks as the controller maps them.
const Block holdingBlocks[] = {
    {ControllerState::MainBase, ControllerState::MainBase + ConfigImage::MainRegisterCount - 1},
    {ControllerState::PhoneBase, ControllerState::PhoneBase + ConfigImage::PhoneRegisterCount - 1},
    {ControllerState::ClockBase, ControllerState::ClockBase + ConfigImage::ClockRegisterCount - 1},
    {ControllerState::AllIndex, ControllerState::SimReady},
};

const Block inputBlocks[] = {
    {ControllerState::AllRecord, ControllerState::AllRecord + SimEvent::RegisterCount - 1},
    {ControllerState::AllCount, ControllerState::AllCount},
    {ControllerState::CurrentRecord, ControllerState::CurrentRecord + SimEvent::RegisterCount - 1},
    {ControllerState::CurrentCount, ControllerState::CurrentCount},
    {ControllerState::StatusLow, ControllerState::StatusHigh},
};

template <size_t N>
bool insideOneBlock(const Block (&blocks)[N], int address, int count)
{
    if (count < 1)
        return false;
    for (const Block &block : blocks) {
        if (address >= block.first && address <= block.last && count <= block.last - address + 1)
            return true;
    }
    return false;
}

// Status word bits, as the console's lamp panel reads them.
using namespace RegisterMap::Vpk;

// Device event codes.
enum DeviceCode {
    DevChThreshold1, DevChThreshold2, DevCoThreshold1, DevCoThreshold2,
    DevSensorFault, DevSensorBreak, DevValveBreak, DevValveClosed, DevSensorFound, DevFire
};

quint32 deviceStatusBits(quint8 code)
{
    switch (code) {
    case DevChThreshold1: return ChThreshold1;
    case DevChThreshold2: return ChThreshold2;
    case DevCoThreshold1: return CoThreshold1;
    case DevCoThreshold2: return CoThreshold2;
    case DevSensorFault:
    case DevSensorBreak:
    case DevValveBreak: return Fault;
    case DevValveClosed: return ValveClosed;
    case DevFire: return Fire;
    default: return 0;
    }
}

// The controller's own events carry a discrete input name code (catalogue
// entry code + 16). Pressure and water level names light the pressure lamp,
// measurement and module link errors the fault lamp, other alarms the
// equipment lamp.
quint32 controllerStatusBits(quint8 code)
{
    const int entry = code + 16;
    if (code == 0)
        return 0;
    if (entry == 17)
        return Fire;
    if (entry == 18 || entry == 134)
        return BreakIn;
    if (entry == 107)
        return ChThreshold2;
    if (entry == 108)
        return CoThreshold2;
    if (entry == 109 || entry == 133)
        return ValveClosed;
    if ((entry >= 84 && entry <= 91) || (entry >= 94 && entry <= 106))
        return PressureAlarm;
    if (entry >= 151)
        return Fault;
    return EquipmentAlarm;
}

} // namespace

ControllerState::ControllerState()
{
    image.applyDefaults();
    setClockToNow();
}

void ControllerState::setClockToNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    using namespace RegisterMap::Clock;
    image.ClockBlock[Hour] = quint8(now.time().hour());
    image.ClockBlock[Minute] = quint8(now.time().minute());
    image.ClockBlock[Second] = quint8(now.time().second());
    image.ClockBlock[Month] = quint8(now.date().month());
    image.ClockBlock[Day] = quint8(now.date().day());
    const int year = now.date().year() - YearBase;
    image.ClockBlock[Year] = quint8(year & 0xFF);
    image.ClockBlock[Year + 1] = quint8(year >> 8);
}

bool ControllerState::holdingMapped(int address, int count)
{
    return insideOneBlock(holdingBlocks, address, count);
}

bool ControllerState::inputMapped(int address, int count)
{
    return insideOneBlock(inputBlocks, address, count);
}

bool ControllerState::configRegister(int address, ConfigImage::Block *block, int *k)
{
    const struct {
        ConfigImage::Block block;
        int base;
    } bases[] = {{ConfigImage::Main, MainBase}, {ConfigImage::Phone, PhoneBase}, {ConfigImage::Clock, ClockBase}};
    for (const auto &b : bases) {
        if (address >= b.base && address < b.base + ConfigImage::registerCount(b.block)) {
            *block = b.block;
            *k = address - b.base;
            return true;
        }
    }
    return false;
}

void ControllerState::readHolding(int address, int count, quint16 *dest)
{
    for (int i = 0; i < count; ++i)
        dest[i] = readHoldingOne(address + i);
}

void ControllerState::writeHolding(int address, int count, const quint16 *src)
{
    for (int i = 0; i < count; ++i)
        writeHoldingOne(address + i, src[i]);
}

void ControllerState::readInput(int address, int count, quint16 *dest) const
{
    for (int i = 0; i < count; ++i)
        dest[i] = input(address + i);
}

quint16 ControllerState::readHoldingOne(int address)
{
    if (address >= Commit1 && address <= Commit3)
        return commitRead(address - Commit1);
    if (address == SimBusy)
        return simBusyRead();
    return holding(address);
}

void ControllerState::writeHoldingOne(int address, quint16 value)
{
    switch (address) {
    case AllIndex:
        selectRecord(logged, value);
        return;
    case CurrentIndex:
        selectRecord(current, value);
        return;
    case ResetCurrent:
        if (value == 1)
            clearCurrentEvents();
        return;
    case Commit1:
    case Commit2:
    case Commit3:
        commitWrite(address - Commit1, value);
        return;
    default:
        setHolding(address, value);
    }
}

// Writing an index copies that event into the record registers and, unless
// frozen, echoes the index in the acknowledge register.
void ControllerState::selectRecord(ListState &state, quint16 index)
{
    state.index = index;
    if (index < state.events.size())
        state.events.at(index).toRegisters(state.record);
    else
        std::memset(state.record, 0, sizeof state.record);
    if (!state.ackFrozen)
        state.ack = index;
}

quint16 ControllerState::commitRead(int stage)
{
    CommitState &commit = commits[stage];
    if (commit.value == 0 || commit.readsLeft == Never)
        return commit.value;
    if (commit.readsLeft == 0) {
        commit.value = 0;
        return 0;
    }
    --commit.readsLeft;
    return commit.value;
}

void ControllerState::commitWrite(int stage, quint16 value)
{
    CommitState &commit = commits[stage];
    commit.value = value;
    commit.readsLeft = commit.readsBeforeClear;
    if (stage == CommitStages - 1 && value != 0 && sim.pendingAfterCommit) {
        simPending = true;
        simBusyLeft = sim.ready ? sim.busyReads : 0;
    }
}

// Busy for the configured number of reads; the first idle read of a ready card
// ends the pending write. A card that is not ready keeps it pending.
quint16 ControllerState::simBusyRead()
{
    if (simBusyLeft == 0) {
        if (sim.ready)
            simPending = false;
        return 0;
    }
    if (simBusyLeft > 0)
        --simBusyLeft;
    return 1;
}

quint16 ControllerState::holding(int address) const
{
    ConfigImage::Block block;
    int k;
    if (configRegister(address, &block, &k))
        return image.reg(block, k);
    switch (address) {
    case AllIndex: return logged.index;
    case AllAck: return logged.ack;
    case CurrentIndex: return current.index;
    case CurrentAck: return current.ack;
    case Commit1:
    case Commit2:
    case Commit3: return commits[address - Commit1].value;
    case SimBusy: return simBusyLeft != 0 ? 1 : 0;
    case SimPending: return simPending ? 1 : 0;
    case SimReady: return sim.ready ? 1 : 0;
    default: return 0; // the reset register and unmapped addresses
    }
}

void ControllerState::setHolding(int address, quint16 value)
{
    ConfigImage::Block block;
    int k;
    if (configRegister(address, &block, &k)) {
        image.setReg(block, k, value);
        return;
    }
    switch (address) {
    case AllIndex: logged.index = value; break;
    case AllAck: logged.ack = value; break;
    case CurrentIndex: current.index = value; break;
    case CurrentAck: current.ack = value; break;
    case Commit1:
    case Commit2:
    case Commit3: {
        CommitState &commit = commits[address - Commit1];
        commit.value = value;
        commit.readsLeft = commit.readsBeforeClear;
        break;
    }
    case SimBusy: simBusyLeft = value ? Never : 0; break;
    case SimPending: simPending = value != 0; break;
    case SimReady: sim.ready = value != 0; break;
    default: break;
    }
}

quint16 ControllerState::input(int address) const
{
    const auto override = inputOverrides.constFind(address);
    if (override != inputOverrides.constEnd())
        return override.value();
    return computedInput(address);
}

quint16 ControllerState::computedInput(int address) const
{
    if (address >= AllRecord && address < AllRecord + SimEvent::RegisterCount)
        return logged.record[address - AllRecord];
    if (address >= CurrentRecord && address < CurrentRecord + SimEvent::RegisterCount)
        return current.record[address - CurrentRecord];
    switch (address) {
    case AllCount: return quint16(logged.events.size());
    case CurrentCount: return quint16(current.events.size());
    case StatusLow: return quint16(statusWord() & 0xFFFF);
    case StatusHigh: return quint16(statusWord() >> 16);
    default: return 0;
    }
}

void ControllerState::setInput(int address, quint16 value)
{
    if (address == StatusLow) {
        setStatusWord((statusWord() & 0xFFFF0000u) | value);
        return;
    }
    if (address == StatusHigh) {
        setStatusWord((statusWord() & 0xFFFFu) | (quint32(value) << 16));
        return;
    }
    if (inputMapped(address, 1))
        inputOverrides.insert(address, value);
}

void ControllerState::clearInputOverrides()
{
    inputOverrides.clear();
}

QByteArray ControllerState::fileBytes() const
{
    return ConfigFile::toBytes(image);
}

bool ControllerState::setFileBytes(const QByteArray &bytes)
{
    // Exactly one configuration: a longer file is not taken for one here.
    return bytes.size() == ConfigImage::FileSize && ConfigFile::fromBytes(bytes, &image);
}

bool ControllerState::loadFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // One byte more than a configuration tells a longer file from a good one.
    const QByteArray bytes = file.read(ConfigImage::FileSize + 1);
    if (!setFileBytes(bytes)) {
        if (error)
            *error = QStringLiteral("not a configuration file of %1 bytes").arg(ConfigImage::FileSize);
        return false;
    }
    return true;
}

bool ControllerState::saveFile(const QString &path, QString *error) const
{
    return ConfigFile::save(path, image, error);
}

void ControllerState::addCurrentEvent(const SimEvent &event, bool alsoLog)
{
    if (current.events.size() < MaxEvents)
        current.events.append(event);
    if (alsoLog)
        addLoggedEvent(event);
}

void ControllerState::addLoggedEvent(const SimEvent &event)
{
    if (logged.events.size() < MaxEvents)
        logged.events.append(event);
}

bool ControllerState::removeCurrentEvent(int position)
{
    if (position < 0 || position >= current.events.size())
        return false;
    current.events.remove(position);
    return true;
}

void ControllerState::clearCurrentEvents()
{
    current.events.clear();
}

void ControllerState::clearLoggedEvents()
{
    logged.events.clear();
}

void ControllerState::setAckFrozen(EventList which, bool frozen)
{
    list(which).ackFrozen = frozen;
}

quint32 ControllerState::statusWord() const
{
    if (!statusFollows)
        return directStatus;
    quint32 word = 0;
    for (const SimEvent &event : current.events)
        word |= statusBitsFor(event);
    return word;
}

void ControllerState::setStatusWord(quint32 value)
{
    statusFollows = false;
    directStatus = value;
}

void ControllerState::followEvents()
{
    statusFollows = true;
}

quint32 ControllerState::statusBitsFor(const SimEvent &event)
{
    if (event.source >= SimEvent::DeviceBase)
        return deviceStatusBits(event.code);
    return controllerStatusBits(event.code);
}

void ControllerState::setCommitReadsBeforeClear(int stage, int reads)
{
    if (stage < 0 || stage >= CommitStages)
        return;
    CommitState &commit = commits[stage];
    commit.readsBeforeClear = reads < 0 ? Never : reads;
    // A change reaches a commit that is already waiting, so it can be made stuck.
    commit.readsLeft = commit.readsBeforeClear;
}

int ControllerState::commitReadsBeforeClear(int stage) const
{
    return stage >= 0 && stage < CommitStages ? commits[stage].readsBeforeClear : 0;
}
