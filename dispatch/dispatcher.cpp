#include "dispatcher.h"

#include "dispatchjournal.h"
#include "mqttclient.h"
#include "payloadparser.h"

#include <QTimer>

namespace {

constexpr qint64 LargestId = 9007199254740991LL; // 2^53 - 1, exact in JSON

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

} // namespace

Dispatcher::Dispatcher(DispatchJournal *journal, QObject *parent)
    : QObject(parent),
      journal(journal),
      mqtt(new MqttClient(this)),
      sitesModel(new SitesModel(this)),
      eventsModel(new CurrentEvents(this)),
      checkTimer(new QTimer(this))
{
    checkTimer->setInterval(CheckIntervalMs);
    connect(checkTimer, &QTimer::timeout, this, &Dispatcher::checkGaps);
    connect(mqtt, &MqttClient::connecting, this, [this] {
        setStatus(tr("Брокер: подключение к %1:%2…").arg(current.broker.host).arg(current.broker.port));
    });
    connect(mqtt, &MqttClient::connected, this, &Dispatcher::connected);
    connect(mqtt, &MqttClient::disconnected, this, &Dispatcher::disconnected);
    connect(mqtt, &MqttClient::messageReceived, this, &Dispatcher::received);
    connect(journal, &DispatchJournal::written, this, &Dispatcher::journalWritten);
}

Dispatcher::~Dispatcher()
{
    stop();
}

void Dispatcher::start(const DispatchSettings &settings)
{
    stop();
    current = settings;
    const QString problem = current.problem();
    if (!problem.isEmpty()) {
        setStatus(tr("Брокер: нет связи (%1)").arg(problem));
        return;
    }
    // Sites known from earlier runs continue where their journal ends.
    for (const QString &site : journal->sites())
        replayOf(site);
    mqtt->setPersistentSession(current.clientId);
    mqtt->setSubscriptions(PayloadParser::filters(current.root()));
    mqtt->start(current.broker, QString(), QByteArray());
    checkTimer->start();
}

void Dispatcher::stop()
{
    checkTimer->stop();
    mqtt->stop(QString(), QByteArray(), MqttClient::Ending::BeforeReturning);
    journal->flush();
}

bool Dispatcher::isConnected() const
{
    return mqtt->isConnected();
}

const GapTracker *Dispatcher::tracker(const QString &site) const
{
    const auto found = replays.constFind(site);
    return found == replays.constEnd() ? nullptr : &found->tracker;
}

void Dispatcher::connected()
{
    setStatus(tr("Брокер: подключено"));
    for (auto it = replays.begin(); it != replays.end(); ++it) {
        probe(it.key(), *it);
        askGaps(it.key(), *it);
    }
}

void Dispatcher::disconnected(const QString &reason)
{
    setStatus(tr("Брокер: нет связи (%1)").arg(reason));
}

void Dispatcher::setStatus(const QString &text)
{
    if (text == status)
        return;
    status = text;
    emit statusChanged(status);
}

void Dispatcher::received(const QString &topic, const QByteArray &payload)
{
    const PayloadParser::Topic t = PayloadParser::classify(current.root(), topic);
    switch (t.kind) {
    case PayloadParser::Topic::Kind::Status: return onStatus(t.site, topic, payload);
    case PayloadParser::Topic::Kind::State: return onState(t.site, t.controller, topic, payload);
    case PayloadParser::Topic::Kind::Journal: return onJournal(t.site, t.controller, topic, payload);
    case PayloadParser::Topic::Kind::ReplayResult: return onResult(t.site, topic, payload);
    case PayloadParser::Topic::Kind::Other: return inputFaults.note(InputFaults::UnknownShape, topic);
    }
}

void Dispatcher::onStatus(const QString &site, const QString &topic, const QByteArray &payload)
{
    bool online = false;
    const PayloadParser::Outcome outcome = PayloadParser::parseStatus(payload, &online);
    if (!outcome.ok)
        return inputFaults.note(outcome.fault, topic);
    const bool wasOnline = sitesModel->isOnline(site);
    if (!sitesModel->setStatus(site, online))
        return inputFaults.note(InputFaults::TooManySites, topic);
    eventsModel->setSiteOnline(site, online);
    // Back from away: it could not hear what was asked meanwhile.
    SiteReplay *replay = replays.contains(site) ? &replays[site] : nullptr;
    if (online && !wasOnline && replay && mqtt->isConnected()) {
        probe(site, *replay);
        askGaps(site, *replay);
    }
}

void Dispatcher::onState(const QString &site, const QString &key, const QString &topic, const QByteArray &payload)
{
    ControllerSnapshot state;
    const PayloadParser::Outcome outcome = PayloadParser::parseState(payload, &state);
    if (!outcome.ok)
        return inputFaults.note(outcome.fault, topic);
    state.key = key;
    if (!sitesModel->setState(site, key, state)) {
        return inputFaults.note(sitesModel->hasSite(site) ? InputFaults::TooManyControllers
                                                          : InputFaults::TooManySites, topic);
    }
    eventsModel->setController(site, state);
}

void Dispatcher::onJournal(const QString &site, const QString &key, const QString &topic, const QByteArray &payload)
{
    JournalRecord row;
    const PayloadParser::Outcome outcome = PayloadParser::parseJournal(payload, &row);
    if (!outcome.ok)
        return inputFaults.note(outcome.fault, topic);
    if (!sitesModel->touch(site, key)) {
        if (!sitesModel->hasSite(site))
            return inputFaults.note(InputFaults::TooManySites, topic);
        inputFaults.note(InputFaults::TooManyControllers, topic); // the row is the site's all the same
    }
    SiteReplay *replay = replayOf(site);
    const qint64 firstBefore = replay->tracker.first();
    const GapTracker::Verdict verdict
        = replay->tracker.accept(row.id, [&] { return journal->contains(site, row.id); });
    switch (verdict) {
    case GapTracker::Verdict::Duplicate: return;
    case GapTracker::Verdict::Backwards:
        inputFaults.note(InputFaults::IdBackwards, topic);
        return updateNote(site, *replay);
    default: break;
    }
    if (firstBefore == 0)
        journal->setFirst(site, replay->tracker.first());
    journal->add({ site, key, row });
    if (replay->tracker.missing() == 0)
        replay->lastAsked = QDateTime(); // the next gap is asked for at once
    const bool gapOpened = verdict == GapTracker::Verdict::New && replay->tracker.missing() > 0
        && !replay->lastAsked.isValid();
    if (gapOpened && mqtt->isConnected())
        askGaps(site, *replay);
    updateNote(site, *replay);
}

void Dispatcher::onResult(const QString &site, const QString &topic, const QByteArray &payload)
{
    ReplayRequest::Result result;
    if (!ReplayRequest::Result::parse(payload, &result))
        return inputFaults.note(InputFaults::UnknownShape, topic);
    if (!replays.contains(site))
        return; // asked by another dispatcher, about a site not ours yet
    SiteReplay &replay = replays[site];
    const qint64 goneTo = qMin(result.to, result.oldest - 1);
    if (goneTo >= result.from && !(replay.historyOpen && result.from == replay.history.from)) {
        const qint64 lost = replay.tracker.markLost(result.from, goneTo);
        if (lost > 0)
            journal->addLost(site, result.from, goneTo);
    }
    if (result.from == replay.probeFrom) {
        const bool more = replay.tracker.next() > replay.probeNextBefore;
        replay.probeFrom = 0;
        if (more)
            probe(site, replay);
    }
    if (replay.historyOpen && result.from == replay.history.from) {
        if (result.to < replay.history.to) {
            replay.history.from = result.to + 1;
            send(site, replay.history);
        } else {
            replay.historyOpen = false;
            replay.tracker.allowHistory(false);
        }
    }
    // A gap other than the one just served is asked for now; the same one
    // again only after a while, so a site that cannot deliver is not pressed.
    const auto open = replay.tracker.gaps();
    if (open.empty())
        replay.lastAsked = QDateTime();
    else if ((open.begin()->first > result.to || open.begin()->second < result.from) && mqtt->isConnected())
        askGaps(site, replay);
    updateNote(site, replay);
}

Dispatcher::SiteReplay *Dispatcher::replayOf(const QString &site)
{
    auto found = replays.find(site);
    if (found != replays.end())
        return &*found;
    SiteReplay &replay = replays[site];
    const DispatchJournal::SiteProgress progress = journal->progress(site);
    replay.tracker.restore(progress.next, progress.first, progress.holes);
    for (const auto &range : progress.lost)
        replay.tracker.markLost(range.first, range.second);
    updateNote(site, replay);
    return &replay;
}

void Dispatcher::askGaps(const QString &site, SiteReplay &replay)
{
    const auto ranges = replay.tracker.requests(ReplayRequest::MaxRows);
    if (ranges.empty())
        return;
    // One request at a time per site keeps its rate bounded; the rest follow.
    ReplayRequest request;
    request.from = ranges.front().first;
    request.to = ranges.front().second;
    send(site, request);
    replay.lastAsked = QDateTime::currentDateTimeUtc();
}

// Whatever the site wrote after the newest row held here: after the
// dispatcher was away longer than the broker keeps messages for it.
void Dispatcher::probe(const QString &site, SiteReplay &replay)
{
    const qint64 next = replay.tracker.next();
    if (next == 0)
        return;
    ReplayRequest request;
    request.from = next;
    request.to = qMin(LargestId, next + ReplayRequest::MaxRows - 1);
    replay.probeFrom = next;
    replay.probeNextBefore = next;
    send(site, request);
}

void Dispatcher::send(const QString &site, const ReplayRequest &request)
{
    mqtt->publish(current.root() + QLatin1Char('/') + site + QStringLiteral("/replay"), request.toJson(), 1, false);
}

bool Dispatcher::requestHistory(const QString &site, const QDateTime &since, const QDateTime &until)
{
    if (!sitesModel->hasSite(site) || !mqtt->isConnected())
        return false;
    SiteReplay *replay = replayOf(site);
    const qint64 first = replay->tracker.first();
    if (first == 1)
        return false;
    replay->history = ReplayRequest();
    replay->history.from = 1;
    replay->history.to = first > 1 ? first - 1 : LargestId;
    replay->history.since = timeText(since);
    replay->history.until = timeText(until);
    replay->historyOpen = true;
    replay->tracker.allowHistory(true);
    send(site, replay->history);
    return true;
}

void Dispatcher::checkGaps()
{
    const QDateTime due = QDateTime::currentDateTimeUtc().addSecs(-RetryRequestSeconds);
    if (!mqtt->isConnected())
        return;
    for (auto it = replays.begin(); it != replays.end(); ++it) {
        if (it->tracker.missing() > 0 && (!it->lastAsked.isValid() || it->lastAsked < due))
            askGaps(it.key(), *it);
    }
}

void Dispatcher::updateNote(const QString &site, const SiteReplay &replay)
{
    QStringList parts;
    if (replay.tracker.missing() > 0)
        parts << tr("пропущено %1, запрошено").arg(replay.tracker.missing());
    if (replay.tracker.lost() > 0)
        parts << tr("не получено %1").arg(replay.tracker.lost());
    // A site whose journal started again from 1 shows here rather than nowhere.
    if (replay.tracker.backwards() > 0)
        parts << tr("не принято %1 (номера назад)").arg(replay.tracker.backwards());
    sitesModel->setJournalNote(site, parts.join(QStringLiteral("; ")));
}

int Dispatcher::acknowledge(const QList<int> &rows)
{
    int done = 0;
    for (int row : rows) {
        if (row < 0 || row >= eventsModel->rowCount() || !eventsModel->row(row).waiting)
            continue;
        const CurrentEvents::Row &r = eventsModel->row(row);
        journal->addAcknowledgement(r.site, r.controller, r.name, r.time, current.operatorName);
        eventsModel->acknowledge(row);
        ++done;
    }
    return done;
}

int Dispatcher::acknowledgeAll()
{
    QList<int> rows;
    for (int i = 0; i < eventsModel->rowCount(); ++i)
        rows << i;
    return acknowledge(rows);
}
