#include "configimage.h"

#include <QtTest>

#include <cstring>
#include <memory>

namespace {

using Image = std::unique_ptr<ConfigImage>;

Image zeroedImage()
{
    return Image(new ConfigImage);
}

// Every byte distinct from its neighbours and from the defaults' values.
Image patternedImage()
{
    Image image = zeroedImage();
    for (int i = 0; i < ConfigImage::MainSize; ++i)
        image->MainBlock[i] = quint8(i * 7 + 0x40);
    for (int i = 0; i < ConfigImage::PhoneSize; ++i)
        image->PhoneBlock[i] = quint8(i * 5 + 0x21);
    for (int i = 0; i < ConfigImage::ClockSize; ++i)
        image->ClockBlock[i] = quint8(0xC0 + i);
    return image;
}

QString padded(const QString &name)
{
    return name.leftJustified(40, QLatin1Char(' '));
}

} // namespace

Q_DECLARE_METATYPE(ConfigImage::Block)

class TestConfigImage : public QObject
{
    Q_OBJECT

private slots:
    // Defaults
    void defaultRegisters_data();
    void defaultRegisters();
    void defaultFields();
    void defaultsKeepMarkedImage();
    void defaultsReplaceOtherMarkers_data();
    void defaultsReplaceOtherMarkers();
    void defaultsKeepClockAndUnusedBytes();

    // Byte and register layout
    void wideFieldsAreLittleEndian();
    void setBitKeepsOtherBits();
    void registerByteOrder_data();
    void registerByteOrder();
    void registerBlockCopies();
    void registerCopiesRejectRangesOutsideBlock_data();
    void registerCopiesRejectRangesOutsideBlock();
    void mainRegistersLeaveFileOnlyTail();

    // Telephone slots and equality
    void shorterNumberKeepsSlotTail();
    void phoneLengthClampedToSlot_data();
    void phoneLengthClampedToSlot();
    void phoneSlotOutOfRange();
    void equalityCoversAllBlocks();

    // Code and text conversions
    void relayConversions_data();
    void relayConversions();
    void valveConversions_data();
    void valveConversions();
    void inputNameConversions_data();
    void inputNameConversions();
    void delayConversions_data();
    void delayConversions();
    void everyListedCodeRoundTrips();
    void twoValuedTexts();
};

void TestConfigImage::defaultRegisters_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("value");
    QTest::newRow("thres1Valve 0,1") << 0 << 0x0000;
    QTest::newRow("thres2Valve 0,1") << 126 << 0x0101;
    QTest::newRow("thres1Relay 0,1") << 252 << 0x0202;
    QTest::newRow("valveFlags, relayPositions") << 1296 << 0x0001;
    QTest::newRow("dialFlags, unused") << 1297 << 0x00FF;
    QTest::newRow("pollingMode") << 1298 << 0x0000;
    QTest::newRow("contact mask low") << 1299 << 0xFFFF;
    QTest::newRow("contact mask high") << 1300 << 0xFFFF;
    for (int r = 1301; r <= 1324; ++r)
        QTest::addRow("inputDelay reg %d", r) << r << 20;
    QTest::newRow("valve 0 and 1 report flags") << 1134 << 0x0103;
    QTest::newRow("valveStateRelay 0,1") << 1008 << 0x0004;
    QTest::newRow("valveType, unused") << 1325 << 0x0000;
}

void TestConfigImage::defaultRegisters()
{
    QFETCH(int, reg);
    QFETCH(int, value);
    Image image = zeroedImage();
    image->applyDefaults();
    QCOMPARE(int(image->reg(ConfigImage::Main, reg)), value);
}

void TestConfigImage::defaultFields()
{
    Image image = zeroedImage();
    image->applyDefaults();
    const ConfigImage &c = *image;
    for (int i = 0; i < ConfigImage::SensorCount; ++i) {
        QCOMPARE(c.byte(ConfigImage::Thres1Valve + i), quint8(0));
        QCOMPARE(c.byte(ConfigImage::Thres2Valve + i), quint8(1));
        QCOMPARE(c.byte(ConfigImage::Thres1Relay + i), quint8(2));
        QCOMPARE(c.byte(ConfigImage::Thres2Relay + i), quint8(1));
        QCOMPARE(c.byte(ConfigImage::FireValve + i), quint8(1));
        QCOMPARE(c.byte(ConfigImage::FireRelay + i), quint8(1));
        QCOMPARE(c.byte(ConfigImage::DefectValve + i), quint8(0));
        QCOMPARE(c.byte(ConfigImage::DefectRelay + i), quint8(0));
        QCOMPARE(c.byte(ConfigImage::ValveStateRelay + i), quint8(i == 0 ? 4 : 0));
        QCOMPARE(c.byte(ConfigImage::ValveReportFlags + i), quint8(i == 0 ? 3 : 1));
    }
    for (int i = 0; i < ConfigImage::InputCount; ++i) {
        QCOMPARE(c.byte(ConfigImage::InputValve + i), quint8(i == 0 ? 1 : 0));
        const int relay = i == 0 ? 1 : (i == 23 ? 4 : 3);
        QCOMPARE(c.byte(ConfigImage::InputRelay + i), quint8(relay));
        QCOMPARE(c.byte(ConfigImage::InputName + i), quint8(i == 23 ? 93 : i + 1));
    }
    QCOMPARE(c.dword(ConfigImage::ReservedBaud), quint32(9600));
    QCOMPARE(c.byte(ConfigImage::ReservedByte), quint8(1));
    QCOMPARE(c.byte(ConfigImage::InitMarker), ConfigImage::DefaultMarker);
    const quint8 zeros[ConfigImage::PhoneSize] = {};
    QVERIFY(std::memcmp(c.PhoneBlock, zeros, sizeof zeros) == 0);
    // The names the window shows first.
    QCOMPARE(ConfigImage::inputNameText(c.byte(ConfigImage::InputName)), padded("Пожар"));
    QCOMPARE(ConfigImage::inputNameText(c.byte(ConfigImage::InputName + 2)), padded("Авария 1"));
    QCOMPARE(ConfigImage::inputNameText(c.byte(ConfigImage::InputName + 23)), padded("Клапан закрыт"));
}

void TestConfigImage::defaultsKeepMarkedImage()
{
    Image image = patternedImage();
    image->MainBlock[ConfigImage::InitMarker] = ConfigImage::KeepMarker;
    const ConfigImage before = *image;
    image->applyDefaults();
    QVERIFY(*image == before);
}

void TestConfigImage::defaultsReplaceOtherMarkers_data()
{
    QTest::addColumn<int>("marker");
    for (int marker : {0x00, 0x7B, 0x92, 0x94, 0xFF})
        QTest::addRow("0x%02X", marker) << marker;
}

void TestConfigImage::defaultsReplaceOtherMarkers()
{
    QFETCH(int, marker);
    Image image = patternedImage();
    image->MainBlock[ConfigImage::InitMarker] = quint8(marker);
    image->applyDefaults();
    QCOMPARE(image->byte(ConfigImage::InitMarker), ConfigImage::DefaultMarker);
    QCOMPARE(image->reg(ConfigImage::Main, 126), quint16(0x0101));
    QCOMPARE(image->word(ConfigImage::PollingMode), quint16(0));
    QCOMPARE(image->phoneLength(0), 0);
}

void TestConfigImage::defaultsKeepClockAndUnusedBytes()
{
    Image image = patternedImage();
    const ConfigImage before = *image;
    image->applyDefaults();
    QVERIFY(std::memcmp(image->ClockBlock, before.ClockBlock, ConfigImage::ClockSize) == 0);
    QCOMPARE(image->byte(2595), before.byte(2595));
    QCOMPARE(image->byte(2651), before.byte(2651));
    // The neighbours of the unused bytes are defaults, so the fields did move.
    QCOMPARE(image->byte(ConfigImage::DialFlags), quint8(0xFF));
    QCOMPARE(image->byte(ConfigImage::ValveType), quint8(0));
}

void TestConfigImage::wideFieldsAreLittleEndian()
{
    Image image = zeroedImage();
    image->setDword(ConfigImage::InputContactMask, 0x12345678u);
    QCOMPARE(image->MainBlock[2598], quint8(0x78));
    QCOMPARE(image->MainBlock[2599], quint8(0x56));
    QCOMPARE(image->MainBlock[2600], quint8(0x34));
    QCOMPARE(image->MainBlock[2601], quint8(0x12));
    // Low half in the lower register.
    QCOMPARE(image->reg(ConfigImage::Main, 1299), quint16(0x5678));
    QCOMPARE(image->reg(ConfigImage::Main, 1300), quint16(0x1234));

    image->MainBlock[ConfigImage::InputDelay + 2] = 0xE8;
    image->MainBlock[ConfigImage::InputDelay + 3] = 0x03;
    QCOMPARE(image->word(ConfigImage::InputDelay + 2), quint16(1000));
    QCOMPARE(image->dword(ConfigImage::InputContactMask), quint32(0x12345678u));
}

void TestConfigImage::setBitKeepsOtherBits()
{
    Image image = zeroedImage();
    image->setByte(ConfigImage::ValveReportFlags + 5, 0xF0);
    image->setBit(ConfigImage::ValveReportFlags + 5, 1, true);
    QCOMPARE(image->byte(ConfigImage::ValveReportFlags + 5), quint8(0xF2));
    QVERIFY(image->bit(ConfigImage::ValveReportFlags + 5, 1));
    QVERIFY(!image->bit(ConfigImage::ValveReportFlags + 5, 0));
    image->setBit(ConfigImage::ValveReportFlags + 5, 7, false);
    QCOMPARE(image->byte(ConfigImage::ValveReportFlags + 5), quint8(0x72));
}

void TestConfigImage::registerByteOrder_data()
{
    QTest::addColumn<ConfigImage::Block>("block");
    QTest::addColumn<int>("k");
    QTest::newRow("main first") << ConfigImage::Main << 0;
    QTest::newRow("main middle") << ConfigImage::Main << 700;
    QTest::newRow("main last") << ConfigImage::Main << 1325;
    QTest::newRow("phone first") << ConfigImage::Phone << 0;
    QTest::newRow("phone last") << ConfigImage::Phone << 95;
    QTest::newRow("clock first") << ConfigImage::Clock << 0;
    QTest::newRow("clock last") << ConfigImage::Clock << 3;
}

void TestConfigImage::registerByteOrder()
{
    QFETCH(ConfigImage::Block, block);
    QFETCH(int, k);
    Image image = zeroedImage();
    quint8 *bytes = block == ConfigImage::Main ? image->MainBlock
                  : block == ConfigImage::Phone ? image->PhoneBlock : image->ClockBlock;

    image->setReg(block, k, 0xA1B2);
    QCOMPARE(bytes[2 * k], quint8(0xB2));
    QCOMPARE(bytes[2 * k + 1], quint8(0xA1));

    bytes[2 * k] = 0x34;
    bytes[2 * k + 1] = 0x12;
    QCOMPARE(image->reg(block, k), quint16(0x1234));
}

void TestConfigImage::registerBlockCopies()
{
    Image source = patternedImage();
    Image target = zeroedImage();
    const struct { ConfigImage::Block block; int count; } blocks[] = {
        {ConfigImage::Main, 1326}, {ConfigImage::Phone, 96}, {ConfigImage::Clock, 4}};
    for (const auto &b : blocks) {
        QCOMPARE(ConfigImage::registerCount(b.block), b.count);
        QVector<quint16> regs(b.count);
        QVERIFY(source->registers(b.block, 0, b.count, regs.data()));
        for (int k = 0; k < b.count; ++k)
            QCOMPARE(regs[k], source->reg(b.block, k));
        QVERIFY(target->setRegisters(b.block, 0, b.count, regs.data()));
    }
    QVERIFY(std::memcmp(target->MainBlock, source->MainBlock, ConfigImage::MainRegisterBytes) == 0);
    QVERIFY(std::memcmp(target->PhoneBlock, source->PhoneBlock, ConfigImage::PhoneSize) == 0);
    QVERIFY(std::memcmp(target->ClockBlock, source->ClockBlock, ConfigImage::ClockSize) == 0);

    // A 63-register chunk in the middle lands exactly there.
    Image chunked = zeroedImage();
    QVector<quint16> chunk(63);
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = quint16(0x0100 * (i + 1) + i);
    QVERIFY(chunked->setRegisters(ConfigImage::Main, 63, 63, chunk.constData()));
    QCOMPARE(chunked->MainBlock[125], quint8(0));
    QCOMPARE(chunked->MainBlock[126], quint8(0));
    QCOMPARE(chunked->MainBlock[127], quint8(0x01));
    QCOMPARE(chunked->MainBlock[251], quint8(63));
    QCOMPARE(chunked->MainBlock[252], quint8(0));
}

void TestConfigImage::registerCopiesRejectRangesOutsideBlock_data()
{
    QTest::addColumn<ConfigImage::Block>("block");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::newRow("main past end") << ConfigImage::Main << 1324 << 3;
    QTest::newRow("main into file tail") << ConfigImage::Main << 1326 << 1;
    QTest::newRow("phone past end") << ConfigImage::Phone << 90 << 7;
    QTest::newRow("clock past end") << ConfigImage::Clock << 0 << 5;
    QTest::newRow("negative first") << ConfigImage::Clock << -1 << 2;
    QTest::newRow("negative count") << ConfigImage::Phone << 0 << -1;
}

void TestConfigImage::registerCopiesRejectRangesOutsideBlock()
{
    QFETCH(ConfigImage::Block, block);
    QFETCH(int, first);
    QFETCH(int, count);
    Image image = patternedImage();
    const ConfigImage before = *image;
    QVector<quint16> regs(8, 0xBEEF);
    QVERIFY(!image->registers(block, first, count, regs.data()));
    QCOMPARE(regs, QVector<quint16>(8, 0xBEEF));
    QVERIFY(!image->setRegisters(block, first, count, regs.constData()));
    QVERIFY(*image == before);
}

void TestConfigImage::mainRegistersLeaveFileOnlyTail()
{
    Image image = patternedImage();
    const ConfigImage before = *image;
    QVector<quint16> regs(ConfigImage::MainRegisterCount, 0);
    QVERIFY(image->setRegisters(ConfigImage::Main, 0, regs.size(), regs.constData()));
    for (int i = ConfigImage::MainRegisterBytes; i < ConfigImage::MainSize; ++i)
        QCOMPARE(image->MainBlock[i], before.MainBlock[i]);
    QCOMPARE(image->MainBlock[ConfigImage::MainRegisterBytes - 1], quint8(0));
}

void TestConfigImage::shorterNumberKeepsSlotTail()
{
    Image image = patternedImage();
    image->setPhoneNumber(2, QByteArray("+79991234567"));
    QCOMPARE(image->phoneLength(2), 12);
    QCOMPARE(image->phoneNumber(2), QStringLiteral("+79991234567"));
    const ConfigImage before = *image;

    image->setPhoneNumber(2, QByteArray("12345"));
    QCOMPARE(image->phoneLength(2), 5);
    QCOMPARE(image->reg(ConfigImage::Phone, 90 + 2), quint16(5));
    QCOMPARE(image->phoneNumber(2), QStringLiteral("12345"));
    for (int i = 0; i < ConfigImage::PhoneSize; ++i) {
        const bool rewritten = (i >= 60 && i < 65) || i == 184 || i == 185;
        if (!rewritten)
            QCOMPARE(image->PhoneBlock[i], before.PhoneBlock[i]);
    }
    QCOMPARE(image->PhoneBlock[65], quint8('1')); // old 6th digit

    image->setPhoneNumber(2, QByteArray());
    QCOMPARE(image->phoneLength(2), 0);
    QCOMPARE(image->phoneNumber(2), QString());
}

void TestConfigImage::phoneLengthClampedToSlot_data()
{
    QTest::addColumn<int>("stored");
    QTest::newRow("one past the slot") << 31;
    QTest::newRow("byte max") << 255;
    QTest::newRow("u16 max") << 0xFFFF;
}

void TestConfigImage::phoneLengthClampedToSlot()
{
    QFETCH(int, stored);
    Image image = patternedImage();
    image->setReg(ConfigImage::Phone, 90 + 5, quint16(stored));
    QCOMPARE(image->phoneLength(5), 30);
    const QString number = image->phoneNumber(5);
    QCOMPARE(number.size(), 30);
    // One character per byte, byte value = character code.
    for (int j = 0; j < 30; ++j)
        QCOMPARE(number.at(j).unicode(), ushort(image->PhoneBlock[150 + j]));

    // Too long a number fills its slot only, never the next one.
    const quint8 nextSlotStart = image->PhoneBlock[30];
    image->setPhoneNumber(0, QByteArray(40, '7'));
    QCOMPARE(image->phoneLength(0), 30);
    QCOMPARE(image->phoneNumber(0), QString(30, QLatin1Char('7')));
    QCOMPARE(image->PhoneBlock[30], nextSlotStart);
}

void TestConfigImage::phoneSlotOutOfRange()
{
    Image image = patternedImage();
    const ConfigImage before = *image;
    image->setPhoneNumber(6, QByteArray("123"));
    image->setPhoneNumber(-1, QByteArray("123"));
    QVERIFY(*image == before);
    QCOMPARE(image->phoneLength(6), 0);
    QCOMPARE(image->phoneNumber(-1), QString());
}

void TestConfigImage::equalityCoversAllBlocks()
{
    Image a = patternedImage();
    Image b = patternedImage();
    QVERIFY(*a == *b);
    b->MainBlock[ConfigImage::InitMarker] ^= 1;
    QVERIFY(*a != *b);
    b = patternedImage();
    b->PhoneBlock[191] ^= 1;
    QVERIFY(*a != *b);
    b = patternedImage();
    b->ClockBlock[5] ^= 1;
    QVERIFY(*a != *b);
}

void TestConfigImage::relayConversions_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("codeBack");
    QTest::newRow("none") << 0 << QStringLiteral("Нет   ") << 0;
    QTest::newRow("relay 1") << 1 << QStringLiteral("Реле 1") << 1;
    QTest::newRow("relay 4") << 4 << QStringLiteral("Реле 4") << 4;
    QTest::newRow("above 4") << 5 << QStringLiteral("Нет   ") << 0;
    QTest::newRow("byte max") << 255 << QStringLiteral("Нет   ") << 0;
    QTest::newRow("negative") << -1 << QStringLiteral("Нет   ") << 0;
}

void TestConfigImage::relayConversions()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(int, codeBack);
    QCOMPARE(ConfigImage::relayText(code), text);
    QCOMPARE(ConfigImage::relayCode(text), codeBack);
    // Texts that match no item store 0.
    for (const char *other : {"", "Реле 5", "Нет", "реле 1", "Реле 1 "})
        QCOMPARE(ConfigImage::relayCode(QString::fromUtf8(other)), 0);
}

void TestConfigImage::valveConversions_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("codeBack");
    QTest::newRow("none") << 0 << QStringLiteral("Нет   ") << 0;
    QTest::newRow("valve 0") << 1 << QStringLiteral("Клапан 0") << 1;
    QTest::newRow("valve 7") << 8 << QStringLiteral("Клапан 7") << 8;
    QTest::newRow("valve 250") << 251 << QStringLiteral("Клапан 250") << 251;
    QTest::newRow("above 251") << 252 << QStringLiteral("Нет   ") << 0;
    QTest::newRow("byte max") << 255 << QStringLiteral("Нет   ") << 0;
}

void TestConfigImage::valveConversions()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(int, codeBack);
    QCOMPARE(ConfigImage::valveText(code), text);
    QCOMPARE(ConfigImage::valveCode(text), codeBack);
    for (const char *other : {"", "Клапан 251", "Клапан", "Клапан 00", "Нет"})
        QCOMPARE(ConfigImage::valveCode(QString::fromUtf8(other)), 0);
}

void TestConfigImage::inputNameConversions_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("codeBack");
    const QString empty(40, QLatin1Char(' '));
    QTest::newRow("empty") << 0 << empty << 0;
    QTest::newRow("fire") << 1 << padded("Пожар") << 1;
    QTest::newRow("break-in") << 2 << padded("Взлом") << 2;
    // Entry 7 has the same text, but the list starts at entry 16.
    QTest::newRow("valve closed") << 93 << padded("Клапан закрыт") << 93;
    QTest::newRow("last") << 160 << padded("Ошибка измерения датчика давления газа") << 160;
    QTest::newRow("above 160") << 161 << empty << 0;
    QTest::newRow("byte max") << 255 << empty << 0;
}

void TestConfigImage::inputNameConversions()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(int, codeBack);
    QCOMPARE(ConfigImage::inputNameText(code), text);
    QCOMPARE(ConfigImage::inputNameCode(text), codeBack);
    // Padding is part of the text.
    QCOMPARE(ConfigImage::inputNameCode(QStringLiteral("Пожар")), 0);
    QCOMPARE(ConfigImage::inputNameCode(QString()), 0);
}

void TestConfigImage::delayConversions_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("valueBack");
    QTest::newRow("zero") << 0 << QStringLiteral("0.0") << 0;
    QTest::newRow("below step") << 19 << QStringLiteral("0.0") << 0;
    QTest::newRow("one step") << 20 << QStringLiteral("0.2") << 20;
    QTest::newRow("between steps") << 30 << QStringLiteral("0.2") << 20;
    QTest::newRow("one second") << 100 << QStringLiteral("1.0") << 100;
    QTest::newRow("9.8") << 980 << QStringLiteral("9.8") << 980;
    QTest::newRow("maximum") << 1000 << QStringLiteral("10.0") << 1000;
    QTest::newRow("just above") << 1001 << QStringLiteral("10.0") << 1000;
    QTest::newRow("far above") << 1040 << QStringLiteral("10.0") << 1000;
    QTest::newRow("u16 max") << 65535 << QStringLiteral("10.0") << 1000;
}

void TestConfigImage::delayConversions()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QFETCH(int, valueBack);
    QCOMPARE(ConfigImage::delayText(value), text);
    QCOMPARE(ConfigImage::delayValue(text), valueBack);
    for (const char *other : {"", "10", "0,2", "0.20", "10.2", " 0.2"})
        QCOMPARE(ConfigImage::delayValue(QString::fromUtf8(other)), 0);
}

void TestConfigImage::everyListedCodeRoundTrips()
{
    QCOMPARE(ConfigImage::relayTexts().size(), 5);
    QCOMPARE(ConfigImage::valveTexts().size(), 252);
    QCOMPARE(ConfigImage::delayTexts().size(), 51);
    for (int c = 0; c < 5; ++c)
        QCOMPARE(ConfigImage::relayCode(ConfigImage::relayText(c)), c);
    for (int c = 0; c < 252; ++c)
        QCOMPARE(ConfigImage::valveCode(ConfigImage::valveText(c)), c);
    QCOMPARE(ConfigImage::inputNameTexts().size(), 161);
    for (int c = 0; c <= 160; ++c) {
        QCOMPARE(ConfigImage::inputNameTexts().at(c), ConfigImage::inputNameText(c));
        QCOMPARE(ConfigImage::inputNameText(c).size(), 40);
        QCOMPARE(ConfigImage::inputNameCode(ConfigImage::inputNameText(c)), c);
    }
    for (int p = 1; p <= 50; ++p)
        QCOMPARE(ConfigImage::delayValue(ConfigImage::delayText(20 * p)), 20 * p);
}

void TestConfigImage::twoValuedTexts()
{
    struct Pair {
        QString (*text)(bool);
        bool (*fromText)(const QString &);
        const char *one;
        const char *zero;
    };
    const Pair pairs[] = {
        {ConfigImage::contactText, ConfigImage::contactFromText, "Нормально разомкнут", "Нормально замкнут"},
        {ConfigImage::reportText, ConfigImage::reportFromText, "Сообщать", "Не сообщать"},
        {ConfigImage::closeText, ConfigImage::closeFromText, "Закрывать", "Не закрывать"},
        {ConfigImage::relayPositionText, ConfigImage::relayPositionFromText, "Включено", "Выключено"},
    };
    for (const Pair &p : pairs) {
        const QString one = QString::fromUtf8(p.one);
        QCOMPARE(p.text(true), one);
        QCOMPARE(p.text(false), QString::fromUtf8(p.zero));
        QVERIFY(p.fromText(one));
        QVERIFY(!p.fromText(QString::fromUtf8(p.zero)));
        // Only the exact "1" text sets the bit.
        QVERIFY(!p.fromText(one + QLatin1Char(' ')));
        QVERIFY(!p.fromText(one.toLower()));
        QVERIFY(!p.fromText(QString()));
    }

    QCOMPARE(ConfigImage::valveTypeText(1), QStringLiteral("КПЭГ"));
    QCOMPARE(ConfigImage::valveTypeText(0), QStringLiteral("КЗЭГ/ВН"));
    QCOMPARE(ConfigImage::valveTypeText(7), QStringLiteral("КЗЭГ/ВН"));
    QCOMPARE(ConfigImage::valveTypeFromText(QStringLiteral("КПЭГ")), 1);
    QCOMPARE(ConfigImage::valveTypeFromText(QStringLiteral("KПЭГ")), 0); // Latin K
    QCOMPARE(ConfigImage::valveTypeTexts(),
             QStringList({QStringLiteral("КПЭГ"), QStringLiteral("КЗЭГ/ВН")}));

    QCOMPARE(ConfigImage::pollingModeText(0), QStringLiteral("Безадресный"));
    QCOMPARE(ConfigImage::pollingModeText(1), QStringLiteral("Адресный"));
    QCOMPARE(ConfigImage::pollingModeFromText(QStringLiteral("Адресный")), 1);
    QCOMPARE(ConfigImage::pollingModeFromText(QStringLiteral("Безадресный")), 0);
}

QTEST_APPLESS_MAIN(TestConfigImage)
#include "tst_configimage.moc"
