#include "app/loading.h"

#include "platform/pathText.h"
#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace std::string_literals;

// An image of the given bytes, as loadFile would hand it over.
struct Image {
    FileImage image;
    explicit Image(const std::string& bytes) {
        image.raw.reset(static_cast<uint8_t*>(malloc(bytes.size() + 1)));
        memcpy(image.raw.get(), bytes.data(), bytes.size());
        image.rawSize = bytes.size();
    }
    std::u16string text16() const {
        std::u16string units(image.textSize / 2, u'\0');
        memcpy(units.data(), image.text, units.size() * 2);
        return units;
    }
    std::string text8() const {
        return std::string(reinterpret_cast<const char*>(image.text), image.textSize);
    }
};

TEST(OffsetDigits, CountsHexDigitsOfTheLargerSize) {
    struct Case {
        uint64_t size1, size2;
        int32_t digits;
    };
    const Case cases[] = {
        {0, 0, 1},
        {15, 0, 1},
        {16, 0, 2},
        {0, 16, 2},
        {255, 15, 2},
        {256, 0, 3},
        {1u << 20, 3, 6},
        {(1u << 20) - 1, 0, 5},
        {0, 0xFFFFFFFF, 8},
        {0x10000000, 0, 8},
        {0x0FFFFFFF, 0, 7},
        // Past 4 GiB: the digits go on, not round to the low 32 bits.
        {0x100000000, 0xFFFFFFFF, 9},
        {5ull << 30, 0, 9},
        {0, 0x1000000000, 10},
        {UINT64_MAX, 1, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size1 << " " << c.size2);
        EXPECT_EQ(countOffsetDigits(c.size1, c.size2), c.digits);
    }
}

TEST(FilesIdentical, SizesThenEveryByte) {
    Image empty1(""), empty2(""), abc("abc"), abd("abd"), ab("ab");
    Image bom("\xFF\xFE"
              "a\0"s),
        plain("a\0"s);
    EXPECT_TRUE(filesIdentical(empty1.image, empty2.image));
    EXPECT_TRUE(filesIdentical(abc.image, abc.image));
    EXPECT_FALSE(filesIdentical(abc.image, abd.image)); // last byte
    EXPECT_FALSE(filesIdentical(abc.image, ab.image));
    EXPECT_FALSE(filesIdentical(empty1.image, ab.image));
    EXPECT_FALSE(filesIdentical(bom.image, plain.image)); // same text, different bytes
}

TEST(LoadFile, PathsInTheBuildsTextReachTheFile) {
    TempDirectory dir;
    std::string name = dir.write("n\xE9 \xFF.txt", "content"); // not UTF-8
    uint64_t size = 0;
    HeapBlock<uint8_t> raw = loadFile(argumentToText(name).c_str(), size);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw.get()), size), "content");
    EXPECT_EQ(loadFile(argumentToText(dir.path()).c_str(), size), nullptr);
}

class DecodeTexts : public testing::Test {
  protected:
    // Both images' encodings in one word, file 1 in the low nibble.
    static uint32_t flags(const Image& one, const Image& two) {
        return one.image.encoding | two.image.encoding << 4;
    }
};

TEST_F(DecodeTexts, NarrowBuildKeepsBothRawImages) {
    if constexpr (kWideBuild) GTEST_SKIP() << "moxa decodes";
    Image utf16("\xFF\xFE"
                "a\0"s),
        utf8("\xEF\xBB\xBF"
             "a"s);
    ASSERT_TRUE(decodeTexts(utf16.image, utf8.image));
    EXPECT_EQ(flags(utf16, utf8), 0u);
    EXPECT_EQ(utf16.image.text, utf16.image.raw.get());
    EXPECT_EQ(utf16.image.textSize, 4u);
    EXPECT_EQ(utf8.image.decoded, nullptr);
    EXPECT_EQ(utf8.image.textSize, 4u);
    Image cafe("caf\xC3\xA9"), wide("\xE4\xB8\xAD");
    ASSERT_TRUE(decodeTexts(cafe.image, wide.image));
    EXPECT_EQ(flags(cafe, wide), 0u) << "UTF-8 without signature is 8-bit text in moxaw";
    EXPECT_EQ(cafe.text8(), "caf\xC3\xA9");
}

TEST_F(DecodeTexts, EncodingOfEachFileAndTheBalancing) {
    if constexpr (!kWideBuild) GTEST_SKIP() << "only moxa decodes";
    struct Case {
        std::string name, bytes1, bytes2;
        uint32_t flags;
        std::u16string text1, text2; // expected texts when flags != 0
    };
    const Case cases[] = {
        {"two 8-bit files stay 8-bit", "abc", "abd", 0, u"", u""},
        {"UTF-8 without signature is read as with it, ASCII balanced", "\xC3\xA4", "x", 0x42,
         u"\u00E4", u"x"},
        {"two UTF-8 files without signature", "caf\xC3\xA9\n", "\xE4\xB8\xAD\xF0\x9F\x98\x80", 0x22,
         u"caf\u00E9\n", u"\u4E2D\U0001F600"},
        {"UTF-8 against UTF-16", "\xC3\x89", "a\0"s, 0x12, u"\u00C9", u"a"},
        {"a long ASCII run before the first character beyond it",
         std::string(100, 'a') + "\xC3\xA4" + std::string(40, 'b'), "x", 0x42,
         std::u16string(100, u'a') + u"\u00E4" + std::u16string(40, u'b'), u"x"},
        {"invalid UTF-8 stays 8-bit", "\xC3\xA4 \xC3(", "x", 0, u"", u""},
        {"an overlong form stays 8-bit", "\xC3\xA4\xC0\xAF", "x", 0, u"", u""},
        {"an encoded surrogate stays 8-bit", "\xC3\xA4\xED\xA0\x80", "x", 0, u"", u""},
        {"beyond U+10FFFF stays 8-bit", "\xC3\xA4\xF4\x90\x80\x80", "x", 0, u"", u""},
        {"a last character cut short after a whole one", "\xC3\xA4\xE4\xB8", "x", 0x42,
         u"\u00E4\uFFFD", u"x"},
        {"a cut character alone is no UTF-8", std::string(40, 'a') + "\xE4\xB8", "x", 0, u"", u""},
        {"a cut character before the end is invalid", "\xC3\xA4\xE4\xB8x", "x", 0, u"", u""},
        {"a continuation byte at the end is invalid", "\xC3\xA4\x80", "x", 0, u"", u""},
        {"mark skipped, other file balanced",
         "\xFF\xFE"
         "a\0b\0"s,
         "a\x80", 0x41, u"ab", u"a\u20AC"},
        {"UTF-16 without mark keeps every unit", "a\0b\0"s,
         "\xFF\xFE"
         "a\0b\0"s,
         0x11, u"ab", u"ab"},
        {"UTF-8 signature against ANSI",
         "\xEF\xBB\xBF"
         "\xC3\xA4\xE2\x82\xAC"s,
         "\xE4\x80", 0x42, u"\u00E4\u20AC", u"\u00E4\u20AC"},
        {"signature alone gives empty text", "\xEF\xBB\xBF",
         "\xFF\xFE"
         "x\0"s,
         0x12, u"", u"x"},
        {"empty file against UTF-16", "", "x\0y\0"s, 0x14, u"", u"xy"},
        {"invalid UTF-8: one U+FFFD per maximal subpart",
         "\xEF\xBB\xBF"
         "a\xE2\x82z\xFF"s,
         "a", 0x42, u"a\uFFFDz\uFFFD", u"a"},
        {"undefined ANSI bytes become C1 controls", "\x81\x8D", "\xFF\xFE", 0x14, u"\u0081\u008D",
         u""},
        {"short UTF-8 look-alike is no signature", "\xEF\xBB", "ab", 0, u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Image one(c.bytes1), two(c.bytes2);
        ASSERT_TRUE(decodeTexts(one.image, two.image));
        EXPECT_EQ(flags(one, two), c.flags);
        if (c.flags == 0) {
            EXPECT_EQ(one.text8(), c.bytes1);
            EXPECT_EQ(two.text8(), c.bytes2);
            EXPECT_EQ(one.image.decoded, nullptr);
            EXPECT_EQ(two.image.decoded, nullptr);
        } else {
            EXPECT_EQ(one.text16(), c.text1);
            EXPECT_EQ(two.text16(), c.text2);
        }
        // The raw images are never touched: hex mode shows the bytes as stored.
        EXPECT_EQ(std::string(reinterpret_cast<char*>(one.image.raw.get()), one.image.rawSize),
                  c.bytes1);
    }
}

TEST_F(DecodeTexts, OddUtf16SizeKeepsTheLastByteInTheText) {
    if constexpr (!kWideBuild) GTEST_SKIP() << "only moxa decodes";
    Image odd("\xFF\xFE"
              "a\0b"s),
        other("x");
    ASSERT_TRUE(decodeTexts(odd.image, other.image));
    EXPECT_EQ(flags(odd, other), 0x41u);
    EXPECT_EQ(odd.image.text, odd.image.raw.get() + 2);
    EXPECT_EQ(odd.image.textSize, 3u);
}

} // namespace
