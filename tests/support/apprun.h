#ifndef APPRUN_H
#define APPRUN_H

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
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

inline QStringList stepNames(const QVector<AppStep> &steps)
{
    QStringList names;
    for (const AppStep &step : steps)
        names << step.name;
    return names;
}

// Runs exec() through the steps in order, each given 20 s to become ready. Returns
// exec()'s code (1 when a step never became ready or the application did not end
// within a minute) and the names of the steps done, which fall short of all of them
// when the application ended early.
inline int runApplication(const QVector<AppStep> &steps, QStringList *done)
{
    QTimer ticker, watchdog;
    QElapsedTimer sinceLastStep;
    sinceLastStep.start();
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (done->size() == steps.size())
            return;
        const AppStep &step = steps[done->size()];
        if (sinceLastStep.elapsed() > 20000) {
            QCoreApplication::exit(1);
        } else if (step.ready()) {
            *done << step.name;
            sinceLastStep.restart();
            step.act();
        }
    });
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    ticker.start(20);
    watchdog.start(60000);
    return QCoreApplication::exec();
}

#endif // APPRUN_H
