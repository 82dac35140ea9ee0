#ifndef APPRUN_H
#define APPRUN_H

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QVector>

#include <functional>

// Drives the application's own event loop, for behaviour that only exists inside
// QCoreApplication::exec(): quitting, and the quit Qt does when a last window closes.

// One step of a run: once ready() holds, act() runs.
struct AppStep
{
    QString name;
    std::function<bool()> ready;
    std::function<void()> act;
};

inline bool always() { return true; }

// Runs exec() through the steps in order, each given 20 s to become ready. Returns
// exec()'s code, or 1 when a step never became ready, the application did not end
// within a minute or it ended before its last step (that step is named in a warning).
inline int runApplication(const QVector<AppStep> &steps)
{
    int done = 0;
    QTimer ticker, watchdog;
    QElapsedTimer sinceLastStep;
    sinceLastStep.start();
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (done == steps.size())
            return;
        if (sinceLastStep.elapsed() > 20000) {
            QCoreApplication::exit(1);
        } else if (steps[done].ready()) {
            sinceLastStep.restart();
            steps[done++].act();
        }
    });
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    ticker.start(20);
    watchdog.start(60000);
    const int code = QCoreApplication::exec();
    if (done == steps.size())
        return code;
    qWarning("the run ended before the step \"%s\"", qPrintable(steps[done].name));
    return 1;
}

#endif // APPRUN_H
