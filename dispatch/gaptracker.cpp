#include "gaptracker.h"

#include <algorithm>

void GapTracker::restore(qint64 next, qint64 first, const std::vector<std::pair<qint64, qint64>> &gaps)
{
    nextId = next;
    firstId = first;
    open.clear();
    for (const auto &gap : gaps)
        openGap(gap.first, gap.second);
}

GapTracker::Verdict GapTracker::accept(qint64 id, const std::function<bool()> &known)
{
    if (nextId == 0) {
        // The first row seen: what came before is history, not a gap.
        nextId = id + 1;
        firstId = id;
        return Verdict::New;
    }
    if (id >= nextId) {
        if (id > nextId)
            openGap(nextId, id - 1);
        nextId = id + 1;
        return Verdict::New;
    }
    if (takeFromGap(id))
        return Verdict::Filled;
    if (known())
        return Verdict::Duplicate; // delivered twice, or replayed over what arrived
    if (id < firstId && historyAllowed)
        return Verdict::History;
    ++backwardRows;
    return Verdict::Backwards;
}

bool GapTracker::takeFromGap(qint64 id)
{
    auto it = open.upper_bound(id);
    if (it == open.begin())
        return false;
    --it;
    const qint64 from = it->first;
    const qint64 to = it->second;
    if (id > to)
        return false;
    open.erase(it);
    if (from < id)
        open.emplace(from, id - 1);
    if (id < to)
        open.emplace(id + 1, to);
    return true;
}

void GapTracker::openGap(qint64 from, qint64 to)
{
    open.emplace(from, to);
    while (int(open.size()) > MaxGaps) {
        lostRows += open.begin()->second - open.begin()->first + 1;
        open.erase(open.begin());
    }
}

qint64 GapTracker::markLost(qint64 from, qint64 to)
{
    qint64 count = 0;
    for (auto it = open.begin(); it != open.end();) {
        const qint64 a = std::max(from, it->first);
        const qint64 b = std::min(to, it->second);
        if (a > b) {
            ++it;
            continue;
        }
        const qint64 gapFrom = it->first;
        const qint64 gapTo = it->second;
        it = open.erase(it);
        count += b - a + 1;
        if (gapFrom < a)
            open.emplace(gapFrom, a - 1);
        if (b < gapTo)
            it = open.emplace(b + 1, gapTo).first;
    }
    lostRows += count;
    return count;
}

qint64 GapTracker::missing() const
{
    qint64 sum = 0;
    for (const auto &gap : open)
        sum += gap.second - gap.first + 1;
    return sum;
}

std::vector<std::pair<qint64, qint64>> GapTracker::requests(qint64 maxRows) const
{
    std::vector<std::pair<qint64, qint64>> out;
    for (const auto &gap : open)
        out.emplace_back(gap.first, std::min(gap.second, gap.first + maxRows - 1));
    return out;
}
