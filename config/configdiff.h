#ifndef CONFIGDIFF_H
#define CONFIGDIFF_H

#include <QString>
#include <QVector>

class ConfigImage;

// The differences between two configurations in the words of the editor
// window: each entry names a place as the window shows it ("Дискретный
// вход 5: Задержка", "Порог 1, датчик 12: Выбор реле", "Номер 2") and gives
// the texts its cells would show on either side. No widgets: the window, the
// comparison dialog and the command-line tool share it.
//
// Rules:
//  - Only what the window shows counts. The clock, the unused bytes and bits
//    and the six file-only bytes are never differences.
//  - Rows follow the polling mode as the tables do: addressed shows valves
//    0-250 and sensors 1-250, not addressed valve 0 and the single sensor
//    line. When the two modes differ both layouts are compared, so a change
//    hidden by the other layout still shows.
//  - A field compares by its text; when the texts agree but the stored values
//    do not (a clamped code, a repeated name, a delay between two steps), the
//    entry is still listed and each side carries its stored value, e.g.
//    "Нет (код 7)".
class ConfigDiff
{
public:
    struct Entry {
        QString field;
        QString left;
        QString right;
        bool operator==(const Entry &other) const
        {
            return field == other.field && left == other.left && right == other.right;
        }
    };
    struct Field {
        QString field;
        QString value;
    };

    // Every field the window shows, in the window's order, with its cell text.
    static QVector<Field> fields(const ConfigImage &image);
    // One entry per difference, in the window's order; empty when equal.
    static QVector<Entry> compare(const ConfigImage &left, const ConfigImage &right);

    // A text for one line or one tab-separated cell: the padding at its end
    // goes, control characters (a telephone slot may hold any byte) become
    // \xNN and a backslash doubles.
    static QString printable(const QString &text);

private:
    enum Kind { PollingMode, RelayPosition, Contact, InputName, Relay, Valve, Delay,
                Close, Report, ValveType, Phone, Dial };
    enum Layout { Single, Addressed, BothLayouts };

    // One shown field: where it lives and how it is turned into text.
    struct FieldRule {
        QString name;
        Kind kind;
        int offset; // MainBlock offset, or the slot for Phone and Dial
        int bit;    // for the bit fields
    };
    struct Value {
        QString text;
        int stored;
    };

    static const QVector<FieldRule> &rules(Layout layout);
    static QVector<FieldRule> buildRules(Layout layout);
    static Value valueOf(const FieldRule &rule, const ConfigImage &image);
    static QString withStored(const FieldRule &rule, const Value &value);
};

#endif // CONFIGDIFF_H
