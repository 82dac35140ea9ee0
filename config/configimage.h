#ifndef CONFIGIMAGE_H
#define CONFIGIMAGE_H

#include "registermap.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class EventCatalogue;

// The controller's whole configuration as three raw byte blocks. The bytes are
// at once the controller's holding registers (register base+k = byte 2k low,
// byte 2k+1 high) and the .vlr file, so nothing here may reorder them.
class ConfigImage
{
public:
    static constexpr int MainSize = 2658;
    static constexpr int PhoneSize = 192;
    static constexpr int ClockSize = 8;
    static constexpr int FileSize = MainSize + PhoneSize + ClockSize; // 2858
    static constexpr int MainRegisterBytes = 2652; // the file-only tail stays out
    static constexpr int MainRegisterCount = MainRegisterBytes / 2; // 1326
    static constexpr int PhoneRegisterCount = PhoneSize / 2;        // 96
    static constexpr int ClockRegisterCount = ClockSize / 2;        // 4
    static_assert(MainRegisterCount == RegisterMap::Config::MainCount
                      && PhoneRegisterCount == RegisterMap::Config::PhoneCount
                      && ClockRegisterCount == RegisterMap::Config::ClockCount,
                  "the image's blocks are the controller's register blocks");
    static constexpr int SensorCount = 252;
    static constexpr int InputCount = 24;
    static constexpr int PhoneCount = 6;
    static constexpr int PhoneSlotSize = 30;

    // MainBlock field offsets.
    enum MainOffset {
        Thres1Valve = 0,
        Thres2Valve = 252,
        Thres1Relay = 504,
        Thres2Relay = 756,
        FireValve = 1008,
        FireRelay = 1260,
        DefectValve = 1512,
        DefectRelay = 1764,
        ValveStateRelay = 2016,
        ValveReportFlags = 2268,
        InputValve = 2520,
        InputRelay = 2544,
        InputName = 2568,
        ValveFlags = 2592,
        RelayPositions = 2593,
        DialFlags = 2594,
        PollingMode = 2596,     // u16
        InputContactMask = 2598, // u32
        InputDelay = 2602,      // u16 x 24
        ValveType = 2650,
        ReservedBaud = 2652,    // u32, file only
        ReservedByte = 2656,    // file only
        InitMarker = 2657       // file only
    };
    static constexpr quint8 KeepMarker = 0x93;
    static constexpr quint8 DefaultMarker = 0x7B;

    enum Block { Main, Phone, Clock };

    quint8 MainBlock[MainSize] = {};
    quint8 PhoneBlock[PhoneSize] = {};
    quint8 ClockBlock[ClockSize] = {};

    void applyDefaults();

    // Byte-level field access (little-endian for the wide fields).
    quint8 byte(int offset) const;
    void setByte(int offset, quint8 value);
    quint16 word(int offset) const;
    void setWord(int offset, quint16 value);
    quint32 dword(int offset) const;
    void setDword(int offset, quint32 value);
    bool bit(int offset, int bitIndex) const;
    void setBit(int offset, int bitIndex, bool on); // keeps the other bits

    // Register views used by the transfer: register k of a block is
    // byte 2k + 256 * byte 2k+1, whatever the host byte order.
    static int registerCount(Block block);
    quint16 reg(Block block, int k) const;
    void setReg(Block block, int k, quint16 value);
    // Block copies; false (and nothing copied) when the range leaves the block.
    bool registers(Block block, int first, int count, quint16 *dest) const;
    bool setRegisters(Block block, int first, int count, const quint16 *src);

    // Telephone slots: length is clamped to the 30-byte slot on reading.
    int phoneLength(int slot) const;
    QString phoneNumber(int slot) const;
    void setPhoneNumber(int slot, const QByteArray &bytes); // keeps bytes past the new length

    bool operator==(const ConfigImage &other) const;
    bool operator!=(const ConfigImage &other) const { return !(*this == other); }

    // Code <-> text conversions shared by the tables and forms. A code outside
    // its list never indexes out of range: see the .cpp for how each is shown.
    static const QStringList &relayTexts();   // "Нет   ", "Реле 1" .. "Реле 4"
    static const QStringList &valveTexts();   // "Нет   ", "Клапан 0" .. "Клапан 250"
    static const QStringList &delayTexts();   // "0.0" .. "10.0"
    static const QStringList &valveTypeTexts(); // "КПЭГ", "КЗЭГ/ВН" (list order, not code order)
    static const QStringList &inputNameTexts(); // the 161 catalogue names, code order
    static QString relayText(int code);
    static int relayCode(const QString &text);
    static QString valveText(int code);
    static int valveCode(const QString &text);
    static QString inputNameText(int code);
    static int inputNameCode(const QString &text);
    static QString delayText(int hundredths);
    static int delayValue(const QString &text);
    // Two-valued texts: bit/flag 1 gives the first text of each pair. Back
    // from text, only the exact "1" text gives 1; anything else gives 0.
    static QString contactText(bool normallyOpen);   // "Нормально разомкнут" / "Нормально замкнут"
    static bool contactFromText(const QString &text);
    static QString reportText(bool report);          // "Сообщать" / "Не сообщать"
    static bool reportFromText(const QString &text);
    static QString closeText(bool close);            // "Закрывать" / "Не закрывать"
    static bool closeFromText(const QString &text);
    static QString valveTypeText(int type);          // 1 "КПЭГ", otherwise "КЗЭГ/ВН"
    static int valveTypeFromText(const QString &text);
    static QString relayPositionText(bool on);       // "Включено" / "Выключено"
    static bool relayPositionFromText(const QString &text);
    static QString pollingModeText(int mode);        // 0 "Безадресный", otherwise "Адресный"
    static int pollingModeFromText(const QString &text);

private:
    static const QString &noneText();
    static const EventCatalogue &catalogue();
    static bool validRange(Block block, int first, int count);
    quint8 *blockData(Block block);
    const quint8 *blockData(Block block) const;
    void applySensorDefaults();
    void applyInputDefaults();
    void applyGlobalDefaults();
};

#endif // CONFIGIMAGE_H
