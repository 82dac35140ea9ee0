#ifndef ALARMPLAYER_H
#define ALARMPLAYER_H

#include <QObject>
#include <QString>

// The media player under the alarm: loops one sound file. Behind an interface
// so the alarm's retries can be tried with a player that fails on demand.
class AlarmPlayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~AlarmPlayer() override;

    // Loops the file; the same file already looping goes on unchanged.
    virtual void playLoop(const QString &path) = 0;
    virtual void stop() = 0;

signals:
    void failed();   // the file could not be played; the player has stopped
    void sounding(); // the file is being played
};

#endif // ALARMPLAYER_H
