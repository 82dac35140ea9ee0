#ifndef BENCHTIMING_H
#define BENCHTIMING_H

// Timing helpers shared by the window benchmarks.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace bench {

// Windows draw offscreen unless the caller names a platform (xcb to watch them).
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

struct Timing {
    double call;    // the operation itself
    double repaint; // the window catching up on the events it caused
};

inline QTextStream &operator<<(QTextStream &out, const Timing &t)
{
    return out << t.call + t.repaint << " ms (call " << t.call << ", repaint " << t.repaint << ")";
}

inline double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Medians over the rounds; prepare() runs untimed before each round.
inline Timing median(int rounds, const std::function<void()> &step,
                     const std::function<void()> &prepare = {})
{
    std::vector<double> calls, repaints;
    for (int i = 0; i < rounds; ++i) {
        if (prepare) {
            prepare();
            QCoreApplication::processEvents();
        }
        QElapsedTimer timer;
        timer.start();
        step();
        calls.push_back(elapsedMs(timer));
        timer.restart();
        QCoreApplication::processEvents();
        repaints.push_back(elapsedMs(timer));
    }
    std::sort(calls.begin(), calls.end());
    std::sort(repaints.begin(), repaints.end());
    return {calls[rounds / 2], repaints[rounds / 2]};
}

inline double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * values.size()))];
}

inline long peakRssKb()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return -1;
#endif
}

} // namespace bench

#endif // BENCHTIMING_H
