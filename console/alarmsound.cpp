#include "alarmsound.h"

AlarmSound::~AlarmSound() = default;

void AlarmSound::setProblem(const QString &problem)
{
    if (problem == currentProblem)
        return;
    currentProblem = problem;
    emit problemChanged(problem);
}
