#include "mqttfailure.h"

#include <QtGlobal>

#include <mosquitto.h>

#include <cerrno>

namespace MqttFailure {

namespace {

QString tlsProblem()
{
    return QStringLiteral("сертификат брокера не прошёл проверку или TLS не согласован");
}

} // namespace

QString ofConnect(int rc, int err, const QString &host, int port)
{
    const QString where = QStringLiteral("%1:%2").arg(host).arg(port);
    switch (rc) {
    case MOSQ_ERR_EAI:
    case MOSQ_ERR_LOOKUP:
        return QStringLiteral("неизвестный узел «%1»").arg(host);
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        return tlsProblem();
    case MOSQ_ERR_INVAL:
        return QStringLiteral("неверные параметры подключения к %1").arg(where);
    case MOSQ_ERR_ERRNO:
        switch (err) {
        case ECONNREFUSED:
            return QStringLiteral("%1 не принимает подключения").arg(where);
        case ETIMEDOUT:
            return QStringLiteral("%1 не ответил вовремя").arg(where);
        case EHOSTUNREACH:
        case ENETUNREACH:
            return QStringLiteral("узел «%1» недоступен").arg(host);
        case EPROTO:
            return tlsProblem();
        default:
            break;
        }
        return QStringLiteral("ошибка сети при подключении к %1 (%2)")
            .arg(where, qt_error_string(err));
    default:
        break;
    }
    return QStringLiteral("не удалось подключиться к %1 (%2)")
        .arg(where, QString::fromUtf8(mosquitto_strerror(rc)));
}

QString ofRefusal(int returnCode, bool gaveCredentials)
{
    // Brokers answer a wrong password with either code.
    if ((returnCode == 4 || returnCode == 5) && gaveCredentials)
        return QStringLiteral("неверное имя пользователя или пароль");
    switch (returnCode) {
    case 1: return QStringLiteral("брокер не поддерживает протокол MQTT 3.1.1");
    case 2: return QStringLiteral("брокер отклонил имя клиента");
    case 3: return QStringLiteral("брокер временно не принимает подключения");
    case 4:
    case 5: return QStringLiteral("брокер требует имя пользователя и пароль");
    default: break;
    }
    return QStringLiteral("брокер отклонил подключение (код %1)").arg(returnCode);
}

QString ofLoss(int rc)
{
    switch (rc) {
    case MOSQ_ERR_KEEPALIVE:
        return QStringLiteral("брокер перестал отвечать");
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        return tlsProblem();
    case MOSQ_ERR_PROTOCOL:
    case MOSQ_ERR_MALFORMED_PACKET:
        return QStringLiteral("брокер нарушил протокол");
    default:
        break;
    }
    return QStringLiteral("соединение с брокером разорвано");
}

} // namespace MqttFailure
