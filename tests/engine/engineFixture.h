#pragma once
// Shared helpers of the engine tests: images from text, owned tables and lists, and the rules each
// test hands the engine (the defaults of a run without options).

#include "literalEngine.h"

#include "engine/diffList.h"
#include "engine/lineTable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <tuple>
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
        : refs_(buildLineTable(image.data(), image.size(), mode, rules)) {}

    const LineRef* get() const { return refs_.get(); }
    uint32_t size() const { return countTableLines(refs_.get()); }
    const LineRef& operator[](size_t index) const { return refs_[index]; }

  private:
    OwnedLineTable refs_;
};

// An aligner: buildDiffList, or buildHistogramList.
using ListBuilder = OwnedDiffList (*)(const LineRef*, const LineRef*, const EngineRules&,
                                      uint32_t&);

// The rows of an aligner (buildDiffList unless told) under rules, the terminator checked.
inline std::vector<DiffRow> diffRows(const LineRef* left, const LineRef* right,
                                     const EngineRules& rules = {},
                                     ListBuilder build = buildDiffList) {
    uint32_t rowCount = 12345;
    OwnedDiffList list = build(left, right, rules, rowCount);
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

// A row as (left number, right number, match).
using Row = std::tuple<uint32_t, uint32_t, int32_t>;

inline std::vector<Row> shapeOf(const std::vector<DiffRow>& rows) {
    std::vector<Row> shape;
    for (const DiffRow& row : rows) shape.emplace_back(row.leftNumber, row.rightNumber, row.match);
    return shape;
}

// Every row's sides are its table's lines, in order, each exactly once; missing sides are the
// shared empty text; paired rows carry the pair test (the literal comparison's) and one-sided
// rows 0.
inline void expectReplays(const std::vector<DiffRow>& rows, const Table& left, const Table& right,
                          const EngineRules& rules = {}) {
    uint32_t nextLeft = 0;
    uint32_t nextRight = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const DiffRow& row = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i);
        ASSERT_TRUE(row.leftNumber != 0 || row.rightNumber != 0);
        if (row.leftNumber) {
            ASSERT_EQ(row.leftNumber, nextLeft + 1);
            ASSERT_EQ(row.leftText, left[nextLeft].text);
            ASSERT_EQ(row.leftLength, left[nextLeft].length);
            ++nextLeft;
        } else {
            ASSERT_EQ(row.leftText, emptyText);
            ASSERT_EQ(row.leftLength, 0u);
        }
        if (row.rightNumber) {
            ASSERT_EQ(row.rightNumber, nextRight + 1);
            ASSERT_EQ(row.rightText, right[nextRight].text);
            ASSERT_EQ(row.rightLength, right[nextRight].length);
            ++nextRight;
        } else {
            ASSERT_EQ(row.rightText, emptyText);
            ASSERT_EQ(row.rightLength, 0u);
        }
        if (row.leftNumber && row.rightNumber)
            ASSERT_EQ(row.match, literal::linesEqual(rules, left[row.leftNumber - 1],
                                                     right[row.rightNumber - 1]));
        else
            ASSERT_EQ(row.match, 0);
    }
    EXPECT_EQ(nextLeft, left.size());
    EXPECT_EQ(nextRight, right.size());
}

// Random files built from a vocabulary of lines; a small vocabulary makes lines repeat. The same
// line is written in several forms (letter case, white space runs, trailing blanks), so the case
// and white space rules change which lines are equal.
class FileMaker {
  public:
    FileMaker(Random& random, uint32_t vocabulary, bool wide)
        : random_(random), vocabulary_(vocabulary), wide_(wide) {}

    std::vector<uint32_t> lineIds(uint32_t count) {
        std::vector<uint32_t> ids(count);
        for (uint32_t& id : ids) id = random_.below(vocabulary_);
        return ids;
    }

    // The right file: the left one with runs inserted, deleted and changed, some of them
    // longer than the 100- and 600-line windows.
    std::vector<uint32_t> edit(const std::vector<uint32_t>& left, bool longRuns) {
        std::vector<uint32_t> right;
        size_t i = 0;
        while (i < left.size()) {
            if (!random_.chance(12)) {
                right.push_back(left[i++]);
                continue;
            }
            uint32_t run =
                longRuns && random_.chance(15) ? 90 + random_.below(560) : 1 + random_.below(6);
            switch (random_.below(3)) {
            case 0: // inserted
                for (uint32_t k = 0; k < run; ++k) right.push_back(random_.below(vocabulary_));
                break;
            case 1: // deleted
                i += run;
                break;
            default: // changed
                for (uint32_t k = 0; k < run && i < left.size(); ++k, ++i)
                    right.push_back(random_.below(vocabulary_));
            }
        }
        return right;
    }

    Bytes image(const std::vector<uint32_t>& ids) {
        std::u16string text;
        for (uint32_t id : ids) {
            text += form(id);
            switch (random_.below(6)) {
            case 0:
                text += u"\r\n";
                break;
            case 1:
                text += u"\r";
                break;
            default:
                text += u"\n";
            }
        }
        if (wide_) return bytesOf(text);
        Bytes bytes;
        for (char16_t unit : text) bytes.push_back(static_cast<uint8_t>(unit));
        return bytes;
    }

  private:
    // One written form of line `id`: its words come from the id, the spelling from chance.
    std::u16string form(uint32_t id) {
        static const std::u16string kWords[] = {u"alpha",  u"Beta",    u"\u00C4rger", u"x",
                                                u"\u00E4", u"\u0130d", u"gamma",      u"}"};
        std::u16string line;
        if (id % 11 == 0) return id % 2 ? u"" : u"  \t"; // empty and blank lines
        if (random_.chance(10)) line += u" ";
        for (uint32_t n = id; n > 0; n /= 8) {
            std::u16string word = kWords[n % 8];
            if (random_.chance(15))
                for (char16_t& c : word) c = c < 0x80 && std::isalpha(c) ? c ^ 0x20 : c;
            line += word;
            if (n >= 8) {
                static const std::u16string kGaps[] = {u" ", u"  ", u"\t", u" \u2003", u"\u00A0"};
                line += random_.chance(70) ? u" " : kGaps[random_.below(wide_ ? 5 : 3)];
            }
        }
        if (random_.chance(10)) line += u" ";
        return line;
    }

    Random& random_;
    uint32_t vocabulary_;
    bool wide_;
};
