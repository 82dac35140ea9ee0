#include "replayserver.h"

#include "journal.h"
#include "journalquery.h"
#include "mqttclient.h"
#include "mqtttopics.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

Q_LOGGING_CATEGORY(tarvikMqtt, "tarvik.mqtt", QtInfoMsg)

ReplayServer::ReplayServer(Journal *journal, MqttClient *client, QObject *parent)
    : QObject(parent), journal(journal), mqtt(client), timer(new QTimer(this))
{
    timer->setInterval(BatchIntervalMs);
    connect(timer, &QTimer::timeout, this, &ReplayServer::sendBatch);
    connect(client, &MqttClient::acknowledged, this, [this](int messageId) { inFlight.remove(messageId); });
}

QString ReplayServer::requestTopic(const QString &prefix)
{
    return prefix + QStringLiteral("/replay");
}

QString ReplayServer::resultTopic(const QString &prefix)
{
    return prefix + QStringLiteral("/replay/result");
}

void ReplayServer::clear()
{
    queue.clear();
    inFlight.clear();
    timer->stop();
}

void ReplayServer::received(const QString &topic, const QByteArray &payload)
{
    if (topic != requestTopic(topicPrefix))
        return refuse("a message on a topic the site does not accept");
    ReplayRequest request;
    if (!ReplayRequest::parse(payload, &request))
        return refuse("a malformed replay request");
    if (queue.size() >= MaxPending)
        return refuse("a replay request beyond the pending ones");
    Job job;
    job.request = request;
    job.next = request.from;
    queue.append(job);
    if (!timer->isActive())
        timer->start();
}

void ReplayServer::refuse(const char *why)
{
    ++refused;
    if (refusalLogged)
        return;
    refusalLogged = true;
    qCWarning(tarvikMqtt, "Ignored %s (further ones are ignored silently)", why);
}

// One batch of the oldest request; a request is done when its range or its
// row cap is exhausted.
void ReplayServer::sendBatch()
{
    if (queue.isEmpty() || !journal || !mqtt->isConnected())
        return clear();
    if (inFlight.size() >= MaxInFlight)
        return;
    Job &job = queue.first();
    const ReplayRequest &r = job.request;
    const int room = int(qMin<qint64>(BatchRows, ReplayRequest::MaxRows - job.sent));
    QSqlQuery query(QSqlDatabase::database(journal->connectionName(), false));
    QString sql = QStringLiteral("SELECT %1 FROM journal WHERE id >= ? AND id <= ?")
                      .arg(JournalQuery::recordColumns());
    if (!r.since.isEmpty())
        sql += QStringLiteral(" AND received >= ?");
    if (!r.until.isEmpty())
        sql += QStringLiteral(" AND received <= ?");
    query.prepare(sql + QStringLiteral(" ORDER BY id LIMIT ?"));
    query.addBindValue(job.next);
    query.addBindValue(r.to);
    if (!r.since.isEmpty())
        query.addBindValue(r.since);
    if (!r.until.isEmpty())
        query.addBindValue(r.until);
    query.addBindValue(room);
    int rows = 0;
    if (query.exec()) {
        while (query.next()) {
            const JournalRecord row = JournalQuery::recordFrom(query);
            const int messageId = mqtt->publish(MqttTopics::journalTopic(topicPrefix, MqttTopics::controllerKey(row)),
                                                MqttTopics::journalPayload(row), 1, false);
            if (messageId < 0)
                return clear();
            inFlight.insert(messageId);
            job.next = row.id + 1;
            ++job.sent;
            ++rows;
        }
    }
    if (rows == room && job.sent >= ReplayRequest::MaxRows)
        finish(job, job.next - 1);
    else if (rows < room)
        finish(job, r.to);
    if (queue.isEmpty())
        timer->stop();
}

void ReplayServer::finish(const Job &job, qint64 coveredTo)
{
    ReplayRequest::Result result;
    result.from = job.request.from;
    result.to = qMax(coveredTo, job.request.from);
    const qint64 oldest = oldestRow();
    result.oldest = oldest > 0 ? oldest : result.to + 1;
    mqtt->publish(resultTopic(topicPrefix), result.toJson(), 1, false);
    queue.removeFirst();
}

qint64 ReplayServer::oldestRow() const
{
    QSqlQuery query(QSqlDatabase::database(journal->connectionName(), false));
    return query.exec(QStringLiteral("SELECT MIN(id) FROM journal")) && query.next()
        ? query.value(0).toLongLong()
        : 0;
}
