#include "configtransfer.h"

#include "registerlink.h"

#include <array>

namespace {

// One request of the block transfer; its index is also its progress value.
struct BlockStep
{
    int address;
    ConfigImage::Block block;
    int first;
    int count;
};

constexpr int MainParts = 21;
constexpr int PartSize = 63;
constexpr int BlockSteps = MainParts + 3;
constexpr int LargestBlock = ConfigImage::PhoneRegisterCount;

BlockStep blockStep(int step)
{
    using namespace RegisterMap::Config;
    if (step < MainParts)
        return { MainBase + PartSize * step, ConfigImage::Main, PartSize * step, PartSize };
    if (step == MainParts) // the tail ends at register 1325; the file-only bytes stay home
        return { MainBase + MainParts * PartSize, ConfigImage::Main, MainParts * PartSize,
                 MainCount - MainParts * PartSize };
    if (step == MainParts + 1)
        return { PhoneBase, ConfigImage::Phone, 0, PhoneCount };
    return { ClockBase, ConfigImage::Clock, 0, ClockCount };
}

} // namespace

const QString &ConfigTransfer::readFailedText()
{
    static const QString text = QStringLiteral("Ошибка чтения данных");
    return text;
}

const QString &ConfigTransfer::writeFailedText()
{
    static const QString text = QStringLiteral("Ошибка отправки данных");
    return text;
}

const QString &ConfigTransfer::readDoneText()
{
    static const QString text = QStringLiteral("Данные прочитаны");
    return text;
}

const QString &ConfigTransfer::simWritingText()
{
    static const QString text =
            QStringLiteral("Данные отправлены! Идет запись номеров телефона на SIM карту");
    return text;
}

const QString &ConfigTransfer::writeDoneText()
{
    static const QString text = QStringLiteral("Данные отправлены");
    return text;
}

const QString &ConfigTransfer::simNotReadyText()
{
    static const QString text =
            QStringLiteral("SIM карта не готова. Возможно номера телефонов не будут сохранены");
    return text;
}

const QString &ConfigTransfer::simDoneText()
{
    static const QString text = QStringLiteral("Готово");
    return text;
}

const QString &ConfigTransfer::simFailedText()
{
    static const QString text =
            QStringLiteral("Не удалось записать номера телефонов на SIM карту");
    return text;
}

ConfigTransfer::ConfigTransfer(RegisterLink &link, Observer &observer)
    : link(link), observer(observer), sleeper([](int) {})
{
}

void ConfigTransfer::setSleeper(Sleeper sleeper)
{
    this->sleeper = std::move(sleeper);
}

bool ConfigTransfer::readConfig(ConfigImage &image)
{
    // A read that breaks off must not leave a mix of two configurations.
    ConfigImage staging = image;
    for (int step = 0; step < BlockSteps; ++step) {
        if (!readBlock(step, staging)) {
            observer.transferFailed(readFailedText());
            return false;
        }
        observer.transferProgress(step);
    }
    image = staging;
    observer.transferReadComplete();
    observer.transferStatus(readDoneText());
    return true;
}

bool ConfigTransfer::writeConfig(const ConfigImage &image)
{
    for (int step = 0; step < BlockSteps; ++step) {
        if (!writeBlock(step, image)) {
            observer.transferFailed(writeFailedText());
            return false;
        }
        observer.transferProgress(step);
    }
    const int stages[3][2] = { { RegCommit1, Commit1Reads },
                               { RegCommit2, Commit2Reads },
                               { RegCommit3, Commit3Reads } };
    for (int stage = 0; stage < 3; ++stage) {
        if (!commitStage(stages[stage][0], stages[stage][1])) {
            observer.transferFailed(writeFailedText());
            return false;
        }
        observer.transferProgress(BlockSteps + stage);
    }
    observer.transferStatus(simWritingText());
    finishSimWait();
    return true;
}

bool ConfigTransfer::readBlock(int step, ConfigImage &staging)
{
    const BlockStep s = blockStep(step);
    std::array<quint16, LargestBlock> buffer{};
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        if (link.readRegisters(s.address, s.count, buffer.data()) == s.count) {
            staging.setRegisters(s.block, s.first, s.count, buffer.data());
            return true;
        }
    }
    return false;
}

bool ConfigTransfer::writeBlock(int step, const ConfigImage &image)
{
    const BlockStep s = blockStep(step);
    std::array<quint16, LargestBlock> buffer{};
    image.registers(s.block, s.first, s.count, buffer.data());
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        if (link.writeRegisters(s.address, s.count, buffer.data()) == s.count)
            return true;
    }
    return false;
}

// Failed reads are not counted against the stage limits, but a controller
// that stops answering must still end the transfer.
bool ConfigTransfer::readRegister(int address, quint16 &value)
{
    for (int failures = 0; failures < MaxFailedReads; ++failures) {
        quint16 answer = 0;
        if (link.readRegisters(address, 1, &answer) == 1) {
            value = answer;
            return true;
        }
    }
    return false;
}

bool ConfigTransfer::writeRegisterWithRetry(int address, quint16 value)
{
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        if (link.writeRegister(address, value) == 1)
            return true;
    }
    return false;
}

// The controller clears the register once it has taken the data over.
bool ConfigTransfer::commitStage(int address, int maxReads)
{
    if (!writeRegisterWithRetry(address, 1))
        return false;
    for (int read = 0; read < maxReads; ++read) {
        quint16 value = 1;
        if (!readRegister(address, value))
            return false;
        if (value == 0)
            return true;
    }
    return false;
}

// The configuration is committed by now: a SIM register that stops answering
// fails only the SIM step, never the write.
void ConfigTransfer::finishSimWait()
{
    quint16 ready = 0;
    quint16 pending = 0;
    QString text;
    if (!readRegister(RegSimReady, ready) || !readRegister(RegSimPending, pending)) {
        text = simFailedText();
    } else if (pending == 0) {
        text = writeDoneText();
    } else if (ready == 0) {
        text = simNotReadyText();
    } else {
        bool cleared = false;
        const bool answered = pollSimBusy(cleared);
        text = answered && cleared ? simDoneText() : simFailedText();
    }
    observer.transferStatus(text);
    observer.transferWriteComplete();
}

bool ConfigTransfer::pollSimBusy(bool &cleared)
{
    cleared = false;
    for (int poll = 0; poll < SimBusyPolls; ++poll) {
        if (poll > 0)
            sleeper(SimPollPauseMs);
        quint16 busy = 1;
        if (!readRegister(RegSimBusy, busy))
            return false;
        if (busy == 0) {
            cleared = true;
            return true;
        }
    }
    return true;
}
