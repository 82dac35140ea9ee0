#include "sitesession.h"

#include "linkworker.h"
#include "siteworker.h"

#include <QTimer>

SiteSession::SiteSession(const ControllerList &controllers, QObject *parent)
    : QObject(parent), list(controllers), statuses(controllers.size()),
      retryMs(SiteWorker::RetryIntervalMs)
{
    for (int i = 0; i < list.size(); ++i)
        statuses[i].setPolled(list.at(i).polled);
    for (const QVector<int> &line : list.polledLines()) {
        QVector<SiteWorker::Station> stations;
        for (int id : line)
            stations.append({ id, list.at(id).address });
        auto worker = std::make_unique<SiteWorker>(stations);
        worker->setLink(lineTarget(line));
        worker->setLineName(list.at(line.first()).linkName());
        connectWorker(worker.get(), list.at(line.first()).linkName());
        worker->start(QThread::InheritPriority);
        workers.push_back(std::move(worker));
    }
}

// One link for the controllers of a line. Behind a gateway the longest
// time-out asked for serves them all: their answers share its wait.
LinkTarget SiteSession::lineTarget(const QVector<int> &line) const
{
    LinkTarget target = list.at(line.first()).linkTarget();
    for (int id : line)
        target.responseTimeoutMs = qMax(target.responseTimeoutMs, list.at(id).responseTimeoutMs);
    return target;
}

SiteSession::~SiteSession()
{
    stop();
}

void SiteSession::connectWorker(SiteWorker *worker, const QString &portName)
{
    connect(worker, &SiteWorker::eventRead, this, [this](int id, bool current, AlarmType alarm) {
        markAnswered(id);
        if (current)
            setCurrentCount(id, currentCounts.value(id) + 1);
        emit eventRead(id, current, alarm);
    });
    connect(worker, &SiteWorker::listCleared, this, [this](int id, bool current) {
        if (current)
            setCurrentCount(id, 0);
        emit listCleared(id, current);
    });
    connect(worker, &SiteWorker::vpkRead, this, [this](int id, quint32 vpk) {
        if (vpk != 0)
            markAnswered(id);
        vpks[id] = vpk;
        statuses[id].setVpk(vpk);
        emit vpkChanged(id);
        emit statusChanged(id);
    });
    connect(worker, &SiteWorker::answeringChanged, this, [this](int id, bool answering) {
        statuses[id].setAnswering(answering);
        emit statusChanged(id);
        emit answeringChanged();
    });
    connect(worker, &SiteWorker::linkLost, this, &SiteSession::markLost);
    connect(worker, &SiteWorker::linkRestored, this, &SiteSession::markAnswered);
    // A port that cannot be opened: its controllers are lost, and it is
    // tried again as a silent controller is.
    connect(worker, &LinkWorker::Signal, this, [this, worker, portName](const QString &text) {
        emit portFailed(portName, text);
        for (int id : worker->ids())
            markLost(id);
        QTimer::singleShot(retryMs, worker, [this, worker] {
            if (polling)
                worker->resume();
        });
    });
    connect(worker, &QThread::finished, this, [this] {
        if (!isRunning())
            emit workersFinished();
    });
}

void SiteSession::markLost(int id)
{
    if (statuses[id].isLinkLost())
        return;
    statuses[id].setLinkLost(true);
    emit statusChanged(id);
    emit linkLost(id);
}

void SiteSession::markAnswered(int id)
{
    if (!statuses[id].isLinkLost())
        return;
    statuses[id].setLinkLost(false);
    emit statusChanged(id);
    emit linkRestored(id);
}

void SiteSession::setCurrentCount(int id, int count)
{
    if (currentCounts.value(id) == count)
        return; // an empty list is reported in every cycle
    currentCounts[id] = count;
    statuses[id].setCurrentEvents(count);
    emit statusChanged(id);
}

SiteSession::Memories SiteSession::memories() const
{
    Memories result;
    for (const auto &worker : workers)
        result.insert(worker->lineName(), worker->memories());
    return result;
}

void SiteSession::resumeFrom(const Memories &memories)
{
    for (const auto &worker : workers)
        worker->resumeFrom(memories.value(worker->lineName()));
}

void SiteSession::start()
{
    polling = true;
    for (const auto &worker : workers)
        worker->resume();
}

void SiteSession::pause()
{
    polling = false;
    for (const auto &worker : workers)
        worker->pause();
    // What the workers said of the line no longer holds once it is not polled.
    for (int id : list.polled()) {
        statuses[id].setAnswering(true);
        statuses[id].setLinkLost(false);
        emit statusChanged(id);
    }
    emit answeringChanged();
}

void SiteSession::requestStop()
{
    polling = false;
    for (const auto &worker : workers)
        worker->requestStop();
}

void SiteSession::stop()
{
    requestStop();
    for (const auto &worker : workers)
        worker->wait();
}

bool SiteSession::isRunning() const
{
    for (const auto &worker : workers) {
        if (worker->isRunning())
            return true;
    }
    return false;
}

void SiteSession::requestReset(int id)
{
    for (const auto &worker : workers)
        worker->requestReset(id);
}

void SiteSession::setRetryInterval(int milliseconds)
{
    retryMs = milliseconds;
    for (const auto &worker : workers)
        worker->setRetryInterval(milliseconds);
}

QVector<int> SiteSession::lostIds() const
{
    QVector<int> ids;
    for (int id : list.polled()) {
        if (statuses[id].isLinkLost())
            ids << id;
    }
    return ids;
}

QVector<int> SiteSession::silentIds() const
{
    QVector<int> ids;
    for (int id : list.polled()) {
        if (!statuses[id].isAnswering())
            ids << id;
    }
    return ids;
}
