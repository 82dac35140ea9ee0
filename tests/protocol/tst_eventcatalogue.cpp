#include <QtTest>

#include <climits>

#include "eventcatalogue.h"

namespace {

QString pad(const QString &name)
{
    return name.leftJustified(40, QLatin1Char(' '));
}

// The entries with Latin letters, and those letters; every other entry has none.
// A stray Latin or Cyrillic look-alike breaks inputNameCode against files and the console's texts.
const struct { int first, last; const char *letters; } latinEntries[] = {
    {0, 1, "CH"}, {107, 107, "CH"}, {2, 3, "CO"}, {108, 108, "CO"},
    {95, 101, "P"}, {103, 105, "P"}, {168, 173, "P"}, {164, 167, "T"}};

QString latinLetters(int n)
{
    for (const auto &entry : latinEntries) {
        if (n >= entry.first && n <= entry.last)
            return entry.letters;
    }
    return QString();
}

} // namespace

class TestEventCatalogue : public QObject
{
    Q_OBJECT

private slots:
    // Sizes, padding, letters, texts (typos as listed), the
    // console's list as a selection of the full one, reads out of range, input names.
    void entries()
    {
        const EventCatalogue full(EventCatalogue::Full);
        const EventCatalogue console(EventCatalogue::Console);
        QVERIFY(full.size() == 177 && console.size() == 94);
        const QString empty = pad("");
        for (int n = 0; n < full.size(); ++n) {
            const QString text = full.entryText(n);
            QString latin;
            for (QChar c : text)
                latin += c.isLetter() && c.script() != QChar::Script_Cyrillic ? QString(c) : QString();
            QVERIFY2(text.size() == 40 && (n >= 10 && n <= 16) == (text == empty)
                             && latin == latinLetters(n), qPrintable(QString::number(n) + ' ' + text));
        }
        const struct { int n; const char *name; } samples[] = {
            { 51, "Авария насоса подпидки 2" }, { 78, "\"Порог 1\" загазованности ДТ" },
            { 95, "Высокое P подачи котлового контура" }, { 151, "Потеря связи с модулем А2" },
            { 94, "Низкое давление подачи котлового контура" }, // no padding left
            { 176, "Ошибка измерения датчика давления газа" },
        };
        for (const auto &sample : samples)
            QCOMPARE(full.entryText(sample.n), pad(sample.name));
        for (int n = 0; n < console.size(); ++n)
            QCOMPARE(console.entryText(n), full.entryText(n < 90 ? n : n + 17));

        for (int n : { -1, 177, INT_MIN, INT_MAX })
            QVERIFY(full.entryText(n) == empty && full.inputNameText(n) == empty);
        QVERIFY(full.inputNameText(161) == empty && console.entryText(94) == empty
                && console.inputNameText(78) == empty && EventCatalogue::emptyEntry() == empty);

        // Input names: 9 and 7 (duplicates of 17, 109) lie before the list, so codes round-trip.
        const QStringList names = full.inputNameTexts();
        QCOMPARE(names.size(), 161);
        for (int code = 0; code < names.size(); ++code) {
            const QString name = names.at(code);
            QVERIFY2(name == full.entryText(code + 16) && full.inputNameText(code) == name
                             && full.inputNameCode(name) == code, qPrintable(name));
        }
        const QString others[] = { pad("Обрыв датчика"), "Пожар", pad("Пожар").chopped(1), QString(),
                                   pad("Высокое Р подачи котлового контура") }; // Cyrillic Р
        for (const QString &text : others)
            QCOMPARE(full.inputNameCode(text), 0);
    }

    // Exact texts at every boundary; then a sweep: no read outside the list, no
    // name cut, an address exactly for sources 33..287, both editions agree.
    void eventText()
    {
        const struct { int source; int code; const char *text; } cases[] = {
            { 32, 0, "Порог 1, датчик CH" }, { 0, 74, "Загазованность CH" }, { 32, 93, "Нет питания" },
            { 5, 1, "Пожар" }, { 31, 3, "Авария 1" }, { 0, 77, "Нет питания" },
            { 0, 78, "Неизвестное событие, код 78" }, { 32, 94, "Неизвестное событие, код 94" },
            { 40, 255, "Неизвестное событие, код 255, Адрес 8" }, { 131, 9, "Пожар, Адрес 99" },
            { 287, 16, " , Адрес 255" }, { 65535, 255, "Неизвестный источник 65535, код 255" },
            { 232, 54, "Авария рециркуляционных насосов котел 1, Адрес 200" }, // 50 characters
            { 39, 85, "Высокое давление обратной сетевой воды, Адрес 7  " },
            { 288, 0, "Неизвестный источник 288, код 0" }, { 33, 10, " , Адрес 1" },
        };
        const EventCatalogue console(EventCatalogue::Console);
        const EventCatalogue full(EventCatalogue::Full);
        for (const auto &c : cases)
            QCOMPARE(console.eventText(quint16(c.source), quint8(c.code)), pad(c.text));

        for (int source = 0; source <= 65535; ++source) {
            const QString address = QStringLiteral(", Адрес %1").arg(source - 32);
            for (int code = 0; code <= 255; code += source < 290 ? 1 : 85) {
                const QString text = console.eventText(quint16(source), quint8(code));
                const int n = source < 32 ? code + 16 : code;
                const QString name = source < 288 ? console.entryText(n).trimmed() : QString();
                if (text.size() < 40 || text.size() > 51 || !text.startsWith(name)
                    || (source > 32 && source < 288) != text.contains(address)
                    || text != full.eventText(quint16(source), quint8(code)))
                    QFAIL(qPrintable(QString("%1/%2: \"%3\"").arg(source).arg(code).arg(text)));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestEventCatalogue)
#include "tst_eventcatalogue.moc"
