#include "configimage.h"

#include <QtTest>

#include <climits>
#include <cstring>

namespace {

constexpr int TextOnly = INT_MIN; // conversion rows that only map a text back

// Every byte distinct from its neighbours and from the defaults' values.
ConfigImage patternedImage()
{
    ConfigImage image;
    for (int i = 0; i < ConfigImage::MainSize; ++i)
        image.MainBlock[i] = quint8(i * 7 + 0x40);
    for (int i = 0; i < ConfigImage::PhoneSize; ++i)
        image.PhoneBlock[i] = quint8(i * 5 + 0x21);
    for (int i = 0; i < ConfigImage::ClockSize; ++i)
        image.ClockBlock[i] = quint8(0xC0 + i);
    return image;
}

quint8 *blockBytes(ConfigImage &image, ConfigImage::Block block)
{
    return block == ConfigImage::Main ? image.MainBlock
         : block == ConfigImage::Phone ? image.PhoneBlock : image.ClockBlock;
}

QByteArray bytes(const quint8 *data, int size)
{
    return QByteArray(reinterpret_cast<const char *>(data), size);
}

// The default main block written out by plain offsets, so that a field at a
// wrong offset shows up too. The unused bytes 2595 and 2651 are left 0 here.
QByteArray defaultMainBlock()
{
    QByteArray b(ConfigImage::MainSize, '\0');
    const int runs[][3] = { // offset, count, value; later runs overwrite
        {252, 252, 1}, {504, 252, 2}, {756, 252, 1}, {1008, 504, 1}, {2016, 1, 4},
        {2268, 252, 1}, {2268, 1, 3}, {2520, 1, 1}, {2544, 24, 3}, {2544, 1, 1}, {2567, 1, 4},
        {2592, 1, 1}, {2594, 1, 0xFF}, {2598, 4, 0xFF}, {2652, 1, 0x80}, {2653, 1, 0x25},
        {2656, 1, 1}, {2657, 1, 0x7B}};
    for (const auto &run : runs)
        b.replace(run[0], run[1], QByteArray(run[1], char(run[2])));
    for (int i = 0; i < 24; ++i) {
        b[2568 + i] = char(i == 23 ? 93 : i + 1); // input names
        b[2602 + 2 * i] = 20;                     // input delays
    }
    return b;
}

QString padded(const char *name)
{
    return QString::fromUtf8(name).leftJustified(40, QLatin1Char(' '));
}

} // namespace

Q_DECLARE_METATYPE(ConfigImage::Block)

class TestConfigImage : public QObject
{
    Q_OBJECT

private slots:
    void applyDefaults_data();
    void applyDefaults();
    void fieldAccess();
    void registerCopies_data();
    void registerCopies();
    void phoneNumbers();
    void equalityCoversAllBlocks();
    void codeConversions_data();
    void codeConversions();
    void everyListedCodeRoundTrips();
    void twoValuedTexts();
};

void TestConfigImage::applyDefaults_data()
{
    QTest::addColumn<int>("marker");
    for (int marker : {0x00, 0x7B, 0x92, 0x93, 0x94, 0xFF})
        QTest::addRow("0x%02X", marker) << marker;
}

// Any marker but 0x93 gets the defaults; the clock and the unused bytes stay.
void TestConfigImage::applyDefaults()
{
    QFETCH(int, marker);
    ConfigImage image = patternedImage();
    image.MainBlock[ConfigImage::InitMarker] = quint8(marker);
    const ConfigImage before = image;
    image.applyDefaults();
    if (marker == ConfigImage::KeepMarker) {
        QVERIFY(image == before);
        return;
    }
    QByteArray expected = defaultMainBlock();
    expected[2595] = char(before.MainBlock[2595]);
    expected[2651] = char(before.MainBlock[2651]);
    QCOMPARE(bytes(image.MainBlock, ConfigImage::MainSize), expected);
    QCOMPARE(bytes(image.PhoneBlock, ConfigImage::PhoneSize), QByteArray(ConfigImage::PhoneSize, '\0'));
    QCOMPARE(bytes(image.ClockBlock, ConfigImage::ClockSize), bytes(before.ClockBlock, ConfigImage::ClockSize));
}

void TestConfigImage::fieldAccess()
{
    ConfigImage image;
    image.setDword(ConfigImage::InputContactMask, 0x12345678u);
    QCOMPARE(bytes(image.MainBlock + 2598, 4), QByteArray("\x78\x56\x34\x12"));
    QCOMPARE(image.reg(ConfigImage::Main, 1299), quint16(0x5678)); // low half in the lower register
    QCOMPARE(image.reg(ConfigImage::Main, 1300), quint16(0x1234));
    QCOMPARE(image.dword(ConfigImage::InputContactMask), 0x12345678u);
    QCOMPARE(image.word(ConfigImage::InputContactMask + 1), quint16(0x3456));

    const int flags = ConfigImage::ValveReportFlags + 5;
    image.setByte(flags, 0xF0);
    image.setBit(flags, 1, true);
    QCOMPARE(image.byte(flags), quint8(0xF2));
    QVERIFY(image.bit(flags, 1) && !image.bit(flags, 0));
    image.setBit(flags, 7, false);
    QCOMPARE(image.byte(flags), quint8(0x72));

    // Register k is byte 2k (low) and byte 2k+1 (high), whatever the host order.
    const struct { ConfigImage::Block block; int count; } blocks[] = {
        {ConfigImage::Main, 1326}, {ConfigImage::Phone, 96}, {ConfigImage::Clock, 4}};
    for (const auto &b : blocks) {
        QCOMPARE(ConfigImage::registerCount(b.block), b.count);
        quint8 *last = blockBytes(image, b.block) + 2 * (b.count - 1);
        image.setReg(b.block, b.count - 1, 0xA1B2);
        QCOMPARE(bytes(last, 2), QByteArray("\xB2\xA1"));
        last[0] = 0x34;
        QCOMPARE(image.reg(b.block, b.count - 1), quint16(0xA134));
    }
}

void TestConfigImage::registerCopies_data()
{
    QTest::addColumn<ConfigImage::Block>("block");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("accepted");
    const struct { const char *name; ConfigImage::Block block; int first, count; bool accepted; } rows[] = {
        {"main whole", ConfigImage::Main, 0, 1326, true}, {"main chunk", ConfigImage::Main, 63, 63, true},
        {"phone whole", ConfigImage::Phone, 0, 96, true}, {"clock whole", ConfigImage::Clock, 0, 4, true},
        {"main past end", ConfigImage::Main, 1324, 3, false},
        {"main into file tail", ConfigImage::Main, 1326, 1, false},
        {"phone past end", ConfigImage::Phone, 90, 7, false},
        {"clock past end", ConfigImage::Clock, 0, 5, false},
        {"negative first", ConfigImage::Clock, -1, 2, false},
        {"negative count", ConfigImage::Phone, 0, -1, false}};
    for (const auto &r : rows)
        QTest::newRow(r.name) << r.block << r.first << r.count << r.accepted;
}

// A copy lands exactly on its registers (never the file-only tail); a range
// leaving the block copies nothing either way.
void TestConfigImage::registerCopies()
{
    QFETCH(ConfigImage::Block, block);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(bool, accepted);
    ConfigImage source = patternedImage();
    ConfigImage target;
    QVector<quint16> regs(1327, 0xBEEF);
    QCOMPARE(source.registers(block, first, count, regs.data()), accepted);
    QCOMPARE(target.setRegisters(block, first, count, regs.constData()), accepted);

    ConfigImage expected;
    if (!accepted) {
        QCOMPARE(regs, QVector<quint16>(1327, 0xBEEF));
    } else { // what was read is what lands in the target
        QCOMPARE(regs[count], quint16(0xBEEF));
        std::memcpy(blockBytes(expected, block) + 2 * first,
                    blockBytes(source, block) + 2 * first, size_t(2 * count));
    }
    QVERIFY(target == expected);
}

void TestConfigImage::phoneNumbers()
{
    ConfigImage image = patternedImage();
    image.setPhoneNumber(2, QByteArray("+79991234567"));
    QCOMPARE(image.phoneNumber(2), QStringLiteral("+79991234567"));

    // A shorter number rewrites its bytes and its length only.
    ConfigImage expected = image;
    std::memcpy(expected.PhoneBlock + 60, "12345", 5);
    expected.PhoneBlock[184] = 5;
    expected.PhoneBlock[185] = 0;
    image.setPhoneNumber(2, QByteArray("12345"));
    QVERIFY(image == expected);
    QCOMPARE(image.phoneNumber(2), QStringLiteral("12345"));

    // Too long a number fills its slot only; slots out of range change nothing.
    const quint8 nextSlotStart = image.PhoneBlock[30];
    image.setPhoneNumber(0, QByteArray(40, '7'));
    QCOMPARE(image.phoneLength(0), 30);
    QCOMPARE(image.phoneNumber(0), QString(30, QLatin1Char('7')));
    QCOMPARE(image.PhoneBlock[30], nextSlotStart);
    expected = image;
    image.setPhoneNumber(6, QByteArray("123"));
    image.setPhoneNumber(-1, QByteArray("123"));
    QVERIFY(image == expected);
    QCOMPARE(image.phoneLength(6), 0);
    QCOMPARE(image.phoneNumber(-1), QString());

    image.setPhoneNumber(2, QByteArray());
    QCOMPARE(image.phoneNumber(2), QString());

    // A stored length past the slot reads as the slot, one character per byte.
    for (int stored : {30, 31, 0xFFFF}) {
        image.setReg(ConfigImage::Phone, 90 + 5, quint16(stored));
        QCOMPARE(image.phoneLength(5), 30);
        QCOMPARE(image.phoneNumber(5), QString::fromLatin1(bytes(image.PhoneBlock + 150, 30)));
    }
}

void TestConfigImage::equalityCoversAllBlocks()
{
    const ConfigImage a = patternedImage();
    const struct { ConfigImage::Block block; int last; } ends[] = {
        {ConfigImage::Main, ConfigImage::InitMarker}, {ConfigImage::Phone, 191}, {ConfigImage::Clock, 7}};
    for (const auto &end : ends) {
        ConfigImage b = patternedImage();
        QVERIFY(a == b);
        blockBytes(b, end.block)[end.last] ^= 1;
        QVERIFY(a != b);
    }
}

void TestConfigImage::codeConversions_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("codeBack");
    const QString none = QStringLiteral("Нет   ");
    const QString emptyName(40, QLatin1Char(' '));
    const struct { const char *kind; int code; QString text; int back; } rows[] = {
        {"relay", 0, none, 0}, {"relay", 1, "Реле 1", 1}, {"relay", 4, "Реле 4", 4},
        {"relay", 5, none, 0}, {"relay", 255, none, 0}, {"relay", -1, none, 0},
        {"valve", 0, none, 0}, {"valve", 1, "Клапан 0", 1}, {"valve", 8, "Клапан 7", 8},
        {"valve", 251, "Клапан 250", 251}, {"valve", 252, none, 0}, {"valve", 255, none, 0},
        {"name", 0, emptyName, 0}, {"name", 1, padded("Пожар"), 1}, {"name", 2, padded("Взлом"), 2},
        {"name", 3, padded("Авария 1"), 3},
        {"name", 93, padded("Клапан закрыт"), 93}, // entry 7 reads the same
        {"name", 160, padded("Ошибка измерения датчика давления газа"), 160},
        {"name", 161, emptyName, 0}, {"name", 255, emptyName, 0},
        {"delay", 0, "0.0", 0}, {"delay", 19, "0.0", 0}, {"delay", 20, "0.2", 20},
        {"delay", 30, "0.2", 20}, {"delay", 100, "1.0", 100}, {"delay", 980, "9.8", 980},
        {"delay", 1000, "10.0", 1000}, {"delay", 1001, "10.0", 1000}, {"delay", 65535, "10.0", 1000}};
    for (const auto &r : rows)
        QTest::addRow("%s %d", r.kind, r.code) << QString(r.kind) << r.code << r.text << r.back;
    const struct { const char *kind; QStringList texts; } unknown[] = {
        {"relay", {"", "Реле 5", "Нет", "реле 1", "Реле 1 "}},
        {"valve", {"", "Клапан 251", "Клапан", "Клапан 00", "Нет"}},
        {"name", {"", "Пожар"}}, // the padding is part of the text
        {"delay", {"", "10", "0,2", "0.20", "10.2", " 0.2"}}};
    for (const auto &u : unknown) {
        for (const QString &text : u.texts)
            QTest::addRow("%s '%s'", u.kind, qPrintable(text)) << QString(u.kind) << TextOnly << text << 0;
    }
}

// Codes outside a list show its "none" text; texts matching no item store 0.
void TestConfigImage::codeConversions()
{
    QFETCH(QString, kind);
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(int, codeBack);
    const QHash<QString, QPair<QString (*)(int), int (*)(const QString &)>> codecs = {
        {"relay", {ConfigImage::relayText, ConfigImage::relayCode}},
        {"valve", {ConfigImage::valveText, ConfigImage::valveCode}},
        {"name", {ConfigImage::inputNameText, ConfigImage::inputNameCode}},
        {"delay", {ConfigImage::delayText, ConfigImage::delayValue}}};
    const auto codec = codecs.value(kind);
    if (code != TextOnly)
        QCOMPARE(codec.first(code), text);
    QCOMPARE(codec.second(text), codeBack);
}

void TestConfigImage::everyListedCodeRoundTrips()
{
    QCOMPARE(ConfigImage::relayTexts().size(), 5);
    QCOMPARE(ConfigImage::valveTexts().size(), 252);
    QCOMPARE(ConfigImage::delayTexts().size(), 51);
    QCOMPARE(ConfigImage::inputNameTexts().size(), 161);
    for (int c = 0; c < 252; ++c) {
        QCOMPARE(ConfigImage::valveCode(ConfigImage::valveText(c)), c);
        if (c < 5)
            QCOMPARE(ConfigImage::relayCode(ConfigImage::relayText(c)), c);
        if (c >= 1 && c <= 50)
            QCOMPARE(ConfigImage::delayValue(ConfigImage::delayText(20 * c)), 20 * c);
        if (c <= 160) {
            QCOMPARE(ConfigImage::inputNameTexts().at(c), ConfigImage::inputNameText(c));
            QCOMPARE(ConfigImage::inputNameText(c).size(), 40);
            QCOMPARE(ConfigImage::inputNameCode(ConfigImage::inputNameText(c)), c);
        }
    }
}

// Only the exact "1" text gives 1; anything else gives 0.
void TestConfigImage::twoValuedTexts()
{
    const struct {
        QString (*text)(bool);
        bool (*fromText)(const QString &);
        QString one;
        QString zero;
    } pairs[] = {
        {ConfigImage::contactText, ConfigImage::contactFromText, "Нормально разомкнут", "Нормально замкнут"},
        {ConfigImage::reportText, ConfigImage::reportFromText, "Сообщать", "Не сообщать"},
        {ConfigImage::closeText, ConfigImage::closeFromText, "Закрывать", "Не закрывать"},
        {ConfigImage::relayPositionText, ConfigImage::relayPositionFromText, "Включено", "Выключено"},
        {[](bool on) { return ConfigImage::valveTypeText(on); },
         [](const QString &t) { return ConfigImage::valveTypeFromText(t) == 1; }, "КПЭГ", "КЗЭГ/ВН"},
        {[](bool on) { return ConfigImage::pollingModeText(on); },
         [](const QString &t) { return ConfigImage::pollingModeFromText(t) == 1; }, "Адресный", "Безадресный"},
    };
    for (const auto &p : pairs) {
        QCOMPARE(p.text(true), p.one);
        QCOMPARE(p.text(false), p.zero);
        QVERIFY(p.fromText(p.one));
        for (const QString &other : {p.zero, p.one + ' ', p.one.toLower(), QString()})
            QVERIFY(!p.fromText(other));
    }
    QCOMPARE(ConfigImage::valveTypeFromText(QStringLiteral("KПЭГ")), 0); // Latin K
    QCOMPARE(ConfigImage::valveTypeText(7), QStringLiteral("КЗЭГ/ВН"));
    QCOMPARE(ConfigImage::valveTypeTexts(), QStringList({"КПЭГ", "КЗЭГ/ВН"}));
}

QTEST_APPLESS_MAIN(TestConfigImage)
#include "tst_configimage.moc"
