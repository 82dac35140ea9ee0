#include "siteengine.h"

#include "journal.h"
#include "mqttbinding.h"
#include "mythread.h"
#include "sitesession.h"

#include <QCoreApplication>

namespace {

qint64 shownKey(int id, bool current)
{
    return qint64(id + 1) * 2 + (current ? 1 : 0);
}

} // namespace

SiteEngine::SiteEngine(Journal *journal, const Settings &link, LineFailurePolicy policy, QObject *parent)
    : QObject(parent),
      log(journal),
      failurePolicy(policy),
      catalogue(EventCatalogue::Console),
      retryMs(SiteWorker::RetryIntervalMs)
{
    qRegisterMetaType<AlarmType>("AlarmType");
    qRegisterMetaType<JournalRecord>("JournalRecord");
    binding = new MqttBinding(journal, link, this);
    if (failurePolicy == LineFailurePolicy::EndPolling) {
        worker = new MyThread;
        connectWorker();
        binding->watch(worker);
        worker->start(QThread::InheritPriority);
    }
}

SiteEngine::~SiteEngine()
{
    waitEnded();
    delete site;
    delete worker;
}

void SiteEngine::connectWorker()
{
    connect(worker, &MyThread::Signal, this, &SiteEngine::singleFailed);
    connect(worker, &MyThread::SignalAlarmAll, this, [this](AlarmType alarm) { takeEvent(-1, false, alarm); });
    connect(worker, &MyThread::SignalAlarmCurrent, this, [this](AlarmType alarm) { takeEvent(-1, true, alarm); });
    connect(worker, &MyThread::SignalAlarmAllClear, this, [this] { takeCleared(-1, false); });
    connect(worker, &MyThread::SignalAlarmCurrentClear, this, [this] { takeCleared(-1, true); });
    connect(worker, &QThread::finished, this, [this] {
        if (!isRunning())
            emit workersFinished();
    });
}

void SiteEngine::connectSite()
{
    connect(site, &SiteSession::eventRead, this, &SiteEngine::takeEvent);
    connect(site, &SiteSession::listCleared, this, &SiteEngine::takeCleared);
    connect(site, &SiteSession::linkLost, this, &SiteEngine::lost);
    connect(site, &SiteSession::linkRestored, this, &SiteEngine::restored);
    connect(site, &SiteSession::workersFinished, this, [this] {
        if (!isRunning())
            emit workersFinished();
    });
}

void SiteEngine::start(const ControllerList &list, const Settings &single)
{
    if (failurePolicy == LineFailurePolicy::RetryEvery10s || list.isSite()) {
        startSite(list);
        return;
    }
    // The one polled controller need not be the first of the list.
    const QVector<int> polled = list.polled();
    startSingle(polled.size() == 1 && polled.first() > 0 ? Settings(list.at(polled.first())) : single);
}

void SiteEngine::startSingle(const Settings &link)
{
    Q_ASSERT(worker);
    endSite();
    worker->setLink(link.linkTarget());
    worker->resume();
    binding->singleStarted(link);
    pollPort = link.linkName();
    pollSlave = link.address;
    const QString lines = singleLineText(link);
    note(JournalRecord::PollingStarted, QString(), lines);
    emit pollingStarted(lines);
}

void SiteEngine::startSite(const ControllerList &list)
{
    if (!site || site->controllers().entries() != list.entries()) {
        endSite();
        site = new SiteSession(list, this);
        site->setRetryInterval(retryMs);
        connectSite();
        shown.clear();
    }
    sitePolling = true;
    site->start();
    binding->siteStarted(site);
    pollPort.clear();
    pollSlave = 0;
    const QString lines = linesText(list);
    note(JournalRecord::PollingStarted, QString(), lines);
    emit pollingStarted(lines);
}

void SiteEngine::applyList(const ControllerList &list)
{
    if (!site || site->controllers().entries() == list.entries()) {
        startSite(list);
        return;
    }
    stop();
    site->stop();
    // What the workers sent before they ended is journaled before they go.
    QCoreApplication::sendPostedEvents(site, QEvent::MetaCall);
    const SiteSession::Memories memories = site->memories();
    // What is on show stays on show: a clear after the change is journaled.
    QHash<QString, int> carried;
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        const int id = int(it.key() / 2) - 1;
        if (id >= 0) {
            const ControllerEntry &entry = site->controllers().at(id);
            carried.insert(entry.linkName() + QLatin1Char('/') + QString::number(entry.address)
                               + QLatin1Char('/') + QString::number(it.key() % 2), it.value());
        }
    }
    endSite();
    site = new SiteSession(list, this);
    site->setRetryInterval(retryMs);
    site->resumeFrom(memories);
    connectSite();
    for (int id = 0; id < list.size(); ++id) {
        for (bool current : { false, true }) {
            const QString key = list.at(id).linkName() + QLatin1Char('/') + QString::number(list.at(id).address)
                + QLatin1Char('/') + QString::number(current ? 1 : 0);
            if (carried.contains(key))
                shown.insert(shownKey(id, current), carried.value(key));
        }
    }
    startSite(list);
}

void SiteEngine::endSite()
{
    sitePolling = false;
    if (!site)
        return;
    site->stop();
    delete site;
    site = nullptr;
    shown.clear();
}

void SiteEngine::stop()
{
    binding->pollingStopped();
    if (sitePolling) {
        site->pause();
        sitePolling = false;
    } else if (worker) {
        worker->pause();
    }
    note(JournalRecord::PollingStopped);
    emit pollingStopped();
}

void SiteEngine::requestReset(int id)
{
    if (!sitePolling) {
        note(JournalRecord::Reset, JournalRecord::CurrentList);
        if (worker)
            worker->requestReset();
        return;
    }
    note(JournalRecord::Reset, JournalRecord::CurrentList, QString(), id);
    site->requestReset(id);
}

void SiteEngine::requestEnd()
{
    ending = true;
    if (worker)
        worker->requestStop();
    if (site)
        site->requestStop();
}

void SiteEngine::waitEnded()
{
    if (worker)
        worker->stopAndWait();
    if (site)
        site->stop();
}

bool SiteEngine::isRunning() const
{
    return (worker && worker->isRunning()) || (site && site->isRunning());
}

void SiteEngine::setRetryInterval(int milliseconds)
{
    retryMs = milliseconds;
    if (site)
        site->setRetryInterval(milliseconds);
}

QString SiteEngine::controllerName(int id) const
{
    return site && id >= 0 && id < site->controllers().size() ? site->name(id) : QString();
}

QString SiteEngine::singleLineText(const Settings &link)
{
    return tr("Порт %1, адрес %2").arg(link.linkName()).arg(link.address);
}

// As a single controller's start names its line: each line with the
// addresses polled on it.
QString SiteEngine::linesText(const ControllerList &list)
{
    QStringList lines;
    for (const QVector<int> &line : list.polledLines()) {
        QStringList addresses;
        for (int id : line)
            addresses << QString::number(list.at(id).address);
        lines << (addresses.size() == 1 ? tr("Порт %1, адрес %2") : tr("Порт %1, адреса %2"))
                     .arg(list.at(line.first()).linkName(), addresses.join(QStringLiteral(", ")));
    }
    return lines.join(QStringLiteral("; "));
}

// While the console ends, an event must not bring its window back; the
// single controller's all-events list never raises the alarm and is kept.
// The service journals everything read until its workers have ended.
void SiteEngine::takeEvent(int id, bool current, const AlarmType &alarm)
{
    if (dropsWhileEnding() && (current || id >= 0))
        return;
    JournalRecord record = JournalRecord::event(current ? JournalRecord::CurrentList : JournalRecord::AllList,
                                                alarm, catalogue.eventText(alarm.source, alarm.code));
    const qint64 journalId = write(record, id);
    ++shown[shownKey(id, current)];
    emit eventSeen(id, current, alarm, journalId, record);
}

// The workers report an empty list in every cycle: only a list that had
// something on show is journaled as cleared.
void SiteEngine::takeCleared(int id, bool current)
{
    const bool hadShown = shown.take(shownKey(id, current)) > 0;
    if (hadShown)
        note(JournalRecord::Cleared, current ? JournalRecord::CurrentList : JournalRecord::AllList, QString(), id);
    emit listCleared(id, current, hadShown);
}

void SiteEngine::lost(int id)
{
    if (dropsWhileEnding())
        return;
    const QString text = tr("Нет связи с контроллером «%1»").arg(site->name(id));
    note(JournalRecord::LineFailure, QString(), text, id);
    emit controllerLost(id, text);
}

void SiteEngine::restored(int id)
{
    const QString text = tr("Связь с контроллером «%1» восстановлена").arg(site->name(id));
    note(JournalRecord::LinkRestored, QString(), text, id);
    emit controllerRestored(id, text);
}

void SiteEngine::singleFailed(const QString &text)
{
    if (ending)
        return; // a failure reported while the worker ends is no news
    note(JournalRecord::LineFailure, QString(), QString(text).replace(QLatin1Char('\n'), QString()));
    emit singleLineFailed(text);
}

void SiteEngine::note(const QString &kind, const QString &list, const QString &name, int id)
{
    JournalRecord record = JournalRecord::note(kind, list, name);
    write(record, id);
}

// A site's record names its controller; a single controller's stays unnamed.
qint64 SiteEngine::write(JournalRecord &record, int id)
{
    if (site && id >= 0) {
        const ControllerEntry &entry = site->controllers().at(id);
        record.port = entry.linkName();
        record.slave = entry.address;
        record.controller = entry.name;
    } else {
        record.port = pollPort;
        record.slave = pollSlave;
    }
    return log ? log->append(record) : 0;
}
