#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString Translations::directory()
{
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
}

bool Translations::install(QCoreApplication *app, const QString &folder)
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    // Owned by the application, so it lives as long as the texts it gives.
    auto *translator = new QTranslator(app);
    if (!translator->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    return app->installTranslator(translator);
}
