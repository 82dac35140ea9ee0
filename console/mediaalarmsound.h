#ifndef MEDIAALARMSOUND_H
#define MEDIAALARMSOUND_H

#include "alarmsound.h"

#include <QMediaPlayer>
#include <QString>

class QMediaPlaylist;

// Loops a WAV file through the platform's media player at full volume.
// A file that cannot be played (missing, undecodable, no audio output) leaves
// the console silent: the loop is stopped at the first error instead of being
// retried over and over, and the next play() tries once more.
class MediaAlarmSound : public AlarmSound
{
    Q_OBJECT

public:
    // fileName is taken relative to the working directory at construction.
    explicit MediaAlarmSound(const QString &fileName, QObject *parent = nullptr);

    void play() override;
    void stop() override;

    QMediaPlayer::State state() const;
    int errorCount() const { return errors; }

private:
    void onError();

    QMediaPlayer *player;
    QMediaPlaylist *playlist;
    int errors = 0;
};

#endif // MEDIAALARMSOUND_H
