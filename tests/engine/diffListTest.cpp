#include "engineFixture.h"
#include "literalEngine.h"

#include "engine/diffList.h"
#include "engine/lineCompare.h"
#include "platform/build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

using DiffListTest = EngineTest;

Bytes letters(const std::string& text) {
    std::string joined;
    for (char c : text) joined += std::string(1, c) + "\n";
    return bytesOf(joined);
}

TEST_F(DiffListTest, WorkedExamples) {
    struct Case {
        std::string left;
        std::string right;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {"", "", {}},
        {"", "ab", {{0, 1, 0}, {0, 2, 0}}},
        {"ab", "", {{1, 0, 0}, {2, 0, 0}}},
        {"abc", "abc", {{1, 1, 1}, {2, 2, 1}, {3, 3, 1}}},
        {"ABCDEF", "ACDEF", {{1, 1, 1}, {2, 0, 0}, {3, 2, 1}, {4, 3, 1}, {5, 4, 1}, {6, 5, 1}}},
        {"ACDEF", "ABCDEF", {{1, 1, 1}, {0, 2, 0}, {2, 3, 1}, {3, 4, 1}, {4, 5, 1}, {5, 6, 1}}},
        {"ABCDE", "AXCDE", {{1, 1, 1}, {2, 2, 0}, {3, 3, 1}, {4, 4, 1}, {5, 5, 1}}},
        {"abc", "vwxyz", {{1, 1, 0}, {2, 2, 0}, {3, 3, 0}, {0, 4, 0}, {0, 5, 0}}},
        {"aaa", "aa", {{1, 1, 1}, {2, 2, 1}, {3, 0, 0}}},
        {"abcde", "xyzcw", {{0, 1, 0}, {1, 2, 0}, {2, 3, 0}, {3, 4, 1}, {4, 5, 0}, {5, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.left + " / " + c.right);
        Bytes leftImage = letters(c.left);
        Bytes rightImage = letters(c.right);
        Table left(leftImage, kMode8Bit);
        Table right(rightImage, kMode8Bit);
        std::vector<DiffRow> rows = diffRows(left.get(), right.get());
        EXPECT_EQ(shapeOf(rows), c.rows);
        expectReplays(rows, left, right);
    }
}

TEST_F(DiffListTest, HexRowsPairUpOneForOne) {
    rules.hexMode = true;
    Bytes leftImage = bytesOf(std::string("aaaaBBBBcc"));
    Bytes rightImage = bytesOf(std::string("aaaabbbbccddddeeee"));
    Table left(leftImage, -4, rules);
    Table right(rightImage, -4, rules);
    std::vector<Row> expected = {{1, 1, 1}, {2, 2, 0}, {3, 3, 0}, {0, 4, 0}, {0, 5, 0}};
    EXPECT_EQ(shapeOf(diffRows(left.get(), right.get(), rules)), expected);
    rules.ignoreCase = true; // case still counts in hex rows; the short row still differs
    expected[1] = {2, 2, 1};
    EXPECT_EQ(shapeOf(diffRows(left.get(), right.get(), rules)), expected);
}

TEST_F(DiffListTest, SuppressedLinesAreNotNumbered) {
    rules.suppressEmptyLines = true;
    Bytes leftImage = bytesOf(std::string("a\n\n  \nb\n"));
    Bytes rightImage = bytesOf(std::string("a\nb\n\t\n"));
    Table left(leftImage, kMode8Bit, rules);
    Table right(rightImage, kMode8Bit, rules);
    std::vector<Row> expected = {{1, 1, 1}, {2, 2, 1}};
    EXPECT_EQ(shapeOf(diffRows(left.get(), right.get(), rules)), expected);
}

TEST_F(DiffListTest, LineEndsDoNotCount) {
    std::vector<std::string> lines = {"first", "", "  indented", "last"};
    Bytes crLf = bytesOf(joinLines(lines, "\r\n"));
    Bytes lf = bytesOf(joinLines(lines, "\n"));
    Bytes cr = bytesOf(joinLines(lines, "\r"));
    Table left(crLf, kMode8Bit);
    for (const Bytes* other : {&lf, &cr}) {
        Table right(*other, kMode8Bit);
        std::vector<Row> expected = {{1, 1, 1}, {2, 2, 1}, {3, 3, 1}, {4, 4, 1}};
        EXPECT_EQ(shapeOf(diffRows(left.get(), right.get())), expected);
    }
#if QVD_WIDE
    rules.wideText = true;
    Bytes wideCrLf = bytesOf(u"first\r\n\r\n  indented\r\nlast\r\n");
    Bytes wideLf = bytesOf(u"first\n\n  indented\nlast");
    Table wideLeft(wideCrLf, kMode16Bit);
    Table wideRight(wideLf, kMode16Bit);
    std::vector<Row> expected = {{1, 1, 1}, {2, 2, 1}, {3, 3, 1}, {4, 4, 1}};
    EXPECT_EQ(shapeOf(diffRows(wideLeft.get(), wideRight.get(), rules)), expected);
#endif
}

TEST_F(DiffListTest, NullTableLeavesRowCountAlone) {
    Bytes image = letters("ab");
    Table table(image, kMode8Bit);
    uint32_t rowCount = 77;
    EXPECT_EQ(buildDiffList(nullptr, table.get(), rules, rowCount), nullptr);
    EXPECT_EQ(buildDiffList(table.get(), nullptr, rules, rowCount), nullptr);
    EXPECT_EQ(rowCount, 77u);
}

TEST_F(DiffListTest, LongRunsWithoutTheirIndexAreRefusedRatherThanSlow) {
    // A sync count beyond what the index serves stands for an index that could not be had: the
    // window alone falls back to the plain search, long runs give up as out of memory.
    Bytes leftImage = letters("abc");
    Bytes rightImage = letters("abd");
    Table left(leftImage, kMode8Bit);
    Table right(rightImage, kMode8Bit);
    rules.syncCount = 5000;
    uint32_t rowCount = 77;
    EXPECT_NE(buildDiffList(left.get(), right.get(), rules, rowCount), nullptr);
    EXPECT_EQ(rowCount, 3u);
    rules.longRuns = true;
    EXPECT_EQ(buildDiffList(left.get(), right.get(), rules, rowCount), nullptr);
    EXPECT_EQ(rowCount, 0u);
}

TEST_F(DiffListTest, LongInsertionBeyondTheWindowPairsEverythingUp) {
    // 150 inserted lines cannot be passed over with -s: the offset stays and the rest differs.
    std::vector<std::string> left;
    for (int i = 0; i < 50; ++i) left.push_back("line " + std::to_string(i));
    std::vector<std::string> right;
    for (int i = 0; i < 150; ++i) right.push_back("new " + std::to_string(i));
    right.insert(right.end(), left.begin(), left.end());
    Bytes leftImage = bytesOf(joinLines(left));
    Bytes rightImage = bytesOf(joinLines(right));
    Table leftTable(leftImage, kMode8Bit);
    Table rightTable(rightImage, kMode8Bit);
    rules.window = 100;
    std::vector<DiffRow> rows = diffRows(leftTable.get(), rightTable.get(), rules);
    ASSERT_EQ(rows.size(), 200u);
    for (uint32_t i = 0; i < 50; ++i) EXPECT_EQ(shapeOf(rows)[i], Row(i + 1, i + 1, 0));
    rules.window = 600;
    rows = diffRows(leftTable.get(), rightTable.get(), rules);
    ASSERT_EQ(rows.size(), 200u);
    EXPECT_EQ(shapeOf(rows)[149], Row(0, 150, 0));
    EXPECT_EQ(shapeOf(rows)[150], Row(1, 151, 1));
    // With long runs the 100-line window passes over them too.
    rules.window = 100;
    rules.longRuns = true;
    EXPECT_EQ(shapeOf(diffRows(leftTable.get(), rightTable.get(), rules)), shapeOf(rows));
}

TEST_F(DiffListTest, LongRunsPassOverAnInsertionOf650Lines) {
    // 3000 numbered lines; the right file has 650 new ones after line 1000.
    std::vector<std::string> left;
    for (int i = 1; i <= 3000; ++i) left.push_back(std::to_string(i));
    std::vector<std::string> right(left.begin(), left.begin() + 1000);
    for (int i = 1; i <= 650; ++i) right.push_back("new " + std::to_string(i));
    right.insert(right.end(), left.begin() + 1000, left.end());
    Bytes leftImage = bytesOf(joinLines(left));
    Bytes rightImage = bytesOf(joinLines(right));
    for (bool swapped : {false, true}) {
        SCOPED_TRACE(swapped ? "deleted" : "inserted");
        Table leftTable(swapped ? rightImage : leftImage, kMode8Bit);
        Table rightTable(swapped ? leftImage : rightImage, kMode8Bit);
        auto unmatched = [](const std::vector<DiffRow>& rows) {
            return std::count_if(rows.begin(), rows.end(),
                                 [](const DiffRow& row) { return row.match == 0; });
        };
        rules.longRuns = false;
        EXPECT_EQ(unmatched(diffRows(leftTable.get(), rightTable.get(), rules)), 2650);
        rules.longRuns = true;
        std::vector<DiffRow> rows = diffRows(leftTable.get(), rightTable.get(), rules);
        EXPECT_EQ(unmatched(rows), 650);
        ASSERT_EQ(rows.size(), 3650u);
        Row lastRow = swapped ? Row(3650, 3000, 1) : Row(3000, 3650, 1);
        EXPECT_EQ(shapeOf(rows).back(), lastRow);
        expectReplays(rows, leftTable, rightTable, rules);
    }
}

void expectSameAsLiteral(const Table& left, const Table& right, const EngineRules& rules) {
    std::vector<DiffRow> fast = diffRows(left.get(), right.get(), rules);
    std::vector<DiffRow> reference = literal::buildDiffList(rules, left.get(), right.get());
    ASSERT_EQ(fast.size(), reference.size());
    for (size_t i = 0; i < fast.size(); ++i) {
        const DiffRow& a = fast[i];
        const DiffRow& b = reference[i];
        ASSERT_TRUE(a.leftText == b.leftText && a.leftLength == b.leftLength &&
                    a.leftNumber == b.leftNumber && a.rightText == b.rightText &&
                    a.rightLength == b.rightLength && a.rightNumber == b.rightNumber &&
                    a.match == b.match)
            << "row " << i << ": " << a.leftNumber << "," << a.rightNumber << "," << a.match
            << " against " << b.leftNumber << "," << b.rightNumber << "," << b.match;
    }
    expectReplays(fast, left, right, rules);
}

struct RandomRun {
    uint32_t rounds;
    uint32_t maxLines;
    bool longEdits;             // some edited runs are longer than the windows
    uint32_t longRunsChance;    // percent of rounds built with rules.longRuns
    bool smallWindows;          // windows of 2 to 40 lines instead of 100 and 600
    uint32_t halvesChance = 50; // percent of rounds whose list is worked out in two halves
};

// Rounds whose rows changed with the long-runs rule (counted where it was on).
uint32_t roundsChangedByLongRuns = 0;

void compareOnRandomFiles(uint32_t seed, const RandomRun& run) {
    Random random(seed);
    for (uint32_t round = 0; round < run.rounds; ++round) {
        bool wide = kWideBuild && random.chance(40);
        uint32_t vocabulary = random.chance(30) ? 2 + random.below(6) : 20 + random.below(2000);
        FileMaker maker(random, vocabulary, wide);
        std::vector<uint32_t> leftIds = maker.lineIds(random.below(run.maxLines));
        std::vector<uint32_t> rightIds = random.chance(10)
                                             ? maker.lineIds(random.below(run.maxLines))
                                             : maker.edit(leftIds, run.longEdits);
        Bytes leftImage = maker.image(leftIds);
        Bytes rightImage = maker.image(rightIds);

        EngineRules rules;
        rules.ignoreCase = random.below(2) != 0;
        rules.compressWhiteSpace = random.below(2) != 0;
        rules.suppressEmptyLines = random.below(2) != 0;
        rules.window = run.smallWindows ? 2 + static_cast<int32_t>(random.below(39))
                                        : (random.below(2) ? 100 : 600);
        rules.longRuns = random.chance(run.longRunsChance);
        uint32_t syncLines = random.below(10); // 0 stands for the default of 4
        rules.syncCount = syncLines == 0 ? 4 : static_cast<int32_t>(syncLines);
        rules.hexMode = random.chance(10);
        rules.wideText = wide;
        // Half of the rounds work out the list in two halves on two cores (the default takes
        // tables of tens of thousands of lines); drawn apart, so the rounds stay as they were.
        if (Random halves(seed + round * 7919); halves.chance(run.halvesChance))
            rules.splitFrom = 1 + halves.below(40);
        int32_t mode = rules.hexMode ? -static_cast<int32_t>(1 + random.below(16))
                                     : (wide ? kMode16Bit : kMode8Bit);
        SCOPED_TRACE(testing::Message()
                     << "seed " << seed << " round " << round << ": " << leftIds.size() << "/"
                     << rightIds.size() << " lines, vocabulary " << vocabulary << ", case "
                     << rules.ignoreCase << " white " << rules.compressWhiteSpace << " empty "
                     << rules.suppressEmptyLines << " window " << rules.window << " long runs "
                     << rules.longRuns << " sync " << rules.syncCount << " hex " << rules.hexMode
                     << " halves from " << rules.splitFrom << (wide ? " UTF-16" : " 8-bit"));
        Table left(leftImage, mode, rules);
        Table right(rightImage, mode, rules);
        expectSameAsLiteral(left, right, rules);
        if (testing::Test::HasFatalFailure()) return;
        if (rules.longRuns && !rules.hexMode) {
            EngineRules windowOnly = rules;
            windowOnly.longRuns = false;
            std::vector<DiffRow> withRuns = diffRows(left.get(), right.get(), rules);
            std::vector<DiffRow> without = diffRows(left.get(), right.get(), windowOnly);
            if (shapeOf(withRuns) != shapeOf(without)) ++roundsChangedByLongRuns;
        }
    }
}

TEST_F(DiffListTest, FastRowsEqualLiteralRowsOnSmallRandomFiles) {
    compareOnRandomFiles(101, {600, 60, false, 30, false});
}

TEST_F(DiffListTest, FastRowsEqualLiteralRowsOnLongerRandomFiles) {
    compareOnRandomFiles(202, {60, 400, false, 30, false});
}

TEST_F(DiffListTest, FastRowsEqualLiteralRowsAcrossTheWindows) {
    compareOnRandomFiles(303, {40, 1500, true, 50, false});
}

TEST_F(DiffListTest, HalvesOfLongTablesGiveTheLiteralRows) {
    // Thousands of lines a half, repeated word for word as in logs: the halves meet at the middle
    // or after the differences that follow it, and the second half's rows are moved behind the
    // first's.
    Random random(505);
    const auto image = [](const std::vector<uint32_t>& ids, bool wide) {
        std::u16string text;
        for (uint32_t id : ids) {
            std::string line = id % 13 == 0 ? "" : "entry " + std::to_string(id) + " of the log";
            text += std::u16string(line.begin(), line.end()) + u"\n";
        }
        if (wide) return bytesOf(text);
        return Bytes(text.begin(), text.end());
    };
    for (uint32_t round = 0; round < 8; ++round) {
        const bool wide = kWideBuild && round % 4 == 3;
        FileMaker maker(random, 200 + random.below(3000), wide);
        std::vector<uint32_t> leftIds = maker.lineIds(4000 + random.below(6000));
        std::vector<uint32_t> rightIds = maker.edit(leftIds, round % 2 == 1);
        rules = EngineRules{};
        rules.wideText = wide;
        rules.ignoreCase = round % 3 == 2;
        rules.suppressEmptyLines = round % 4 == 1;
        rules.syncCount = 1 + static_cast<int32_t>(random.below(9));
        rules.window = random.below(2) ? 100 : 600;
        rules.splitFrom = 2;
        SCOPED_TRACE(testing::Message()
                     << "round " << round << ": " << leftIds.size() << "/" << rightIds.size()
                     << " lines, sync " << rules.syncCount << " window " << rules.window);
        const int32_t mode = wide ? kMode16Bit : kMode8Bit;
        const Bytes leftImage = image(leftIds, wide);
        const Bytes rightImage = image(rightIds, wide);
        Table left(leftImage, mode, rules);
        Table right(rightImage, mode, rules);
        expectSameAsLiteral(left, right, rules);
        if (testing::Test::HasFatalFailure()) return;
    }
}

TEST_F(DiffListTest, FastRowsEqualLiteralRowsWithLongRuns) {
    // Small windows make runs longer than the window common, so the look beyond it is taken often.
    roundsChangedByLongRuns = 0;
    compareOnRandomFiles(404, {300, 300, true, 100, true});
    EXPECT_GT(roundsChangedByLongRuns, 30u) << "the long-runs rule was hardly ever used";
}

} // namespace
