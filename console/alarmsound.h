#ifndef ALARMSOUND_H
#define ALARMSOUND_H

#include <QObject>
#include <QString>

// The looping alarm the window sounds on new current events. The window only
// starts and stops it, so tests can put a recording sound in its place.
class AlarmSound : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~AlarmSound() override;

    // Starts the loop; a sound already playing goes on unchanged.
    virtual void play() = 0;
    virtual void stop() = 0;

    // Why the alarm cannot sound, for the operator; empty while it can.
    QString problem() const { return currentProblem; }

signals:
    void problemChanged(const QString &problem);

protected:
    void setProblem(const QString &problem);

private:
    QString currentProblem;
};

#endif // ALARMSOUND_H
