#ifndef SITESERVICE_H
#define SITESERVICE_H

#include "instancelock.h"
#include "progresswatchdog.h"
#include "servicenotifier.h"
#include "siteconfig.h"

#include <QObject>
#include <QSet>
#include <QStringList>

#include <memory>

class Journal;
class SiteEngine;

// The headless service: reads the configuration, takes the journal's lock,
// opens the journal and polls the site through the engine (lost controllers
// retried, never a box), publishing as the console does. SIGTERM ends
// polling, journals it and says "offline"; SIGHUP applies a changed list or
// broker. Log lines go through Qt's message handler (ServiceLog).
class SiteService : public QObject
{
    Q_OBJECT

public:
    static constexpr int ExitBadConfig = 2;
    static constexpr int ExitCannotStart = 1;
    static constexpr int EndWithinMs = 1500; // the workers' and the broker's share of 2 s

    explicit SiteService(const QString &configPath, QObject *parent = nullptr);
    ~SiteService() override;

    // Starts polling; false with the reason logged and exitCode() set.
    bool start();
    int exitCode() const { return code; }
    void terminate();
    void reload();

signals:
    void finished(int exitCode);

private:
    bool openJournal();
    void startPolling(const SiteConfig &config);
    void watchLines();
    void controllerLost(int id, const QString &text);
    void controllerRestored(int id, const QString &text);
    void portFailed(const QString &port, const QString &text);
    void finishWhenDone();
    void announce();

    QString configPath;
    SiteConfig config;
    InstanceLock lock;
    ServiceNotifier notifier;
    ProgressWatchdog watchdog;
    Journal *journal = nullptr;
    SiteEngine *engine = nullptr;
    QSet<QString> failedPorts; // logged once until they open
    qint64 lastRow = 0; // the newest journal row, for the broker at the end
    bool ending = false;
    bool endDeadlinePassed = false;
    int code = 0;
};

#endif // SITESERVICE_H
