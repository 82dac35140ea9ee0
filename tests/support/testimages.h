#ifndef TESTIMAGES_H
#define TESTIMAGES_H

#include "configimage.h"

#include <QRandomGenerator>

// Every byte of all three blocks drawn from the generator, in block order.
inline ConfigImage randomBytesImage(QRandomGenerator &random)
{
    ConfigImage image;
    for (quint8 &b : image.MainBlock) b = quint8(random.bounded(256));
    for (quint8 &b : image.PhoneBlock) b = quint8(random.bounded(256));
    for (quint8 &b : image.ClockBlock) b = quint8(random.bounded(256));
    return image;
}

// Neighbouring bytes differ, and so do the three blocks.
inline ConfigImage patternedImage()
{
    ConfigImage image;
    quint8 next = 0x40;
    for (quint8 &b : image.MainBlock) b = next += 7;
    for (quint8 &b : image.PhoneBlock) b = next += 5;
    for (quint8 &b : image.ClockBlock) b = next += 3;
    return image;
}

#endif // TESTIMAGES_H
