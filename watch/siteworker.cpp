#include "siteworker.h"

#include "poller.h"
#include "stoppablelink.h"
#include "watchedlink.h"

#include <QElapsedTimer>

#include <utility>

constexpr int SiteWorker::RetryIntervalMs;

namespace {

// Enough for one event: index, acknowledge and record, and the decision after.
constexpr int MaxExtraSteps = 4;

} // namespace

// One controller on the line: its poller and what has been reported of it.
// Worker thread only, except the poller's reset flag.
class SiteWorker::Unit : private Poller::Listener
{
public:
    Unit(SiteWorker &worker, const Station &station)
        : worker(worker), station(station), poller(*this)
    {
    }

    SiteWorker &worker;
    const Station station;
    Poller poller;
    bool answering = true;
    bool lost = false;
    bool failedNow = false; // the line-failure rule was met in this turn
    QElapsedTimer sinceLost;

private:
    // An empty list is read in every cycle: said once until an event comes,
    // which spares the window's thread a wake-up per controller and cycle.
    void currentEventRead(const AlarmType &alarm) override
    {
        currentSaidEmpty = false;
        emit worker.eventRead(station.id, true, alarm);
    }
    void currentListCleared() override
    {
        if (!std::exchange(currentSaidEmpty, true))
            emit worker.listCleared(station.id, true);
    }
    void allEventRead(const AlarmType &alarm) override
    {
        allSaidEmpty = false;
        emit worker.eventRead(station.id, false, alarm);
    }
    void allListCleared() override
    {
        if (!std::exchange(allSaidEmpty, true))
            emit worker.listCleared(station.id, false);
    }

    bool currentSaidEmpty = false;
    bool allSaidEmpty = false;
    void vpkRead(quint32 vpk) override { emit worker.vpkRead(station.id, vpk); }
    void lineFailed() override { failedNow = true; }
};

SiteWorker::SiteWorker(const QVector<Station> &stations, QObject *parent)
    : LinkWorker(parent)
{
    qRegisterMetaType<AlarmType>("AlarmType");
    for (const Station &station : stations)
        units.push_back(std::make_unique<Unit>(*this, station));
    if (!stations.isEmpty())
        setPort(QString(), 9600, stations.first().slave);
}

SiteWorker::~SiteWorker()
{
    stopAndWait();
}

QHash<int, Poller::Memory> SiteWorker::memories() const
{
    QHash<int, Poller::Memory> result;
    for (const auto &unit : units)
        result.insert(unit->station.slave, unit->poller.memory());
    return result;
}

void SiteWorker::resumeFrom(const QHash<int, Poller::Memory> &memories)
{
    for (const auto &unit : units) {
        const auto found = memories.find(unit->station.slave);
        if (found != memories.end())
            unit->poller.resumeFrom(*found);
    }
}

QVector<int> SiteWorker::ids() const
{
    QVector<int> result;
    for (const auto &unit : units)
        result << unit->station.id;
    return result;
}

void SiteWorker::pause()
{
    parkAfterJob();
    halted = true;
}

void SiteWorker::requestReset(int id)
{
    for (const auto &unit : units) {
        if (unit->station.id == id)
            unit->poller.requestReset();
    }
}

bool SiteWorker::hasJob()
{
    return !isStopRequested() && !units.empty();
}

void SiteWorker::runJob(RegisterLink &link)
{
    StoppableLink stoppable(link, [this] { return isStopRequested(); });
    WatchedLink watched(stoppable);
    // A new run judges every controller afresh, as a single controller's does.
    for (const auto &unit : units) {
        unit->answering = true;
        unit->lost = false;
    }
    while (!halted) {
        ++steps;
        while (hangs && !isStopRequested())
            msleep(10);
        for (const auto &unit : units) {
            if (halted)
                break;
            if (!unit->lost || unit->sinceLost.hasExpired(retryMs))
                pollUnit(*unit, watched);
        }
        // Only lost controllers, none due, or a network link: no reason to spin.
        msleep(allWaiting() || isNetworkJob() ? Poller::NetworkCyclePauseMs : Poller::SerialCyclePauseMs);
    }
}

// The three steps of one controller; a failed line ends its turn. A lost
// controller is back as soon as any of its requests is answered.
void SiteWorker::pollUnit(Unit &unit, WatchedLink &link)
{
    link.setSlave(unit.station.slave);
    unit.failedNow = false;
    const auto afterStep = [&] {
        ++steps;
        if (link.lastAnswered() != unit.answering) {
            unit.answering = link.lastAnswered();
            emit answeringChanged(unit.station.id, unit.answering);
        }
        if (unit.answering && unit.lost) {
            unit.lost = false;
            emit linkRestored(unit.station.id);
        }
    };
    bool lineUp = unit.poller.pollCurrentEvents(link);
    afterStep();
    // A new current event is fetched in this turn rather than a round of
    // the line later: with many controllers on a line a round takes long.
    for (int extra = 0; extra < MaxExtraSteps && lineUp && unit.answering && !halted
                        && unit.poller.currentReader().state() != EventListReader::ReadCount;
         ++extra) {
        lineUp = unit.poller.pollCurrentEvents(link);
        afterStep();
    }
    if (lineUp && !halted) {
        lineUp = unit.poller.pollAllEvents(link);
        afterStep();
    }
    if (lineUp && !halted) {
        unit.poller.pollVpk(link);
        afterStep();
    }
    if (unit.failedNow || (unit.lost && !unit.answering)) {
        unit.sinceLost.start();
        if (!unit.lost) {
            unit.lost = true;
            emit linkLost(unit.station.id);
        }
    }
}

bool SiteWorker::allWaiting() const
{
    for (const auto &unit : units) {
        if (!unit->lost || unit->sinceLost.hasExpired(retryMs))
            return false;
    }
    return true;
}

void SiteWorker::onPark()
{
    for (const auto &unit : units)
        emit vpkRead(unit->station.id, 0);
}

void SiteWorker::onOpenFailed()
{
    ++steps; // tried again from the session every 10 s: not stuck
    halted = true;
}

void SiteWorker::onResume()
{
    halted = false;
}

void SiteWorker::onStop()
{
    halted = true;
}
