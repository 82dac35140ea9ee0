#ifndef CONFIGFIELDS_H
#define CONFIGFIELDS_H

#include <QString>
#include <QStringList>
#include <QVector>

class ConfigImage;

// What the editor window shows of a configuration, without any widget: the
// titles, column headers, row layouts and choice lists. The tables, the
// comparison and the command-line tool all take them from here, so the
// words of a comparison are always the words of the window.
class ConfigFields
{
public:
    static constexpr int InputRows = 24;
    static constexpr int AddressedValveRows = 251;  // valves 0-250
    static constexpr int AddressedSensorRows = 250; // sensor addresses 1-250

    // One of the four sensor tables: its group box title and the two arrays
    // it shows.
    struct SensorGroup {
        QString title;
        int relayOffset;
        int valveOffset;
    };
    static const QVector<SensorGroup> &sensorGroups(); // threshold 1, threshold 2, defect, fire

    static const QStringList &inputHeaders();
    static const QStringList &valveHeaders();
    static const QStringList &sensorHeaders();

    // Choice lists of the cell editors and "Для всех" boxes.
    static QStringList contactTexts();
    static QStringList reportTexts();
    static QStringList closeTexts();
    static QStringList editableDelayTexts(); // "0.0" only shows a stored 0
    static QStringList singleValveTexts();   // "Нет   ", "Клапан 0"

    // Titles and labels of the forms outside the tables.
    static QString pollingModeTitle();       // "Режим опроса"
    static QString relayLabel(int relay);    // "Реле 1" .. "Реле 4"
    static QString phoneLabel(int number);   // "Номер 1" .. "Номер 6"
    static QString dialTitle();              // the "Выполнять дозвон" check box
    static QString dialText(bool dial);      // the check box as a word

    // Any mode but 0 takes the addressed layout, in the tables and buttons alike.
    static bool addressed(const ConfigImage &image);
    // Addressed rows are sensor addresses 1-250; the single line uses entry 0.
    static int sensorEntry(bool addressed, int row) { return addressed ? row + 1 : 0; }
};

#endif // CONFIGFIELDS_H
