#include "platform/charClass.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(CharClass, WhiteSpace16FollowsTheSpaceSeparators) {
    for (char16_t unit : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0x1680, 0x2000, 0x2006, 0x2008,
                          0x200A, 0x2028, 0x2029, 0x205F, 0x3000}) {
        SCOPED_TRACE(static_cast<int>(unit));
        EXPECT_TRUE(isWhiteSpace16(unit));
    }
    for (char16_t unit : {0x00, 0x08, 0x0E, 0x41, 0x85, 0xA0, 0x2007, 0x200B, 0x202F, 0xFEFF}) {
        SCOPED_TRACE(static_cast<int>(unit));
        EXPECT_FALSE(isWhiteSpace16(unit));
    }
}

TEST(CharClass, WhiteSpace8) {
    EXPECT_TRUE(isWhiteSpace8(' '));
    EXPECT_TRUE(isWhiteSpace8('\t'));
    EXPECT_TRUE(isWhiteSpace8('\r'));
    EXPECT_FALSE(isWhiteSpace8(0x85));
    EXPECT_FALSE(isWhiteSpace8(0xA0));
    EXPECT_FALSE(isWhiteSpace8(0x08));
}

TEST(CharClass, LowerUnitMapsUnicodeLetters) {
    EXPECT_EQ(lowerUnit(u'A'), u'a');
    EXPECT_EQ(lowerUnit(0xC4), 0xE4);
    EXPECT_EQ(lowerUnit(0x391), 0x3B1); // Greek
    EXPECT_EQ(lowerUnit(0x410), 0x430); // Cyrillic
    EXPECT_EQ(lowerUnit(0x212A), u'k'); // Kelvin sign
    EXPECT_EQ(lowerUnit(u'a'), u'a');
    EXPECT_EQ(lowerUnit(0xD800), 0xD800);
    EXPECT_EQ(lowerUnit(0xDC41), 0xDC41);
}

TEST(CharClass, LowerUnitDoesNotDependOnTheUserLocale) {
    const char* before = std::setlocale(LC_ALL, nullptr);
    std::string saved = before ? before : "C";
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(lowerUnit(0xC4), 0xE4);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(CharClass, CharacterWidthAsTerminalsDrawIt) {
    using enum CharacterWidth;
    const struct {
        char32_t character;
        CharacterWidth width;
    } cases[] = {
        {U'a', one},        {0xE9, one},       {0x2500, one},       {0xE000, one}, // private use
        {0x1D400, one},     {0x1F1E6, one}, // a regional indicator
        {0x4E2D, two},      {0x3000, two},     {0xFF21, two},       {0x1F600, two},
        {0x20000, two},     {0xAC00, two},     {0x0301, mark},      {0x20E3, mark},
        {0x1160 + 1, mark}, // Hangul vowel
        {0x00, standIn},    {0x1B, standIn},   {0x7F, standIn},     {0x85, standIn},
        {0x9B, standIn},    {0x200B, standIn}, {0x200D, standIn},   {0x202E, standIn},
        {0xFEFF, standIn},  {0x00AD, standIn}, {0xFE0F, standIn},   {0xE0100, standIn},
        {0x034F, standIn},  {0x1160, standIn}, {0x3164, standIn},   {0x4DC0, standIn},
        {0x324F, standIn},  {0x2028, standIn}, {0x0378, standIn}, // unassigned
        {0xD800, standIn},  {0xDC80, standIn}, {0x110000, standIn}, {0xFFFFFFFF, standIn},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << static_cast<uint32_t>(entry.character));
        EXPECT_EQ(characterWidth(entry.character), entry.width);
        EXPECT_EQ(characterWidth(entry.character), entry.width) << "asked again";
    }
}

TEST(CharClass, CharacterWidthDoesNotDependOnTheUserLocale) {
    const char* before = std::setlocale(LC_ALL, nullptr);
    std::string saved = before ? before : "C";
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(characterWidth(0x5B57), CharacterWidth::two); // asked first under "C"
    EXPECT_EQ(characterWidth(0x0323), CharacterWidth::mark);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(CharClass, LowerAnsiByteGoesThroughWindows1252) {
    EXPECT_EQ(lowerAnsiByte('A'), 'a');
    EXPECT_EQ(lowerAnsiByte(0xC4), 0xE4);
    EXPECT_EQ(lowerAnsiByte(0x8A), 0x9A); // S with caron
    EXPECT_EQ(lowerAnsiByte(0x9F), 0xFF); // Y with diaeresis
    EXPECT_EQ(lowerAnsiByte(0x80), 0x80); // euro sign has no lower case
    EXPECT_EQ(lowerAnsiByte('1'), '1');
}

} // namespace
