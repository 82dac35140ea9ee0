#ifndef CONTROLLERSTATE_H
#define CONTROLLERSTATE_H

#include "configimage.h"
#include "registermap.h"
#include "simevent.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

// Everything the imitated controller knows: its configuration registers, the
// commit and SIM-card handshake registers, the two event lists with their
// index/acknowledge/record registers, and the status word. A plain value with
// no locking and no I/O: the simulator guards it with its own mutex.
//
// Two kinds of access: the master-facing calls (readHolding, writeHolding,
// readInput) behave like the controller, with side effects such as a commit
// register clearing after reads; the scripting calls (setHolding, setInput,
// addCurrentEvent ...) change the state directly for tests and the console.
class ControllerState
{
public:
    // Holding registers beyond the configuration.
    enum HoldingRegister {
        AllIndex = RegisterMap::Events::All.index,
        AllAck = RegisterMap::Events::All.ack,
        CurrentIndex = RegisterMap::Events::Current.index,
        CurrentAck = RegisterMap::Events::Current.ack,
        ResetCurrent = RegisterMap::Events::ResetCurrent,
        Commit1 = RegisterMap::Commit::Stage1,
        Commit2 = RegisterMap::Commit::Stage2,
        Commit3 = RegisterMap::Commit::Stage3,
        SimBusy = RegisterMap::Commit::SimBusy,
        SimPending = RegisterMap::Commit::SimPending,
        SimReady = RegisterMap::Commit::SimReady
    };
    enum InputRegister {
        AllRecord = RegisterMap::Events::All.record,
        AllCount = RegisterMap::Events::All.count,
        CurrentRecord = RegisterMap::Events::Current.record,
        CurrentCount = RegisterMap::Events::Current.count,
        StatusLow = RegisterMap::Vpk::Low,
        StatusHigh = RegisterMap::Vpk::High
    };
    enum EventList { Current, Logged };

    static constexpr int MainBase = RegisterMap::Config::MainBase;
    static constexpr int PhoneBase = RegisterMap::Config::PhoneBase;
    static constexpr int ClockBase = RegisterMap::Config::ClockBase;
    static constexpr int HoldingSpan = SimReady + 1;  // registers 0 .. 4009
    static constexpr int InputSpan = StatusHigh + 1;  // registers 0 .. 1040
    static constexpr int CommitStages = 3;
    static constexpr int Never = -1;
    static constexpr int MaxEvents = 65535;           // the count register is 16 bits

    // The SIM-card part of a write: after a commit of stage 3 the controller
    // marks the numbers pending, stays busy for busyReads reads of 4007 (Never:
    // for ever) and then clears busy and pending. A card that is not ready
    // never gets busy.
    struct SimCard {
        bool pendingAfterCommit = false;
        int busyReads = 0;
        bool ready = true;
    };

    ControllerState(); // editor defaults, clock set to the current time

    // Address checks: a request must lie wholly inside one register block.
    static bool holdingMapped(int address, int count);
    static bool inputMapped(int address, int count);

    // Master-facing access; the caller has checked the mapping.
    void readHolding(int address, int count, quint16 *dest);
    void writeHolding(int address, int count, const quint16 *src);
    void readInput(int address, int count, quint16 *dest) const;

    // Scripting access without side effects (unmapped addresses read 0 and
    // ignore writes). setInput overrides the computed value of an input
    // register until clearInputOverrides(); writing 1039/1040 sets the status
    // word instead.
    quint16 holding(int address) const;
    void setHolding(int address, quint16 value);
    quint16 input(int address) const;
    void setInput(int address, quint16 value);
    void clearInputOverrides();

    // Configuration and .vlr files (2858 bytes: main, phone and clock blocks).
    const ConfigImage &config() const { return image; }
    void setConfig(const ConfigImage &config) { image = config; }
    QByteArray fileBytes() const;
    bool setFileBytes(const QByteArray &bytes);
    bool loadFile(const QString &path, QString *error = nullptr);
    bool saveFile(const QString &path, QString *error = nullptr) const;

    // Event lists. A new current event also goes to the log unless told not to.
    void addCurrentEvent(const SimEvent &event, bool alsoLog = true);
    void addLoggedEvent(const SimEvent &event);
    bool removeCurrentEvent(int position);
    void clearCurrentEvents();
    void clearLoggedEvents();
    const QVector<SimEvent> &currentEvents() const { return current.events; }
    const QVector<SimEvent> &loggedEvents() const { return logged.events; }
    // An acknowledge register that no longer echoes written indexes.
    void setAckFrozen(EventList list, bool frozen);

    // The status word follows the current events until it is set directly.
    quint32 statusWord() const;
    void setStatusWord(quint32 value);
    void followEvents();
    bool statusFollowsEvents() const { return statusFollows; }
    static quint32 statusBitsFor(const SimEvent &event);

    // Commit registers: a written nonzero value reads back for readsBeforeClear
    // reads and 0 after them (0: the first read sees 0; Never: never clears).
    void setCommitReadsBeforeClear(int stage, int reads); // stage 0..2
    int commitReadsBeforeClear(int stage) const;
    void setSimCard(const SimCard &card) { sim = card; }
    SimCard simCard() const { return sim; }

private:
    struct ListState {
        QVector<SimEvent> events;
        quint16 index = 0;
        quint16 ack = 0;
        quint16 record[SimEvent::RegisterCount] = {};
        bool ackFrozen = false;
    };
    struct CommitState {
        quint16 value = 0;
        int readsBeforeClear = 0;
        int readsLeft = 0;
    };

    ListState &list(EventList which) { return which == Current ? current : logged; }
    static void selectRecord(ListState &state, quint16 index);
    quint16 readHoldingOne(int address);
    void writeHoldingOne(int address, quint16 value);
    quint16 commitRead(int stage);
    void commitWrite(int stage, quint16 value);
    quint16 simBusyRead();
    quint16 computedInput(int address) const;
    static bool configRegister(int address, ConfigImage::Block *block, int *k);
    void setClockToNow();

    ConfigImage image;
    ListState current;
    ListState logged;
    CommitState commits[CommitStages];
    SimCard sim;
    bool simPending = false;
    int simBusyLeft = 0;
    bool statusFollows = true;
    quint32 directStatus = 0;
    QHash<int, quint16> inputOverrides;
};

#endif // CONTROLLERSTATE_H
