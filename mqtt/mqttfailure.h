#ifndef MQTTFAILURE_H
#define MQTTFAILURE_H

#include <QString>

// Russian reasons for what libmosquitto reports, as the status bar shows them.
namespace MqttFailure {

// A failed connection attempt: rc from the library, err the errno after it.
QString ofConnect(int rc, int err, const QString &host, int port);
// The broker's answer to CONNECT when it is a refusal (MQTT 3.1.1 return code).
QString ofRefusal(int returnCode, bool gaveCredentials);
// A connection that was up and went down.
QString ofLoss(int rc);

} // namespace MqttFailure

#endif // MQTTFAILURE_H
