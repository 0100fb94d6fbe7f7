// The first rows the view shows before the whole comparison is built: a property over random
// files, with look-aheads short enough that the search often reaches past the beginnings.
#include "engine/comparison.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(FirstRows, SettledRowsAreTheWholeListsFirstRows) {
    std::mt19937 random(11);
    auto below = [&random](uint32_t bound) {
        return std::uniform_int_distribution<uint32_t>(0, bound - 1)(random);
    };
    int built = 0;
    for (int round = 0; round < 200; ++round) {
        EngineRules rules;
        rules.window = 1 + static_cast<int32_t>(below(40));
        rules.syncCount = 1 + static_cast<int32_t>(below(9));
        // Mostly lines found once, some from a small pool; CR LF, lone CR and white lines among
        // them. The right file has runs of lines inserted, dropped or changed, up to twice the
        // look-ahead long, so that the search often scans the whole of it without a match.
        const char* const pool[] = {"a", "b", "c c", " ", "", "\t"};
        const char* const ends[] = {"\n", "\n", "\n", "\r\n", "\r"};
        auto lineAt = [&](uint32_t i) {
            return below(5) == 0 ? std::string(pool[below(6)]) : "line " + std::to_string(i);
        };
        std::string texts[2];
        uint32_t lines = 1500 + below(3000);
        for (uint32_t i = 0; i < lines;) {
            std::string line = lineAt(i);
            texts[0] += line + ends[below(5)];
            uint32_t edit = below(100);
            if (edit < 90) {
                texts[1] += line + ends[below(5)];
                ++i;
                continue;
            }
            uint32_t run = 1 + below(2 * static_cast<uint32_t>(rules.window));
            if (edit < 94) { // inserted before the line
                for (uint32_t k = 0; k < run; ++k)
                    texts[1] += "new " + std::to_string(i) + "." + std::to_string(k) + "\n";
                texts[1] += line + "\n";
            } else if (edit < 97) { // changed
                texts[1] += line + "x\n";
            } else { // dropped, with the lines after it
                for (uint32_t k = 1; k < run && i + 1 < lines; ++k) texts[0] += lineAt(++i) + "\n";
            }
            ++i;
        }
        rules.ignoreCase = below(4) == 0;
        rules.compressWhiteSpace = below(4) == 0;
        rules.suppressEmptyLines = below(4) == 0;
        rules.hexMode = below(8) == 0;
        auto bytes = [](const std::string& text) {
            return reinterpret_cast<const uint8_t*>(text.data());
        };
        const auto size0 = static_cast<uint32_t>(texts[0].size());
        const auto size1 = static_cast<uint32_t>(texts[1].size());
        const ComparedFile left{bytes(texts[0]), size0, bytes(texts[0]), size0, false};
        const ComparedFile right{bytes(texts[1]), size1, bytes(texts[1]), size1, false};
        const uint32_t hexRowBytes = 1 + below(16);
        const uint32_t wanted = 1 + below(60);
        SCOPED_TRACE(testing::Message() << "round " << round << ", window " << rules.window
                                        << ", sync " << rules.syncCount << ", wanted " << wanted);

        // Every other round, files still arriving: the beginnings are all there is so far, cut
        // anywhere in their second halves (inside a line, a CR LF, a UTF-16 unit).
        const bool partial = below(2) == 0;
        const uint32_t cut0 = partial ? size0 / 2 + below(size0 / 2 + 1) : size0;
        const uint32_t cut1 = partial ? size1 / 2 + below(size1 / 2 + 1) : size1;
        const ComparedFile leftSoFar{bytes(texts[0]), cut0, bytes(texts[0]), cut0, false, partial};
        const ComparedFile rightSoFar{bytes(texts[1]), cut1, bytes(texts[1]), cut1, false, partial};
        SCOPED_TRACE(testing::Message() << "beginnings " << cut0 << " of " << size0 << ", " << cut1
                                        << " of " << size1);

        FirstRows first;
        if (!buildFirstRows(first, leftSoFar, rightSoFar, hexRowBytes, rules, wanted)) continue;
        ++built;
        ASSERT_GE(first.settledRows, wanted);
        Comparison whole;
        ASSERT_TRUE(buildLineTables(whole, left, right, hexRowBytes, rules));
        ASSERT_TRUE(buildRows(whole, rules));
        // With suppression each kept line knows its line in the file: one more than the line
        // ends before it (CR LF one end, a lone CR one).
        const bool numbered = rules.suppressEmptyLines && !rules.hexMode;
        ASSERT_EQ(whole.leftLines != nullptr, numbered);
        for (int side = 0; side < 2 && numbered; ++side) {
            const LineRef* table = side == 0 ? whole.leftTable.get() : whole.rightTable.get();
            const std::string& text = texts[side];
            uint32_t lineEnds = 0;
            size_t at = 0;
            for (uint32_t entry = 0; table[entry].text; ++entry) {
                const auto start = static_cast<size_t>(table[entry].text - bytes(text));
                for (; at < start; ++at)
                    lineEnds += text[at] == '\n' || (text[at] == '\r' && text[at + 1] != '\n');
                ASSERT_EQ(fileLineNumber(whole, side, entry + 1), lineEnds + 1)
                    << "entry " << entry;
            }
        }
        ASSERT_LE(first.settledRows, whole.rowCount);
        for (uint32_t i = 0; i < first.settledRows; ++i) {
            const DiffRow& a = first.comparison.rows[i];
            const DiffRow& b = whole.rows[i];
            ASSERT_TRUE(a.leftNumber == b.leftNumber && a.rightNumber == b.rightNumber &&
                        a.match == b.match && a.leftText == b.leftText &&
                        a.rightText == b.rightText && a.leftLength == b.leftLength &&
                        a.rightLength == b.rightLength &&
                        fileLineNumber(first.comparison, 0, a.leftNumber) ==
                            fileLineNumber(whole, 0, b.leftNumber) &&
                        fileLineNumber(first.comparison, 1, a.rightNumber) ==
                            fileLineNumber(whole, 1, b.rightNumber))
                << "row " << i << " of " << first.settledRows;
        }
    }
    EXPECT_GT(built, 130) << "the beginnings should serve most of these files";
}

// A build told to stop gives up, in the tables and in the list, as when memory runs out; the
// same build without the word runs to its end.
TEST(StoppedBuild, GivesUpInTablesAndList) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "line " + std::to_string(i % 1000) + "\n";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto size = static_cast<uint32_t>(text.size());
    const ComparedFile file{bytes, size, bytes, size, false};
    std::atomic<bool> stop{false};
    for (bool hex : {false, true}) {
        SCOPED_TRACE(hex ? "hex rows" : "text lines");
        EngineRules rules;
        rules.hexMode = hex;
        rules.stop = &stop;
        Comparison comparison;
        stop = true;
        EXPECT_FALSE(buildLineTables(comparison, file, file, 16, rules));
        stop = false;
        ASSERT_TRUE(buildLineTables(comparison, file, file, 16, rules));
        stop = true;
        EXPECT_FALSE(buildRows(comparison, rules));
        EXPECT_EQ(comparison.rowCount, 0u);
        stop = false;
        ASSERT_TRUE(buildRows(comparison, rules));
        EXPECT_EQ(comparison.rowCount, hex ? (size + 15) / 16 : 200000u);
    }
}

} // namespace
