#include "platform/unicodeTest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

int testOf(const std::string& bytes) {
    return testUtf16Text(reinterpret_cast<const uint8_t*>(bytes.data()),
                         static_cast<uint32_t>(bytes.size()));
}

TEST(Utf16Test, SignatureAndAscii16AsTheLoaderAsksForThem) {
    struct Case {
        std::string bytes;
        int expected;
    };
    const Case cases[] = {
        {""s, 0},
        {"\xFF"s, 0},                   // half a mark
        {"\xFF\xFE"s, kUtf16Signature}, // mark alone: FEFF is not U+00xx
        {"\xFF\xFE"
         "a\0b\0"s,
         kUtf16Signature},           // mark, then text
        {"a\0b\0"s, kUtf16Ascii16},  // Latin-1 range without mark
        {"a\0b\0c"s, kUtf16Ascii16}, // an odd last byte is ignored
        {"a"s, 0},                   // no whole unit
        {"a\0\0\0"s, 0},             // U+0000 fails ASCII16
        {"a\0\x00\x01"s, 0},         // U+0100 fails ASCII16
        {"\xE4\0"s, kUtf16Ascii16},  // U+00E4 passes
        {"ab"s, 0},                  // 8-bit text: U+6261
        {"\xFE\xFF\0a"s, 0},         // big-endian is not asked for
        {"\xEF\xBB\xBF"
         "abc"s,
         0}, // UTF-8 signature
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(testOf(c.bytes), c.expected);
    }
}

TEST(Utf16Test, OnlyTheFirst256UnitsAreLookedAt) {
    std::string text;
    for (int i = 0; i < 256; ++i) text += std::string("x\0", 2);
    std::string late = text + std::string("\x00\x4E", 2); // U+4E00 as unit 257
    EXPECT_EQ(testOf(late), kUtf16Ascii16);
    std::string early = text;
    early[510] = '\0';
    early[511] = '\x4E'; // U+4E00 as unit 256
    EXPECT_EQ(testOf(early), 0);
}

} // namespace
