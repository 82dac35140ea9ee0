#include "alarmplayer.h"

AlarmPlayer::~AlarmPlayer() = default;
