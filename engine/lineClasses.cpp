#include "engine/lineClasses.h"

#include "engine/lineCompare.h"
#include "engine/lineHash.h"
#include "platform/memoryPages.h"
#include "platform/parallel.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace {

constexpr uint32_t kNone = UINT32_MAX;

// Lines are looked up this many ahead of the one sorted in, so that the table's memory is on its
// way by the time it is read: the table is as large as the files, and each line lands at random.
constexpr uint32_t kLookAhead = 16;

// A class while the lines are sorted in: one of its lines, which the others are confirmed
// against, and the class after it in its bucket.
struct ClassEntry {
    uint32_t sample; // a left line's position, or a right line's after all the left lines
    uint32_t hash;   // the low half of the lines' hashLine
    uint32_t next;
};

// An array of count entries, not yet written, with its memory taken in a few system calls rather
// than by a fault a page, which costs a good part of the time on a virtual machine.
template <typename T>
std::unique_ptr<T[]> committedArray(size_t count) {
    std::unique_ptr<T[]> array(new T[count]);
    commitPages(array.get(), count * sizeof(T));
    return array;
}

} // namespace

bool LineClasses::build(const LineRef* const tables[2], const uint32_t counts[2],
                        const EngineRules& rules) {
    try {
        // Everything the index keeps is had before the table of classes is given back: a block
        // given back raises the size from which malloc maps blocks of their own, and blocks
        // below that come from its heap, which keeps memory given back below the top.
        const uint64_t total = uint64_t{counts[0]} + counts[1];
        for (int side = 0; side < 2; ++side) {
            classOf_[side] = committedArray<uint32_t>(counts[side]);
            // Their memory is taken once the table of classes is gone; for the places of the
            // classes only for the classes there are.
            places_[side].reset(new uint32_t[counts[side]]);
            firstPlace_[side].reset(new uint32_t[total + 1]);
        }
        classCount_ = sortIntoClasses(tables, counts, rules);
        if (classCount_ == kNone) return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The sides are apart: on two cores when they are long.
    const uint32_t splitFrom = std::max(rules.splitFrom, 1u);
    if (counts[0] >= splitFrom && counts[1] >= splitFrom) {
        runTogether([&] { placeClasses(0, counts[0]); }, [&] { placeClasses(1, counts[1]); });
    } else {
        placeClasses(0, counts[0]);
        placeClasses(1, counts[1]);
    }
    return true;
}

LineClasses::Places LineClasses::placesIn(int side, uint32_t id, uint32_t low,
                                          uint32_t high) const {
    const uint32_t* begin = places_[side].get() + firstPlace_[side][id];
    const uint32_t* end = places_[side].get() + firstPlace_[side][id + 1];
    if (end - begin == 1) { // most lines of most files occur once
        if (*begin >= low && *begin < high) return {begin, end};
        return {begin, begin};
    }
    begin = std::lower_bound(begin, end, low);
    return {begin, std::lower_bound(begin, end, high)};
}

uint32_t LineClasses::sortIntoClasses(const LineRef* const tables[2], const uint32_t counts[2],
                                      const EngineRules& rules) {
    const CompareRules compare = compareRulesOf(rules);
    const bool plain = !compare.ignoreCase && !compare.compressWhite;
    const uint64_t total = uint64_t{counts[0]} + counts[1];
    // A bucket for every two lines: in two versions of a file most lines are in both, so chains
    // stay a class or two long.
    size_t bucketCount = 1;
    while (bucketCount < total / 2) bucketCount <<= 1;
    const size_t mask = bucketCount - 1;
    std::unique_ptr<uint32_t[]> buckets = committedArray<uint32_t>(bucketCount);
    std::fill(buckets.get(), buckets.get() + bucketCount, kNone);
    // Every line may be a class of its own; most lines of two versions of a file are in both,
    // about as many classes as lines a side, whose memory is taken at once.
    std::unique_ptr<ClassEntry[]> classes(new ClassEntry[total]);
    commitPages(classes.get(), std::max(counts[0], counts[1]) * sizeof(ClassEntry));

    // Under plain rules the table's hash is the low half of hashLine's. Else hashLine's are
    // worked out first, in the places the classes go, both sides on two cores.
    if (!plain) {
        std::atomic<bool> stopped{false};
        const auto hashSide = [&](int side) {
            const LineRef* table = tables[side];
            uint32_t* ids = classOf_[side].get();
            for (uint32_t position = 0; position < counts[side]; ++position) {
                if ((position & kStopLookMask) == 0 && buildStopped(rules)) {
                    stopped = true;
                    return;
                }
                ids[position] = static_cast<uint32_t>(hashLine(compare, table[position]));
            }
        };
        if (counts[0] < std::max(rules.splitFrom, 1u)) {
            hashSide(0);
            hashSide(1);
        } else {
            runTogether([&] { hashSide(0); }, [&] { hashSide(1); });
        }
        if (stopped) return kNone;
    }
    const auto hashOf = [&](int side, uint32_t position) {
        return plain ? tables[side][position].hash : classOf_[side][position];
    };
    const auto sampleOf = [&](const ClassEntry& entry) -> const LineRef& {
        return entry.sample < counts[0] ? tables[0][entry.sample]
                                        : tables[1][entry.sample - counts[0]];
    };

    uint32_t classCount = 0;
    // Right lines mostly follow the left lines they equal, in order: each is first tried against
    // the left line after the last one's partner, which needs no look into the table. A line
    // equal to that one is of its class, however the last one was found.
    const LineRef* left = tables[0];
    uint32_t diagonal = kNone; // the left line tried first
    const auto onDiagonal = [&](uint32_t position, uint32_t ahead) {
        return uint64_t{diagonal} + ahead < counts[0] &&
               (!plain || left[diagonal + ahead].hash == tables[1][position + ahead].hash);
    };
    for (int side = 0; side < 2; ++side) {
        const LineRef* table = tables[side];
        const uint32_t count = counts[side];
        uint32_t* ids = classOf_[side].get();
        // Each line's bucket and then its first class are asked for from memory ahead of their
        // turn, the class once its bucket has come (on the right, unless the line is likely to
        // be taken by the diagonal).
        const auto bucketOf = [&](uint32_t position) {
            return &buckets[hashOf(side, position) & mask];
        };
        for (uint32_t position = 0; position < count; ++position) {
            if ((position & kStopLookMask) == 0 && buildStopped(rules)) return kNone;
            const LineRef& line = table[position];
            if (side == 1 && onDiagonal(position, 0) &&
                compareUnder(compare, left[diagonal], line)) {
                ids[position] = classOf_[0][diagonal++];
                continue;
            }
            if (position + 2 * kLookAhead < count &&
                (side == 0 || !plain || !onDiagonal(position, 2 * kLookAhead)))
                __builtin_prefetch(bucketOf(position + 2 * kLookAhead));
            if (position + kLookAhead < count &&
                (side == 0 || !plain || !onDiagonal(position, kLookAhead))) {
                const uint32_t first = *bucketOf(position + kLookAhead);
                if (first != kNone) __builtin_prefetch(&classes[first]);
            }
            const uint32_t hash = hashOf(side, position);
            uint32_t& head = buckets[hash & mask];
            uint32_t id = head;
            while (id != kNone && (classes[id].hash != hash ||
                                   !compareUnder(compare, sampleOf(classes[id]), line)))
                id = classes[id].next;
            if (id == kNone) {
                id = classCount++;
                classes[id] = {side == 0 ? position : counts[0] + position, hash, head};
                head = id;
            }
            ids[position] = id;
            if (side == 1)
                diagonal = classes[id].sample < counts[0] ? classes[id].sample + 1 : kNone;
        }
    }
    return classCount;
}

void LineClasses::placeClasses(int side, uint32_t count) {
    // Counted, the counts summed into the ends of the classes, then filled from the back so that
    // each end steps back to its class's start and the places come out ascending.
    const uint32_t* ids = classOf_[side].get();
    uint32_t* first = firstPlace_[side].get();
    uint32_t* places = places_[side].get();
    commitPages(first, (size_t{classCount_} + 1) * sizeof(uint32_t));
    commitPages(places, size_t{count} * sizeof(uint32_t));
    std::fill(first, first + classCount_ + 1, 0);
    for (uint32_t position = 0; position < count; ++position) ++first[ids[position]];
    uint32_t sum = 0;
    for (uint32_t id = 0; id <= classCount_; ++id) {
        sum += first[id];
        first[id] = sum;
    }
    for (uint32_t position = count; position-- > 0;) places[--first[ids[position]]] = position;
}
