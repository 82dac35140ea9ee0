#ifndef ALARMFILE_H
#define ALARMFILE_H

#include <QString>
#include <QStringList>

// Where the console looks for its alarm sound "Alarm.wav": the working
// directory first, so a customised file there wins, then beside the program,
// then in the installed data folder. A program started from a desktop menu
// runs in the home folder, where there is usually no such file.
class AlarmFile
{
public:
    static QString fileName(); // "Alarm.wav"

    // The places looked at, in order, as absolute file paths.
    static QStringList candidates();

    // The first candidate that is a readable file, or an empty string.
    static QString locate();
};

#endif // ALARMFILE_H
