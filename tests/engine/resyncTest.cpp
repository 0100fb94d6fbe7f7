#include "engineFixture.h"
#include "literalEngine.h"

#include "engine/resync.h"

#include <gtest/gtest.h>

namespace {

using ResyncTest = EngineTest;

// One line per letter.
Bytes letters(const std::string& text) {
    std::string joined;
    for (char c : text) joined += std::string(1, c) + "\n";
    return bytesOf(joined);
}

struct Outcome {
    uint32_t leftPos;
    uint32_t rightPos;
    int32_t result;
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.leftPos == b.leftPos && a.rightPos == b.rightPos && a.result == b.result;
}

void PrintTo(const Outcome& o, std::ostream* out) {
    *out << "(" << o.leftPos << ", " << o.rightPos << ") -> " << o.result;
}

// The plain search, the indexed search (where it applies) and the literal one.
struct Searches {
    Outcome plain;
    Outcome indexed;
    Outcome reference;
};

Searches searchAll(const EngineRules& rules, const Table& left, const Table& right, uint32_t m,
                   uint32_t l) {
    Searches s{};
    s.plain = {m, l, 0};
    s.plain.result = findResync(left.get(), right.get(), s.plain.leftPos, s.plain.rightPos, rules);
    s.reference = {m, l, 0};
    s.reference.result = literal::findResync(rules, left.get(), right.get(), s.reference.leftPos,
                                             s.reference.rightPos, rules.syncCount, rules.window);
    s.indexed = s.reference;
    // The index serves positions with a line on both sides that differ.
    if (m < left.size() && l < right.size() && !rules.hexMode &&
        !linesEqual(rules, left[m], right[l])) {
        ResyncIndex index;
        if (index.init(left.get(), left.size(), right.get(), right.size(), rules)) {
            s.indexed = {m, l, 0};
            s.indexed.result = index.find(s.indexed.leftPos, s.indexed.rightPos);
        }
    }
    return s;
}

TEST_F(ResyncTest, WorkedExamples) {
    struct Case {
        std::string left;
        std::string right;
        uint32_t m;
        uint32_t l;
        Outcome expected;
    };
    const Case cases[] = {
        {"ABCDE", "AXCDE", 1, 1, {1, 1, 0}},   // a changed line stays a differing pair
        {"ACDEF", "ABCDEF", 1, 1, {1, 2, 1}},  // B only on the right
        {"ABCDEF", "ACDEF", 1, 1, {2, 1, 1}},  // B only on the left
        {"ababab", "bababa", 0, 0, {0, 1, 1}}, // equal skips favour passing over right lines
        {"A", "ABC", 1, 1, {1, 3, 0}},         // left ended: the rest of the right is passed
        {"ABC", "A", 1, 1, {3, 1, 0}},
        {"abcde", "xyzcw", 0, 0, {0, 1, 0}},   // one equal pair in four is enough to move
        {"AB", "AB", 1, 1, {1, 1, 1}},         // equal lines stay
        {"abcdef", "xbcdef", 0, 0, {0, 0, 0}}, // a changed first line: nothing beats staying
        {"Qabcd", "abcd", 0, 0, {1, 0, 1}},
        {"abcd", "QQabcd", 0, 0, {0, 2, 1}},
        {"xab", "yzab", 0, 0, {0, 1, 0}}, // the short tail scores 2 at the nearest skip
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.left + " / " + c.right);
        Bytes leftImage = letters(c.left);
        Bytes rightImage = letters(c.right);
        Table left(leftImage, kMode8Bit);
        Table right(rightImage, kMode8Bit);
        Searches s = searchAll(rules, left, right, c.m, c.l);
        EXPECT_EQ(s.reference, c.expected);
        EXPECT_EQ(s.plain, c.expected);
        EXPECT_EQ(s.indexed, c.expected);
    }
}

TEST_F(ResyncTest, HexRowsNeverMove) {
    rules.hexMode = true;
    Bytes leftImage = bytesOf(std::string("0123456789"));
    Bytes rightImage = bytesOf(std::string("xx0123456789"));
    Table left(leftImage, -2, rules);
    Table right(rightImage, -2, rules);
    Searches s = searchAll(rules, left, right, 0, 0);
    EXPECT_EQ(s.plain, (Outcome{0, 0, 0}));
    EXPECT_EQ(s.reference, s.plain);
}

TEST_F(ResyncTest, SkipsStopShortOfTheWindow) {
    // The partner of the left line lies 100 lines away: out of reach of a 100-line window.
    std::string right(100, 'x');
    right += "abcd";
    for (int32_t window : {100, 101}) {
        SCOPED_TRACE(window);
        Bytes leftImage = letters("abcd");
        Bytes rightImage = letters(right);
        Table leftTable(leftImage, kMode8Bit);
        Table rightTable(rightImage, kMode8Bit);
        rules.window = window;
        Searches s = searchAll(rules, leftTable, rightTable, 0, 0);
        Outcome expected = window == 100 ? Outcome{0, 0, 0} : Outcome{0, 100, 1};
        EXPECT_EQ(s.reference, expected);
        EXPECT_EQ(s.plain, expected);
        EXPECT_EQ(s.indexed, expected);
    }
}

TEST_F(ResyncTest, LongRunsLookBeyondTheWindowOnlyWhenNothingInItScores) {
    // Window 10, syncCount 3; x and y lines have no partner.
    struct Case {
        const char* name;
        std::string left;
        std::string right;
        Outcome without;
        Outcome with;
    };
    const std::string x9(9, 'x');
    const std::string x12(12, 'x');
    const std::string y9(9, 'y');
    const std::string y12(12, 'y');
    const Case cases[] = {
        {"twelve inserted lines are passed over", "abcd", x12 + "abcd", {0, 0, 0}, {0, 12, 1}},
        {"twelve deleted lines too", y12 + "abcd", "abcd", {0, 0, 0}, {12, 0, 1}},
        {"a run needs all three pairs: a tail of two is none",
         "ab",
         x12 + "ab",
         {0, 0, 0},
         {0, 0, 0}},
        {"nor is a run broken after two pairs", "abcd", x12 + "abxd", {0, 0, 0}, {0, 0, 0}},
        {"the nearest run wins", "abc", x12 + "abcabc", {0, 0, 0}, {0, 12, 1}},
        {"the shorter skip wins",
         "pqr" + y9 + "stu",
         "stu" + x9 + "x" + "pqr",
         {0, 0, 0},
         {12, 0, 1}},
        {"equal skips: right lines are passed over",
         "pqr" + y9 + "stu",
         "stu" + x9 + "pqr",
         {0, 0, 0},
         {0, 12, 1}},
        {"one equal pair in the window: the window's answer stands",
         "abcdef",
         "xc" + x9 + "xabcdef",
         {1, 0, 0},
         {1, 0, 0}},
        {"a skip in the window that scores stands",
         "abcdef",
         x9 + "cd" + "xxxx" + "abcdef",
         {0, 7, 0},
         {0, 7, 0}},
    };
    rules.window = 10;
    rules.syncCount = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes leftImage = letters(c.left);
        Bytes rightImage = letters(c.right);
        Table left(leftImage, kMode8Bit);
        Table right(rightImage, kMode8Bit);
        for (bool longRuns : {false, true}) {
            SCOPED_TRACE(longRuns ? "long runs" : "window only");
            rules.longRuns = longRuns;
            Searches s = searchAll(rules, left, right, 0, 0);
            const Outcome& expected = longRuns ? c.with : c.without;
            EXPECT_EQ(s.reference, expected);
            EXPECT_EQ(s.plain, expected);
            EXPECT_EQ(s.indexed, expected);
        }
    }
}

// Letters from a small alphabet, so that lines repeat and partial scores abound.
std::string randomLetters(Random& random, uint32_t length, uint32_t alphabet) {
    std::string text(length, 'a');
    for (char& c : text) c = static_cast<char>('a' + random.below(alphabet));
    return text;
}

TEST_F(ResyncTest, RandomPositionsMatchTheLiteralSearch) {
    Random random(3);
    for (int round = 0; round < 3000; ++round) {
        uint32_t alphabet = 2 + random.below(8);
        Bytes leftImage = letters(randomLetters(random, random.below(40), alphabet));
        Bytes rightImage = letters(randomLetters(random, random.below(40), alphabet));
        Table left(leftImage, kMode8Bit);
        Table right(rightImage, kMode8Bit);
        uint32_t m = random.below(left.size() + 1);
        uint32_t l = random.below(right.size() + 1);
        rules.syncCount = 1 + static_cast<int32_t>(random.below(9));
        rules.window = 1 + static_cast<int32_t>(random.below(30));
        rules.hexMode = random.chance(10);
        rules.longRuns = random.chance(50);
        SCOPED_TRACE(testing::Message()
                     << "round " << round << " at " << m << "," << l << " sync " << rules.syncCount
                     << " window " << rules.window << " long runs " << rules.longRuns);
        Searches s = searchAll(rules, left, right, m, l);
        ASSERT_EQ(s.plain, s.reference);
        ASSERT_EQ(s.indexed, s.reference);
    }
}

TEST_F(ResyncTest, IndexFollowsPositionsForwardAndBack) {
    Random random(5);
    Bytes leftImage = letters(randomLetters(random, 300, 4));
    Bytes rightImage = letters(randomLetters(random, 300, 4));
    Table left(leftImage, kMode8Bit);
    Table right(rightImage, kMode8Bit);
    rules.window = 20;
    for (bool longRuns : {false, true}) {
        SCOPED_TRACE(longRuns ? "long runs" : "window only");
        rules.longRuns = longRuns;
        ResyncIndex index;
        ASSERT_TRUE(index.init(left.get(), left.size(), right.get(), right.size(), rules));
        uint32_t m = 0;
        uint32_t l = 0;
        for (int round = 0; round < 2000; ++round) {
            // Mostly small steps forward, now and then a jump either way.
            if (random.chance(5)) {
                m = random.below(left.size());
                l = random.below(right.size());
            } else {
                m = (m + random.below(3)) % left.size();
                l = (l + random.below(3)) % right.size();
            }
            if (linesEqual(rules, left[m], right[l])) continue;
            SCOPED_TRACE(testing::Message() << m << "," << l);
            Outcome got{m, l, 0};
            got.result = index.find(got.leftPos, got.rightPos);
            Outcome expected{m, l, 0};
            expected.result = literal::findResync(rules, left.get(), right.get(), expected.leftPos,
                                                  expected.rightPos, 4, 20);
            ASSERT_EQ(got, expected);
        }
    }
}

} // namespace
