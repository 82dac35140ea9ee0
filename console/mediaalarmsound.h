#ifndef MEDIAALARMSOUND_H
#define MEDIAALARMSOUND_H

#include "alarmsound.h"

#include <functional>

class AlarmPlayer;
class QTimer;

// The alarm as the operator needs it: once wanted (play() without a later
// stop()), it keeps trying to sound. A player that fails (file missing or
// undecodable, audio device busy or absent) tries again after a pause, never
// more often, so a passing fault does not silence an active alarm for good and
// a lasting one does not flood. While it cannot sound, problem() says why.
class MediaAlarmSound : public AlarmSound
{
    Q_OBJECT

public:
    static constexpr int DefaultRetryPause = 5000; // ms

    // The platform's media player on the file AlarmFile::locate() finds.
    explicit MediaAlarmSound(QObject *parent = nullptr);
    // Takes the player; locate names the file to play, empty when there is none.
    MediaAlarmSound(AlarmPlayer *player, std::function<QString()> locate,
                    QObject *parent = nullptr);

    void play() override;
    void stop() override;

    void setRetryPause(int milliseconds);
    bool isRetryPending() const;

private:
    void tryToPlay();
    void onFailed(const QString &problem);

    AlarmPlayer *player;
    std::function<QString()> locate;
    QTimer *retryTimer;
    QString path;
    bool wanted = false;
};

#endif // MEDIAALARMSOUND_H
