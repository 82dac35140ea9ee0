#include "mediaalarmplayer.h"

#include <QMediaPlaylist>
#include <QUrl>

MediaAlarmPlayer::MediaAlarmPlayer(QObject *parent)
    : AlarmPlayer(parent),
      player(new QMediaPlayer(this)),
      playlist(new QMediaPlaylist(this))
{
    playlist->setPlaybackMode(QMediaPlaylist::CurrentItemInLoop);
    player->setPlaylist(playlist);
    player->setVolume(100);
    connect(player, QOverload<QMediaPlayer::Error>::of(&QMediaPlayer::error),
            this, &MediaAlarmPlayer::onError);
    connect(player, &QMediaPlayer::mediaStatusChanged, this, &MediaAlarmPlayer::onMediaStatus);
}

void MediaAlarmPlayer::playLoop(const QString &path)
{
    if (path != loadedPath) {
        player->stop();
        playlist->clear();
        playlist->addMedia(QUrl::fromLocalFile(path)); // the back end wants an absolute location
        loadedPath = path;
    }
    if (playlist->playbackMode() != QMediaPlaylist::CurrentItemInLoop
        || playlist->currentIndex() != 0) {
        playlist->setPlaybackMode(QMediaPlaylist::CurrentItemInLoop);
        playlist->setCurrentIndex(0);
    }
    player->play();
}

void MediaAlarmPlayer::stop()
{
    player->stop();
}

QMediaPlayer::State MediaAlarmPlayer::state() const
{
    return player->state();
}

// After an error the player moves the playlist on, which in a loop reloads the
// same file at once, failing again and again. Ending the loop here makes it
// move to no item instead; playLoop() restores it.
void MediaAlarmPlayer::onError()
{
    playlist->setPlaybackMode(QMediaPlaylist::CurrentItemOnce);
    player->stop();
    emit failed();
}

void MediaAlarmPlayer::onMediaStatus(QMediaPlayer::MediaStatus status)
{
    if (status == QMediaPlayer::BufferedMedia && player->state() == QMediaPlayer::PlayingState)
        emit sounding();
}
