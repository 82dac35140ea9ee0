#include "mqttpublisher.h"

#include "journal.h"
#include "journalquery.h"
#include "mqttclient.h"
#include "mqtttopics.h"
#include "replayserver.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

const QString MqttPublisher::AcknowledgedKey = QStringLiteral("mqtt.acknowledged");

namespace {

constexpr int PageSize = 500;
// Acknowledgements come by the thousand while a backlog drains; the file
// learns of them a few times a second. A kill loses at most that much
// progress, and those rows are only sent twice.
constexpr int SaveDelayMs = 250;

const QByteArray online = QByteArrayLiteral("online");
const QByteArray offline = QByteArrayLiteral("offline");

} // namespace

MqttPublisher::MqttPublisher(Journal *journal, QObject *parent)
    : QObject(parent),
      journal(journal),
      mqtt(new MqttClient(this)),
      replayServer(new ReplayServer(journal, mqtt, this)),
      saveTimer(new QTimer(this))
{
    saveTimer->setSingleShot(true);
    saveTimer->setInterval(SaveDelayMs);
    connect(saveTimer, &QTimer::timeout, this, &MqttPublisher::saveAcknowledged);
    connect(mqtt, &MqttClient::connecting, this, [this] {
        setStatus(tr("MQTT: подключение к %1:%2…").arg(current.host).arg(current.port));
    });
    connect(mqtt, &MqttClient::connected, this, &MqttPublisher::connected);
    connect(mqtt, &MqttClient::disconnected, this, &MqttPublisher::disconnected);
    connect(mqtt, &MqttClient::acknowledged, this, &MqttPublisher::messageAcknowledged);
    connect(mqtt, &MqttClient::messageReceived, replayServer, &ReplayServer::received);
    connect(journal, &Journal::appended, this, &MqttPublisher::rowAppended);
}

MqttPublisher::~MqttPublisher()
{
    // The program may be ending: nothing of the connection may outlive it.
    mqtt->stop(MqttTopics::statusTopic(current.prefix), offline, MqttClient::Ending::BeforeReturning);
    saveAcknowledged();
}

void MqttPublisher::setSettings(const MqttSettings &settings)
{
    if (settings == current && mqtt->isRunning() == settings.enabled)
        return;
    mqtt->stop(MqttTopics::statusTopic(current.prefix), offline);
    saveAcknowledged();
    current = settings;
    replayServer->clear();
    replayServer->setPrefix(current.prefix);
    mqtt->setSubscriptions({ ReplayServer::requestTopic(current.prefix) });
    unacknowledged.clear();
    rowOfMessage.clear();
    if (!current.enabled) {
        setStatus(QString());
        return;
    }
    const QString problem = current.problem();
    if (!problem.isEmpty()) {
        setStatus(tr("MQTT: нет связи с брокером (%1)").arg(problem));
        return;
    }
    bool known = false;
    acknowledged = journal ? journal->metaValue(AcknowledgedKey).toLongLong(&known) : 0;
    if (!known && journal) {
        // First use of this journal: the dispatcher gets what happens from
        // now on, not the years before.
        acknowledged = newestRow();
        journal->setMetaValue(AcknowledgedKey, QString::number(acknowledged));
    }
    mqtt->start(current, MqttTopics::statusTopic(current.prefix), offline);
}

void MqttPublisher::setState(const ControllerSnapshot &state)
{
    auto found = states.find(state.key);
    if (found != states.end() && *found == state)
        return;
    states.insert(state.key, state);
    publishState(state);
}

void MqttPublisher::publishState(const ControllerSnapshot &state)
{
    mqtt->publish(MqttTopics::stateTopic(current.prefix, state.key),
                  MqttTopics::statePayload(state), 1, true);
}

void MqttPublisher::connected()
{
    mqtt->publish(MqttTopics::statusTopic(current.prefix), online, 1, true);
    for (const ControllerSnapshot &state : qAsConst(states))
        publishState(state);
    unacknowledged.clear();
    rowOfMessage.clear();
    lastSent = acknowledged;
    catchUpTotal = rowsAfter(acknowledged);
    catchUpDone = 0;
    catchingUp = catchUpTotal > 0;
    pump();
    updateStatus();
}

void MqttPublisher::disconnected(const QString &reason, int retryInSeconds)
{
    // What was not acknowledged goes again, from the journal, next time.
    replayServer->clear();
    unacknowledged.clear();
    rowOfMessage.clear();
    catchingUp = false;
    saveAcknowledged();
    setStatus(tr("MQTT: нет связи с брокером (%1)").arg(reason),
              tr("Следующая попытка через %n с", nullptr, retryInSeconds));
}

void MqttPublisher::rowAppended(qint64 id)
{
    if (catchingUp)
        ++catchUpTotal;
    if (id > lastSent && int(unacknowledged.size()) < MaxUnacknowledged)
        pump();
}

void MqttPublisher::pump()
{
    if (!mqtt->isConnected() || !journal)
        return;
    const JournalQuery query(journal->connectionName(), {});
    while (int(unacknowledged.size()) < MaxUnacknowledged) {
        const int room = qMin(PageSize, MaxUnacknowledged - int(unacknowledged.size()));
        const QVector<JournalRecord> rows = query.newer(lastSent, room);
        for (const JournalRecord &row : rows) {
            const int messageId = mqtt->publish(
                MqttTopics::journalTopic(current.prefix, MqttTopics::controllerKey(row)),
                MqttTopics::journalPayload(row), 1, false);
            if (messageId < 0)
                return; // the loss is reported separately
            unacknowledged.emplace(row.id, false);
            rowOfMessage.insert(messageId, row.id);
            lastSent = row.id;
        }
        if (rows.size() < room)
            break;
    }
}

void MqttPublisher::messageAcknowledged(int messageId)
{
    const auto row = rowOfMessage.constFind(messageId);
    if (row == rowOfMessage.constEnd())
        return; // a status or a state
    const auto pending = unacknowledged.find(*row);
    rowOfMessage.erase(row);
    if (pending == unacknowledged.end())
        return;
    pending->second = true;
    ++catchUpDone;
    // Only an unbroken run from the oldest counts: the file must never claim a row that is missing.
    while (!unacknowledged.empty() && unacknowledged.begin()->second) {
        acknowledged = unacknowledged.begin()->first;
        unacknowledged.erase(unacknowledged.begin());
    }
    if (int(unacknowledged.size()) <= MaxUnacknowledged / 2)
        pump();
    // The count on screen moves with the saves, not with every acknowledgement.
    if (catchingUp && unacknowledged.empty() && catchUpDone >= catchUpTotal) {
        saveAcknowledged();
        updateStatus();
    } else if (!saveTimer->isActive()) {
        saveTimer->start();
    }
}

void MqttPublisher::saveAcknowledged()
{
    saveTimer->stop();
    if (catchingUp)
        updateStatus();
    if (current.enabled && journal && journal->metaValue(AcknowledgedKey) != QString::number(acknowledged))
        journal->setMetaValue(AcknowledgedKey, QString::number(acknowledged));
}

void MqttPublisher::updateStatus()
{
    if (catchingUp && unacknowledged.empty() && catchUpDone >= catchUpTotal)
        catchingUp = false;
    if (catchingUp)
        setStatus(tr("MQTT: передано %1 из %2").arg(catchUpDone).arg(catchUpTotal));
    else
        setStatus(tr("MQTT: подключено"), tr("Брокер %1:%2, темы %3/…")
                                               .arg(current.host).arg(current.port).arg(current.prefix));
}

void MqttPublisher::setStatus(const QString &text, const QString &tip)
{
    detail = tip;
    if (text == status)
        return;
    status = text;
    emit statusChanged(status);
}

qint64 MqttPublisher::rowsAfter(qint64 id) const
{
    if (!journal)
        return 0;
    QSqlQuery query(QSqlDatabase::database(journal->connectionName(), false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM journal WHERE id > ?"));
    query.addBindValue(id);
    return query.exec() && query.next() ? query.value(0).toLongLong() : 0;
}

qint64 MqttPublisher::newestRow() const
{
    if (!journal)
        return 0;
    const QVector<JournalRecord> rows = JournalQuery(journal->connectionName(), {}).older(0, 1);
    return rows.isEmpty() ? 0 : rows.first().id;
}
