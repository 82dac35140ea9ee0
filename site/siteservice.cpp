#include "siteservice.h"

#include "journal.h"
#include "mqttbinding.h"
#include "mqttclient.h"
#include "mqttpublisher.h"
#include "siteengine.h"
#include "sitesession.h"
#include "siteworker.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

SiteService::SiteService(const QString &configPath, QObject *parent)
    : QObject(parent), configPath(configPath), watchdog(notifier)
{
}

SiteService::~SiteService()
{
    delete engine; // the publisher says "offline" as it goes
    delete journal;
}

bool SiteService::start()
{
    config = SiteConfig::load(configPath);
    if (!config.isValid()) {
        for (const QString &fault : config.faults())
            qCritical().noquote() << fault;
        code = ExitBadConfig;
        return false;
    }
    if (!lock.tryLock(config.journalPath())) {
        qCritical().noquote() << lock.problem();
        code = ExitCannotStart;
        return false;
    }
    if (!openJournal()) {
        code = ExitCannotStart;
        return false;
    }
    engine = new SiteEngine(journal, Settings(), SiteEngine::LineFailurePolicy::RetryEvery10s, this);
    connect(engine, &SiteEngine::controllerLost, this, &SiteService::controllerLost);
    connect(engine, &SiteEngine::controllerRestored, this, &SiteService::controllerRestored);
    connect(engine, &SiteEngine::workersFinished, this, &SiteService::finishWhenDone);
    connect(engine->publishing()->publisher(), &MqttPublisher::statusChanged, this,
            [](const QString &text) { qInfo().noquote() << text; });
    engine->publishing()->setSettings(config.mqtt());
    startPolling(config);
    notifier.ready();
    watchdog.start();
    announce();
    return true;
}

bool SiteService::openJournal()
{
    QDir().mkpath(QFileInfo(config.journalPath()).absolutePath());
    journal = new Journal;
    connect(journal, &Journal::failed, this, [](const QString &text) { qCritical().noquote() << text; });
    connect(journal, &Journal::appended, this, [this](qint64 id) { lastRow = id; });
    // Polling and the watchdog go on; the journal holds the rows and writes them later.
    connect(journal, &Journal::writingStopped, this, [](const QString &reason) {
        qWarning().noquote() << QStringLiteral("Журнал не записывается: %1").arg(reason);
    });
    connect(journal, &Journal::writingResumed, this,
            [] { qInfo().noquote() << QStringLiteral("Журнал записывается снова"); });
    if (!journal->open(config.journalPath())) {
        qCritical().noquote() << journal->problem();
        return false;
    }
    if (!journal->problem().isEmpty())
        qWarning().noquote() << journal->problem();
    return true;
}

void SiteService::startPolling(const SiteConfig &config)
{
    engine->applyList(config.controllers());
    watchLines();
    SiteSession *site = engine->siteSession();
    connect(site, &SiteSession::portFailed, this, &SiteService::portFailed, Qt::UniqueConnection);
    failedPorts.clear();
}

// Each line's worker feeds the watchdog while it makes progress; the test
// hook stops one of them, as a worker stuck in a driver would be.
void SiteService::watchLines()
{
    watchdog.unregisterAll();
    SiteSession *site = engine->siteSession();
    const QString hang = qEnvironmentVariable("TARVIK_TEST_HANG_LINE");
    for (int line = 0; line < site->lineCount(); ++line) {
        SiteWorker *worker = site->lineWorker(line);
        if (!hang.isEmpty() && worker->lineName() == hang)
            worker->setHangForTests(true);
        watchdog.registerLine(worker->lineName(), [worker] { return worker->progress(); });
    }
}

void SiteService::announce()
{
    const SiteSession *site = engine->siteSession();
    const QString text = tr("Опрос: %1").arg(SiteEngine::linesText(site->controllers()));
    notifier.status(text);
    qInfo().noquote() << text;
}

void SiteService::controllerLost(int, const QString &text)
{
    qWarning().noquote() << text;
}

void SiteService::controllerRestored(int id, const QString &text)
{
    failedPorts.remove(engine->siteSession()->controllers().at(id).linkName());
    qInfo().noquote() << text;
}

// Tried again every 10 s: said once until a controller on it answers.
void SiteService::portFailed(const QString &port, const QString &text)
{
    if (failedPorts.contains(port))
        return;
    failedPorts.insert(port);
    // The first line says what is wrong; the service goes on trying.
    const QString reason = text.section(QLatin1Char('\n'), 0, 0);
    qWarning().noquote() << (reason.contains(port) ? reason : tr("Порт %1: %2").arg(port, reason));
}

void SiteService::reload()
{
    if (ending)
        return;
    notifier.reloading();
    const SiteConfig fresh = SiteConfig::load(configPath);
    if (!fresh.isValid()) {
        for (const QString &fault : fresh.faults())
            qCritical().noquote() << fault;
        qWarning().noquote() << tr("Конфигурация не применена: опрос продолжается по прежней.");
        notifier.ready();
        return;
    }
    if (fresh.journalPath() != config.journalPath())
        qWarning().noquote() << tr("Журнал меняется только при перезапуске службы.");
    if (!(fresh.mqtt() == config.mqtt()))
        engine->publishing()->setSettings(fresh.mqtt());
    if (fresh.controllers().entries() != config.controllers().entries())
        startPolling(fresh);
    config = fresh;
    notifier.ready();
    announce();
}

// The workers end within a request; the journaled end has a moment to
// reach the broker before the publisher says "offline".
void SiteService::terminate()
{
    if (ending)
        return;
    ending = true;
    notifier.stopping();
    watchdog.stop();
    engine->stop();
    engine->requestEnd();
    qInfo().noquote() << tr("Опрос завершён, служба останавливается.");
    QTimer::singleShot(EndWithinMs, this, [this] {
        endDeadlinePassed = true;
        finishWhenDone();
    });
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &SiteService::finishWhenDone);
    poll->start(50);
    finishWhenDone();
}

void SiteService::finishWhenDone()
{
    if (!ending || code < 0)
        return;
    MqttPublisher *publisher = engine->publishing()->publisher();
    const bool delivered = !publisher->client()->isConnected() || publisher->acknowledgedId() >= lastRow;
    if (!endDeadlinePassed && (engine->isRunning() || !delivered))
        return;
    if (engine->isRunning())
        qWarning().noquote() << tr("Линия не закончила запрос вовремя.");
    code = -1; // finished once
    emit finished(0);
}
