#include "alarmsound.h"

AlarmSound::~AlarmSound() = default;
