#ifndef MEDIAALARMPLAYER_H
#define MEDIAALARMPLAYER_H

#include "alarmplayer.h"

#include <QMediaPlayer>

class QMediaPlaylist;

// Loops a WAV file through the platform's media player at full volume.
class MediaAlarmPlayer : public AlarmPlayer
{
    Q_OBJECT

public:
    explicit MediaAlarmPlayer(QObject *parent = nullptr);

    void playLoop(const QString &path) override;
    void stop() override;

    QMediaPlayer::State state() const;

private:
    void onError();
    void onMediaStatus(QMediaPlayer::MediaStatus status);

    QMediaPlayer *player;
    QMediaPlaylist *playlist;
    QString loadedPath;
};

#endif // MEDIAALARMPLAYER_H
