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

// Stopped before the playlist moves on, so the looping item is not reloaded.
void MediaAlarmSound::onError()
{
    ++errors;
    player->stop();
}
