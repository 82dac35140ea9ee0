#ifndef TRANSLATIONS_H
#define TRANSLATIONS_H

#include <QString>

class QCoreApplication;

// Qt's own texts (standard buttons, file dialogs, context menus) in Russian,
// and Russian dates and numbers in the standard widgets.
class Translations
{
public:
    // Sets the default locale to Russian and installs Qt's Russian catalogue
    // when it is there; without it the program runs with English buttons.
    // True when the catalogue was installed.
    static bool install(QCoreApplication *app, const QString &folder = directory());
    // Where Qt keeps its catalogues.
    static QString directory();
};

#endif // TRANSLATIONS_H
