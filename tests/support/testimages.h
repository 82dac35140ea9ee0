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

// The main block random, every relay, valve and valve-type code and input delay
// one the window offers, and the polling mode given.
inline ConfigImage randomShownImage(QRandomGenerator &random, int mode)
{
    ConfigImage image;
    for (quint8 &b : image.MainBlock) b = quint8(random.bounded(256));
    using C = ConfigImage;
    const struct { int offset, count, range; } fields[] = {
        {C::Thres1Relay, 252, 5}, {C::Thres2Relay, 252, 5}, {C::FireRelay, 252, 5}, {C::DefectRelay, 252, 5},
        {C::ValveStateRelay, 252, 5}, {C::InputRelay, 24, 5}, {C::Thres1Valve, 252, 252}, {C::Thres2Valve, 252, 252},
        {C::FireValve, 252, 252}, {C::DefectValve, 252, 252}, {C::InputValve, 24, 252}, {C::ValveType, 1, 2}};
    for (const auto &f : fields)
        for (int i = 0; i < f.count; ++i)
            image.setByte(f.offset + i, quint8(random.bounded(f.range)));
    for (int i = 0; i < C::InputCount; ++i)
        image.setWord(C::InputDelay + 2 * i, quint16(20 * random.bounded(51)));
    image.setWord(C::PollingMode, quint16(mode));
    return image;
}

#endif // TESTIMAGES_H
