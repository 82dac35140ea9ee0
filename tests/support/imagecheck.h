#ifndef IMAGECHECK_H
#define IMAGECHECK_H

// Shared by the fuzz targets and the corpus test, for images of any content.
// Each returns the first fault found, or an empty string.
#include "configfile.h"
#include "mainwindow.h"

#include <QCheckBox>

namespace ImageCheck {

// Every code -> text a refresh makes gives the list's text for the code, or
// its "none" text past the list, and reads back as that entry.
inline QString checkTexts(const ConfigImage &image)
{
    using C = ConfigImage;
    const struct { const char *name; int offset, count; bool relay; } fields[] = {
        {"Thres1Valve", C::Thres1Valve, 252, false}, {"Thres2Valve", C::Thres2Valve, 252, false},
        {"FireValve", C::FireValve, 252, false}, {"DefectValve", C::DefectValve, 252, false},
        {"InputValve", C::InputValve, 24, false}, {"Thres1Relay", C::Thres1Relay, 252, true},
        {"Thres2Relay", C::Thres2Relay, 252, true}, {"FireRelay", C::FireRelay, 252, true},
        {"DefectRelay", C::DefectRelay, 252, true}, {"ValveStateRelay", C::ValveStateRelay, 252, true},
        {"InputRelay", C::InputRelay, 24, true}};
    for (const auto &f : fields) {
        const QStringList &texts = f.relay ? C::relayTexts() : C::valveTexts();
        for (int i = 0; i < f.count; ++i) {
            const int code = image.byte(f.offset + i);
            const int entry = code < texts.size() ? code : 0;
            const QString text = f.relay ? C::relayText(code) : C::valveText(code);
            if (text != texts.at(entry) || (f.relay ? C::relayCode(text) : C::valveCode(text)) != entry)
                return QStringLiteral("%1[%2] = %3 shows \"%4\"").arg(f.name).arg(i).arg(code).arg(text);
        }
    }
    for (int i = 0; i < C::InputCount; ++i) {
        const QString name = C::inputNameText(image.byte(C::InputName + i));
        if (name.size() != 40 || !C::inputNameTexts().contains(name))
            return QStringLiteral("InputName[%1] shows \"%2\"").arg(i).arg(name);
        if (!C::delayTexts().contains(C::delayText(image.word(C::InputDelay + 2 * i))))
            return QStringLiteral("InputDelay[%1] = %2").arg(i).arg(image.word(C::InputDelay + 2 * i));
    }
    const int mode = image.word(C::PollingMode);
    if (!C::valveTypeTexts().contains(C::valveTypeText(image.byte(C::ValveType)))
        || C::pollingModeFromText(C::pollingModeText(mode)) != (mode ? 1 : 0))
        return QStringLiteral("ValveType or PollingMode");
    for (int slot = 0; slot < C::PhoneCount; ++slot) {
        const int length = image.phoneLength(slot);
        if (length < 0 || length > C::PhoneSlotSize || image.phoneNumber(slot).size() != length)
            return QStringLiteral("PhoneLength[%1] = %2").arg(slot).arg(length);
    }
    return QString();
}

// Shown in the window and stored back twice: the first pass may clamp codes
// to what the window offers, after that nothing may move. The editors must
// not follow the computer's clock here, or a second ticking between the
// passes would move the clock bytes.
inline QString checkRefreshIsStable(MainWindow &window, const ConfigImage &image)
{
    QCheckBox *systemTime = window.findChild<QCheckBox *>(QStringLiteral("checkBox"));
    if (!systemTime)
        return QStringLiteral("no system time box");
    systemTime->setChecked(false);
    QByteArray passes[2];
    window.configImage() = image;
    for (QByteArray &bytes : passes) {
        window.refreshAll();
        window.gatherAll();
        bytes = ConfigFile::toBytes(window.configImage());
    }
    for (int i = 0; i < ConfigImage::FileSize; ++i)
        if (passes[0].at(i) != passes[1].at(i))
            return QStringLiteral("file byte %1 moves on the second pass").arg(i);
    return QString();
}

} // namespace ImageCheck

#endif // IMAGECHECK_H
