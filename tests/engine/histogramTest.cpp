#include "engineFixture.h"
#include "literalEngine.h"

#include "engine/alikeLines.h"
#include "engine/histogram.h"
#include "platform/build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>

namespace {

using HistogramTest = EngineTest;

// The rows of buildHistogramList under rules, the terminator checked.
std::vector<DiffRow> histogramRows(const Table& left, const Table& right,
                                   const EngineRules& rules = {}) {
    return diffRows(left.get(), right.get(), rules, buildHistogramList);
}

// The rows of two texts of 8-bit lines under plain rules.
std::vector<Row> shapeOfTexts(const std::vector<std::string>& leftLines,
                              const std::vector<std::string>& rightLines) {
    const Bytes leftImage = bytesOf(joinLines(leftLines));
    const Bytes rightImage = bytesOf(joinLines(rightLines));
    const Table left(leftImage, kMode8Bit);
    const Table right(rightImage, kMode8Bit);
    std::vector<DiffRow> rows = histogramRows(left, right);
    expectReplays(rows, left, right);
    return shapeOf(rows);
}

std::vector<std::pair<uint32_t, uint32_t>> equalPairsOf(const std::vector<DiffRow>& rows) {
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    for (const DiffRow& row : rows)
        if (row.match == 1) pairs.emplace_back(row.leftNumber - 1, row.rightNumber - 1);
    return pairs;
}

TEST_F(HistogramTest, AlignsByRareLines) {
    struct Case {
        const char* name;
        std::vector<std::string> left;
        std::vector<std::string> right;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"both empty", {}, {}, {}},
        {"left empty", {}, {"a", "b"}, {{0, 1, 0}, {0, 2, 0}}},
        {"right empty", {"a", "b"}, {}, {{1, 0, 0}, {2, 0, 0}}},
        {"same", {"a", "b"}, {"a", "b"}, {{1, 1, 1}, {2, 2, 1}}},
        {"deleted in the middle", {"a", "b", "c"}, {"a", "c"}, {{1, 1, 1}, {2, 0, 0}, {3, 2, 1}}},
        // The unique line anchors its block, not the braces of the block before it.
        {"block deleted before a block alike",
         {"// version 1", "{", "one();", "}", "{", "two();", "}"},
         {"// version 2", "{", "two();", "}"},
         {{1, 1, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {5, 2, 1}, {6, 3, 1}, {7, 4, 1}}},
        // Lines in one order against the same lines in another: the longer run of the rarest
        // lines is kept, the other line stands alone on both sides.
        {"swapped",
         {"first line", "second line", "third line"},
         {"third line", "first line", "second line"},
         {{0, 1, 0}, {1, 2, 1}, {2, 3, 1}, {3, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shapeOfTexts(c.left, c.right), c.rows);
    }
}

TEST_F(HistogramTest, ChangedLinesStandBesideTheirNewVersions) {
    struct Case {
        const char* name;
        std::vector<std::string> left;
        std::vector<std::string> right;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"inserted line before a changed one",
         {"begin", "the quick brown fox", "end"},
         {"begin", "a line of its own", "the quick brown fax", "end"},
         {{1, 1, 1}, {0, 2, 0}, {2, 3, 0}, {3, 4, 1}}},
        {"changed line before a deleted one",
         {"begin", "int width = 1;", "removed altogether", "end"},
         {"begin", "int width = 2;", "end"},
         {{1, 1, 1}, {2, 2, 0}, {3, 0, 0}, {4, 3, 1}}},
        {"unlike lines stand alone, left first",
         {"begin", "hello world", "end"},
         {"begin", "12345 #####", "end"},
         {{1, 1, 1}, {2, 0, 0}, {0, 2, 0}, {3, 3, 1}}},
        {"two changed lines among inserted ones",
         {"begin", "alpha = one", "gamma = three", "end"},
         {"begin", "alpha = 1", "beta = 2", "gamma = 3", "end"},
         {{1, 1, 1}, {2, 2, 0}, {0, 3, 0}, {3, 4, 0}, {4, 5, 1}}},
        {"short lines alike",
         {"x", "a = 1", "y"},
         {"x", "a = 2", "y"},
         {{1, 1, 1}, {2, 2, 0}, {3, 3, 1}}},
        {"a blank line is like no text",
         {"x", "", "y"},
         {"x", "text", "y"},
         {{1, 1, 1}, {2, 0, 0}, {0, 2, 0}, {3, 3, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(shapeOfTexts(c.left, c.right), c.rows);
    }
}

TEST_F(HistogramTest, ReadmeExamplePairsEachChangedLineWithItsNewVersion) {
    const auto read = [](const char* name) {
        std::ifstream file(std::string(QVD_EXAMPLES_DIR "/") + name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    const Bytes leftImage = read("old.txt");
    const Bytes rightImage = read("new.txt");
    ASSERT_FALSE(leftImage.empty());
    const Table left(leftImage, kMode8Bit);
    const Table right(rightImage, kMode8Bit);
    std::vector<DiffRow> rows = histogramRows(left, right);
    expectReplays(rows, left, right);
    std::vector<Row> changes;
    for (const Row& row : shapeOf(rows))
        if (std::get<2>(row) == 0) changes.push_back(row);
    // "older" / "newer"; "butter" inserted; "jumps" / "jumped"; two lines deleted (the blank
    // line after them is the blank line of file 2); "tab width = 4" / "tab width  = 8"; "menu =
    // shown" inserted.
    const std::vector<Row> expected = {{4, 4, 0},  {0, 10, 0},  {14, 15, 0}, {15, 0, 0},
                                       {16, 0, 0}, {19, 18, 0}, {0, 20, 0}};
    EXPECT_EQ(changes, expected);
}

TEST_F(HistogramTest, LikenessIsWeighedAsTheRulesCompare) {
    const Bytes leftImage = bytesOf(std::string("top\nSHOUTED WORDS HERE\nbottom\n"));
    const Bytes rightImage = bytesOf(std::string("top\nshouted words there\nbottom\n"));
    const Table left(leftImage, kMode8Bit);
    const Table right(rightImage, kMode8Bit);
    const std::vector<Row> apart = {{1, 1, 1}, {2, 0, 0}, {0, 2, 0}, {3, 3, 1}};
    EXPECT_EQ(shapeOf(histogramRows(left, right, rules)), apart);
    rules.ignoreCase = true;
    const std::vector<Row> level = {{1, 1, 1}, {2, 2, 0}, {3, 3, 1}};
    EXPECT_EQ(shapeOf(histogramRows(left, right, rules)), level);
}

TEST_F(HistogramTest, StretchesBeyondTheLikenessBoundPairInOrder) {
    // 600 changed lines against 600: more pairs than are weighed, so they pair as they come.
    std::vector<std::string> leftLines = {"begin"};
    std::vector<std::string> rightLines = {"begin"};
    for (int i = 0; i < 600; ++i) {
        leftLines.push_back("old " + std::to_string(i));
        rightLines.push_back(std::to_string(i * 7919 % 600) + " new");
    }
    ASSERT_GT(uint64_t{600} * 600, kAlikePairs);
    std::vector<Row> rows = shapeOfTexts(leftLines, rightLines);
    ASSERT_EQ(rows.size(), 601u);
    for (uint32_t i = 1; i <= 600; ++i) EXPECT_EQ(rows[i], Row(i + 1, i + 1, 0));
}

TEST_F(HistogramTest, LargeStretchesWithoutRareLinesAreStillAligned) {
    // Two lines repeated thousands of times: no anchor anywhere, and the stretch is too large to
    // be aligned exactly in one piece, so it is halved until it is.
    Random random(17);
    std::string leftText;
    std::string rightText;
    for (int i = 0; i < 20000; ++i) {
        const char* line = random.below(2) ? "a\n" : "b\n";
        leftText += line;
        rightText += random.chance(95) ? line : "c\n";
    }
    const Bytes leftImage = bytesOf(leftText);
    const Bytes rightImage = bytesOf(rightText);
    const Table left(leftImage, kMode8Bit);
    const Table right(rightImage, kMode8Bit);
    std::vector<DiffRow> rows = histogramRows(left, right);
    expectReplays(rows, left, right);
    // 95% of the lines are the same in the same places: nearly all of them pair.
    EXPECT_GT(equalPairsOf(rows).size(), 18500u);
}

TEST_F(HistogramTest, HexRowsAreTheWindowEnginesRows) {
    rules.hexMode = true;
    const Bytes leftImage = bytesOf(std::string("aaaaBBBBcc"));
    const Bytes rightImage = bytesOf(std::string("aaaabbbbccddddeeee"));
    const Table left(leftImage, -4, rules);
    const Table right(rightImage, -4, rules);
    EXPECT_EQ(shapeOf(histogramRows(left, right, rules)),
              shapeOf(diffRows(left.get(), right.get(), rules)));
}

TEST_F(HistogramTest, NullTableLeavesRowCountAlone) {
    const Bytes image = bytesOf(std::string("a\nb\n"));
    const Table table(image, kMode8Bit);
    uint32_t rowCount = 77;
    EXPECT_EQ(buildHistogramList(nullptr, table.get(), rules, rowCount), nullptr);
    EXPECT_EQ(buildHistogramList(table.get(), nullptr, rules, rowCount), nullptr);
    EXPECT_EQ(rowCount, 77u);
}

TEST_F(HistogramTest, StoppedBuildGivesNoList) {
    const Bytes leftImage = bytesOf(std::string("a\nb\nc\n"));
    const Bytes rightImage = bytesOf(std::string("a\nx\nc\n"));
    const Table left(leftImage, kMode8Bit);
    const Table right(rightImage, kMode8Bit);
    std::atomic<bool> stop{true};
    rules.stop = &stop;
    uint32_t rowCount = 77;
    EXPECT_EQ(buildHistogramList(left.get(), right.get(), rules, rowCount), nullptr);
    EXPECT_EQ(rowCount, 0u);
    stop = false;
    EXPECT_NE(buildHistogramList(left.get(), right.get(), rules, rowCount), nullptr);
    EXPECT_EQ(rowCount, 4u);
}

// Random pairs of files whose lines come from a small vocabulary, so that lines repeat (often
// beyond the count that makes an anchor), under every combination of the rules that change which
// lines are equal: the rows replay both files with the literal pair test, their equal pairs are
// those of the literal histogram alignment, and they are the same when worked out in parts.
TEST_F(HistogramTest, RowsAreValidAndPairAsTheLiteralHistogramOnRandomFiles) {
    Random random(606);
    const uint32_t wideChoices = kWideBuild ? 2 : 1;
    uint32_t roundsWithChanges = 0;
    for (uint32_t combination = 0; combination < 8 * wideChoices; ++combination) {
        rules = EngineRules{};
        rules.ignoreCase = combination & 1;
        rules.compressWhiteSpace = combination & 2;
        rules.suppressEmptyLines = combination & 4;
        rules.wideText = combination & 8;
        for (uint32_t round = 0; round < 60; ++round) {
            const bool many = round % 10 == 9; // enough lines for counts beyond the cap
            const uint32_t vocabulary =
                random.chance(50) ? 2 + random.below(6) : 20 + random.below(200);
            FileMaker maker(random, vocabulary, rules.wideText);
            std::vector<uint32_t> leftIds = maker.lineIds(random.below(many ? 300 : 40));
            std::vector<uint32_t> rightIds = random.chance(10)
                                                 ? maker.lineIds(random.below(many ? 300 : 40))
                                                 : maker.edit(leftIds, false);
            SCOPED_TRACE(testing::Message()
                         << "case " << rules.ignoreCase << " white " << rules.compressWhiteSpace
                         << " empty " << rules.suppressEmptyLines << " wide " << rules.wideText
                         << " round " << round << ": " << leftIds.size() << "/" << rightIds.size()
                         << " lines, vocabulary " << vocabulary);
            const Bytes leftImage = maker.image(leftIds);
            const Bytes rightImage = maker.image(rightIds);
            const int32_t mode = rules.wideText ? kMode16Bit : kMode8Bit;
            const Table left(leftImage, mode, rules);
            const Table right(rightImage, mode, rules);
            std::vector<DiffRow> rows = histogramRows(left, right, rules);
            expectReplays(rows, left, right, rules);
            EXPECT_EQ(equalPairsOf(rows), literal::histogramPairs(rules, left.get(), right.get()));
            // Long tables are worked out in two parts on two cores (the default takes tens of
            // thousands of lines): the rows are the same.
            EngineRules inParts = rules;
            inParts.splitFrom = 1 + round % 8;
            EXPECT_EQ(shapeOf(histogramRows(left, right, inParts)), shapeOf(rows));
            if (testing::Test::HasFailure()) return;
            roundsWithChanges += rows.size() > equalPairsOf(rows).size();
        }
    }
    EXPECT_GT(roundsWithChanges, 100u) << "the files hardly ever differed";
}

} // namespace
