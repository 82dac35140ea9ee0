#ifndef WINDOWCHECK_H
#define WINDOWCHECK_H

// Shared by the window fuzz target and the corpus test: shows an image of any
// content in the editor window and stores it back twice. The first pass may
// clamp codes to what the window offers; after that nothing may move.

#include "configimage.h"
#include "mainwindow.h"

#include <QString>

namespace WindowCheck {

inline QString firstDifference(const ConfigImage &a, const ConfigImage &b)
{
    for (int i = 0; i < ConfigImage::MainSize; ++i)
        if (a.MainBlock[i] != b.MainBlock[i])
            return QStringLiteral("MainBlock[%1]: %2 then %3").arg(i).arg(a.MainBlock[i]).arg(b.MainBlock[i]);
    for (int i = 0; i < ConfigImage::PhoneSize; ++i)
        if (a.PhoneBlock[i] != b.PhoneBlock[i])
            return QStringLiteral("PhoneBlock[%1]: %2 then %3").arg(i).arg(a.PhoneBlock[i]).arg(b.PhoneBlock[i]);
    for (int i = 0; i < ConfigImage::ClockSize; ++i)
        if (a.ClockBlock[i] != b.ClockBlock[i])
            return QStringLiteral("ClockBlock[%1]: %2 then %3").arg(i).arg(a.ClockBlock[i]).arg(b.ClockBlock[i]);
    return QString();
}

inline QString checkRefreshIsStable(MainWindow &window, const ConfigImage &image)
{
    window.configImage() = image;
    window.refreshAll();
    window.gatherAll();
    const ConfigImage once = window.configImage();
    window.refreshAll();
    window.gatherAll();
    return firstDifference(once, window.configImage());
}

} // namespace WindowCheck

#endif // WINDOWCHECK_H
