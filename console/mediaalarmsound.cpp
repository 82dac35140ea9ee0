#include "mediaalarmsound.h"

#include <QDir>
#include <QMediaPlaylist>
#include <QUrl>

MediaAlarmSound::MediaAlarmSound(const QString &fileName, QObject *parent)
    : AlarmSound(parent),
      player(new QMediaPlayer(this)),
      playlist(new QMediaPlaylist(this))
{
    // The media back end wants an absolute location.
    playlist->addMedia(QUrl::fromLocalFile(QDir::current().absoluteFilePath(fileName)));
    playlist->setPlaybackMode(QMediaPlaylist::CurrentItemInLoop);
    player->setPlaylist(playlist);
    player->setVolume(100);
    connect(player, QOverload<QMediaPlayer::Error>::of(&QMediaPlayer::error),
            this, &MediaAlarmSound::onError);
}

void MediaAlarmSound::play()
{
    if (playlist->playbackMode() != QMediaPlaylist::CurrentItemInLoop) {
        playlist->setPlaybackMode(QMediaPlaylist::CurrentItemInLoop);
        playlist->setCurrentIndex(0);
    }
    player->play();
}

void MediaAlarmSound::stop()
{
    player->stop();
}

QMediaPlayer::State MediaAlarmSound::state() const
{
    return player->state();
}

// After an error the player moves the playlist on, which in a loop reloads the
// same file at once, failing again and again. Ending the loop here makes it
// move to no item instead; play() restores it.
void MediaAlarmSound::onError()
{
    ++errors;
    playlist->setPlaybackMode(QMediaPlaylist::CurrentItemOnce);
    player->stop();
}
