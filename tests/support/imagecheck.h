#ifndef IMAGECHECK_H
#define IMAGECHECK_H

// Shared by the fuzz targets and the corpus test, for images of any content.
// Each returns the first fault found, or an empty string.
#include "configfile.h"
#include "mainwindow.h"

#include <QCheckBox>

namespace ImageCheck {

// A file holding a configuration's bytes loads them whole; a shorter one is
// refused with a message and leaves the image as it was.
inline QString checkLoad(const QString &path, const QByteArray &bytes, ConfigImage *image)
{
    const ConfigImage before = *image;
    QString error;
    const bool loaded = ConfigFile::load(path, image, &error);
    if (loaded != (bytes.size() >= ConfigImage::FileSize))
        return QStringLiteral("load result does not follow the size: ") + error;
    if (!loaded && (*image != before || error.isEmpty()))
        return QStringLiteral("a refused file changed the image or gave no message");
    if (loaded && ConfigFile::toBytes(*image) != bytes.left(ConfigImage::FileSize))
        return QStringLiteral("loaded image differs from the file's first bytes");
    return QString();
}

// What the per-code tests of the texts do not reach: every input delay word,
// the valve type and mode, and each phone length show as the window can.
inline QString checkTexts(const ConfigImage &image)
{
    using C = ConfigImage;
    for (int i = 0; i < C::InputCount; ++i) {
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
