#pragma once
// Shared helpers of the engine tests: images from text, owned tables and lists, and the rules each
// test hands the engine (the defaults of a run without options).

#include "engine/diffList.h"
#include "engine/lineTable.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

class EngineTest : public ::testing::Test {
  protected:
    EngineRules rules;
};

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Little-endian UTF-16 bytes of text.
inline Bytes bytesOf(const std::u16string& text) {
    Bytes bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

// A line table with its line count.
class Table {
  public:
    Table(const Bytes& image, int32_t mode, const EngineRules& rules = {})
        : refs_(buildLineTable(image.data(), static_cast<uint32_t>(image.size()), mode, rules)) {}

    const LineRef* get() const { return refs_.get(); }
    uint32_t size() const { return countTableLines(refs_.get()); }
    const LineRef& operator[](size_t index) const { return refs_[index]; }

  private:
    OwnedLineTable refs_;
};

// The rows of buildDiffList under rules, the terminator checked.
inline std::vector<DiffRow> diffRows(const LineRef* left, const LineRef* right,
                                     const EngineRules& rules = {}) {
    uint32_t rowCount = 12345;
    OwnedDiffList list = buildDiffList(left, right, rules, rowCount);
    EXPECT_NE(list, nullptr);
    if (!list) return {};
    const DiffRow& end = list[rowCount];
    EXPECT_TRUE(!end.leftText && !end.rightText && end.leftLength == 0 && end.rightLength == 0 &&
                end.leftNumber == 0 && end.rightNumber == 0 && end.match == 0);
    return std::vector<DiffRow>(list.get(), list.get() + rowCount);
}

// Text joined with a line end after every line.
inline std::string joinLines(const std::vector<std::string>& lines, const std::string& end = "\n") {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
}

class Random {
  public:
    explicit Random(uint32_t seed) : engine_(seed) {}
    // 0 to bound - 1.
    uint32_t below(uint32_t bound) {
        return std::uniform_int_distribution<uint32_t>(0, bound - 1)(engine_);
    }
    bool chance(uint32_t percent) { return below(100) < percent; }

  private:
    std::mt19937 engine_;
};
