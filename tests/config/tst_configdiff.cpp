// ConfigDiff against hand-made images: every kind of field in both polling
// modes, the bytes the window does not show, and values the window shows
// clamped.
#include "configdiff.h"
#include "configimage.h"

#include <QtTest>

#include <functional>

namespace {

using Entry = ConfigDiff::Entry;
using Change = std::function<void(ConfigImage &)>;

ConfigImage defaults(int mode)
{
    ConfigImage image;
    image.applyDefaults();
    image.setWord(ConfigImage::PollingMode, quint16(mode));
    return image;
}

Change byteAt(int offset, int value)
{
    return [=](ConfigImage &image) { image.setByte(offset, quint8(value)); };
}

QString entriesText(const QVector<Entry> &entries)
{
    QStringList lines;
    for (const Entry &e : entries)
        lines << e.field + ": " + e.left + " -> " + e.right;
    return lines.join('\n');
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestConfigDiff : public QObject
{
    Q_OBJECT

private slots:
    void oneFieldChanged_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("expected"); // empty: not shown in this mode

        using C = ConfigImage;
        const struct {
            const char *tag;
            Change change;
            QString single, addressed = "same";
        } rows[] = {
            {"relay position", [](ConfigImage &i) { i.setBit(C::RelayPositions, 2, true); },
             "Реле 3: Выключено -> Включено"},
            {"contact", [](ConfigImage &i) { i.setDword(C::InputContactMask, 0xFFFFFFEF); },
             "Дискретный вход 5: Тип входа: Нормально разомкнут -> Нормально замкнут"},
            {"input name", byteAt(C::InputName + 4, 6),
             "Дискретный вход 5: Наименование: " + C::inputNameText(5) + " -> " + C::inputNameText(6)},
            {"input relay", byteAt(C::InputRelay + 4, 4), "Дискретный вход 5: Выбор реле: Реле 3 -> Реле 4"},
            {"input valve", byteAt(C::InputValve + 4, 9), "Дискретный вход 5: Выбор клапана: Нет    -> Клапан 8"},
            {"input delay", [](ConfigImage &i) { i.setWord(C::InputDelay + 8, 1000); },
             "Дискретный вход 5: Задержка: 0.2 -> 10.0"},
            {"close", byteAt(C::ValveFlags, 0), "Клапан 0: Закрывать при отк.: Закрывать -> Не закрывать"},
            {"break report", byteAt(C::ValveReportFlags, 2), "Клапан 0: Сообщать о обрыве: Сообщать -> Не сообщать"},
            {"close report", byteAt(C::ValveReportFlags, 1), "Клапан 0: Сообщать о закрытии: Сообщать -> Не сообщать"},
            {"valve state relay", byteAt(C::ValveStateRelay, 1), "Клапан 0: Реле состояния клап.: Реле 4 -> Реле 1"},
            {"valve type", byteAt(C::ValveType, 1), "Клапан 0: Тип клапана: КЗЭГ/ВН -> КПЭГ"},
            {"valve 3", byteAt(C::ValveReportFlags + 3, 0), "", "Клапан 3: Сообщать о обрыве: Сообщать -> Не сообщать"},
            {"valve 250", byteAt(C::ValveStateRelay + 250, 2), "", "Клапан 250: Реле состояния клап.: Нет    -> Реле 2"},
            {"phone", [](ConfigImage &i) { i.setPhoneNumber(1, "+7900"); }, "Номер 2:  -> +7900"},
            {"dial", [](ConfigImage &i) { i.setBit(C::DialFlags, 1, false); }, "Номер 2: Выполнять дозвон: Нет -> Да"},
            {"sensor line", byteAt(C::Thres1Relay, 3), "Порог 1: Выбор реле: Реле 2 -> Реле 3", ""},
            {"sensor 12", byteAt(C::Thres2Valve + 12, 0), "", "Порог 2, датчик 12: Выбор клапана: Клапан 0 -> Нет   "},
            {"sensor 250", byteAt(C::FireRelay + 250, 4), "", "Пожар, датчик 250: Выбор реле: Реле 1 -> Реле 4"},
            {"defect line valve", byteAt(C::DefectValve, 1), "Неисправность: Выбор клапана: Нет    -> Клапан 0", ""},
            {"sensor entry 251", byteAt(C::Thres1Relay + 251, 4), "", ""},
        };
        for (const auto &row : rows) {
            QTest::addRow("%s, not addressed", row.tag) << 0 << row.change << row.single;
            QTest::addRow("%s, addressed", row.tag)
                << 1 << row.change << (row.addressed == "same" ? row.single : row.addressed);
        }
    }

    void oneFieldChanged()
    {
        QFETCH(int, mode);
        QFETCH(Change, change);
        QFETCH(QString, expected);
        const ConfigImage left = defaults(mode);
        ConfigImage right = left;
        change(right);
        QCOMPARE(entriesText(ConfigDiff::compare(left, right)), expected);
    }

    // Whatever the window does not show: the clock, the unused bytes and bits,
    // the file-only tail, sensor entry 251, valve 251 and slot bytes past a length.
    void hiddenBytesAreNotDifferences()
    {
        for (int mode : {0, 1}) {
            const ConfigImage left = defaults(mode);
            ConfigImage right = left;
            for (quint8 &byte : right.ClockBlock)
                byte = quint8(~byte);
            for (int offset : {2595, 2651, 2652, 2653, 2654, 2655, 2656, 2657})
                right.setByte(offset, quint8(~right.byte(offset)));
            right.setByte(ConfigImage::ValveFlags, 0xFF);
            right.setByte(ConfigImage::RelayPositions, 0xF0);
            right.setByte(ConfigImage::DialFlags, 0x3F);
            right.setDword(ConfigImage::InputContactMask, 0x00FFFFFF);
            for (int at = ConfigImage::ValveReportFlags; at < ConfigImage::ValveReportFlags + 252; ++at)
                right.setByte(at, quint8(right.byte(at) | 0xFC));
            right.setByte(ConfigImage::ValveStateRelay + 251, 3);
            right.setByte(ConfigImage::Thres2Valve + 251, 9);
            right.PhoneBlock[5] = '9'; // number 1 is empty: its bytes mean nothing
            QCOMPARE(entriesText(ConfigDiff::compare(left, right)), QString());
        }
    }

    // A code or value shown by the same text on both sides is still a difference,
    // with what is stored.
    void storedValuesBehindEqualTexts()
    {
        const struct {
            const char *tag;
            Change change;
            QString expected;
        } rows[] = {
            {"relay code past the list", byteAt(ConfigImage::InputRelay + 1, 200),
             "Дискретный вход 2: Выбор реле: Нет (код 0) -> Нет (код 200)"},
            {"delay between steps", [](ConfigImage &i) { i.setWord(ConfigImage::InputDelay + 2, 30); },
             "Дискретный вход 2: Задержка: 0.2 (значение 20) -> 0.2 (значение 30)"},
            {"delay past the list", [](ConfigImage &i) { i.setWord(ConfigImage::InputDelay + 2, 5000); },
             "Дискретный вход 2: Задержка: 0.2 -> 10.0"},
            {"valve code past the list", byteAt(ConfigImage::Thres1Valve + 1, 252),
             "Порог 1, датчик 1: Выбор клапана: Нет (код 0) -> Нет (код 252)"},
            {"name past the catalogue", byteAt(ConfigImage::InputName + 23, 200),
             "Дискретный вход 24: Наименование:  (код 0) ->  (код 200)"},
            {"mode other than 1", [](ConfigImage &i) { i.setWord(ConfigImage::PollingMode, 7); },
             "Режим опроса: Адресный (значение 1) -> Адресный (значение 7)"},
            {"valve type other than 1", byteAt(ConfigImage::ValveType, 9),
             "Клапан 0: Тип клапана: КЗЭГ/ВН (код 0) -> КЗЭГ/ВН (код 9)"},
            {"length past the slot", [](ConfigImage &i) { i.PhoneBlock[182] = 40; },
             "Номер 2: 555555555555555555555555555555 (длина 30) -> 555555555555555555555555555555 (длина 40)"},
        };
        ConfigImage left = defaults(1);
        left.setByte(ConfigImage::InputName + 23, 0);
        left.setByte(ConfigImage::InputRelay + 1, 0);
        left.setPhoneNumber(1, QByteArray(30, '5'));
        for (const auto &row : rows) {
            ConfigImage right = left;
            row.change(right);
            const QString found = entriesText(ConfigDiff::compare(left, right));
            QVERIFY2(found == row.expected, qPrintable(QString("%1: %2").arg(row.tag, found)));
        }
    }

    // A mode switch keeps both layouts in the image: comparing across modes must
    // show a change in either, not only in the one the new mode shows.
    void differentModesCompareBothLayouts()
    {
        const ConfigImage left = defaults(0);
        ConfigImage right = defaults(1);
        right.setByte(ConfigImage::Thres1Relay, 4);
        right.setByte(ConfigImage::Thres1Relay + 7, 3);
        right.setByte(ConfigImage::ValveStateRelay + 2, 1);
        QCOMPARE(entriesText(ConfigDiff::compare(left, right)),
                 QString("Режим опроса: Безадресный -> Адресный\n"
                         "Клапан 2: Реле состояния клап.: Нет    -> Реле 1\n"
                         "Порог 1: Выбор реле: Реле 2 -> Реле 4\n"
                         "Порог 1, датчик 7: Выбор реле: Реле 2 -> Реле 3"));
    }

    void printableTexts()
    {
        QCOMPARE(ConfigDiff::printable(QStringLiteral("Нет   ")), QString("Нет"));
        QCOMPARE(ConfigDiff::printable(QString(40, ' ')), QString());
        QCOMPARE(ConfigDiff::printable(QString::fromLatin1("1\t2\n\x7f\\ \xe9 ")),
                 QString::fromLatin1("1\\x092\\x0A\\x7F\\\\ \xe9"));
    }
};

QTEST_APPLESS_MAIN(TestConfigDiff)
#include "tst_configdiff.moc"
