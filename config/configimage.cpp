#include "configimage.h"
#include "eventcatalogue.h"

#include <cstring>

namespace {

constexpr int RelayCodeMax = 4;
constexpr int ValveCodeMax = 251;
constexpr int InputNameCodeMax = 160;
constexpr int DelayStep = 20;
constexpr int DelayPositionMax = 50;
constexpr int PhoneLengthOffset = ConfigImage::PhoneCount * ConfigImage::PhoneSlotSize; // 180

bool inBlock(int offset, int width, int size)
{
    return offset >= 0 && width > 0 && offset <= size - width;
}

} // namespace

void ConfigImage::applyDefaults()
{
    // A marked image (usually a loaded file) is kept whole, so "New" keeps it.
    if (MainBlock[InitMarker] == KeepMarker)
        return;
    MainBlock[InitMarker] = DefaultMarker;
    applySensorDefaults();
    applyInputDefaults();
    applyGlobalDefaults();
    std::memset(PhoneBlock, 0, sizeof PhoneBlock);
}

void ConfigImage::applySensorDefaults()
{
    for (int i = 0; i < SensorCount; ++i) {
        MainBlock[Thres1Valve + i] = 0;
        MainBlock[Thres2Valve + i] = 1;
        MainBlock[Thres1Relay + i] = 2;
        MainBlock[Thres2Relay + i] = 1;
        MainBlock[FireValve + i] = 1;
        MainBlock[FireRelay + i] = 1;
        MainBlock[DefectValve + i] = 0;
        MainBlock[DefectRelay + i] = 0;
        MainBlock[ValveStateRelay + i] = 0;
        MainBlock[ValveReportFlags + i] = 1;
    }
    MainBlock[ValveReportFlags] = 3;
    MainBlock[ValveStateRelay] = 4;
}

void ConfigImage::applyInputDefaults()
{
    for (int i = 0; i < InputCount; ++i) {
        MainBlock[InputValve + i] = 0;
        MainBlock[InputRelay + i] = 3;
        MainBlock[InputName + i] = quint8(i + 1);
        setWord(InputDelay + 2 * i, 20);
    }
    MainBlock[InputValve] = 1;
    MainBlock[InputRelay] = 1;
    MainBlock[InputRelay + InputCount - 1] = 4;
    MainBlock[InputName + InputCount - 1] = 93;
}

void ConfigImage::applyGlobalDefaults()
{
    setDword(InputContactMask, 0xFFFFFFFFu);
    MainBlock[ValveFlags] = 1;
    MainBlock[ValveType] = 0;
    MainBlock[RelayPositions] = 0;
    MainBlock[DialFlags] = 0xFF;
    setDword(ReservedBaud, 9600);
    MainBlock[ReservedByte] = 1;
    setWord(PollingMode, 0);
}

// Offsets are MainBlock offsets. A stray offset is a programming error: it
// asserts in debug builds and reads as 0 / writes nothing otherwise.
quint8 ConfigImage::byte(int offset) const
{
    Q_ASSERT(inBlock(offset, 1, MainSize));
    return inBlock(offset, 1, MainSize) ? MainBlock[offset] : 0;
}

void ConfigImage::setByte(int offset, quint8 value)
{
    Q_ASSERT(inBlock(offset, 1, MainSize));
    if (inBlock(offset, 1, MainSize))
        MainBlock[offset] = value;
}

quint16 ConfigImage::word(int offset) const
{
    Q_ASSERT(inBlock(offset, 2, MainSize));
    if (!inBlock(offset, 2, MainSize))
        return 0;
    return quint16(MainBlock[offset] | (MainBlock[offset + 1] << 8));
}

void ConfigImage::setWord(int offset, quint16 value)
{
    Q_ASSERT(inBlock(offset, 2, MainSize));
    if (!inBlock(offset, 2, MainSize))
        return;
    MainBlock[offset] = quint8(value & 0xFF);
    MainBlock[offset + 1] = quint8(value >> 8);
}

quint32 ConfigImage::dword(int offset) const
{
    Q_ASSERT(inBlock(offset, 4, MainSize));
    if (!inBlock(offset, 4, MainSize))
        return 0;
    return quint32(word(offset)) | (quint32(word(offset + 2)) << 16);
}

void ConfigImage::setDword(int offset, quint32 value)
{
    Q_ASSERT(inBlock(offset, 4, MainSize));
    if (!inBlock(offset, 4, MainSize))
        return;
    setWord(offset, quint16(value & 0xFFFF));
    setWord(offset + 2, quint16(value >> 16));
}

bool ConfigImage::bit(int offset, int bitIndex) const
{
    Q_ASSERT(bitIndex >= 0 && bitIndex < 8);
    return bitIndex >= 0 && bitIndex < 8 && (byte(offset) >> bitIndex) & 1;
}

void ConfigImage::setBit(int offset, int bitIndex, bool on)
{
    Q_ASSERT(bitIndex >= 0 && bitIndex < 8);
    if (bitIndex < 0 || bitIndex >= 8)
        return;
    const quint8 mask = quint8(1u << bitIndex);
    setByte(offset, on ? quint8(byte(offset) | mask) : quint8(byte(offset) & ~mask));
}

int ConfigImage::registerCount(Block block)
{
    switch (block) {
    case Main: return MainRegisterCount;
    case Phone: return PhoneRegisterCount;
    case Clock: return ClockRegisterCount;
    }
    return 0;
}

quint8 *ConfigImage::blockData(Block block)
{
    switch (block) {
    case Main: return MainBlock;
    case Phone: return PhoneBlock;
    case Clock: return ClockBlock;
    }
    return nullptr;
}

const quint8 *ConfigImage::blockData(Block block) const
{
    return const_cast<ConfigImage *>(this)->blockData(block);
}

bool ConfigImage::validRange(Block block, int first, int count)
{
    const int total = registerCount(block);
    return first >= 0 && count >= 0 && first <= total && count <= total - first;
}

quint16 ConfigImage::reg(Block block, int k) const
{
    Q_ASSERT(validRange(block, k, 1));
    if (!validRange(block, k, 1))
        return 0;
    const quint8 *data = blockData(block);
    return quint16(data[2 * k] | (data[2 * k + 1] << 8));
}

void ConfigImage::setReg(Block block, int k, quint16 value)
{
    Q_ASSERT(validRange(block, k, 1));
    if (!validRange(block, k, 1))
        return;
    quint8 *data = blockData(block);
    data[2 * k] = quint8(value & 0xFF);
    data[2 * k + 1] = quint8(value >> 8);
}

bool ConfigImage::registers(Block block, int first, int count, quint16 *dest) const
{
    if (!validRange(block, first, count) || (count > 0 && !dest))
        return false;
    for (int i = 0; i < count; ++i)
        dest[i] = reg(block, first + i);
    return true;
}

bool ConfigImage::setRegisters(Block block, int first, int count, const quint16 *src)
{
    if (!validRange(block, first, count) || (count > 0 && !src))
        return false;
    for (int i = 0; i < count; ++i)
        setReg(block, first + i, src[i]);
    return true;
}

static int phoneLengthAt(const quint8 *phone, int slot)
{
    const int at = PhoneLengthOffset + 2 * slot;
    return phone[at] | (phone[at + 1] << 8);
}

int ConfigImage::phoneLength(int slot) const
{
    if (slot < 0 || slot >= PhoneCount)
        return 0;
    // A controller or file may claim more than the slot holds.
    return qMin(phoneLengthAt(PhoneBlock, slot), PhoneSlotSize);
}

QString ConfigImage::phoneNumber(int slot) const
{
    const int length = phoneLength(slot);
    QString number;
    number.reserve(length);
    for (int j = 0; j < length; ++j)
        number.append(QChar(ushort(PhoneBlock[slot * PhoneSlotSize + j])));
    return number;
}

void ConfigImage::setPhoneNumber(int slot, const QByteArray &bytes)
{
    if (slot < 0 || slot >= PhoneCount)
        return;
    const int length = qMin(bytes.size(), PhoneSlotSize);
    // Only the new length is written: the rest of the slot keeps its bytes.
    std::memcpy(PhoneBlock + slot * PhoneSlotSize, bytes.constData(), size_t(length));
    const int at = PhoneLengthOffset + 2 * slot;
    PhoneBlock[at] = quint8(length & 0xFF);
    PhoneBlock[at + 1] = quint8(length >> 8);
}

bool ConfigImage::operator==(const ConfigImage &other) const
{
    return std::memcmp(MainBlock, other.MainBlock, MainSize) == 0
        && std::memcmp(PhoneBlock, other.PhoneBlock, PhoneSize) == 0
        && std::memcmp(ClockBlock, other.ClockBlock, ClockSize) == 0;
}

const QString &ConfigImage::noneText()
{
    static const QString text = QStringLiteral("Нет   ");
    return text;
}

const QStringList &ConfigImage::relayTexts()
{
    static const QStringList texts = [] {
        QStringList list{noneText()};
        for (int k = 1; k <= RelayCodeMax; ++k)
            list.append(QStringLiteral("Реле %1").arg(k));
        return list;
    }();
    return texts;
}

const QStringList &ConfigImage::valveTexts()
{
    static const QStringList texts = [] {
        QStringList list{noneText()};
        for (int k = 1; k <= ValveCodeMax; ++k)
            list.append(QStringLiteral("Клапан %1").arg(k - 1));
        return list;
    }();
    return texts;
}

const QStringList &ConfigImage::delayTexts()
{
    static const QStringList texts = [] {
        QStringList list;
        for (int p = 0; p <= DelayPositionMax; ++p) {
            const int tenths = p * 2;
            list.append(QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10));
        }
        return list;
    }();
    return texts;
}

const QStringList &ConfigImage::valveTypeTexts()
{
    static const QStringList texts{valveTypeText(1), valveTypeText(0)};
    return texts;
}

QString ConfigImage::relayText(int code)
{
    return code >= 0 && code <= RelayCodeMax ? relayTexts().at(code) : noneText();
}

int ConfigImage::relayCode(const QString &text)
{
    return qMax(relayTexts().indexOf(text), 0);
}

QString ConfigImage::valveText(int code)
{
    return code >= 0 && code <= ValveCodeMax ? valveTexts().at(code) : noneText();
}

int ConfigImage::valveCode(const QString &text)
{
    return qMax(valveTexts().indexOf(text), 0);
}

const EventCatalogue &ConfigImage::catalogue()
{
    static const EventCatalogue full(EventCatalogue::Full);
    return full;
}

const QStringList &ConfigImage::inputNameTexts()
{
    static const QStringList texts = catalogue().inputNameTexts();
    return texts;
}

QString ConfigImage::inputNameText(int code)
{
    // Codes past the catalogue show the empty name rather than a wrong one.
    if (code < 0 || code > InputNameCodeMax)
        return EventCatalogue::emptyEntry();
    return catalogue().inputNameText(code);
}

int ConfigImage::inputNameCode(const QString &text)
{
    return catalogue().inputNameCode(text);
}

QString ConfigImage::delayText(int hundredths)
{
    const int position = qBound(0, hundredths / DelayStep, DelayPositionMax);
    return delayTexts().at(position);
}

int ConfigImage::delayValue(const QString &text)
{
    // "0.0" is shown but never chosen: it and anything unknown store 0.
    const int position = delayTexts().indexOf(text, 1);
    return position > 0 ? position * DelayStep : 0;
}

QString ConfigImage::contactText(bool normallyOpen)
{
    return normallyOpen ? QStringLiteral("Нормально разомкнут") : QStringLiteral("Нормально замкнут");
}

bool ConfigImage::contactFromText(const QString &text)
{
    return text == contactText(true);
}

QString ConfigImage::reportText(bool report)
{
    return report ? QStringLiteral("Сообщать") : QStringLiteral("Не сообщать");
}

bool ConfigImage::reportFromText(const QString &text)
{
    return text == reportText(true);
}

QString ConfigImage::closeText(bool close)
{
    return close ? QStringLiteral("Закрывать") : QStringLiteral("Не закрывать");
}

bool ConfigImage::closeFromText(const QString &text)
{
    return text == closeText(true);
}

QString ConfigImage::valveTypeText(int type)
{
    return type == 1 ? QStringLiteral("КПЭГ") : QStringLiteral("КЗЭГ/ВН");
}

int ConfigImage::valveTypeFromText(const QString &text)
{
    return text == valveTypeText(1) ? 1 : 0;
}

QString ConfigImage::relayPositionText(bool on)
{
    return on ? QStringLiteral("Включено") : QStringLiteral("Выключено");
}

bool ConfigImage::relayPositionFromText(const QString &text)
{
    return text == relayPositionText(true);
}

QString ConfigImage::pollingModeText(int mode)
{
    return mode == 0 ? QStringLiteral("Безадресный") : QStringLiteral("Адресный");
}

int ConfigImage::pollingModeFromText(const QString &text)
{
    return text == pollingModeText(1) ? 1 : 0;
}
