#ifndef IMAGECHECK_H
#define IMAGECHECK_H

// Shared by the fuzz target and the corpus test: runs every code -> text
// conversion a window refresh makes over an image of any content and reports
// the first text that is not one the window can show. Empty means sound.

#include "configimage.h"
#include "eventcatalogue.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace ImageCheck {

inline QString where(const char *field, int index, int code)
{
    return QStringLiteral("%1[%2] = %3").arg(QLatin1String(field)).arg(index).arg(code);
}

// A shown text must be one of the list's, and reading it back must give the
// code itself when in range, else 0 (the clamped "none").
inline QString checkCodes(const ConfigImage &image, const char *field, int offset, int count,
                          const QStringList &texts, QString (*toText)(int),
                          int (*toCode)(const QString &))
{
    const QSet<QString> known(texts.cbegin(), texts.cend());
    for (int i = 0; i < count; ++i) {
        const int code = image.byte(offset + i);
        const QString text = toText(code);
        if (!known.contains(text))
            return where(field, i, code) + QStringLiteral(": unknown text ") + text;
        const int expected = code < texts.size() ? code : 0;
        if (toCode(text) != expected)
            return where(field, i, code) + QStringLiteral(": reads back as %1").arg(toCode(text));
    }
    return QString();
}

inline QString checkSensors(const ConfigImage &image)
{
    const QStringList &relays = ConfigImage::relayTexts();
    const QStringList &valves = ConfigImage::valveTexts();
    const int n = ConfigImage::SensorCount;
    QString failure;
    const struct { const char *name; int offset; bool relay; } fields[] = {
        {"Thres1Valve", ConfigImage::Thres1Valve, false}, {"Thres2Valve", ConfigImage::Thres2Valve, false},
        {"FireValve", ConfigImage::FireValve, false},     {"DefectValve", ConfigImage::DefectValve, false},
        {"Thres1Relay", ConfigImage::Thres1Relay, true},  {"Thres2Relay", ConfigImage::Thres2Relay, true},
        {"FireRelay", ConfigImage::FireRelay, true},      {"DefectRelay", ConfigImage::DefectRelay, true},
        {"ValveStateRelay", ConfigImage::ValveStateRelay, true}};
    for (const auto &f : fields) {
        failure = f.relay ? checkCodes(image, f.name, f.offset, n, relays, ConfigImage::relayText,
                                       ConfigImage::relayCode)
                          : checkCodes(image, f.name, f.offset, n, valves, ConfigImage::valveText,
                                       ConfigImage::valveCode);
        if (!failure.isEmpty())
            return failure;
    }
    return failure;
}

inline QString checkInputs(const ConfigImage &image)
{
    const int n = ConfigImage::InputCount;
    QString failure = checkCodes(image, "InputRelay", ConfigImage::InputRelay, n,
                                 ConfigImage::relayTexts(), ConfigImage::relayText,
                                 ConfigImage::relayCode);
    if (failure.isEmpty())
        failure = checkCodes(image, "InputValve", ConfigImage::InputValve, n,
                             ConfigImage::valveTexts(), ConfigImage::valveText,
                             ConfigImage::valveCode);
    for (int i = 0; i < n && failure.isEmpty(); ++i) {
        const int code = image.byte(ConfigImage::InputName + i);
        const QString name = ConfigImage::inputNameText(code);
        if (name.size() != 40
            || !(ConfigImage::inputNameTexts().contains(name) || name == EventCatalogue::emptyEntry()))
            failure = where("InputName", i, code) + QStringLiteral(": unknown name ") + name;
        const int delay = image.word(ConfigImage::InputDelay + 2 * i);
        if (!ConfigImage::delayTexts().contains(ConfigImage::delayText(delay)))
            failure = where("InputDelay", i, delay) + QStringLiteral(": unknown delay text");
    }
    return failure;
}

inline QString checkGlobals(const ConfigImage &image)
{
    const int valveType = image.byte(ConfigImage::ValveType);
    if (!ConfigImage::valveTypeTexts().contains(ConfigImage::valveTypeText(valveType)))
        return where("ValveType", 0, valveType);
    const int mode = image.word(ConfigImage::PollingMode);
    if (ConfigImage::pollingModeFromText(ConfigImage::pollingModeText(mode)) != (mode ? 1 : 0))
        return where("PollingMode", 0, mode);
    for (int slot = 0; slot < ConfigImage::PhoneCount; ++slot) {
        const int length = image.phoneLength(slot);
        if (length < 0 || length > ConfigImage::PhoneSlotSize
            || image.phoneNumber(slot).size() != length)
            return where("PhoneLength", slot, length);
    }
    return QString();
}

inline QString checkTexts(const ConfigImage &image)
{
    QString failure = checkSensors(image);
    if (failure.isEmpty())
        failure = checkInputs(image);
    if (failure.isEmpty())
        failure = checkGlobals(image);
    return failure;
}

} // namespace ImageCheck

#endif // IMAGECHECK_H
