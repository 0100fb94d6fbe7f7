#include "platform/codePages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string decodeUtf8(std::string_view text) {
    auto bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t count = utf8ToUtf16(bytes, text.size(), nullptr);
    std::u16string out(count, u'\0');
    EXPECT_EQ(utf8ToUtf16(bytes, text.size(), out.data()), count);
    return out;
}

TEST(CodePages, AnsiMapsTheUndefinedBytesToC1Controls) {
    EXPECT_EQ(ansiToUnicode(0x80), 0x20AC);
    EXPECT_EQ(ansiToUnicode(0x9F), 0x0178);
    for (uint8_t byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(ansiToUnicode(byte), byte);
    EXPECT_EQ(ansiToUnicode(0xE4), 0xE4);
    EXPECT_EQ(unicodeToAnsi(0x20AC), 0x80);
    EXPECT_EQ(unicodeToAnsi(0x0100), -1);
    EXPECT_EQ(unicodeToAnsiOrQuestion(0x4E2D), '?');
}

TEST(CodePages, OemKeepsControlsAndMapsBoxCharacters) {
    EXPECT_EQ(oemToUnicode(0x01), 0x0001);
    EXPECT_EQ(oemToUnicode(0x7F), 0x007F);
    EXPECT_EQ(oemToUnicode(0xC4), 0x2500);
    EXPECT_EQ(oemToUnicode(0xB3), 0x2502);
    EXPECT_EQ(oemToUnicode(0xCD), 0x2550);
    EXPECT_EQ(oemToUnicode(0xFF), 0x00A0);
    EXPECT_EQ(unicodeToOem(0x2500), 0xC4);
    EXPECT_EQ(unicodeToOem(0x20AC), -1);
}

TEST(CodePages, EveryByteRoundTripsThroughItsOwnCodePage) {
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        EXPECT_EQ(unicodeToAnsi(ansiToUnicode(static_cast<uint8_t>(byte))), byte);
        EXPECT_EQ(unicodeToOem(oemToUnicode(static_cast<uint8_t>(byte))), byte);
    }
}

TEST(CodePages, AnsiAndOemConvertThroughUnicode) {
    EXPECT_EQ(ansiToOem(0xC4), 0x8E); // A with diaeresis
    EXPECT_EQ(oemToAnsi(0x8E), 0xC4);
    EXPECT_EQ(ansiToOem(0x80), '?'); // the euro sign has no OEM byte
    EXPECT_EQ(oemToAnsi(0xC4), '?'); // nor has a box character an ANSI one
    EXPECT_EQ(ansiToOem('A'), 'A');
}

TEST(Utf8, DecodesValidTextIncludingSurrogatePairs) {
    EXPECT_EQ(decodeUtf8("abc"), u"abc");
    EXPECT_EQ(decodeUtf8("\xC3\xA4\xE2\x82\xAC"), u"\u00E4\u20AC");
    EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(decodeUtf8(""), u"");
}

TEST(Utf8, OneReplacementPerMaximalIllFormedSubsequence) {
    struct Case {
        const char* bytes;
        std::u16string expected;
    };
    const std::vector<Case> cases = {
        {"\x80", u"\uFFFD"},
        {"a\xFF"
         "b",
         u"a\uFFFDb"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"}, // overlong lead is invalid on its own
        {"\xE2\x82", u"\uFFFD"},       // truncated sequence: one replacement
        {"\xE2\x82"
         "A",
         u"\uFFFDA"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xF0\x9F\x98", u"\uFFFD"},
        {"\xE1\x80\xE2\xF0\x91\x92\xF1\xBF\x41", u"\uFFFD\uFFFD\uFFFD\uFFFDA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(decodeUtf8(c.bytes), c.expected);
    }
}

TEST(SurrogateEscape, AnyByteStringRoundTrips) {
    const std::vector<std::string> names = {
        "plain.txt",    "\xC3\xA4rger.txt",  "bad\xFFname",
        "\xED\xA0\x80", "\xF0\x9F\x98\x80x", std::string("\x80\x81\xC3", 3),
        "tail\xE2\x82",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(escapedToBytes(bytesToEscaped(name)), name);
    }
    EXPECT_EQ(bytesToEscaped("a\xFF"), std::u16string(u"a\xDCFF"));
    EXPECT_EQ(bytesToEscaped("\xC3\xA4"), u"\u00E4");
}

TEST(SurrogateEscape, AllByteValuesRoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
    EXPECT_EQ(escapedToBytes(bytesToEscaped(all)), all);
}

} // namespace
