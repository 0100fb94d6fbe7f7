#include "console/helpPager.h"
#include "console/colourScheme.h"
#include "console/helpPages.h"
#include "console/keyReader.h"
#include "keyWaitScreens.h"
#include "platform/memoryTerminal.h"
#include "viewer/viewerLoop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kFrame = 0x13;
constexpr uint16_t kIdentical = 0x1E;

const std::string kBlankRow(80, ' ');
const std::string kKeyLine =
    "   PAGEUP  previous page      PAGEDOWN  next page              ESC  exit help   ";

std::string rule() {
    std::string line;
    for (int i = 0; i < 80; ++i) {
        line += "\u2500";
    }
    return line;
}

std::string header(int page) {
    std::string text = "  Page " + std::to_string(page);
    text.resize(80, ' ');
    return text;
}

// Row r of a page text, blank-padded to 80 columns.
std::string pageRow(const char* page, int r) {
    std::string row = std::string(page).substr(static_cast<std::size_t>(r) * 80, 80);
    row.resize(80, ' ');
    return row;
}

int rowsOf(const char* page) {
    return static_cast<int>((std::strlen(page) + 79) / 80);
}

class HelpPager : public testing::Test {
  protected:
    void SetUp() override {
        resetMemoryTerminal(80, 25);
        colourScheme = {0x1B, kFrame, kIdentical, 0x00, 0x4F, 0x4E, 0x17};
        screensAtKeyWaits.clear();
        wipeAfterEachWait = false;
    }

    // Runs the pager over the script and checks that it read exactly the script.
    void show(const char* const* pages, int rows, std::initializer_list<int> keys) {
        queueKeyCodes(keys);
        View pager = ::HelpPager{pages, rows};
        EXPECT_EQ(runViews(pager), ViewOutcome::done);
        EXPECT_EQ(pendingScriptEntries(), 0) << "the pager left before the last key";
        EXPECT_EQ(scriptUnderruns(), 0) << "the pager read past ESC";
        ASSERT_EQ(screensAtKeyWaits.size(), keys.size());
    }

    // The page numbers in the headers of the screens at each wait.
    std::vector<int> pagesShown() const {
        std::vector<int> pages;
        for (const ScreenDump& screen : screensAtKeyWaits) {
            int page = -1;
            for (int candidate = 0; candidate < 10; ++candidate) {
                if (screen.row(0) == header(candidate)) page = candidate;
            }
            pages.push_back(page);
        }
        return pages;
    }
};

TEST_F(HelpPager, FirstPageShowsTheKeySummaryRowsExactly) {
    show(mainHelpPages, 25, {kKeyEscape});
    const ScreenDump& screen = screensAtKeyWaits[0];
    EXPECT_EQ(screen.row(0), header(0));
    EXPECT_TRUE(screen.hasAttribute(0, 0, 80, kFrame));
    for (int r = 0; r < 21; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(screen.row(r + 1), pageRow(mainHelpPages[0], r));
        EXPECT_TRUE(screen.hasAttribute(r + 1, 0, 80, kIdentical));
    }
    EXPECT_EQ(screen.text(21, 79, 1), " ") << "the 21st row holds 79 characters";
    EXPECT_EQ(screen.text(21, 0, 30), " Alt-F10 colour setup utility ");
    EXPECT_TRUE(screen.cursorVisible);
    EXPECT_EQ(screen.cursorRow, 0);
    EXPECT_EQ(screen.cursorColumn, 0);
}

TEST_F(HelpPager, RuleAndKeyLineStandOnTheLastTwoRows) {
    for (int height : {25, 50, 30}) {
        SCOPED_TRACE(height);
        resetMemoryTerminal(80, height);
        screensAtKeyWaits.clear();
        show(mainHelpPages, height, {kKeyEscape});
        const ScreenDump& screen = screensAtKeyWaits[0];
        for (int row = 22; row < height - 2; ++row) {
            EXPECT_EQ(screen.row(row), kBlankRow) << "row " << row;
            EXPECT_TRUE(screen.hasAttribute(row, 0, 80, kFrame)) << "row " << row;
        }
        EXPECT_EQ(screen.row(height - 2), rule());
        EXPECT_TRUE(screen.hasAttribute(height - 2, 0, 80, kFrame));
        EXPECT_EQ(screen.row(height - 1), kKeyLine);
        EXPECT_TRUE(screen.hasAttribute(height - 1, 0, 3, kFrame));
        EXPECT_TRUE(screen.hasAttribute(height - 1, 3, 6, kIdentical)); // PAGEUP
        EXPECT_TRUE(screen.hasAttribute(height - 1, 9, 21, kFrame));
        EXPECT_TRUE(screen.hasAttribute(height - 1, 30, 8, kIdentical)); // PAGEDOWN
        EXPECT_TRUE(screen.hasAttribute(height - 1, 63, 3, kIdentical)); // ESC
        EXPECT_TRUE(screen.hasAttribute(height - 1, 66, 14, kFrame));
    }
}

TEST_F(HelpPager, OnAShortScreenRuleAndKeyLineCoverTheLastTextRows) {
    resetMemoryTerminal(80, 20);
    show(mainHelpPages, 20, {kKeyEscape});
    const ScreenDump& screen = screensAtKeyWaits[0];
    EXPECT_EQ(screen.row(17), pageRow(mainHelpPages[0], 16));
    EXPECT_EQ(screen.row(18), rule());
    EXPECT_EQ(screen.row(19), kKeyLine);
}

// More rows than the console has (a terminal smaller than the 25 rows of the colour help):
// the rule and key line stay on the console instead of falling off its end.
TEST_F(HelpPager, RowsBeyondTheConsoleAreCutToIt) {
    resetMemoryTerminal(80, 22);
    show(colourHelpPages, 25, {kKeyEscape});
    const ScreenDump& screen = screensAtKeyWaits[0];
    EXPECT_EQ(screen.row(20), rule());
    EXPECT_EQ(screen.row(21), kKeyLine);
}

TEST_F(HelpPager, EveryPageShowsItsNumberAndText) {
    for (const char* const* list : {mainHelpPages, colourHelpPages}) {
        screensAtKeyWaits.clear();
        show(list, 25,
             {kKeyPageDown, kKeyPageDown, kKeyPageDown, kKeyPageDown, kKeyPageDown, kKeyPageDown,
              kKeyEscape});
        for (int page = 0; list[page] != nullptr; ++page) {
            SCOPED_TRACE(page);
            const ScreenDump& screen = screensAtKeyWaits[static_cast<std::size_t>(page)];
            EXPECT_EQ(screen.row(0), header(page));
            for (int r = 0; r < rowsOf(list[page]); ++r) {
                EXPECT_EQ(screen.row(r + 1), pageRow(list[page], r)) << "row " << r;
            }
            for (int row = rowsOf(list[page]) + 1; row < 23; ++row) {
                EXPECT_EQ(screen.row(row), kBlankRow) << "row " << row;
            }
        }
    }
}

TEST_F(HelpPager, KeysTurnThePagesAndOnlyEscLeaves) {
    const int end = kKeyEnd;
    struct Case {
        const char* name;
        const char* const* pages;
        std::initializer_list<int> keys;
        std::vector<int> shown; // the page on the screen at each wait
    };
    const Case cases[] = {
        {"every forward key",
         mainHelpPages,
         {kKeyEnter, kKeyPageDown, kKeyRight, kKeyDown, kKeyF1, ' ', kKeyEscape},
         {0, 1, 2, 3, 4, 5, 6}},
        {"forward stops on the last page",
         mainHelpPages,
         {kKeyPageDown, kKeyPageDown, kKeyPageDown, kKeyPageDown, kKeyPageDown, kKeyPageDown,
          kKeyPageDown, kKeyEnter, kKeyEscape},
         {0, 1, 2, 3, 4, 5, 6, 6, 6}},
        {"back on page 0 stays",
         mainHelpPages,
         {kKeyPageUp, kKeyLeft, kKeyUp, kKeyEscape},
         {0, 0, 0, 0}},
        {"every backward key",
         mainHelpPages,
         {kKeyDown, kKeyDown, kKeyDown, kKeyPageUp, kKeyLeft, kKeyUp, kKeyEscape},
         {0, 1, 2, 3, 2, 1, 0}},
        {"home", mainHelpPages, {kKeyDown, kKeyDown, kKeyHome, kKeyEscape}, {0, 1, 2, 0}},
        {"other keys do nothing",
         mainHelpPages,
         {kKeyDown, end, 'q', 'Q', 'x', 27 + 1024, kKeyAltF10, kKeyDown + 512, kKeyScreenResized,
          -1, kKeyEscape},
         {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"colour help has two pages",
         colourHelpPages,
         {kKeyDown, kKeyDown, kKeyEnter, kKeyEscape},
         {0, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetMemoryTerminal(80, 25);
        screensAtKeyWaits.clear();
        show(c.pages, 25, c.keys);
        EXPECT_EQ(pagesShown(), c.shown);
    }
}

// The wheel turns the pages as Down and Up do (one notch, one page); a click does nothing.
TEST_F(HelpPager, TheWheelTurnsThePages) {
    queueTerminalBytes("\x1b[<65;4;4M\x1b[<65;4;4M\x1b[<64;4;4M\x1b[<0;4;4M\x1b[<0;4;4m");
    queueKeyCode(kKeyEscape);
    View pager = ::HelpPager{mainHelpPages, 25};
    EXPECT_EQ(runViews(pager), ViewOutcome::done);
    EXPECT_EQ(scriptUnderruns(), 0);
    EXPECT_EQ(pagesShown(), (std::vector<int>{0, 1, 2, 1, 1, 1}));
}

// The wrapper blanks the screen after each wait, so a page that is not drawn again after a key
// that changes nothing would show up blank at the next wait.
TEST_F(HelpPager, EveryKeyButEscRedrawsThePage) {
    wipeAfterEachWait = true;
    show(mainHelpPages, 25, {kKeyPageUp, kKeyEnd, 'z', kKeyEscape});
    for (const ScreenDump& screen : screensAtKeyWaits) {
        EXPECT_EQ(screen.row(0), header(0));
        EXPECT_EQ(screen.row(5), pageRow(mainHelpPages[0], 4));
        EXPECT_EQ(screen.row(24), kKeyLine);
    }
}

TEST_F(HelpPager, EachCallStartsAtPageZero) {
    show(mainHelpPages, 25, {kKeyDown, kKeyDown, kKeyEscape});
    screensAtKeyWaits.clear();
    show(mainHelpPages, 25, {kKeyEscape});
    EXPECT_EQ(pagesShown(), std::vector<int>{0});
}

} // namespace
