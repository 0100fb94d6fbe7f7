#pragma once
// Shared helpers of the engine tests: images from text, owned tables and lists, settings that are
// reset for every test and put back afterwards.

#include "app/settings.h"
#include "engine/diffList.h"
#include "engine/lineTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = settings;
        settings = Settings{};
        settings.tabWidth = 4;
    }
    void TearDown() override { settings = saved_; }

  private:
    Settings saved_{};
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

// A line table that frees itself.
class Table {
  public:
    Table(const Bytes& image, int32_t mode)
        : refs_(buildLineTable(image.data(), static_cast<uint32_t>(image.size()), mode)) {}
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;
    ~Table() { std::free(refs_); }

    const LineRef* get() const { return refs_; }
    uint32_t size() const {
        uint32_t count = 0;
        while (refs_[count].text) ++count;
        return count;
    }
    const LineRef& operator[](size_t index) const { return refs_[index]; }

  private:
    LineRef* refs_;
};

// The rows of buildDiffList, the terminator checked and the block freed.
inline std::vector<DiffRow> diffRows(const LineRef* left, const LineRef* right) {
    uint32_t rowCount = 12345;
    DiffRow* list = buildDiffList(left, right, rowCount);
    EXPECT_NE(list, nullptr);
    if (!list) return {};
    const DiffRow& end = list[rowCount];
    EXPECT_TRUE(!end.leftText && !end.rightText && end.leftLength == 0 && end.rightLength == 0 &&
                end.leftNumber == 0 && end.rightNumber == 0 && end.match == 0);
    std::vector<DiffRow> rows(list, list + rowCount);
    std::free(list);
    return rows;
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
