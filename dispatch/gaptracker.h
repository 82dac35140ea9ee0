#ifndef GAPTRACKER_H
#define GAPTRACKER_H

#include <QtGlobal>

#include <functional>
#include <map>
#include <utility>
#include <vector>

// The ids of one site's journal rows as they arrive. Ids are consecutive at
// the site, so an id past the next expected one opens a gap: the rows in it
// are asked for again, and are either had back or reported gone by the site.
// History from before the first row seen is taken only while asked for.
class GapTracker
{
public:
    static constexpr int MaxGaps = 256; // beyond it the oldest gaps are given up as lost

    enum class Verdict { New, Filled, History, Duplicate, Backwards };

    // Continues from what the journal already holds: the next id expected,
    // the first id ever taken live, and the gaps still open.
    void restore(qint64 next, qint64 first, const std::vector<std::pair<qint64, qint64>> &gaps);

    // What to do with an arriving row; New, Filled and History are taken.
    // known() tells whether the journal already has this id; it is asked
    // only of a row behind the newest that fills no gap.
    Verdict accept(qint64 id, const std::function<bool()> &known);
    Verdict accept(qint64 id, bool known)
    {
        return accept(id, [known] { return known; });
    }

    // The site says rows from..to are gone (they leave the open gaps).
    qint64 markLost(qint64 from, qint64 to);
    // A history request covers ids below the first one taken live.
    void allowHistory(bool allowed) { historyAllowed = allowed; }
    bool historyAllowedNow() const { return historyAllowed; }

    qint64 next() const { return nextId; }
    qint64 first() const { return firstId; }
    qint64 missing() const; // rows in open gaps
    qint64 lost() const { return lostRows; }
    qint64 backwards() const { return backwardRows; }
    // The open gaps, oldest first, each at most maxRows long (a replay request each).
    std::vector<std::pair<qint64, qint64>> requests(qint64 maxRows) const;
    const std::map<qint64, qint64> &gaps() const { return open; }

private:
    bool takeFromGap(qint64 id);
    void openGap(qint64 from, qint64 to);

    std::map<qint64, qint64> open; // from -> to, inclusive, disjoint
    qint64 nextId = 0;  // 0: nothing seen yet
    qint64 firstId = 0;
    qint64 lostRows = 0;
    qint64 backwardRows = 0;
    bool historyAllowed = false;
};

#endif // GAPTRACKER_H
