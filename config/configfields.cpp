#include "configfields.h"

#include "configimage.h"

static_assert(ConfigFields::InputRows == ConfigImage::InputCount, "one table row per discrete input");

const QVector<ConfigFields::SensorGroup> &ConfigFields::sensorGroups()
{
    static const QVector<SensorGroup> groups = {
        {QStringLiteral("Порог 1"), ConfigImage::Thres1Relay, ConfigImage::Thres1Valve},
        {QStringLiteral("Порог 2"), ConfigImage::Thres2Relay, ConfigImage::Thres2Valve},
        {QStringLiteral("Неисправность"), ConfigImage::DefectRelay, ConfigImage::DefectValve},
        {QStringLiteral("Пожар"), ConfigImage::FireRelay, ConfigImage::FireValve}};
    return groups;
}

const QStringList &ConfigFields::inputHeaders()
{
    static const QStringList headers = {
        QStringLiteral("№"), QStringLiteral("Тип входа"), QStringLiteral("Наименование"),
        QStringLiteral("Выбор реле"), QStringLiteral("Выбор клапана"), QStringLiteral("Задержка")};
    return headers;
}

const QStringList &ConfigFields::valveHeaders()
{
    static const QStringList headers = {
        QStringLiteral("№"), QStringLiteral("Закрывать при отк."), QStringLiteral("Сообщать о обрыве"),
        QStringLiteral("Сообщать о закрытии"), QStringLiteral("Реле состояния клап."),
        QStringLiteral("Тип клапана")};
    return headers;
}

const QStringList &ConfigFields::sensorHeaders()
{
    static const QStringList headers = {
        QStringLiteral("№"), QStringLiteral("Выбор реле"), QStringLiteral("Выбор клапана")};
    return headers;
}

QStringList ConfigFields::contactTexts()
{
    return {ConfigImage::contactText(true), ConfigImage::contactText(false)};
}

QStringList ConfigFields::reportTexts()
{
    return {ConfigImage::reportText(true), ConfigImage::reportText(false)};
}

QStringList ConfigFields::closeTexts()
{
    return {ConfigImage::closeText(true), ConfigImage::closeText(false)};
}

QStringList ConfigFields::editableDelayTexts()
{
    return ConfigImage::delayTexts().mid(1);
}

QStringList ConfigFields::singleValveTexts()
{
    return ConfigImage::valveTexts().mid(0, 2);
}

QString ConfigFields::pollingModeTitle()
{
    return QStringLiteral("Режим опроса");
}

QString ConfigFields::relayLabel(int relay)
{
    return QStringLiteral("Реле %1").arg(relay);
}

QString ConfigFields::phoneLabel(int number)
{
    return QStringLiteral("Номер %1").arg(number);
}

QString ConfigFields::dialTitle()
{
    return QStringLiteral("Выполнять дозвон");
}

QString ConfigFields::dialText(bool dial)
{
    return dial ? QStringLiteral("Да") : QStringLiteral("Нет");
}

bool ConfigFields::addressed(const ConfigImage &image)
{
    return image.word(ConfigImage::PollingMode) != 0;
}
