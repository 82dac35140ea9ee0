#include <QtTest>

#include <climits>

#include "eventcatalogue.h"

namespace {

QString pad(const QString &name)
{
    return name.leftJustified(40, QLatin1Char(' '));
}

const QString empty40(40, QLatin1Char(' '));

// Entries whose name fills all 40 columns.
const QSet<int> fullLength = { 94, 102, 143, 146, 148, 149, 159, 160, 162, 165,
                               167, 168, 169, 170, 171, 172 };

bool isLatinLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

bool isCyrillicLetter(QChar c)
{
    return c.unicode() >= 0x0400 && c.unicode() <= 0x04FF;
}

} // namespace

class TestEventCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void sizes_data();
    void sizes();
    void paddingAndWidth_data();
    void paddingAndWidth();
    void outOfRangeEntriesAreEmpty_data();
    void outOfRangeEntriesAreEmpty();

    void entryTexts_data();
    void entryTexts();
    void latinLettersOnlyWhereCalledOut();
    void consoleMapsToFull();

    void inputNames();
    void inputNameCode_data();
    void inputNameCode();

    void eventText_data();
    void eventText();
    void eventTextSameForBothEditions();
    void eventTextSweepAllInputs();
};

void TestEventCatalogue::sizes_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("inputNames");

    QTest::newRow("full") << int(EventCatalogue::Full) << 177 << 161;
    QTest::newRow("console") << int(EventCatalogue::Console) << 94 << 78;
}

void TestEventCatalogue::sizes()
{
    QFETCH(int, edition);
    QFETCH(int, size);
    QFETCH(int, inputNames);

    const EventCatalogue catalogue(static_cast<EventCatalogue::Edition>(edition));
    QCOMPARE(int(catalogue.edition()), edition);
    QCOMPARE(catalogue.size(), size);
    QCOMPARE(catalogue.inputNameTexts().size(), inputNames);
}

void TestEventCatalogue::paddingAndWidth_data()
{
    sizes_data();
}

// Every entry is stored padded to 40; only the listed names fill the width.
void TestEventCatalogue::paddingAndWidth()
{
    QFETCH(int, edition);
    const EventCatalogue catalogue(static_cast<EventCatalogue::Edition>(edition));
    const EventCatalogue full(EventCatalogue::Full);

    for (int n = 0; n < catalogue.size(); ++n) {
        const QString text = catalogue.entryText(n);
        const QByteArray where = QByteArray::number(n);
        QVERIFY2(text.size() == 40, where.constData());
        QVERIFY2(!text.startsWith(QLatin1Char(' ')) || text == empty40, where.constData());
        const int fullNumber = edition == EventCatalogue::Console && n >= 90 ? n + 17 : n;
        QCOMPARE(text, full.entryText(fullNumber));
        if (fullLength.contains(fullNumber))
            QVERIFY2(!text.endsWith(QLatin1Char(' ')), where.constData());
        else
            QVERIFY2(text.endsWith(QLatin1Char(' ')), where.constData());
    }
    for (int n = 10; n <= 16; ++n)
        QCOMPARE(full.entryText(n), empty40);
}

void TestEventCatalogue::outOfRangeEntriesAreEmpty_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<int>("n");

    QTest::newRow("full -1") << int(EventCatalogue::Full) << -1;
    QTest::newRow("full 177") << int(EventCatalogue::Full) << 177;
    QTest::newRow("full INT_MIN") << int(EventCatalogue::Full) << INT_MIN;
    QTest::newRow("full INT_MAX") << int(EventCatalogue::Full) << INT_MAX;
    QTest::newRow("console 94") << int(EventCatalogue::Console) << 94;
    QTest::newRow("console 107") << int(EventCatalogue::Console) << 107;
}

void TestEventCatalogue::outOfRangeEntriesAreEmpty()
{
    QFETCH(int, edition);
    QFETCH(int, n);

    const EventCatalogue catalogue(static_cast<EventCatalogue::Edition>(edition));
    QCOMPARE(catalogue.entryText(n), empty40);
    QCOMPARE(catalogue.inputNameText(n), empty40);
    QCOMPARE(EventCatalogue::emptyEntry(), empty40);
}

void TestEventCatalogue::entryTexts_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("name");

    QTest::newRow("0") << 0 << QStringLiteral("Порог 1, датчик CH");
    QTest::newRow("3") << 3 << QStringLiteral("Порог 2, датчик CO");
    QTest::newRow("9") << 9 << QStringLiteral("Пожар");
    QTest::newRow("17") << 17 << QStringLiteral("Пожар");
    QTest::newRow("40") << 40 << QStringLiteral("Авария 22");
    QTest::newRow("50") << 50 << QStringLiteral("Авария насоса подпидки 1");
    QTest::newRow("51") << 51 << QStringLiteral("Авария насоса подпидки 2");
    QTest::newRow("54") << 54 << QStringLiteral("Авария рециркуляционных насосов котел 1");
    QTest::newRow("78") << 78 << QStringLiteral("\"Порог 1\" загазованности ДТ");
    QTest::newRow("79") << 79 << QStringLiteral("\"Порог 2\" загазованности ДТ");
    QTest::newRow("89") << 89 << QStringLiteral("Высокое давление газа");
    QTest::newRow("94") << 94 << QStringLiteral("Низкое давление подачи котлового контура");
    QTest::newRow("95") << 95 << QStringLiteral("Высокое P подачи котлового контура");
    QTest::newRow("106") << 106 << QStringLiteral("Низкое давление воды на вводе");
    QTest::newRow("107") << 107 << QStringLiteral("Загазованность CH");
    QTest::newRow("110") << 110 << QStringLiteral("Нет питания");
    QTest::newRow("118") << 118 << QStringLiteral("Отсутствует эл. питание котельной");
    QTest::newRow("151") << 151 << QStringLiteral("Потеря связи с модулем А2");
    QTest::newRow("158") << 158 << QStringLiteral("Потеря связи с модулем расширения ПЛК");
    QTest::newRow("164") << 164 << QStringLiteral("Ошиб. изм. дат. T подачи конт. вент-ции");
    QTest::newRow("172") << 172 << QStringLiteral("Ошиб. изм. дат. P подачи кон-ра отоплен.");
    QTest::newRow("173") << 173 << QStringLiteral("Ошиб. изм. дат. P обратки кон-ра отопл.");
    QTest::newRow("176") << 176 << QStringLiteral("Ошибка измерения датчика давления газа");
}

void TestEventCatalogue::entryTexts()
{
    QFETCH(int, n);
    QFETCH(QString, name);

    QCOMPARE(EventCatalogue(EventCatalogue::Full).entryText(n), pad(name));
}

// Latin and Cyrillic letters look alike; a stray one breaks inputNameCode
// against files and the console's texts. Only the listed letters are Latin.
void TestEventCatalogue::latinLettersOnlyWhereCalledOut()
{
    const EventCatalogue full(EventCatalogue::Full);
    QHash<int, QString> latin;
    for (int n : { 0, 1, 107 })
        latin.insert(n, QStringLiteral("CH"));
    for (int n : { 2, 3, 108 })
        latin.insert(n, QStringLiteral("CO"));
    for (int n : { 95, 96, 97, 98, 99, 100, 101, 103, 104, 105,
                   168, 169, 170, 171, 172, 173 })
        latin.insert(n, QStringLiteral("P"));
    for (int n = 164; n <= 167; ++n)
        latin.insert(n, QStringLiteral("T"));

    for (int n = 0; n < full.size(); ++n) {
        QString letters;
        for (QChar c : full.entryText(n)) {
            if (isLatinLetter(c))
                letters += c;
            else
                QVERIFY2(!c.isLetter() || isCyrillicLetter(c), QByteArray::number(n).constData());
        }
        QCOMPARE(letters, latin.value(n));
    }
    for (int n = 151; n <= 157; ++n) {
        const QString text = full.entryText(n);
        const int at = text.indexOf(QStringLiteral(" модулем ")) + 9;
        QCOMPARE(text.at(at).unicode(), ushort(0x0410));
        QCOMPARE(text.at(at + 1), QChar(QLatin1Char(char('0' + n - 149))));
    }
    QVERIFY(full.entryText(50).contains(QStringLiteral("подпидки")));
    QVERIFY(full.entryText(51).contains(QStringLiteral("подпидки")));
}

void TestEventCatalogue::consoleMapsToFull()
{
    const EventCatalogue full(EventCatalogue::Full);
    const EventCatalogue console(EventCatalogue::Console);

    for (int n = 0; n <= 89; ++n)
        QCOMPARE(console.entryText(n), full.entryText(n));
    QCOMPARE(console.entryText(90), pad(QStringLiteral("Загазованность CH")));
    QCOMPARE(console.entryText(91), pad(QStringLiteral("Загазованность CO")));
    QCOMPARE(console.entryText(92), pad(QStringLiteral("Клапан закрыт")));
    QCOMPARE(console.entryText(93), pad(QStringLiteral("Нет питания")));
    for (int n = 90; n <= 93; ++n)
        QCOMPARE(console.entryText(n), full.entryText(n + 17));
}

void TestEventCatalogue::inputNames()
{
    const EventCatalogue full(EventCatalogue::Full);
    const QStringList names = full.inputNameTexts();

    QCOMPARE(names.size(), 161);
    QCOMPARE(names.first(), empty40);
    QCOMPARE(names.at(1), pad(QStringLiteral("Пожар")));
    QCOMPARE(names.last(), full.entryText(176));
    for (int code = 0; code < names.size(); ++code) {
        QCOMPARE(names.at(code), full.entryText(code + 16));
        QCOMPARE(full.inputNameText(code), names.at(code));
        // No duplicate inside the list, so every code survives a round trip.
        QCOMPARE(full.inputNameCode(names.at(code)), code);
    }
    QCOMPARE(full.inputNameText(-1), empty40);
    QCOMPARE(full.inputNameText(161), empty40);
}

void TestEventCatalogue::inputNameCode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");

    QTest::newRow("valve closed, entries 7 and 109") << pad(QStringLiteral("Клапан закрыт")) << 93;
    QTest::newRow("fire, entries 9 and 17") << pad(QStringLiteral("Пожар")) << 1;
    QTest::newRow("break-in") << pad(QStringLiteral("Взлом")) << 2;
    QTest::newRow("alarm 1") << pad(QStringLiteral("Авария 1")) << 3;
    QTest::newRow("empty entry") << empty40 << 0;
    QTest::newRow("device-only entry") << pad(QStringLiteral("Обрыв датчика")) << 0;
    QTest::newRow("trimmed") << QStringLiteral("Пожар") << 0;
    QTest::newRow("one space short") << QStringLiteral("Пожар").leftJustified(39) << 0;
    QTest::newRow("unknown") << pad(QStringLiteral("Нет такого события")) << 0;
    QTest::newRow("null string") << QString() << 0;
    QTest::newRow("Cyrillic Р for Latin P")
            << pad(QStringLiteral("Высокое Р подачи котлового контура")) << 0;
    QTest::newRow("Latin P") << pad(QStringLiteral("Высокое P подачи котлового контура")) << 79;
    QTest::newRow("full width") << QStringLiteral("Ошиб. изм. дат. P подачи кон-ра отоплен.") << 156;
}

void TestEventCatalogue::inputNameCode()
{
    QFETCH(QString, text);
    QFETCH(int, code);

    QCOMPARE(EventCatalogue(EventCatalogue::Full).inputNameCode(text), code);
}

void TestEventCatalogue::eventText_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    const QString s8(8, QLatin1Char(' '));

    QTest::newRow("device, no address") << 32 << 0 << pad(QStringLiteral("Порог 1, датчик CH"));
    QTest::newRow("device address 5")
            << 37 << 4
            << QStringLiteral("Неисправность датчика, Адрес 5  ") + s8;
    QTest::newRow("controller fire") << 5 << 1 << pad(QStringLiteral("Пожар"));
    QTest::newRow("code 1 by source 32") << 32 << 1 << pad(QStringLiteral("Порог 2, датчик CH"));
    QTest::newRow("code 1 by source 3") << 3 << 1 << pad(QStringLiteral("Пожар"));
    QTest::newRow("controller code 0") << 0 << 0 << empty40;
    QTest::newRow("controller source 31") << 31 << 3 << pad(QStringLiteral("Авария 1"));
    QTest::newRow("controller last console code")
            << 0 << 77 << pad(QStringLiteral("Нет питания"));
    QTest::newRow("controller code 74 -> entry 90")
            << 0 << 74 << pad(QStringLiteral("Загазованность CH"));
    QTest::newRow("device code 92") << 32 << 92 << pad(QStringLiteral("Клапан закрыт"));
    QTest::newRow("empty entry with address 1")
            << 33 << 10 << pad(QStringLiteral(" , Адрес 1  "));
    QTest::newRow("empty entry with address 255")
            << 287 << 16 << pad(QStringLiteral(" , Адрес 255"));
    QTest::newRow("two-digit address")
            << 131 << 9 << pad(QStringLiteral("Пожар, Адрес 99 "));
    QTest::newRow("39-char name, address 200")
            << 232 << 54
            << QStringLiteral("Авария рециркуляционных насосов котел 1, Адрес 200");
    QTest::newRow("38-char name, address 7")
            << 39 << 85
            << QStringLiteral("Высокое давление обратной сетевой воды, Адрес 7  ");
    QTest::newRow("controller code 78 has no console entry")
            << 0 << 78 << pad(QStringLiteral("Неизвестное событие, код 78"));
    QTest::newRow("input name 93 has no console entry")
            << 12 << 93 << pad(QStringLiteral("Неизвестное событие, код 93"));
    QTest::newRow("controller code 255")
            << 31 << 255 << pad(QStringLiteral("Неизвестное событие, код 255"));
    QTest::newRow("device code 94 has no console entry")
            << 32 << 94 << pad(QStringLiteral("Неизвестное событие, код 94"));
    QTest::newRow("device code 255 with address 8")
            << 40 << 255 << pad(QStringLiteral("Неизвестное событие, код 255, Адрес 8  "));
    QTest::newRow("source 288")
            << 288 << 0 << pad(QStringLiteral("Неизвестный источник 288, код 0"));
    QTest::newRow("source 65535")
            << 65535 << 255 << pad(QStringLiteral("Неизвестный источник 65535, код 255"));
}

void TestEventCatalogue::eventText()
{
    QFETCH(int, source);
    QFETCH(int, code);
    QFETCH(QString, text);

    const QString result = EventCatalogue(EventCatalogue::Console)
                                   .eventText(quint16(source), quint8(code));
    QCOMPARE(result, text);
    QVERIFY(result.size() >= 40);
}

// The console's list names events whatever edition the caller built.
void TestEventCatalogue::eventTextSameForBothEditions()
{
    const EventCatalogue full(EventCatalogue::Full);
    const EventCatalogue console(EventCatalogue::Console);
    for (int source : { 0, 31, 32, 33, 287, 288 }) {
        for (int code = 0; code < 256; ++code)
            QCOMPARE(full.eventText(quint16(source), quint8(code)),
                     console.eventText(quint16(source), quint8(code)));
    }
}

// Every source and code the controller could send: nothing reads outside the
// list, the name is never cut, an address always shows.
void TestEventCatalogue::eventTextSweepAllInputs()
{
    const EventCatalogue console(EventCatalogue::Console);
    const QString marker = QStringLiteral(", Адрес ");
    for (int source = 0; source <= 65535; ++source) {
        const QString address = marker + QString::number(source - 32);
        for (int code = 0; code <= 255; ++code) {
            const QString text = console.eventText(quint16(source), quint8(code));
            if (text.size() < 40 || text.size() > 51)
                QFAIL(qPrintable(QStringLiteral("width %1 at %2/%3")
                                         .arg(text.size()).arg(source).arg(code)));
            if (source >= 288)
                continue;
            const int n = source < 32 ? code + 16 : code;
            const QString name = n < 94 ? console.entryText(n).trimmed()
                                        : QStringLiteral("Неизвестное событие");
            if (!text.startsWith(name.isEmpty() ? QStringLiteral(" ") : name))
                QFAIL(qPrintable(QStringLiteral("name lost at %1/%2").arg(source).arg(code)));
            if ((source > 32) != text.contains(address))
                QFAIL(qPrintable(QStringLiteral("address wrong at %1/%2").arg(source).arg(code)));
        }
    }
}

QTEST_APPLESS_MAIN(TestEventCatalogue)
#include "tst_eventcatalogue.moc"
