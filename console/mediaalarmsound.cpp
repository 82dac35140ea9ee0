#include "mediaalarmsound.h"

#include "alarmfile.h"
#include "mediaalarmplayer.h"

#include <QTimer>

#include <utility>

constexpr int MediaAlarmSound::DefaultRetryPause;

namespace {

QString notFoundText()
{
    return QObject::tr("Звук тревоги не может звучать: файл %1 не найден").arg(AlarmFile::fileName());
}

QString unplayableText(const QString &path)
{
    return QObject::tr("Звук тревоги не может звучать: файл %1 не воспроизводится").arg(path);
}

} // namespace

MediaAlarmSound::MediaAlarmSound(QObject *parent)
    : MediaAlarmSound(new MediaAlarmPlayer, &AlarmFile::locate, parent)
{
}

MediaAlarmSound::MediaAlarmSound(AlarmPlayer *player, std::function<QString()> locate,
                                 QObject *parent)
    : AlarmSound(parent), player(player), locate(std::move(locate)), retryTimer(new QTimer(this))
{
    player->setParent(this);
    retryTimer->setSingleShot(true);
    retryTimer->setTimerType(Qt::PreciseTimer); // never sooner than the pause
    retryTimer->setInterval(DefaultRetryPause);
    connect(retryTimer, &QTimer::timeout, this, [this] {
        if (wanted)
            tryToPlay();
    });
    connect(player, &AlarmPlayer::failed, this, [this] { onFailed(unplayableText(path)); });
    connect(player, &AlarmPlayer::sounding, this, [this] { setProblem(QString()); });
    if (this->locate().isEmpty())
        setProblem(notFoundText()); // shown before any alarm
}

// A play() while a retry is pending leaves it to the retry: a burst of
// events must not turn into a burst of attempts.
void MediaAlarmSound::play()
{
    wanted = true;
    if (!retryTimer->isActive())
        tryToPlay();
}

void MediaAlarmSound::stop()
{
    wanted = false;
    retryTimer->stop();
    player->stop();
}

void MediaAlarmSound::setRetryPause(int milliseconds)
{
    retryTimer->setInterval(milliseconds);
}

bool MediaAlarmSound::isRetryPending() const
{
    return retryTimer->isActive();
}

// Looked up at every attempt, so a file put in place later is found.
void MediaAlarmSound::tryToPlay()
{
    path = locate();
    if (path.isEmpty())
        onFailed(notFoundText());
    else
        player->playLoop(path);
}

void MediaAlarmSound::onFailed(const QString &problem)
{
    setProblem(problem);
    if (wanted && !retryTimer->isActive())
        retryTimer->start();
}
