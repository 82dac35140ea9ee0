#ifndef ALARMSOUND_H
#define ALARMSOUND_H

#include <QObject>

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
};

#endif // ALARMSOUND_H
