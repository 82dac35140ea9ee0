#ifndef MQTTTOPICS_H
#define MQTTTOPICS_H

#include "controllersnapshot.h"
#include "journalrecord.h"

#include <QByteArray>
#include <QString>

// Topic names and the JSON bodies of the messages the console publishes.
namespace MqttTopics {

QString statusTopic(const QString &prefix);
QString stateTopic(const QString &prefix, const QString &controllerKey);
QString journalTopic(const QString &prefix, const QString &controllerKey);

// A single topic level: letters, digits, '-', '_' and '.' kept, anything
// else (the separators '/', '+', '#' above all) becomes '_'.
QString topicSafe(const QString &text);
// The controller's name when it has one, else its port and slave address.
QString controllerKey(const QString &controller, const QString &port, const QVariant &slave);
QString controllerKey(const JournalRecord &row);

QByteArray journalPayload(const JournalRecord &row);
QByteArray statePayload(const ControllerSnapshot &state);

} // namespace MqttTopics

#endif // MQTTTOPICS_H
