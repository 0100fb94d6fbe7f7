#include "engine/resync.h"

#include "engine/lineHash.h"

#include <algorithm>
#include <new>

namespace {

// Scores are only wanted when they reach `need`; once the pairs left cannot get there, the rest
// is not compared and a score below `need` is returned.
int32_t scoreAtLeast(const CompareRules& rules, const LineRef* leftTable, const LineRef* rightTable,
                     uint64_t leftPos, uint64_t rightPos, int32_t syncCount, int32_t need) {
    int32_t score = 0;
    for (int32_t k = 0; k < syncCount; ++k) {
        if (score + (syncCount - k) < need) return score;
        const LineRef& left = leftTable[leftPos + k];
        const LineRef& right = rightTable[rightPos + k];
        if (!left.text || !right.text) break;
        score += compareUnder(rules, left, right);
    }
    return score;
}

// Whether the syncCount pairs from (p, q) on are all there and all equal.
bool perfectFrom(const CompareRules& rules, const LineRef* leftTable, const LineRef* rightTable,
                 uint64_t p, uint64_t q, int32_t syncCount) {
    for (int32_t k = 0; k < syncCount; ++k) {
        const LineRef& left = leftTable[p + k];
        const LineRef& right = rightTable[q + k];
        if (!left.text || !right.text || !compareUnder(rules, left, right)) return false;
    }
    return true;
}

uint32_t roundUpToPowerOfTwo(uint32_t value) {
    uint32_t result = 1;
    while (result < value) result <<= 1;
    return result;
}

} // namespace

int32_t findResync(const LineRef* leftTable, const LineRef* rightTable, uint32_t& leftPos,
                   uint32_t& rightPos, const EngineRules& engineRules) {
    const uint32_t m = leftPos;
    const uint32_t l = rightPos;
    if (!leftTable[m].text) {
        while (rightTable[rightPos].text) ++rightPos;
        return 0;
    }
    if (!rightTable[l].text) {
        while (leftTable[leftPos].text) ++leftPos;
        return 0;
    }
    const CompareRules rules = compareRulesOf(engineRules);
    const int32_t syncCount = engineRules.syncCount;
    const int32_t window = engineRules.window;
    int32_t pair = compareUnder(rules, leftTable[m], rightTable[l]);
    if (engineRules.hexMode || pair) return pair;

    int32_t best = -1;
    uint64_t bestLeft = m;
    uint64_t bestRight = l;
    // Passing over right lines: the nearest of the highest scores wins.
    const int64_t rightEnd = int64_t{l} + window;
    int64_t i = l; // where the scan stopped: the window's end, the table's or a perfect score
    for (; i < rightEnd && rightTable[i].text; ++i) {
        int32_t score = scoreAtLeast(rules, leftTable, rightTable, m, i, syncCount, best + 1);
        if (score > best) {
            best = score;
            bestRight = i;
            if (score == syncCount) break;
        }
    }
    // Passing over left lines: wins on a higher score, or on the same score with a shorter skip.
    const int64_t leftEnd = int64_t{m} + window;
    int64_t j = m;
    for (; j < leftEnd && leftTable[j].text; ++j) {
        uint64_t skip = j - m;
        uint64_t rightSkip = bestRight - l;
        if (best == syncCount && skip > rightSkip) break;
        int32_t need = skip < rightSkip ? best : best + 1;
        int32_t score = scoreAtLeast(rules, leftTable, rightTable, j, l, syncCount, need);
        if (score > best || (score == best && skip < rightSkip)) {
            bestLeft = j;
            bestRight = l;
            best = score;
            if (score == syncCount) break;
        }
    }
    if (best == 0 && engineRules.longRuns) {
        // Nothing in the window has an equal pair, so no perfect skip lies inside it, and both
        // scans went through it: the nearest one beyond, over right lines first; a left skip
        // must be shorter to win.
        int64_t rightSkip = -1;
        for (; rightTable[i].text; ++i) {
            if (perfectFrom(rules, leftTable, rightTable, m, i, syncCount)) {
                rightSkip = i - l;
                break;
            }
        }
        for (; leftTable[j].text && (rightSkip < 0 || j - m < rightSkip); ++j) {
            if (perfectFrom(rules, leftTable, rightTable, j, l, syncCount)) {
                leftPos = static_cast<uint32_t>(j);
                return 1;
            }
        }
        if (rightSkip >= 0) {
            rightPos = static_cast<uint32_t>(l + rightSkip);
            return 1;
        }
    }
    leftPos = static_cast<uint32_t>(bestLeft);
    rightPos = static_cast<uint32_t>(bestRight);
    return compareUnder(rules, leftTable[bestLeft], rightTable[bestRight]);
}

bool ResyncIndex::init(const LineRef* leftTable, uint32_t leftCount, const LineRef* rightTable,
                       uint32_t rightCount, const EngineRules& rules) {
    const int32_t syncCount = rules.syncCount;
    const int32_t window = rules.window;
    // Beyond these limits the plain search serves.
    if (syncCount < 1 || syncCount > 4096 || window < 1 || window > (1 << 20)) return false;
    rules_ = compareRulesOf(rules);
    syncCount_ = static_cast<uint32_t>(syncCount);
    window_ = static_cast<uint32_t>(window);
    // A search reads the lines of window + syncCount - 1 positions on each side.
    uint32_t ring = roundUpToPowerOfTwo(window_ + syncCount_);
    ringMask_ = ring - 1;
    try {
        const LineRef* tables[2] = {leftTable, rightTable};
        uint32_t counts[2] = {leftCount, rightCount};
        for (int side = 0; side < 2; ++side) {
            sides_[side].table = tables[side];
            sides_[side].count = counts[side];
            sides_[side].low = sides_[side].high = 0;
            sides_[side].classOf.assign(ring, kNone);
            sides_[side].nextSame.assign(ring, kNone);
        }
        // Every indexed line holds at most one class.
        classes_.assign(2 * size_t{ring}, LineClass{});
        freeClasses_.resize(classes_.size());
        for (size_t i = 0; i < freeClasses_.size(); ++i)
            freeClasses_[i] = static_cast<uint32_t>(freeClasses_.size() - 1 - i);
        buckets_.assign(4 * size_t{ring}, kNone);
        bucketMask_ = static_cast<uint32_t>(buckets_.size() - 1);
        cursors_.clear();
        cursors_.reserve(syncCount_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    longRuns_ = rules.longRuns;
    if (!longRuns_) return true;
    if (!longRunIndex_.init(leftTable, leftCount, rightTable, rightCount, rules_)) return false;
    try {
        windowClassOf_.assign(longRunIndex_.classCount(), kNone);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

uint32_t ResyncIndex::classifyLine(int side, uint32_t position) {
    const LineRef& line = sides_[side].table[position];
    if (longRuns_) {
        const uint32_t wholeFileClass = longRunIndex_.classOf(side, position);
        uint32_t& id = windowClassOf_[wholeFileClass];
        if (id == kNone) {
            id = takeClass(0, line, kNone);
            classes_[id].wholeFileClass = wholeFileClass;
        }
        return id;
    }
    // Under plain rules equal lines have equal bytes: the table's hash of them serves.
    uint64_t hash = rules_.ignoreCase || rules_.compressWhite ? hashLine(rules_, line) : line.hash;
    uint32_t& bucket = buckets_[hash & bucketMask_];
    uint32_t id = bucket;
    while (id != kNone &&
           !(classes_[id].hash == hash && compareUnder(rules_, classes_[id].sample, line)))
        id = classes_[id].nextInBucket;
    if (id == kNone) {
        id = takeClass(hash, line, bucket);
        bucket = id;
    }
    return id;
}

uint32_t ResyncIndex::takeClass(uint64_t hash, const LineRef& sample, uint32_t nextInBucket) {
    const uint32_t id = freeClasses_.back();
    freeClasses_.pop_back();
    // Field by field: a whole record built aside and copied in is read back in pieces other
    // than those just stored, which stalls the processor on every new class.
    LineClass& lineClass = classes_[id];
    lineClass.hash = hash;
    lineClass.sample = sample;
    lineClass.members = 0;
    lineClass.nextInBucket = nextInBucket;
    lineClass.first[0] = lineClass.first[1] = kNone;
    lineClass.last[0] = lineClass.last[1] = kNone;
    lineClass.wholeFileClass = kNone;
    return id;
}

void ResyncIndex::addLine(int side, uint32_t position) {
    const uint32_t id = classifyLine(side, position);
    LineClass& lineClass = classes_[id];
    Side& s = sides_[side];
    s.classOf[position & ringMask_] = id;
    s.nextSame[position & ringMask_] = kNone;
    if (lineClass.last[side] != kNone)
        s.nextSame[lineClass.last[side] & ringMask_] = position;
    else
        lineClass.first[side] = position;
    lineClass.last[side] = position;
    ++lineClass.members;
}

void ResyncIndex::dropFirstLine(int side) {
    Side& s = sides_[side];
    uint32_t position = s.low++;
    uint32_t id = s.classOf[position & ringMask_];
    LineClass& lineClass = classes_[id];
    // Lines join their class in order, so the first line of the window is first in its class.
    lineClass.first[side] = s.nextSame[position & ringMask_];
    if (lineClass.first[side] == kNone) lineClass.last[side] = kNone;
    if (--lineClass.members > 0) return;
    freeClasses_.push_back(id);
    if (longRuns_) {
        windowClassOf_[lineClass.wholeFileClass] = kNone;
        return;
    }
    uint32_t* link = &buckets_[lineClass.hash & bucketMask_];
    while (*link != id) link = &classes_[*link].nextInBucket;
    *link = lineClass.nextInBucket;
}

void ResyncIndex::slide(int side, uint32_t low, uint32_t high) {
    Side& s = sides_[side];
    if (low < s.low || low >= s.high) {
        while (s.low < s.high) dropFirstLine(side);
        s.low = s.high = low;
    }
    while (s.low < low) dropFirstLine(side);
    for (; s.high < high; ++s.high) addLine(side, s.high);
}

void ResyncIndex::startCandidates(int skipped, uint32_t heldPos, uint32_t skipPos) {
    const int held = 1 - skipped;
    const Side& skipSide = sides_[skipped];
    skipPos_ = skipPos;
    cursors_.clear();
    for (uint32_t k = 0; k < syncCount_ && heldPos + uint64_t{k} < sides_[held].count; ++k) {
        const LineClass& lineClass = classes_[classOf(held, heldPos + k)];
        uint64_t low = uint64_t{skipPos} + k;
        auto end = static_cast<uint32_t>(std::min<uint64_t>(low + window_, skipSide.high));
        uint32_t position = lineClass.first[skipped];
        while (position != kNone && position < low)
            position = skipSide.nextSame[position & ringMask_];
        if (position != kNone && position < end) cursors_.push_back({position, end, k});
    }
}

bool ResyncIndex::nextCandidate(int skipped, uint32_t& skip, int32_t& score) {
    if (cursors_.empty()) return false;
    uint32_t nearest = UINT32_MAX;
    for (const Cursor& cursor : cursors_)
        nearest = std::min(nearest, cursor.position - cursor.pair);
    skip = nearest - skipPos_;
    score = 0;
    const Side& skipSide = sides_[skipped];
    for (size_t i = 0; i < cursors_.size();) {
        Cursor& cursor = cursors_[i];
        if (cursor.position - cursor.pair != nearest) {
            ++i;
            continue;
        }
        ++score;
        cursor.position = skipSide.nextSame[cursor.position & ringMask_];
        if (cursor.position == kNone || cursor.position >= cursor.end) {
            cursor = cursors_.back();
            cursors_.pop_back();
        } else {
            ++i;
        }
    }
    return true;
}

int32_t ResyncIndex::find(uint32_t& leftPos, uint32_t& rightPos) {
    const uint32_t m = leftPos;
    const uint32_t l = rightPos;
    const uint64_t reach = uint64_t{window_} + syncCount_ - 1;
    slide(0, m, static_cast<uint32_t>(std::min<uint64_t>(sides_[0].count, m + reach)));
    slide(1, l, static_cast<uint32_t>(std::min<uint64_t>(sides_[1].count, l + reach)));

    // Passing over right lines. A skip without an equal pair scores 0 and can only matter as the
    // first candidate, the current pair itself, which always comes first.
    const int32_t perfect = static_cast<int32_t>(syncCount_);
    int32_t best = 0;
    uint32_t bestLeftSkip = 0;
    uint32_t bestRightSkip = 0;
    uint32_t skip = 0;
    int32_t score = 0;
    startCandidates(1, m, l);
    while (nextCandidate(1, skip, score)) {
        if (score > best) {
            best = score;
            bestRightSkip = skip;
            if (score == perfect) break;
        }
    }
    // Passing over left lines.
    startCandidates(0, l, m);
    while (nextCandidate(0, skip, score)) {
        if (best == perfect && skip > bestRightSkip) break;
        if (score > best || (score == best && skip < bestRightSkip)) {
            bestLeftSkip = skip;
            bestRightSkip = 0;
            best = score;
            if (score == perfect) break;
        }
    }

    if (best == 0 && longRuns_) {
        uint32_t leftSkip = 0;
        uint32_t rightSkip = 0;
        if (longRunIndex_.nearestRun(m, l, syncCount_, window_, leftSkip, rightSkip)) {
            leftPos = m + leftSkip;
            rightPos = l + rightSkip;
            return 1; // the first of syncCount equal pairs
        }
    }
    leftPos = m + bestLeftSkip;
    rightPos = l + bestRightSkip;
    return classOf(0, leftPos) == classOf(1, rightPos) ? 1 : 0;
}
