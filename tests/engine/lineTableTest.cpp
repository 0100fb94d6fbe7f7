#include "engineFixture.h"
#include "support/largeTests.h"

#include "engine/lineHash.h"
#include "platform/build.h"
#include "platform/charClass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <sys/mman.h>

namespace {

struct Line {
    size_t offset; // bytes from the start of the image
    uint32_t length;
};

std::vector<Line> linesOf(const Bytes& image, const Table& table) {
    std::vector<Line> lines;
    for (uint32_t i = 0; i < table.size(); ++i)
        lines.push_back({static_cast<size_t>(table[i].text - image.data()), table[i].length});
    return lines;
}

bool operator==(const Line& a, const Line& b) {
    return a.offset == b.offset && a.length == b.length;
}

void PrintTo(const Line& line, std::ostream* out) {
    *out << "{" << line.offset << ", " << line.length << "}";
}

using LineTableTest = EngineTest;

TEST_F(LineTableTest, EightBitTextSplitsAtEveryKindOfLineEnd) {
    struct Case {
        std::string image;
        std::vector<Line> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"abc", {{0, 3}}},
        {"abc\r\n", {{0, 3}}},
        {"abc\r\n\r\n", {{0, 3}, {5, 0}}},
        {"a\rb", {{0, 1}, {2, 1}}},
        {"a\n\rb", {{0, 1}, {2, 0}, {3, 1}}},
        {"\n", {{0, 0}}},
        {std::string("a\0b\n", 4), {{0, 3}}},
        {"a\r", {{0, 1}}},
        {"\r\r\n\n", {{0, 0}, {1, 0}, {3, 0}}},
        {"x\ty\f\v", {{0, 5}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.image));
        Bytes image = bytesOf(c.image);
        Table table(image, kMode8Bit);
        EXPECT_EQ(linesOf(image, table), c.lines);
    }
}

TEST_F(LineTableTest, TableBlockHoldsCountedLinesAndTerminator) {
    Bytes image = bytesOf("one\ntwo\n");
    Table table(image, kMode8Bit);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[2].text, nullptr);
    EXPECT_EQ(table[2].length, 0u);
}

#if QVD_WIDE
TEST_F(LineTableTest, SixteenBitTextSplitsOnWholeUnits) {
    struct Case {
        Bytes image;
        std::vector<Line> lines;
    };
    Bytes oddAfterEnd = bytesOf(u"a\n");
    oddAfterEnd.push_back('z');
    Bytes oddAfterText = bytesOf(u"ab");
    oddAfterText.push_back('z');
    // A CR LF whose LF is only half there is a lone CR followed by an odd byte.
    Bytes halfLf = bytesOf(u"a\r");
    halfLf.push_back('\n');
    const Case cases[] = {
        {{}, {}},
        {bytesOf(u"abc"), {{0, 3}}},
        {bytesOf(u"abc\r\n"), {{0, 3}}},
        {bytesOf(u"abc\r\n\r\n"), {{0, 3}, {10, 0}}},
        {bytesOf(u"a\rb"), {{0, 1}, {4, 1}}},
        {bytesOf(u"a\n\rb"), {{0, 1}, {4, 0}, {6, 1}}},
        {bytesOf(u"\u010A\u0D0A"), {{0, 2}}}, // bytes 0A and 0D inside units end nothing
        {oddAfterEnd, {{0, 1}, {4, 0}}},
        {oddAfterText, {{0, 2}}},
        {halfLf, {{0, 1}, {4, 0}}},
        {Bytes{'q'}, {{0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.image));
        Table table(c.image, kMode16Bit);
        EXPECT_EQ(linesOf(c.image, table), c.lines);
    }
}
#endif

TEST_F(LineTableTest, HexRowsHoldWidthBytesButTheLast) {
    struct Case {
        size_t size;
        int32_t mode;
        std::vector<Line> lines;
    };
    const Case cases[] = {
        {0, -16, {}},
        {32, -16, {{0, 16}, {16, 16}}},
        {33, -16, {{0, 16}, {16, 16}, {32, 1}}},
        {5, -4, {{0, 4}, {4, 1}}},
        // A width of 0 cuts one byte per row rather than dividing by zero or looping.
        {3, 0, {{0, 1}, {1, 1}, {2, 1}}},
        {3, INT32_MIN, {{0, 3}}},
    };
    rules.hexMode = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes, mode " << c.mode);
        Bytes image(c.size, '\n'); // line ends mean nothing in hex rows
        Table table(image, c.mode, rules);
        EXPECT_EQ(linesOf(image, table), c.lines);
    }
}

TEST_F(LineTableTest, SuppressionDropsWhiteLinesAndRenumbers) {
    rules.suppressEmptyLines = true;
    Bytes image = bytesOf(std::string("a\n  \t\n x\n\n\v\f\nb\n\xA0\n\x85\n"));
    Table table(image, kMode8Bit, rules);
    std::vector<Line> expected = {{0, 1}, {6, 2}, {13, 1}, {15, 1}, {17, 1}};
    EXPECT_EQ(linesOf(image, table), expected);
}

TEST_F(LineTableTest, SuppressionNeverAppliesToHexRows) {
    rules.suppressEmptyLines = true;
    rules.hexMode = true;
    Bytes image(8, ' ');
    Table table(image, -4, rules);
    EXPECT_EQ(table.size(), 2u);
    // Text tables built while hex mode is on keep their white lines too.
    Bytes text = bytesOf("a\n\nb\n");
    EXPECT_EQ(Table(text, kMode8Bit, rules).size(), 3u);
}

#if QVD_WIDE
TEST_F(LineTableTest, SuppressionOfSixteenBitLinesUsesUnitClasses) {
    rules.suppressEmptyLines = true;
    Bytes image = bytesOf(u"  \n\u2003\u3000\nx\n\u00A0\n\u0085\n");
    Bytes odd = image;
    odd.push_back('!'); // the empty line of a lone odd byte goes too
    for (const Bytes* input : {&image, &odd}) {
        Table table(*input, kMode16Bit, rules);
        std::vector<Line> expected = {{12, 1}, {16, 1}, {20, 1}};
        EXPECT_EQ(linesOf(*input, table), expected);
    }
}
#endif

// An image of more than 4 GiB that costs only the pages written: anonymous pages never written
// read as zeros and take no memory (huge pages of zeros where the system has them, for fewer
// faults).
struct LargeImage {
    explicit LargeImage(uint64_t bytes) : size(bytes) {
        void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        data = pages == MAP_FAILED ? nullptr : static_cast<uint8_t*>(pages);
        if (data) (void)madvise(data, size, MADV_HUGEPAGE);
    }
    ~LargeImage() {
        if (data) munmap(data, size);
    }
    void write(uint64_t offset, const std::string& text) {
        std::copy(text.begin(), text.end(), data + offset);
    }
    // The entries of a table cut from the image, as offsets and lengths.
    std::vector<Line> lines(const OwnedLineTable& table) const {
        std::vector<Line> found;
        for (uint32_t i = 0; table && table[i].text; ++i)
            found.push_back({static_cast<size_t>(table[i].text - data), table[i].length});
        return found;
    }
    const uint64_t size;
    uint8_t* data;
};

constexpr uint64_t kFourGiB = uint64_t{1} << 32;

// Hex rows touch no byte while they are cut: rows of a gigabyte cross 4 GiB at once.
TEST_F(LineTableTest, HexRowsPastFourGiBKeepTheirOffsets) {
    LargeImage image(kFourGiB + 64);
    ASSERT_NE(image.data, nullptr) << "no address space for the image";
    rules.hexMode = true;
    const uint32_t gigabyte = 1u << 30;
    OwnedLineTable rows = buildLineTable(image.data, image.size, -(1 << 30), rules);
    const std::vector<Line> expected = {{0, gigabyte},
                                        {gigabyte, gigabyte},
                                        {2ull * gigabyte, gigabyte},
                                        {3ull * gigabyte, gigabyte},
                                        {kFourGiB, 64}};
    EXPECT_EQ(image.lines(rows), expected);
    // Rows of a byte: one more than a table holds, refused before any is cut.
    EXPECT_EQ(buildLineTable(image.data, uint64_t{kLargestTableLines} + 1, -1, rules), nullptr);
}

TEST_F(LineTableTest, TextLinesPastFourGiBPointAtTheirBytes) {
    SKIP_UNLESS_LARGE_TESTS();
    LargeImage image(kFourGiB + (1 << 20));
    ASSERT_NE(image.data, nullptr) << "no address space for the image";
    // Two lines of zeros up to 4 GiB, then short lines, then zeros to the end without a line end.
    image.write(kFourGiB / 2, "\n");
    image.write(kFourGiB - 1, "\n");
    image.write(kFourGiB, "abc\r\nxy\n");
    const std::vector<Line> expected = {{0, 1u << 31},
                                        {(1u << 31) + 1, (1u << 31) - 2},
                                        {kFourGiB, 3},
                                        {kFourGiB + 5, 2},
                                        {kFourGiB + 8, (1 << 20) - 8}};
    OwnedLineTable table = buildLineTable(image.data, image.size, kMode8Bit, rules);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(image.lines(table), expected);
    EXPECT_EQ(table[3].hash, hashLineBytes(image.data + kFourGiB + 5, 2));
    EXPECT_EQ(countTextLines(image.data, image.size, kMode8Bit), 5u);
}

// A line of UINT32_MAX characters is the longest a table entry holds; one more, and the table
// cannot be had, as when memory runs out.
TEST_F(LineTableTest, LineLongerThanAnEntryHoldsFailsAsMemoryDoes) {
    SKIP_UNLESS_LARGE_TESTS();
    LargeImage image(kFourGiB + 1);
    ASSERT_NE(image.data, nullptr) << "no address space for the image";
    image.write(kFourGiB - 1, "\n");
    EXPECT_EQ(image.lines(buildLineTable(image.data, kFourGiB, kMode8Bit, rules)),
              (std::vector<Line>{{0, UINT32_MAX}}));
    image.write(kFourGiB - 1, std::string(1, '\0'));
    EXPECT_EQ(buildLineTable(image.data, image.size, kMode8Bit, rules), nullptr);
}

// Cuts lines one character at a time, as plainly as possible.
std::vector<Line> plainCut(const Bytes& image, size_t unitBytes, bool suppress) {
    auto unit = [&](size_t offset) -> uint32_t {
        return unitBytes == 1 ? image[offset] : image[offset] | image[offset + 1] << 8;
    };
    auto white = [&](uint32_t c) {
        return unitBytes == 1 ? isWhiteSpace8(static_cast<uint8_t>(c))
                              : isWhiteSpace16(static_cast<char16_t>(c));
    };
    std::vector<Line> lines;
    size_t offset = 0;
    while (offset < image.size()) {
        size_t end = offset;
        bool allWhite = true;
        while (end + unitBytes <= image.size() && unit(end) != '\n' && unit(end) != '\r') {
            allWhite = allWhite && white(unit(end));
            end += unitBytes;
        }
        uint32_t length = static_cast<uint32_t>((end - offset) / unitBytes);
        if (!(suppress && allWhite)) lines.push_back({offset, length});
        if (end + unitBytes > image.size()) break;
        bool crLf = unit(end) == '\r' && end + 2 * unitBytes <= image.size() &&
                    unit(end + unitBytes) == '\n';
        offset = end + (crLf ? 2 : 1) * unitBytes;
    }
    return lines;
}

TEST_F(LineTableTest, RandomImagesCutAsPlainSplitting) {
    Random random(7);
    const uint8_t alphabet[] = {'a', 'b', ' ', '\t', '\r', '\n', 0, 0xA0};
    for (int round = 0; round < 420; ++round) {
        // Mostly short images; some long enough for every block and counter size in the cutter.
        Bytes image(round < 400 ? random.below(60) : 4000 + random.below(8000));
        for (uint8_t& byte : image) byte = alphabet[random.below(sizeof alphabet)];
        // A first line longer than the part the table is sized from, then thousands of short
        // ones: the table must grow many times over.
        if (round >= 410) image.insert(image.begin(), 70000 + random.below(2), 'a');
        bool suppress = random.chance(50);
        rules.suppressEmptyLines = suppress;
        SCOPED_TRACE(testing::Message() << "round " << round);
        Table table(image, kMode8Bit, rules);
        EXPECT_EQ(linesOf(image, table), plainCut(image, 1, suppress));
        // Lines of the same bytes carry the same hash: the search classifies lines by it.
        std::map<std::string, uint32_t> hashes;
        for (uint32_t i = 0; i < table.size(); ++i) {
            std::string text(reinterpret_cast<const char*>(table[i].text), table[i].length);
            ASSERT_EQ(hashes.emplace(text, table[i].hash).first->second, table[i].hash) << text;
        }
        if constexpr (kWideBuild) {
            // Units with line-end bytes in either half, and odd sizes.
            for (size_t i = 1; i < image.size(); i += 2)
                if (random.chance(60)) image[i] = random.chance(20) ? '\n' : 0;
            EXPECT_EQ(linesOf(image, Table(image, kMode16Bit, rules)),
                      plainCut(image, 2, suppress));
        }
    }
}

} // namespace
