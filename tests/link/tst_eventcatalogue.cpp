#include <QtTest>

#include <climits>
#include <numeric>

#include "eventcatalogue.h"

namespace {

QString pad(const QString &name)
{
    return name.leftJustified(40, QLatin1Char(' '));
}

const QString empty40(40, QLatin1Char(' '));

} // namespace

class TestEventCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void editions();
    void entryTexts();
    void inputNames();
    void eventText();
    void eventTextSweep();
};

// Sizes, padding, the console's list as a selection of the full one, and
// reads out of range.
void TestEventCatalogue::editions()
{
    const EventCatalogue full(EventCatalogue::Full);
    const EventCatalogue console(EventCatalogue::Console);
    QCOMPARE(full.edition(), EventCatalogue::Full);
    QCOMPARE(console.edition(), EventCatalogue::Console);
    QCOMPARE(full.size(), 177);
    QCOMPARE(console.size(), 94);
    QCOMPARE(full.inputNameTexts().size(), 161);
    QCOMPARE(console.inputNameTexts().size(), 78);

    // Only these names fill all 40 columns; entries 10..16 are empty.
    const QSet<int> fullLength = { 94, 102, 143, 146, 148, 149, 159, 160, 162, 165,
                                   167, 168, 169, 170, 171, 172 };
    for (int n = 0; n < full.size(); ++n) {
        const QString text = full.entryText(n);
        const QByteArray where = QByteArray::number(n);
        QVERIFY2(text.size() == 40, where.constData());
        QVERIFY2(text.endsWith(QLatin1Char(' ')) != fullLength.contains(n), where.constData());
        QVERIFY2((n >= 10 && n <= 16) == (text == empty40), where.constData());
        QVERIFY2(!text.startsWith(QLatin1Char(' ')) || text == empty40, where.constData());
    }
    for (int n = 0; n < console.size(); ++n)
        QCOMPARE(console.entryText(n), full.entryText(n < 90 ? n : n + 17));

    for (int n : { -1, 177, INT_MIN, INT_MAX }) {
        QCOMPARE(full.entryText(n), empty40);
        QCOMPARE(full.inputNameText(n), empty40);
    }
    QCOMPARE(full.inputNameText(161), empty40);
    QCOMPARE(console.entryText(94), empty40);
    QCOMPARE(console.inputNameText(78), empty40);
    QCOMPARE(EventCatalogue::emptyEntry(), empty40);
}

// A sample of the full edition, typos of the original list included. Latin
// and Cyrillic letters look alike and a stray one breaks inputNameCode against
// files and the console's texts: only the listed letters are Latin.
void TestEventCatalogue::entryTexts()
{
    const struct { int n; const char *name; } samples[] = {
        { 0, "Порог 1, датчик CH" }, { 3, "Порог 2, датчик CO" }, { 9, "Пожар" },
        { 17, "Пожар" }, { 40, "Авария 22" }, { 50, "Авария насоса подпидки 1" },
        { 51, "Авария насоса подпидки 2" }, { 54, "Авария рециркуляционных насосов котел 1" },
        { 78, "\"Порог 1\" загазованности ДТ" }, { 79, "\"Порог 2\" загазованности ДТ" },
        { 89, "Высокое давление газа" }, { 94, "Низкое давление подачи котлового контура" },
        { 95, "Высокое P подачи котлового контура" }, { 106, "Низкое давление воды на вводе" },
        { 107, "Загазованность CH" }, { 108, "Загазованность CO" }, { 109, "Клапан закрыт" },
        { 110, "Нет питания" }, { 118, "Отсутствует эл. питание котельной" },
        { 158, "Потеря связи с модулем расширения ПЛК" },
        { 164, "Ошиб. изм. дат. T подачи конт. вент-ции" },
        { 172, "Ошиб. изм. дат. P подачи кон-ра отоплен." },
        { 173, "Ошиб. изм. дат. P обратки кон-ра отопл." },
        { 176, "Ошибка измерения датчика давления газа" },
    };
    const EventCatalogue full(EventCatalogue::Full);
    for (const auto &sample : samples)
        QCOMPARE(full.entryText(sample.n), pad(QString::fromUtf8(sample.name)));
    for (int n = 151; n <= 157; ++n) // modules А2..А8
        QCOMPARE(full.entryText(n), pad(QStringLiteral("Потеря связи с модулем А%1").arg(n - 149)));

    QHash<int, QString> latin;
    const auto mark = [&latin](std::initializer_list<int> entries, const char *letters) {
        for (int n : entries)
            latin.insert(n, QLatin1String(letters));
    };
    mark({ 0, 1, 107 }, "CH");
    mark({ 2, 3, 108 }, "CO");
    mark({ 95, 96, 97, 98, 99, 100, 101, 103, 104, 105, 168, 169, 170, 171, 172, 173 }, "P");
    mark({ 164, 165, 166, 167 }, "T");
    for (int n = 0; n < full.size(); ++n) {
        QString letters;
        for (QChar c : full.entryText(n)) {
            if (c.isLetter() && c.script() == QChar::Script_Latin)
                letters += c;
            else if (c.isLetter())
                QVERIFY2(c.script() == QChar::Script_Cyrillic, QByteArray::number(n).constData());
        }
        QCOMPARE(letters, latin.value(n));
    }
}

void TestEventCatalogue::inputNames()
{
    const EventCatalogue full(EventCatalogue::Full);
    const QStringList names = full.inputNameTexts();
    QCOMPARE(names.first(), empty40);
    for (int code = 0; code < names.size(); ++code) {
        QCOMPARE(names.at(code), full.entryText(code + 16));
        QCOMPARE(full.inputNameText(code), names.at(code));
        // No duplicate inside the list (9 and 7 repeat 17 and 109 outside it),
        // so every code survives a round trip.
        QCOMPARE(full.inputNameCode(names.at(code)), code);
    }
    // Only a name equal to the last column counts; anything else is code 0.
    const QString others[] = {
        pad(QStringLiteral("Обрыв датчика")), // device-only entry
        QStringLiteral("Пожар"), QStringLiteral("Пожар").leftJustified(39), QString(),
        pad(QStringLiteral("Высокое Р подачи котлового контура")), // Cyrillic Р
    };
    for (const QString &text : others)
        QCOMPARE(full.inputNameCode(text), 0);
}

// Names by source and code, addresses written over the padding, and the
// placeholders for what the console's list cannot name.
void TestEventCatalogue::eventText()
{
    const struct { int source; int code; const char *text; } cases[] = {
        { 32, 0, "Порог 1, датчик CH" },              // device, no address
        { 5, 1, "Пожар" },                            // controller: code + 16
        { 0, 0, "" },
        { 31, 3, "Авария 1" },
        { 0, 74, "Загазованность CH" },               // console entry 90
        { 0, 77, "Нет питания" },                     // last console entry
        { 0, 78, "Неизвестное событие, код 78" },
        { 32, 93, "Нет питания" },
        { 32, 94, "Неизвестное событие, код 94" },
        { 40, 255, "Неизвестное событие, код 255, Адрес 8" },
        { 33, 10, " , Адрес 1" },                     // empty entry keeps its first space
        { 287, 16, " , Адрес 255" },
        { 131, 9, "Пожар, Адрес 99" },
        { 232, 54, "Авария рециркуляционных насосов котел 1, Адрес 200" }, // 39-char name
        { 39, 85, "Высокое давление обратной сетевой воды, Адрес 7  " },  // 38-char name
        { 288, 0, "Неизвестный источник 288, код 0" },
        { 65535, 255, "Неизвестный источник 65535, код 255" },
    };
    const EventCatalogue console(EventCatalogue::Console);
    for (const auto &c : cases) {
        const QString text = console.eventText(quint16(c.source), quint8(c.code));
        QVERIFY2(text == pad(QString::fromUtf8(c.text)),
                 qPrintable(QStringLiteral("%1/%2: \"%3\"").arg(c.source).arg(c.code).arg(text)));
    }
}

// Every code from every device source, and the codes of one to three digits
// from the sources past them: nothing reads outside the list, the name is
// never cut, an address always shows, and both editions agree.
void TestEventCatalogue::eventTextSweep()
{
    const EventCatalogue console(EventCatalogue::Console);
    const EventCatalogue full(EventCatalogue::Full);
    QVector<int> allCodes(256);
    std::iota(allCodes.begin(), allCodes.end(), 0);
    const QVector<int> someCodes = { 0, 99, 255 };

    for (int source = 0; source <= 65535; ++source) {
        const QString address = QStringLiteral(", Адрес ") + QString::number(source - 32);
        for (int code : source < 290 ? allCodes : someCodes) {
            const QString text = console.eventText(quint16(source), quint8(code));
            const int n = source < 32 ? code + 16 : code;
            QString name = source >= 288 ? QStringLiteral("Неизвестный источник %1").arg(source)
                    : n >= 94 ? QStringLiteral("Неизвестное событие") : console.entryText(n).trimmed();
            if (name.isEmpty())
                name = QStringLiteral(" "); // an empty entry keeps its first space
            if (text.size() < 40 || text.size() > 51 || !text.startsWith(name)
                || (source > 32 && source < 288) != text.contains(address)
                || text != full.eventText(quint16(source), quint8(code)))
                QFAIL(qPrintable(QStringLiteral("\"%1\" at %2/%3").arg(text).arg(source).arg(code)));
        }
    }
}

QTEST_APPLESS_MAIN(TestEventCatalogue)
#include "tst_eventcatalogue.moc"
