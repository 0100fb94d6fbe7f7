#include "platform/cellStyle.h"

#include <gtest/gtest.h>

namespace {

TEST(CellStyle, ConsoleColoursSwapRedAndBlueForTheTerminal) {
    const struct {
        int console;
        int terminal;
    } cases[] = {
        {0x0, 0}, {0x1, 4}, {0x2, 2},  {0x3, 6},  {0x4, 1}, {0x5, 5},  {0x6, 3},
        {0x7, 7}, {0x8, 8}, {0x9, 12}, {0xB, 14}, {0xC, 9}, {0xE, 11}, {0xF, 15},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.console);
        EXPECT_EQ(terminalColour(entry.console), entry.terminal);
    }
}

TEST(CellStyle, LookFollowsTheTerminalsColourCount) {
    // Light cyan on blue, yellow on red, bright white on bright red.
    EXPECT_EQ(cellLook(0x1B, 16, 0), (CellLook{14, 4, false, false, false}));
    EXPECT_EQ(cellLook(0x4E, 16, 0), (CellLook{11, 1, false, false, false}));
    // Eight colours: bright foreground as bold, bright background as its plain colour.
    EXPECT_EQ(cellLook(0x1B, 8, 0), (CellLook{6, 4, true, false, false}));
    EXPECT_EQ(cellLook(0xCF, 8, 0), (CellLook{7, 1, true, false, false}));
    // No colour: the common background stays plain, any other stands out in reverse video.
    EXPECT_EQ(cellLook(0x1B, 0, 1), (CellLook{-1, -1, true, false, false}));
    EXPECT_EQ(cellLook(0x4E, 0, 1), (CellLook{-1, -1, true, true, false}));
    EXPECT_EQ(cellLook(0x17, 0, 1), (CellLook{-1, -1, false, false, false}));
    // The console's own reverse-video and underscore bits.
    EXPECT_EQ(cellLook(0xC007, 16, 0), (CellLook{7, 0, false, true, true}));
}

TEST(CellStyle, EveryCellTakesExactlyOneColumn) {
    const struct {
        char16_t unit;
        char32_t shown;
    } cases[] = {
        {u'A', U'A'},     {u'~', U'~'},   {0x00, U' '},
        {0x01, 0x263A}, // the console's own glyphs for control bytes
        {0x1B, 0x2190}, // Esc never reaches the terminal
        {0x07, 0x2022},   {0x7F, 0x2302}, {0x9B, 0xFFFD}, // the 8-bit CSI
        {0x85, 0xFFFD},   {0xE9, 0xE9},   {0x2500, 0x2500},
        {0x4E2D, 0xFFFD}, // two columns wide
        {0x0301, 0xFFFD}, // combining
        {0x200B, 0xFFFD}, // zero width
        {0xD83D, 0xFFFD}, // half of a surrogate pair
        {0xDE00, 0xFFFD},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(static_cast<int>(entry.unit));
        EXPECT_EQ(displayCharacter(entry.unit, true), entry.shown);
    }
}

TEST(CellStyle, TerminalWithoutUnicodeGetsAscii) {
    EXPECT_EQ(displayCharacter(u'x', false), U'x');
    EXPECT_EQ(displayCharacter(0x2500, false), U'-');
    EXPECT_EQ(displayCharacter(0x2551, false), U'|');
    EXPECT_EQ(displayCharacter(0x250C, false), U'+');
    EXPECT_EQ(displayCharacter(0x2592, false), U'#');
    EXPECT_EQ(displayCharacter(0xE9, false), U'?');
    EXPECT_EQ(displayCharacter(0x1B, false), U'?');
    EXPECT_EQ(displayCharacter(0x00, false), U' ');
}

} // namespace
