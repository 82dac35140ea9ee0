#ifndef STARTUPFILE_H
#define STARTUPFILE_H

#include <QByteArray>
#include <QString>

// The configuration file named on the editor's command line. main() sets it
// before the application object exists; the window reads it once when built.
class StartupFile
{
public:
    static QString name();
    static void setName(const QString &fileName);

    // The name worth opening: longer than 4 characters and naming an existing
    // file, else empty (such an argument is ignored without a message).
    static QString existingName();

    // Turns argv[1] into text: CP1251 on Windows whatever the system code
    // page, the locale's 8-bit encoding (UTF-8) elsewhere. Null gives empty.
    static QString fromArgument(const char *argument);
    static QString fromCp1251(const QByteArray &bytes);
};

#endif // STARTUPFILE_H
