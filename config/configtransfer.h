#ifndef CONFIGTRANSFER_H
#define CONFIGTRANSFER_H

#include "configimage.h"
#include "registermap.h"

#include <QString>

#include <functional>

class RegisterLink;

// Moves the whole configuration between a ConfigImage and the controller's
// holding registers, including the commit handshake and the SIM-card wait
// that follow a write. No GUI and no libmodbus: it talks through a
// RegisterLink and reports through an Observer, so the worker thread turns
// the reports into signals and tests drive it with a scripted peer.
//
// Every retry is bounded, so a controller that falls silent mid-transfer
// ends the transfer with a failure text instead of holding the worker.
class ConfigTransfer
{
public:
    // Receives the reports in the order they happen.
    class Observer
    {
    public:
        virtual ~Observer() = default;
        virtual void transferFailed(const QString &text) = 0;   // the window's message box
        virtual void transferStatus(const QString &text) = 0;   // the status bar
        virtual void transferProgress(int step) = 0;
        virtual void transferReadComplete() = 0;
        virtual void transferWriteComplete() = 0;
    };

    // Pauses the SIM-card poll; tests pass one that only counts.
    using Sleeper = std::function<void(int milliseconds)>;

    static constexpr int MaxAttempts = 6;          // per block request and per single write
    static constexpr int MaxFailedReads = 6;       // consecutive failed reads of one register
    static constexpr int Commit1Reads = 100;
    static constexpr int Commit2Reads = 10;
    static constexpr int Commit3Reads = 10;
    static constexpr int SimBusyPolls = 600;
    static constexpr int SimPollPauseMs = 100;

    static constexpr int RegCommit1 = RegisterMap::Commit::Stage1;
    static constexpr int RegCommit2 = RegisterMap::Commit::Stage2;
    static constexpr int RegCommit3 = RegisterMap::Commit::Stage3;
    static constexpr int RegSimBusy = RegisterMap::Commit::SimBusy;
    static constexpr int RegSimPending = RegisterMap::Commit::SimPending;
    static constexpr int RegSimReady = RegisterMap::Commit::SimReady;

    static const QString &readFailedText();     // "Ошибка чтения данных"
    static const QString &writeFailedText();    // "Ошибка отправки данных"
    static const QString &readDoneText();       // "Данные прочитаны"
    static const QString &simWritingText();     // "Данные отправлены! Идет запись ..."
    static const QString &writeDoneText();      // "Данные отправлены"
    static const QString &simNotReadyText();
    static const QString &simDoneText();        // "Готово"
    static const QString &simFailedText();

    ConfigTransfer(RegisterLink &link, Observer &observer);

    void setSleeper(Sleeper sleeper);

    // Reads every configuration register into a staging copy and replaces the
    // register bytes of `image` only when all of them arrived; on failure
    // `image` is left exactly as it was. The file-only bytes are never touched.
    bool readConfig(ConfigImage &image);

    // Sends the register bytes of `image`, then commits and waits for the SIM
    // card. True when it ended with transferWriteComplete (whatever the SIM
    // outcome), false when it ended with transferFailed.
    bool writeConfig(const ConfigImage &image);

private:
    bool readBlock(int step, ConfigImage &staging);
    bool writeBlock(int step, const ConfigImage &image);
    bool readRegister(int address, quint16 &value);
    bool writeRegisterWithRetry(int address, quint16 value);
    bool commitStage(int address, int maxReads);
    void finishSimWait();
    bool pollSimBusy(bool &cleared);

    RegisterLink &link;
    Observer &observer;
    Sleeper sleeper;
};

#endif // CONFIGTRANSFER_H
