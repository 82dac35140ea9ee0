#ifndef BENCHLINEFAILURE_H
#define BENCHLINEFAILURE_H

// How long the console's worker takes to report a silent line.

#include "linktarget.h"
#include "mythread.h"
#include "simulator.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace bench {

// Milliseconds from resume() to "Ошибка чтения линии!", or -1 when another
// text or nothing came within limitMs. The simulator's request log then holds
// the requests sent meanwhile.
inline qint64 msUntilLineFailure(Simulator &sim, const LinkTarget &target, int limitMs)
{
    MyThread worker;
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 failedMs = -1;
    QObject::connect(&worker, &MyThread::Signal, &loop, [&](const QString &text) {
        if (text == MyThread::lineFailureText())
            failedMs = clock.elapsed();
        loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    worker.setLink(target);
    worker.start();
    sim.clearRequestLog();
    clock.start();
    worker.resume();
    loop.exec();
    return failedMs;
}

} // namespace bench

#endif // BENCHLINEFAILURE_H
