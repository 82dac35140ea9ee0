#include "dispatcher.h"
#include "dispatchjournal.h"
#include "dispatchwindow.h"
#include "mediaalarmsound.h"
#include "translations.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(console);
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/images/Tarvik.png")));
    Translations::install(&app);
    QSettings store(QStringLiteral("Tarvik"), QStringLiteral("Dispatch"));
    DispatchSettings settings = DispatchSettings::load(store);
    // TARVIK_MQTT=host:port watches that broker for this run only (the demo's).
    settings.broker.applyOverride(qEnvironmentVariable("TARVIK_MQTT"));
    DispatchJournal journal;
    journal.open(DispatchJournal::defaultPath());
    Dispatcher dispatcher(&journal);
    MediaAlarmSound sound;
    DispatchWindow window(&dispatcher, &journal, &sound, &store);
    window.restorePlace();
    window.show();
    window.connectBroker(settings);
    return app.exec();
}
