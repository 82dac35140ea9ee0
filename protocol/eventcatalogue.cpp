#include "eventcatalogue.h"

#include <initializer_list>

namespace {

// Names of the full edition in entry order, unpadded. "CH", "CO" and the
// pressure "P" and temperature "T" are Latin letters; the "А" of the module
// names А2..А8 is Cyrillic.
const char *const fullNames[EventCatalogue::FullSize] = {
    "Порог 1, датчик CH", // 0
    "Порог 2, датчик CH",
    "Порог 1, датчик CO",
    "Порог 2, датчик CO",
    "Неисправность датчика",
    "Обрыв датчика",
    "Обрыв клапана",
    "Клапан закрыт",
    "Найден датчик",
    "Пожар",
    "", // 10
    "",
    "",
    "",
    "",
    "",
    "", // 16
    "Пожар", // 17
    "Взлом",
    "Авария 1",
    "Авария 2", // 20
    "Авария 3",
    "Авария 4",
    "Авария 5",
    "Авария 6",
    "Авария 7",
    "Авария 8",
    "Авария 9",
    "Авария 10",
    "Авария 11",
    "Авария 12", // 30
    "Авария 13",
    "Авария 14",
    "Авария 15",
    "Авария 16",
    "Авария 17",
    "Авария 18",
    "Авария 19",
    "Авария 20",
    "Авария 21",
    "Авария 22", // 40
    "Авария котла 1",
    "Авария котла 2",
    "Авария котла 3",
    "Авария котла 4",
    "Авария котла 5",
    "Авария сетевых насосов",
    "Авария сетевого насоса 1",
    "Авария сетевого насоса 2",
    "Авария сетевого насоса 3",
    "Авария насоса подпидки 1", // 50
    "Авария насоса подпидки 2",
    "Авария насосов ГВС внутреннего контура",
    "Авария насосов ГВС внешнего контура",
    "Авария рециркуляционных насосов котел 1",
    "Авария рециркуляционных насосов котел 2",
    "Авария рециркуляционных насосов котел 3",
    "Авария рециркуляционных насосов котел 4",
    "Авария рециркуляционных насосов котел 5",
    "Авария насосов подпитки",
    "Авария насосов исходной воды", // 60
    "Авария котлового насоса 1",
    "Авария котлового насоса 2",
    "Авария котлового насоса 3",
    "Авария котлового насоса 4",
    "Авария котлового насоса 5",
    "Авария вентилятора калорифера 1",
    "Авария вентилятора калорифера 2",
    "Авария вентилятора калорифера 3",
    "Авария вентилятора калорифера 4",
    "Авария вытяжного вентилятора 1", // 70
    "Авария вытяжного вентилятора 2",
    "Авария вытяжного вентилятора 3",
    "Авария вытяжного вентилятора 4",
    "Нижний уровень в баке запаса воды",
    "Перелив бака запаса воды",
    "Нижний уровень в баке запаса ДТ",
    "Перелив бака запаса ДТ",
    "\"Порог 1\" загазованности ДТ",
    "\"Порог 2\" загазованности ДТ",
    "Нет напряжения на входе 1", // 80
    "Авария низкой температуры",
    "Авария высокой температуры",
    "Клапан открыт",
    "Низкое давление обратной сетевой воды",
    "Высокое давление обратной сетевой воды",
    "Низкое давление исходной воды",
    "Высокое давление исходной воды",
    "Низкое давление газа",
    "Высокое давление газа",
    "Низкий уровень воды в баке запаса воды", // 90
    "Высокий уровень воды в баке запаса воды",
    "Утечка газа",
    "Авария водоподготовки",
    "Низкое давление подачи котлового контура",
    "Высокое P подачи котлового контура",
    "Низкое P обратки котлового контура",
    "Высокое P обратки котлового контура",
    "Низкое P подачи контура вентиляции",
    "Высокое P подачи контура вентиляции",
    "Низкое P обратки контура вентиляции", // 100
    "Высокое P обратки контура вентиляции",
    "Низкое давление подачи контура отопления",
    "Высокое P подачи контура отопления",
    "Низкое P обратки контура отопления",
    "Высокое P обратки контура отопления",
    "Низкое давление воды на вводе",
    "Загазованность CH",
    "Загазованность CO",
    "Клапан закрыт",
    "Нет питания", // 110
    "Авария горелки котла 1",
    "Провал работы ступени 1 котла 1",
    "Провал работы ступени 2 котла 1",
    "Авария горелки котла 2",
    "Провал работы ступени 1 котла 2",
    "Провал работы ступени 2 котла 2",
    "Нет питания ИБП",
    "Отсутствует эл. питание котельной",
    "Нет РП котла 1",
    "Нет РП котла 2", // 120
    "Провал старта котлового насоса 1",
    "Провал старта котлового насоса 2",
    "Провал старта насоса вентиляции 1",
    "Провал старта насоса вентиляции 2",
    "Провал старта насоса отопления 1",
    "Провал старта насоса отопления 2",
    "Низкий уровень дизеля",
    "Высокий уровень дизеля",
    "Провал старта насоса подпитки 1",
    "Провал старта насоса подпитки 2", // 130
    "Авария ПЧ насосов котлового контура",
    "Авария ПЧ насосов вентиляции",
    "Клапан газа закрыт",
    "Взлом котельной",
    "Низкая температура подачи котла 1",
    "Высокая температура подачи котла 1",
    "Низкая температура обратки котла 1",
    "Высокая температура обратки котла 1",
    "Низкая температура подачи котла 2",
    "Высокая температура подачи котла 2", // 140
    "Низкая температура обратки котла 2",
    "Высокая температура обратки котла 2",
    "Низкая темпер. подачи контура вентиляции",
    "Высокая темп. подачи контура вентиляции",
    "Низкая темп. обратки контура вентиляции",
    "Высокая темп. обратки контура вентиляции",
    "Низкая темпер. подачи контура отопления",
    "Высокая темпер. подачи контура отопления",
    "Низкая темпер. обратки контура отопления",
    "Высокая темп. обратки контура отопления", // 150
    "Потеря связи с модулем А2",
    "Потеря связи с модулем А3",
    "Потеря связи с модулем А4",
    "Потеря связи с модулем А5",
    "Потеря связи с модулем А6",
    "Потеря связи с модулем А7",
    "Потеря связи с модулем А8",
    "Потеря связи с модулем расширения ПЛК",
    "Ошиб. измерен. датчика температуры улицы",
    "Ошиб. изме. датчика темп. подачи котла 1", // 160
    "Ошиб. изм. дат. темпер. обратки котла 1",
    "Ошиб. изм. дат. температ. подачи котла 2",
    "Ошиб. изм. дат. темпер. обратки котла 2",
    "Ошиб. изм. дат. T подачи конт. вент-ции",
    "Ошиб. изм. дат. T обратки конт. вент-ции",
    "Ошиб. изм. дат. T подачи контура отопл.",
    "Ошиб. изм. дат. T обратки контура отопл.",
    "Ошиб. изм. дат. P подачи котл-го контура",
    "Ошиб. изм. дат. P обратки кот-го контура",
    "Ошиб. изм. дат. P подачи кон-ра вент-ции", // 170
    "Ошиб. изм. дат. P обратки кон-ра вен-ции",
    "Ошиб. изм. дат. P подачи кон-ра отоплен.",
    "Ошиб. изм. дат. P обратки кон-ра отопл.",
    "Ошиб. изм. датч. давления воды на вводе",
    "Ошибка измерения датчика",
    "Ошибка измерения датчика давления газа",
};

// The console's short list: entries 0..89 of the full edition, then these.
const int consoleTail[] = { 107, 108, 109, 110 };
const int consoleHeadCount = 90;

static_assert(consoleHeadCount + int(sizeof consoleTail / sizeof consoleTail[0])
                      == EventCatalogue::ConsoleSize,
              "console list size");

QString padded(const QString &name)
{
    return name.leftJustified(EventCatalogue::EntryWidth, QLatin1Char(' '));
}

// What the name column shows for an event the console's list cannot name:
// the numbers the controller sent, so the engineer can still look them up.
// Built in one buffer, padded like an entry.
QString placeholder(std::initializer_list<QString> parts)
{
    QString text;
    text.reserve(EventCatalogue::EntryWidth);
    for (const QString &part : parts)
        text += part;
    if (text.size() < EventCatalogue::EntryWidth)
        text.resize(EventCatalogue::EntryWidth, QLatin1Char(' '));
    return text;
}

QStringList buildFull()
{
    QStringList list;
    list.reserve(EventCatalogue::FullSize);
    for (const char *name : fullNames)
        list.append(padded(QString::fromUtf8(name)));
    return list;
}

const QStringList &fullEntries()
{
    static const QStringList list = buildFull();
    return list;
}

QStringList buildConsole()
{
    const QStringList &full = fullEntries();
    QStringList list = full.mid(0, consoleHeadCount);
    for (int n : consoleTail)
        list.append(full.at(n));
    return list;
}

const QStringList &consoleEntries()
{
    static const QStringList list = buildConsole();
    return list;
}

const QStringList &fullInputNames()
{
    static const QStringList list = fullEntries().mid(EventCatalogue::InputNameOffset);
    return list;
}

const QStringList &consoleInputNames()
{
    static const QStringList list = consoleEntries().mid(EventCatalogue::InputNameOffset);
    return list;
}

} // namespace

EventCatalogue::EventCatalogue(Edition edition)
    : m_edition(edition == Console ? Console : Full),
      m_entries(m_edition == Console ? &consoleEntries() : &fullEntries()),
      m_inputNames(m_edition == Console ? &consoleInputNames() : &fullInputNames())
{
}

EventCatalogue::Edition EventCatalogue::edition() const
{
    return m_edition;
}

int EventCatalogue::size() const
{
    return m_entries->size();
}

QString EventCatalogue::emptyEntry()
{
    return fullEntries().at(InputNameOffset);
}

QString EventCatalogue::entryText(int n) const
{
    if (n < 0 || n >= m_entries->size())
        return emptyEntry();
    return m_entries->at(n);
}

QStringList EventCatalogue::inputNameTexts() const
{
    return *m_inputNames;
}

QString EventCatalogue::inputNameText(int code) const
{
    if (code < 0 || code >= m_inputNames->size())
        return emptyEntry();
    return m_inputNames->at(code);
}

int EventCatalogue::inputNameCode(const QString &text) const
{
    const int code = m_inputNames->indexOf(text);
    return code < 0 ? 0 : code;
}

QString EventCatalogue::eventText(quint16 source, quint8 code) const
{
    if (source >= EndDeviceSource) {
        return placeholder({ QStringLiteral("Неизвестный источник "), QString::number(source),
                             QStringLiteral(", код "), QString::number(code) });
    }
    const QStringList &entries = consoleEntries();
    const int n = source < FirstDeviceSource ? code + InputNameOffset : code;
    QString text = n < entries.size()
            ? entries.at(n)
            : placeholder({ QStringLiteral("Неизвестное событие, код "), QString::number(code) });
    if (source > FirstDeviceSource)
        appendAddress(text, source - FirstDeviceSource);
    return text;
}

// Writes ", Адрес N" right after the name, over its padding; a name that
// reaches into the last few columns makes the text longer than EntryWidth.
// Character 0 is never looked at, so an empty entry keeps a leading space.
void EventCatalogue::appendAddress(QString &text, int address)
{
    QString suffix = QStringLiteral(", Адрес    ");
    const QString digits = QString::number(address);
    suffix.replace(8, digits.size(), digits);

    int insertAt = 1;
    for (int i = qMin(EntryWidth - 2, text.size() - 1); i >= 1; --i) {
        if (text.at(i) != QLatin1Char(' ')) {
            insertAt = i + 1;
            break;
        }
    }
    text = text.left(insertAt) + suffix + text.mid(insertAt + suffix.size());
}
