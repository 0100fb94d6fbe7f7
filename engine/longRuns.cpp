#include "engine/longRuns.h"

#include "engine/lineCompare.h"
#include "engine/lineHash.h"

#include <algorithm>
#include <new>

namespace {

constexpr uint32_t kNone = UINT32_MAX;

// Lines are looked up this many ahead of the one sorted in, so that the table's memory is on its
// way by the time it is read: the table is as large as the files, and each line lands at random.
constexpr uint32_t kLookAhead = 16;

// A class while the lines are sorted in: the hash of its lines and one of them to confirm against.
struct ClassEntry {
    uint64_t hash;
    const LineRef* sample;
};

// One place of the open-addressed table of classes: the top half of the class's hash, so that
// most other classes are passed over without reading their entry, and the class.
struct Slot {
    uint32_t hashTop;
    uint32_t id; // kNone: free
};

} // namespace

bool LongRunIndex::init(const LineRef* leftTable, uint32_t leftCount, const LineRef* rightTable,
                        uint32_t rightCount, const CompareRules& rules) {
    const LineRef* tables[2] = {leftTable, rightTable};
    counts_[0] = leftCount;
    counts_[1] = rightCount;
    try {
        // At most half the places are taken, so a search soon meets a free one.
        const uint64_t total = uint64_t{leftCount} + rightCount;
        size_t slotCount = 2;
        while (slotCount < 2 * total) slotCount <<= 1;
        const size_t mask = slotCount - 1;
        std::vector<Slot> slots(slotCount, Slot{0, kNone});
        std::vector<ClassEntry> classes;
        classes.reserve(total); // every line may be a class of its own: no growing by copies
        std::vector<uint64_t> hashes;
        for (int side = 0; side < 2; ++side) {
            const LineRef* table = tables[side];
            const uint32_t count = counts_[side];
            hashes.resize(count);
            for (uint32_t position = 0; position < count; ++position)
                hashes[position] = hashLine(rules, table[position]);
            classOf_[side].resize(count);
            for (uint32_t position = 0; position < count; ++position) {
                if (position + kLookAhead < count)
                    __builtin_prefetch(&slots[hashes[position + kLookAhead] & mask]);
                const uint64_t hash = hashes[position];
                const auto top = static_cast<uint32_t>(hash >> 32);
                size_t at = hash & mask;
                uint32_t id = kNone;
                for (;; at = (at + 1) & mask) {
                    const Slot& slot = slots[at];
                    if (slot.id == kNone) break;
                    if (slot.hashTop == top && classes[slot.id].hash == hash &&
                        compareUnder(rules, *classes[slot.id].sample, table[position])) {
                        id = slot.id;
                        break;
                    }
                }
                if (id == kNone) {
                    id = static_cast<uint32_t>(classes.size());
                    classes.push_back({hash, &table[position]});
                    slots[at] = {top, id};
                }
                classOf_[side][position] = id;
            }
        }
        // Per side, the positions of each class in one block, class after class: counted, the
        // counts summed into the ends of the classes, then filled from the back so that each end
        // steps back to its class's start and the positions come out ascending.
        const auto classCount = static_cast<uint32_t>(classes.size());
        for (int side = 0; side < 2; ++side) {
            std::vector<uint32_t>& first = firstPlace_[side];
            first.assign(size_t{classCount} + 1, 0);
            for (uint32_t id : classOf_[side]) ++first[id];
            uint32_t sum = 0;
            for (uint32_t& entry : first) {
                sum += entry;
                entry = sum;
            }
            places_[side].resize(counts_[side]);
            for (uint32_t position = counts_[side]; position-- > 0;)
                places_[side][--first[classOf_[side][position]]] = position;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

uint64_t LongRunIndex::nearestOn(int skipped, uint32_t heldPos, uint32_t skipPos,
                                 uint32_t syncCount, uint64_t minSkip, uint64_t limit) const {
    const int held = 1 - skipped;
    if (uint64_t{heldPos} + syncCount > counts_[held]) return limit;
    const std::vector<uint32_t>& first = firstPlace_[skipped];
    // Every perfect skip puts each held line opposite a line of its class: the held line whose
    // class is rarest on the skipped side has the fewest places to try.
    uint32_t rarest = 0;
    uint32_t rarestCount = kNone;
    for (uint32_t k = 0; k < syncCount; ++k) {
        uint32_t id = classOf_[held][heldPos + k];
        uint32_t count = first[id + 1] - first[id];
        if (count == 0) return limit;
        if (count < rarestCount) {
            rarestCount = count;
            rarest = k;
        }
    }
    const uint32_t id = classOf_[held][heldPos + rarest];
    const uint32_t* end = places_[skipped].data() + first[id + 1];
    const uint32_t* at = std::lower_bound(places_[skipped].data() + first[id], end,
                                          uint64_t{skipPos} + minSkip + rarest);
    for (; at != end; ++at) {
        const uint64_t skip = *at - rarest - uint64_t{skipPos};
        if (skip >= limit || skipPos + skip + syncCount > counts_[skipped]) return limit;
        uint32_t k = 0;
        while (k < syncCount &&
               classOf_[skipped][skipPos + skip + k] == classOf_[held][heldPos + k])
            ++k;
        if (k == syncCount) return skip;
    }
    return limit;
}

bool LongRunIndex::nearestRun(uint32_t m, uint32_t l, uint32_t syncCount, uint32_t minSkip,
                              uint32_t& leftSkip, uint32_t& rightSkip) const {
    leftSkip = 0;
    rightSkip = 0;
    const uint64_t right = nearestOn(1, m, l, syncCount, minSkip, UINT64_MAX);
    // A left skip wins only when it is shorter.
    const uint64_t left = nearestOn(0, l, m, syncCount, minSkip, right);
    if (left < right) {
        leftSkip = static_cast<uint32_t>(left);
        return true;
    }
    if (right == UINT64_MAX) return false;
    rightSkip = static_cast<uint32_t>(right);
    return true;
}
