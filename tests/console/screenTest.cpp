#include "console/screen.h"
#include "console/colourScheme.h"
#include "platform/memoryTerminal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TString = std::basic_string<TChar>;

class Screen : public testing::Test {
  protected:
    void SetUp() override {
        resetMemoryTerminal(80, 25);
        colourScheme = {0x1B, 0x13, 0x1E, 0x00, 0x4F, 0x4E, 0x17};
    }
};

TEST_F(Screen, StringWithoutMarkersIsAllInTheBaseEntry) {
    EXPECT_EQ(writeEscaped(QVD_T("plain text"), 2, 5), 0);
    ScreenDump screen = dumpScreen();
    EXPECT_EQ(screen.text(2, 5, 10), "plain text");
    EXPECT_TRUE(screen.hasAttribute(2, 5, 10, 0x1B));
    EXPECT_EQ(screen.attribute(2, 4), 7);
    EXPECT_EQ(screen.attribute(2, 15), 7);
}

TEST_F(Screen, MarkersSelectSchemeEntriesAndTakeNoCell) {
    EXPECT_EQ(writeEscaped(QVD_T("%2F%1rame%5!%6#%0."), 0, 0), 0);
    ScreenDump screen = dumpScreen();
    EXPECT_EQ(screen.text(0, 0, 8), "Frame!#.");
    EXPECT_EQ(screen.attribute(0, 0), 0x1E);
    EXPECT_TRUE(screen.hasAttribute(0, 1, 4, 0x13));
    EXPECT_EQ(screen.attribute(0, 5), 0x4E);
    EXPECT_EQ(screen.attribute(0, 6), 0x17);
    EXPECT_EQ(screen.attribute(0, 7), 0x1B);
    EXPECT_EQ(screen.text(0, 8, 1), " ");
}

TEST_F(Screen, PercentBeforeAnythingButAnEntryDigitIsShown) {
    EXPECT_EQ(writeEscaped(QVD_T("%7 50% %"), 0, 0), 0);
    EXPECT_EQ(dumpScreen().text(0, 0, 9), "%7 50% % ");
    EXPECT_TRUE(dumpScreen().hasAttribute(0, 0, 8, 0x1B));
}

TEST_F(Screen, EscapeLimitIs7998VisibleCellsWhateverTheMarkers) {
    resetMemoryTerminal(100, 100);
    TString fits;
    for (int index = 0; index < cellBufferCapacity; ++index) {
        if (index % 1000 == 0) fits += QVD_T("%5");
        fits += static_cast<TChar>('a' + index % 26);
    }
    fits += QVD_T("%2%2");
    EXPECT_EQ(writeEscaped(fits.c_str(), 0, 0), 0);
    ScreenDump screen = dumpScreen();
    EXPECT_EQ(screen.text(79, 97, 1), std::string(1, static_cast<char>('a' + 7997 % 26)));
    EXPECT_EQ(screen.attribute(79, 97), 0x4E);
    EXPECT_EQ(screen.text(79, 98, 1), " ");

    resetMemoryTerminal(100, 100);
    TString tooLong = fits + QVD_T("z");
    EXPECT_EQ(writeEscaped(tooLong.c_str(), 0, 0), 1);
    screen = dumpScreen();
    EXPECT_EQ(screen.text(0, 0, 3), "   ");
    EXPECT_EQ(screen.attribute(0, 0), 7);
}

TEST_F(Screen, WritesRunOnIntoTheNextRowAndDropWhatFallsOffTheBuffer) {
    writeBuildText(QVD_T("abcd"), 4, 0, 78, 0x1E);
    writeBuildText(QVD_T("wxyz"), 4, 24, 78, 0x4E); // last row: "yz" has nowhere to go
    writeBuildText(QVD_T("gone"), 4, 25, 0, 0x4E);  // below the buffer
    writeBuildText(QVD_T("gone"), 4, 3, 80, 0x4E);  // right of it
    ScreenDump screen = dumpScreen();
    EXPECT_EQ(screen.text(0, 78, 4), "abcd");
    EXPECT_EQ(screen.attribute(1, 1), 0x1E);
    EXPECT_EQ(screen.attribute(1, 2), 7);
    EXPECT_EQ(screen.text(24, 78, 2), "wx");
    EXPECT_EQ(screen.row(3), std::string(80, ' '));
    EXPECT_EQ(screen.text(0, 0, 1), " ");
}

TEST_F(Screen, CellsReadBackExactly) {
#if QVD_WIDE
    const char16_t characters[] = {u'A', 0x1B, 0xD800, 0x2500, 0x0000, 0xFFFF};
#else
    const char characters[] = {'A', 0x1B, '\x80', '\xC4', '\x00', '\xFF'};
#endif
    const uint16_t attributes[] = {0x1E, 0xC04F, 0x0000, 0xFFFF, 0x17, 0x8001};
    EXPECT_EQ(writeCells(characters, attributes, 6, 7, 77), 0);
    TChar readCharactersBack[6];
    uint16_t readAttributesBack[6];
    readCharacters(readCharactersBack, 6, 7, 77);
    readAttributes(readAttributesBack, 6, 7, 77);
    EXPECT_EQ(TString(readCharactersBack, 6), TString(characters, 6));
    EXPECT_EQ(std::vector<uint16_t>(readAttributesBack, readAttributesBack + 6),
              std::vector<uint16_t>(attributes, attributes + 6));
}

TEST_F(Screen, EightBitTextGoesThroughTheOemCodePage) {
    writeNarrowText("\xC9\xCD\xBB \x84\x01", 6, 1, 0, 0x17);
    ScreenDump screen = dumpScreen();
    EXPECT_EQ(screen.text(1, 0, 6), "\u2554\u2550\u2557 \u00e4\x01");
    EXPECT_TRUE(screen.hasAttribute(1, 0, 6, 0x17));
    char back[6];
    uint16_t attributes[6];
    readAttributes(attributes, 6, 1, 0);
#if !QVD_WIDE
    readCharacters(back, 6, 1, 0);
    EXPECT_EQ(std::string(back, 6), "\xC9\xCD\xBB \x84\x01");
#else
    (void)back;
#endif
    EXPECT_EQ(attributes[5], 0x17);
}

TEST_F(Screen, NarrowTextLongerThanOneSliceStaysInOrder) {
    std::string text;
    for (int index = 0; index < 700; ++index) text += static_cast<char>('A' + index % 26);
    writeNarrowText(text.c_str(), 700, 2, 10, 0x1E);
    ScreenDump screen = dumpScreen();
    EXPECT_EQ(screen.text(2, 10, 700), text);
    EXPECT_TRUE(screen.hasAttribute(2, 10, 700, 0x1E));
}

TEST_F(Screen, ClearBlanksTheWholeBufferAndShowsTheCursorAtTheTop) {
    resetMemoryTerminal(132, 60);
    ASSERT_EQ(setScreenSize({132, 60}), (ScreenSize{132, 60}));
    writeBuildText(QVD_T("x"), 1, 59, 131, 0x4E);
    setCursorVisible(false);
    clearScreen(7);
    ScreenDump screen = dumpScreen();
    for (int row = 0; row < 60; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(screen.row(row), std::string(132, ' '));
        EXPECT_TRUE(screen.hasAttribute(row, 0, 132, 7));
    }
    EXPECT_TRUE(screen.cursorVisible);
    EXPECT_EQ(screen.cursorRow, 0);
    EXPECT_EQ(screen.cursorColumn, 0);
    clearScreen(0x1B);
    EXPECT_EQ(dumpScreen().attribute(59, 131), 0x1B);
}

TEST_F(Screen, OpenTakesTheTerminalsSize) {
    resetMemoryTerminal(80, 25);
    setMemoryTerminalSize(120, 40);
    EXPECT_TRUE(openConsoleOutput());
    EXPECT_EQ(getScreenSize(false), (ScreenSize{120, 40}));
    setMemoryTerminalPresent(false);
    EXPECT_FALSE(openConsoleOutput());
}

TEST_F(Screen, SetScreenSizeIsCutToTheTerminalAndReportsWhatItGot) {
    setMemoryTerminalSize(132, 50);
    const struct {
        ScreenSize requested;
        ScreenSize result;
    } cases[] = {
        {{100, 40}, {100, 40}}, {{80, 25}, {80, 25}},  {{200, 60}, {132, 50}},
        {{90, 0}, {132, 50}},   {{-5, 30}, {132, 50}}, {{12, 12}, {12, 12}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(std::to_string(entry.requested.width) + "x" +
                     std::to_string(entry.requested.height));
        EXPECT_EQ(setScreenSize(entry.requested), entry.result);
        EXPECT_EQ(getScreenSize(false), entry.result);
        EXPECT_EQ(getScreenSize(true), (ScreenSize{132, 50}));
    }
}

TEST_F(Screen, ShrinkingKeepsTheCellsThatStay) {
    writeBuildText(QVD_T("keep"), 4, 1, 2, 0x1E);
    writeBuildText(QVD_T("lost"), 4, 20, 70, 0x1E);
    EXPECT_EQ(setScreenSize({40, 10}), (ScreenSize{40, 10}));
    EXPECT_EQ(setScreenSize({80, 25}), (ScreenSize{80, 25}));
    ScreenDump screen = dumpScreen();
    EXPECT_EQ(screen.text(1, 2, 4), "keep");
    EXPECT_EQ(screen.attribute(1, 2), 0x1E);
    EXPECT_EQ(screen.text(20, 70, 4), "    ");
    EXPECT_EQ(screen.attribute(20, 70), 7);
}

std::vector<int> steps(int16_t (*step)(int16_t), int16_t from, int count) {
    std::vector<int> sizes;
    for (int index = 0; index < count; ++index) sizes.push_back(from = step(from));
    return sizes;
}

TEST_F(Screen, WidthStepsByTwentyUpToTheLargestThenBackTo80) {
    setMemoryTerminalSize(132, 50);
    EXPECT_EQ(steps(nextScreenWidth, 80, 4), (std::vector<int>{100, 120, 132, 80}));
    EXPECT_EQ(nextScreenWidth(150), 80);
    EXPECT_EQ(nextScreenWidth(60), 80);
    setMemoryTerminalSize(80, 50);
    EXPECT_EQ(nextScreenWidth(80), 80);
}

TEST_F(Screen, HeightStepsFrom25To50ThenByTenUpToTheLargest) {
    setMemoryTerminalSize(80, 63);
    EXPECT_EQ(steps(nextScreenHeight, 25, 4), (std::vector<int>{50, 60, 63, 25}));
    EXPECT_EQ(steps(nextScreenHeight, 30, 5), (std::vector<int>{40, 50, 60, 63, 25}));
    EXPECT_EQ(nextScreenHeight(70), 25);
    setMemoryTerminalSize(80, 40);
    EXPECT_EQ(nextScreenHeight(25), 40);
}

TEST_F(Screen, TallToggleAlternatesWithTheStartupHeight) {
    EXPECT_EQ(tallToggleHeight(25, 25), 50);
    EXPECT_EQ(tallToggleHeight(50, 25), 25);
    EXPECT_EQ(tallToggleHeight(25, 43), 43);
    EXPECT_EQ(tallToggleHeight(43, 43), 25);
    EXPECT_EQ(tallToggleHeight(50, 43), 25);
}

TEST_F(Screen, TitleIsKeptForTheTerminal) {
    setConsoleTitle(QVD_T("Morvyn's File Compare 3.00h - a b"));
    EXPECT_EQ(dumpScreen().title, u"Morvyn's File Compare 3.00h - a b");
#if !QVD_WIDE
    setConsoleTitle("\x84");
    EXPECT_EQ(dumpScreen().title, u"\u00e4");
#endif
}

} // namespace
