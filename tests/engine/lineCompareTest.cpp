#include "engineFixture.h"
#include "literalEngine.h"

#include "engine/lineCompare.h"
#include "engine/lineHash.h"
#include "platform/build.h"
#include "platform/charClass.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using LineCompareTest = EngineTest;

struct Case {
    std::u16string a;
    std::u16string b;
    int32_t ignoreCase;
    int32_t compressWhite;
    int32_t equal;
};

const Case kCases[] = {
    {u"", u"", 0, 0, 1},
    {u"", u"x", 0, 0, 0},
    {u"abc", u"ab", 0, 0, 0},
    {u"ab", u"abc", 0, 0, 0},
    {u"x ", u"x", 0, 0, 0},
    {u"a  b", u"a\tb", 0, 1, 1},
    {u"a b", u"ab", 0, 1, 0},
    {u"  x", u" x", 0, 1, 1},
    {u" x", u"x", 0, 1, 0},
    {u"x  ", u"x", 0, 1, 1},
    {u"", u"   ", 0, 1, 1},
    {u"a ", u"ab", 0, 1, 0},
    {u"ab", u"a ", 0, 1, 0},
    {u"a \t\v b c", u"a\fb\t\tc\r ", 0, 1, 1},
    {u"a b", u"a b c", 0, 1, 0},
    {u"ABC", u"abc", 1, 0, 1},
    {u"ABC", u"abc", 0, 0, 0},
    {u"ABC", u"abd", 1, 0, 0},
    {u"A  B ", u"a b", 1, 1, 1},
    {u"\u00C4", u"\u00E4", 1, 0, 1},
    {u"a\u00A0b", u"a b", 0, 1, 0}, // no-break space is a character like any other
    {u"a\u0085", u"a", 0, 1, 0},
};

std::string bytesFromUnits(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) bytes.push_back(static_cast<char>(unit));
    return bytes;
}

TEST_F(LineCompareTest, EightBitExamples) {
    for (const Case& c : kCases) {
        std::string a = bytesFromUnits(c.a);
        std::string b = bytesFromUnits(c.b);
        SCOPED_TRACE(testing::Message() << '"' << a << "\" against \"" << b << "\" case "
                                        << c.ignoreCase << " white " << c.compressWhite);
        auto text = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
        EXPECT_EQ(compareLines8(text(a), static_cast<uint32_t>(a.size()), text(b),
                                static_cast<uint32_t>(b.size()), c.ignoreCase, c.compressWhite),
                  c.equal);
    }
}

#if QVD_WIDE
TEST_F(LineCompareTest, SixteenBitExamples) {
    std::vector<Case> cases(std::begin(kCases), std::end(kCases));
    cases.push_back({u"a\u2003\u3000b", u"a b", 0, 1, 1});
    cases.push_back({u"x\u2028", u"x", 0, 1, 1});
    cases.push_back({u"\u0391\u0392", u"\u03B1\u03B2", 1, 0, 1});
    cases.push_back({u"\u212A", u"k", 1, 0, 1});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << c.ignoreCase << " white " << c.compressWhite
                                        << " item " << (&c - cases.data()));
        // A unit past the end keeps empty texts from being null.
        Bytes a = bytesOf(c.a + u'.');
        Bytes b = bytesOf(c.b + u'.');
        EXPECT_EQ(compareLines16(a.data(), static_cast<uint32_t>(c.a.size()), b.data(),
                                 static_cast<uint32_t>(c.b.size()), c.ignoreCase, c.compressWhite),
                  c.equal);
    }
}
#endif

TEST_F(LineCompareTest, NullTextDiffersFromEverything) {
    const uint8_t text[2] = {0, 0};
    EXPECT_EQ(compareLines8(nullptr, 0, text, 0, 0, 0), 0);
    EXPECT_EQ(compareLines8(text, 0, nullptr, 0, 1, 1), 0);
#if QVD_WIDE
    EXPECT_EQ(compareLines16(nullptr, 0, text, 0, 0, 0), 0);
#endif
}

TEST_F(LineCompareTest, LatinBytesLowerAsTheBuildSays) {
    const uint8_t upper[] = {0xC4, 0x8A};
    const uint8_t lower[] = {0xE4, 0x9A};
    EXPECT_EQ(compareLines8(upper, 1, lower, 1, 1, 0), 1);
    // S with caron is 0x8A in the ANSI code page but a control character in Unicode.
    EXPECT_EQ(compareLines8(upper + 1, 1, lower + 1, 1, 1, 0), kWideBuild ? 0 : 1);
}

TEST_F(LineCompareTest, PairTestFollowsTheRules) {
    Bytes a = bytesOf(std::string("A  b"));
    Bytes b = bytesOf(std::string("a b"));
    LineRef left{a.data(), 4};
    LineRef right{b.data(), 3};
    EXPECT_EQ(linesEqual(rules, left, right), 0);
    rules.ignoreCase = true;
    rules.compressWhiteSpace = true;
    EXPECT_EQ(linesEqual(rules, left, right), 1);
    // Hex rows never compress white space, but case still counts.
    rules.hexMode = true;
    EXPECT_EQ(linesEqual(rules, left, right), 0);
    LineRef leftA{a.data(), 1};
    LineRef rightA{b.data(), 1};
    EXPECT_EQ(linesEqual(rules, leftA, rightA), 1);
}

#if QVD_WIDE
TEST_F(LineCompareTest, WideTextChoosesUnitComparison) {
    // An em space is white space as a unit; its bytes 03 20 are not a run facing a blank.
    Bytes a = bytesOf(u"a\u2003b");
    Bytes b = bytesOf(u"a b");
    rules.compressWhiteSpace = true;
    EXPECT_EQ(linesEqual(rules, {a.data(), 3}, {b.data(), 3}), 0);
    rules.wideText = true;
    EXPECT_EQ(linesEqual(rules, {a.data(), 3}, {b.data(), 3}), 1);
    rules.compressWhiteSpace = false;
    Bytes c = bytesOf(u"\u00C4");
    Bytes d = bytesOf(u"\u00E4");
    rules.ignoreCase = true;
    EXPECT_EQ(linesEqual(rules, {c.data(), 1}, {d.data(), 1}), 1);
    // In hex mode the same bytes compare as bytes: length 2 rows.
    rules.hexMode = true;
    EXPECT_EQ(linesEqual(rules, {c.data(), 2}, {d.data(), 2}), 1);
    rules.compressWhiteSpace = true;
    EXPECT_EQ(linesEqual(rules, {a.data(), 6}, {b.data(), 6}), 0);
}
#endif

// Classes of equal lines rely on the comparison being an equivalence; that holds only because
// lowering never moves a character into or out of white space.
TEST_F(LineCompareTest, LoweringKeepsWhiteSpaceApart) {
    for (uint32_t unit = 0; unit < 0x10000; ++unit) {
        char16_t c = static_cast<char16_t>(unit);
        ASSERT_EQ(isWhiteSpace16(lowerUnit(c)), isWhiteSpace16(c)) << unit;
    }
    for (uint32_t byte = 0; byte < 0x100; ++byte) {
        uint8_t b = static_cast<uint8_t>(byte);
        ASSERT_EQ(isWhiteSpace8(lowerAnsiByte(b)), isWhiteSpace8(b)) << byte;
        ASSERT_LT(lowerUnit(b), 0x100) << byte;
        ASSERT_EQ(isWhiteSpace8(static_cast<uint8_t>(lowerUnit(b))), isWhiteSpace8(b)) << byte;
    }
}

// Short random lines over characters that stress case and white space.
std::u16string randomLine(Random& random) {
    static const char16_t kUnits[] = {u'a', u'A', u'b', u' ', u'\t',  u'\v',  0xC4,   0xE4,
                                      0x8A, 0x9A, 0xA0, 0x85, 0x2003, 0x3000, 0x212A, u'k'};
    std::u16string line(random.below(7), u' ');
    for (char16_t& unit : line) unit = kUnits[random.below(kWideBuild ? 16 : 12)];
    return line;
}

TEST_F(LineCompareTest, RandomLinesCompareAsTheLiteralRoutineAndHashAlikeWhenEqual) {
    Random random(11);
    int equalPairs = 0;
    for (int round = 0; round < 20000; ++round) {
        std::u16string a = randomLine(random);
        std::u16string b = random.chance(30) ? a : randomLine(random);
        int32_t ignoreCase = random.below(2);
        int32_t compressWhite = random.below(2);
        SCOPED_TRACE(testing::Message() << "round " << round);
        std::string a8 = bytesFromUnits(a);
        std::string b8 = bytesFromUnits(b);
        auto* textA = reinterpret_cast<const uint8_t*>(a8.data());
        auto* textB = reinterpret_cast<const uint8_t*>(b8.data());
        auto lengthA = static_cast<uint32_t>(a.size());
        auto lengthB = static_cast<uint32_t>(b.size());
        int32_t equal8 = compareLines8(textA, lengthA, textB, lengthB, ignoreCase, compressWhite);
        ASSERT_EQ(equal8, literal::compareLines8(textA, lengthA, textB, lengthB, ignoreCase,
                                                 compressWhite));
        CompareRules rules8{false, ignoreCase != 0, compressWhite != 0};
        if (equal8) {
            ++equalPairs;
            ASSERT_EQ(hashLine(rules8, {textA, lengthA}), hashLine(rules8, {textB, lengthB}));
        }
#if QVD_WIDE
        Bytes unitsA = bytesOf(a + u'.');
        Bytes unitsB = bytesOf(b + u'.');
        int32_t equal16 = compareLines16(unitsA.data(), lengthA, unitsB.data(), lengthB, ignoreCase,
                                         compressWhite);
        ASSERT_EQ(equal16, literal::compareLines16(unitsA.data(), lengthA, unitsB.data(), lengthB,
                                                   ignoreCase, compressWhite));
        CompareRules rules16{true, ignoreCase != 0, compressWhite != 0};
        if (equal16) {
            ASSERT_EQ(hashLine(rules16, {unitsA.data(), lengthA}),
                      hashLine(rules16, {unitsB.data(), lengthB}));
        }
#endif
    }
    EXPECT_GT(equalPairs, 5000); // the inputs do exercise equal lines
}

// Hashes fold case more coarsely than the comparison lowers it; every pair of bytes that
// compares equal must still hash alike, alone and inside a line long enough for whole blocks.
TEST_F(LineCompareTest, BytesEqualUnderCaseHashAlike) {
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; ++y) {
            uint8_t a[40];
            uint8_t b[40];
            std::memset(a, 'q', sizeof a);
            std::memset(b, 'q', sizeof b);
            a[0] = a[20] = a[39] = static_cast<uint8_t>(x);
            b[0] = b[20] = b[39] = static_cast<uint8_t>(y);
            if (!compareLines8(a, 1, b, 1, 1, 0)) continue;
            for (int compress = 0; compress < 2; ++compress) {
                CompareRules caseRules{false, true, compress != 0};
                for (uint32_t length : {1u, 40u}) {
                    ASSERT_EQ(hashLine(caseRules, {a, length}), hashLine(caseRules, {b, length}))
                        << x << " " << y << " " << length;
                    ASSERT_EQ(hashLinePortable(caseRules, {a, length}),
                              hashLine(caseRules, {a, length}));
                }
            }
        }
    }
}

TEST_F(LineCompareTest, LongLinesHashAlikeWhateverTheirWhiteSpace) {
    // Hashes are taken in pieces of gathered characters; white space runs of other lengths must
    // not move the piece boundaries.
    Random random(13);
    for (int round = 0; round < 200; ++round) {
        std::string a;
        std::string b;
        uint32_t words = 1 + random.below(400);
        for (uint32_t w = 0; w < words; ++w) {
            std::string word(1 + random.below(9), 'x');
            for (char& c : word)
                c = random.chance(10) ? static_cast<char>(0xE0 + random.below(16))
                                      : static_cast<char>('a' + random.below(26));
            a += word;
            b += word;
            if (random.chance(50)) b.back() = static_cast<char>(b.back() - 0x20); // its capital
            static const char* const kRuns[] = {" ", "  ", "\t", "\v\f", " \r "};
            a += kRuns[random.below(5)];
            b += kRuns[random.below(5)];
        }
        SCOPED_TRACE(round);
        auto* textA = reinterpret_cast<const uint8_t*>(a.data());
        auto* textB = reinterpret_cast<const uint8_t*>(b.data());
        auto lengthA = static_cast<uint32_t>(a.size());
        auto lengthB = static_cast<uint32_t>(b.size());
        CompareRules loose{false, true, true};
        ASSERT_EQ(compareLines8(textA, lengthA, textB, lengthB, 1, 1), 1);
        ASSERT_EQ(hashLine(loose, {textA, lengthA}), hashLine(loose, {textB, lengthB}));
        // Vector and byte-by-byte gathering give one hash.
        for (bool ignoreCase : {false, true})
            for (bool compress : {false, true})
                ASSERT_EQ(hashLinePortable({false, ignoreCase, compress}, {textB, lengthB}),
                          hashLine({false, ignoreCase, compress}, {textB, lengthB}));
        ASSERT_EQ(compareLines8(textA, lengthA, textB, lengthB, 0, 1),
                  hashLine({false, false, true}, {textA, lengthA}) ==
                          hashLine({false, false, true}, {textB, lengthB})
                      ? 1
                      : 0);
    }
}

} // namespace
