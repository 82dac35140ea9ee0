#include "configimage.h"
#include "testimages.h"

#include <QtTest>

#include <cstring>
#include <functional>

namespace {

using Image = ConfigImage;
constexpr int TextOnly = -999; // conversion rows that only map a text back

} // namespace

class TestConfigImage : public QObject
{
    Q_OBJECT

private slots:
    // Any marker but 0x93 gets the defaults, written out here by plain offsets so
    // a field at a wrong offset shows too; the clock and bytes 2595, 2651 stay.
    void applyDefaults()
    {
        QByteArray defaults(Image::MainSize, '\0');
        const int runs[][3] = { // offset, count, value; later runs overwrite
            {252, 252, 1}, {504, 252, 2}, {756, 252, 1}, {1008, 504, 1}, {2016, 1, 4},
            {2268, 252, 1}, {2268, 1, 3}, {2520, 1, 1}, {2544, 24, 3}, {2544, 1, 1}, {2567, 1, 4},
            {2592, 1, 1}, {2594, 1, 0xFF}, {2595, 1, patternedImage().MainBlock[2595]}, {2598, 4, 0xFF},
            {2651, 1, patternedImage().MainBlock[2651]}, {2652, 1, 0x80}, {2653, 1, 0x25}, {2656, 1, 1}, {2657, 1, 0x7B}};
        for (const auto &run : runs)
            defaults.replace(run[0], run[1], QByteArray(run[1], char(run[2])));
        for (int i = 0; i < 24; ++i) {
            defaults[2568 + i] = char(i == 23 ? 93 : i + 1); // input names
            defaults[2602 + 2 * i] = 20;                     // input delays
        }
        for (int marker : {0x00, 0x92, 0x93, 0x94}) {
            Image image = patternedImage();
            image.MainBlock[Image::InitMarker] = quint8(marker);
            Image expected = image;
            image.applyDefaults();
            if (marker != Image::KeepMarker) {
                std::memcpy(expected.MainBlock, defaults.constData(), Image::MainSize);
                std::memset(expected.PhoneBlock, 0, Image::PhoneSize);
            }
            QVERIFY2(image == expected, qPrintable(QString::number(marker, 16)));
        }
    }

    // Wide fields are little-endian; register k is byte 2k (low), 2k+1 (high). A block copy
    // lands exactly on its registers, never on the file-only tail; == sees each block's end.
    void fieldsRegistersAndPhones()
    {
        Image image;
        image.setDword(Image::InputContactMask, 0x12345678u);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(image.MainBlock + 2598), 4), QByteArray("\x78\x56\x34\x12"));
        QCOMPARE(image.reg(Image::Main, 1299), quint16(0x5678));
        image.setByte(2594, 0xF0);
        image.setBit(2594, 1, true);
        image.setBit(2594, 7, false);
        QVERIFY(image.byte(2594) == 0x72 && image.bit(2594, 1) && !image.bit(2594, 0));

        const auto bytesOf = [](Image &i, Image::Block b) {
            quint8 *const blocks[] = {i.MainBlock, i.PhoneBlock, i.ClockBlock}; // in Block order
            return blocks[b];
        };
        const struct { Image::Block block; int first, count; bool accepted; } ranges[] = {
            {Image::Main, 0, 1326, true}, {Image::Main, 63, 63, true}, {Image::Phone, 0, 96, true},
            {Image::Clock, 0, 4, true}, {Image::Main, 1326, 1, false}, {Image::Phone, 90, 7, false},
            {Image::Clock, 0, 5, false}, {Image::Clock, -1, 2, false}, {Image::Phone, 0, -1, false}};
        for (const auto &r : ranges) {
            Image source = patternedImage(), target, expected;
            QVector<quint16> regs(1327, 0xBEEF);
            QCOMPARE(source.registers(r.block, r.first, r.count, regs.data()), r.accepted);
            QCOMPARE(target.setRegisters(r.block, r.first, r.count, regs.constData()), r.accepted);
            if (r.accepted) {
                QCOMPARE(regs[r.count], quint16(0xBEEF));
                const int at = 2 * r.first;
                std::memcpy(bytesOf(expected, r.block) + at, bytesOf(source, r.block) + at, size_t(2 * r.count));
            }
            QVERIFY(target == expected);
            bytesOf(target, r.block)[r.block == Image::Main ? Image::InitMarker : 2 * Image::registerCount(r.block) - 1] ^= 1;
            QVERIFY(target != expected);
        }

        // A number rewrites its bytes and length only, a long one fills its slot only, slots
        // out of range change nothing; a stored length past the slot reads as the slot.
        Image phones = patternedImage(), expected = phones;
        std::memcpy(expected.PhoneBlock + 60, "12345", 5);
        expected.setReg(Image::Phone, 92, 5);
        std::memset(expected.PhoneBlock, '7', 30);
        expected.setReg(Image::Phone, 90, 30);
        phones.setPhoneNumber(2, QByteArray("12345"));
        phones.setPhoneNumber(0, QByteArray(40, '7'));
        phones.setPhoneNumber(6, QByteArray("123"));
        phones.setPhoneNumber(-1, QByteArray("123"));
        QVERIFY(phones == expected);
        QCOMPARE(phones.phoneNumber(0), QString(30, QLatin1Char('7')));
        QVERIFY(phones.phoneNumber(-1).isEmpty() && phones.phoneLength(6) == 0);
        phones.setReg(Image::Phone, 95, 0xFFFF);
        QCOMPARE(phones.phoneNumber(5), QString::fromLatin1(reinterpret_cast<char *>(phones.PhoneBlock + 150), 30));
    }

    // Codes outside a list show its "none" text; texts matching no item store 0.
    // Two-valued texts: only the exact "1" text gives 1.
    void textConversions()
    {
        using Codec = QPair<QString (*)(int), int (*)(const QString &)>;
        const Codec relay{Image::relayText, Image::relayCode}, valve{Image::valveText, Image::valveCode},
                name{Image::inputNameText, Image::inputNameCode}, delay{Image::delayText, Image::delayValue};
        const QString none = QStringLiteral("Нет   "), noName(40, QLatin1Char(' '));
        const auto padded = [](const char *text) { return QString(text).leftJustified(40); };
        const struct { Codec codec; int code; QString text; int back; } rows[] = {
            {relay, 0, none, 0}, {relay, 4, "Реле 4", 4}, {relay, 5, none, 0}, {relay, -1, none, 0},
            {valve, 0, none, 0}, {valve, 1, "Клапан 0", 1}, {valve, 251, "Клапан 250", 251}, {valve, 252, none, 0},
            {name, 0, noName, 0}, {name, 1, padded("Пожар"), 1}, {name, 93, padded("Клапан закрыт"), 93},
            {name, 160, padded("Ошибка измерения датчика давления газа"), 160}, {name, 161, noName, 0},
            {delay, 0, "0.0", 0}, {delay, 19, "0.0", 0}, {delay, 20, "0.2", 20}, {delay, 30, "0.2", 20},
            {delay, 1000, "10.0", 1000}, {delay, 1001, "10.0", 1000},
            {relay, TextOnly, "Реле 5", 0}, {relay, TextOnly, "Нет", 0}, {valve, TextOnly, "Клапан 00", 0},
            {name, TextOnly, "Пожар", 0}, {delay, TextOnly, "0,2", 0}, {delay, TextOnly, "0.20", 0}};
        for (const auto &r : rows) {
            if (r.code != TextOnly)
                QCOMPARE(r.codec.first(r.code), r.text);
            QCOMPARE(r.codec.second(r.text), r.back);
        }
        for (int c = 0; c < 256; ++c) { // every listed code comes back from its text
            QCOMPARE(Image::valveCode(Image::valveText(c)), c < 252 ? c : 0);
            QCOMPARE(Image::relayCode(Image::relayText(c)), c < 5 ? c : 0);
            QCOMPARE(Image::delayValue(Image::delayText(20 * c)), qMin(20 * c, 1000));
        }

        const struct { std::function<QString(int)> text; std::function<int(const QString &)> fromText; QString one, zero; }
        pairs[] = {
            {Image::contactText, Image::contactFromText, "Нормально разомкнут", "Нормально замкнут"},
            {Image::reportText, Image::reportFromText, "Сообщать", "Не сообщать"},
            {Image::closeText, Image::closeFromText, "Закрывать", "Не закрывать"},
            {Image::relayPositionText, Image::relayPositionFromText, "Включено", "Выключено"},
            {Image::valveTypeText, Image::valveTypeFromText, "КПЭГ", "КЗЭГ/ВН"},
            {Image::pollingModeText, Image::pollingModeFromText, "Адресный", "Безадресный"}};
        for (const auto &p : pairs) {
            QCOMPARE(p.text(1) + '|' + p.text(0), p.one + '|' + p.zero);
            for (const QString &text : {p.one, p.zero, p.one + ' ', p.one.toLower(), QString()})
                QCOMPARE(p.fromText(text), int(text == p.one));
        }
        QCOMPARE(Image::valveTypeTexts(), QStringList({"КПЭГ", "КЗЭГ/ВН"})); // list order, not code order
    }
};

QTEST_APPLESS_MAIN(TestConfigImage)
#include "tst_configimage.moc"
