// tarvik-site: polls a site's controllers without a window, as a system service.
#include "servicelog.h"
#include "siteconfig.h"
#include "siteservice.h"
#include "unixsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvik-site"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Опрос контроллеров объекта без окна (служба)."));
    parser.addHelpOption();
    const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Файл конфигурации."),
                                    QStringLiteral("FILE"), QStringLiteral("/etc/tarvik/site.ini"));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Проверить файл и показать, что будет опрашиваться."));
    parser.addOption(config);
    parser.addOption(check);
    parser.process(app);

    if (parser.isSet(check)) {
        const SiteConfig site = SiteConfig::load(parser.value(config));
        QTextStream out(site.isValid() ? stdout : stderr);
        for (const QString &line : site.isValid() ? site.describe() : site.faults())
            out << line << '\n';
        return site.isValid() ? 0 : SiteService::ExitBadConfig;
    }

    ServiceLog::install();
    UnixSignals unixSignals;
    SiteService service(parser.value(config));
    QObject::connect(&unixSignals, &UnixSignals::terminate, &service, &SiteService::terminate);
    QObject::connect(&unixSignals, &UnixSignals::reload, &service, &SiteService::reload);
    QObject::connect(&service, &SiteService::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    if (!service.start())
        return service.exitCode();
    return app.exec();
}
