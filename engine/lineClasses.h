#pragma once
// The lines of both tables sorted into classes: equal lines under the rules, and only those,
// share a class. Each class keeps its places on both sides in order, so that how often a line
// occurs inside any stretch of the tables, and where, is found by two binary searches: what the
// histogram alignment anchors by.

#include "engine/engineRules.h"
#include "engine/lineTable.h"

#include <cstdint>
#include <memory>

class LineClasses {
  public:
    // Sorts in counts[side] lines of tables[side] (0 left, 1 right) under rules; positions count
    // from tables[side]. Returns false when memory is short or the build was stopped. Memory:
    // two words a line and two a class; while the lines are sorted in, a word and a half a line
    // and three words a class.
    [[nodiscard]] bool build(const LineRef* const tables[2], const uint32_t counts[2],
                             const EngineRules& rules);

    // The class of a line of side 0 (left) or 1 (right).
    [[nodiscard]] uint32_t classOf(int side, uint32_t position) const {
        return classOf_[side][position];
    }

    // Classes are numbered from 0 up to this count.
    [[nodiscard]] uint32_t classCount() const { return classCount_; }

    // The places of a class on one side, ascending.
    struct Places {
        const uint32_t* begin;
        const uint32_t* end;
        [[nodiscard]] uint32_t count() const { return static_cast<uint32_t>(end - begin); }
    };

    // The places of class id on side from low up to high (exclusive).
    [[nodiscard]] Places placesIn(int side, uint32_t id, uint32_t low, uint32_t high) const;

  private:
    // Gives every line its class in classOf_; returns the number of classes, or UINT32_MAX when
    // the build was stopped. Throws std::bad_alloc when memory is short.
    uint32_t sortIntoClasses(const LineRef* const tables[2], const uint32_t counts[2],
                             const EngineRules& rules);
    // Fills the places of side's classes.
    void placeClasses(int side, uint32_t count);

    std::unique_ptr<uint32_t[]> classOf_[2];    // per side, by position: the line's class
    std::unique_ptr<uint32_t[]> firstPlace_[2]; // per side, by class: its first entry in places_
    std::unique_ptr<uint32_t[]> places_[2];     // per side: the positions of each class, ascending
    uint32_t classCount_ = 0;
};
