#include "console/helpPages.h"
#include "console/colourSetup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> rowsOf(const char* page) {
    std::vector<std::string> rows;
    const std::string text(page);
    for (std::size_t at = 0; at < text.size(); at += kHelpRowWidth) {
        rows.push_back(text.substr(at, kHelpRowWidth));
    }
    return rows;
}

int pageCount(const char* const* pages) {
    int count = 0;
    while (pages[count] != nullptr) {
        ++count;
    }
    return count;
}

struct PageShape {
    const char* const* list;
    int index;
    const char* title;
    int rows;
    bool continued;
};

const PageShape kTitledPages[] = {
    {mainHelpPages, 1, "Specifying file names on the command line", 20, false},
    {mainHelpPages, 2, "Command line examples", 10, false},
    {mainHelpPages, 3, "Interactive usage", 20, true},
    {mainHelpPages, 4, "Interactive usage II", 20, true},
    {mainHelpPages, 5, "Interactive usage III", 21, true},
    {mainHelpPages, 6, "Interactive usage IV", 21, false},
    {colourHelpPages, 0, "Colour Setup", 19, true},
    {colourHelpPages, 1, "Colour Setup II", 14, false},
    {treeHelpPages, 0, "Comparing two directories", 19, false},
};

TEST(HelpPages, ListsHoldSevenAndTwoPages) {
    EXPECT_EQ(pageCount(mainHelpPages), 7);
    EXPECT_EQ(pageCount(colourHelpPages), 2);
}

TEST(HelpPages, TitledPagesHaveTheirTitleRowCountAndBlankSecondRow) {
    for (const PageShape& shape : kTitledPages) {
        SCOPED_TRACE(shape.title);
        const char* page = shape.list[shape.index];
        const std::vector<std::string> rows = rowsOf(page);
        ASSERT_EQ(static_cast<int>(rows.size()), shape.rows);
        EXPECT_EQ(std::strlen(page), static_cast<std::size_t>(shape.rows * kHelpRowWidth))
            << "every row, the last included, is a full 80 columns";
        const std::string title = std::string(19, ' ') + shape.title;
        EXPECT_EQ(rows[0], title + std::string(kHelpRowWidth - title.size(), ' '));
        EXPECT_EQ(rows[1], std::string(kHelpRowWidth, ' '));
    }
}

TEST(HelpPages, OnlyTheContinuedPagesEndWithTheContinuationNote) {
    for (const PageShape& shape : kTitledPages) {
        SCOPED_TRACE(shape.title);
        const std::vector<std::string> rows = rowsOf(shape.list[shape.index]);
        const bool hasNote = rows.back().find("(continued on next page)") != std::string::npos;
        EXPECT_EQ(hasNote, shape.continued);
        for (std::size_t row = 0; row + 1 < rows.size(); ++row) {
            EXPECT_EQ(rows[row].find("continued"), std::string::npos) << "row " << row;
        }
    }
}

TEST(HelpPages, PagesArePrintableAscii) {
    for (const char* const* list : {mainHelpPages, colourHelpPages}) {
        for (int page = 0; list[page] != nullptr; ++page) {
            for (const char* c = list[page]; *c != '\0'; ++c) {
                ASSERT_TRUE(*c >= 0x20 && *c < 0x7F)
                    << "page " << page << " offset " << (c - list[page]);
            }
        }
    }
}

TEST(HelpPages, KeySummaryIsExact) {
    const char* const expectedRows[] = {
        "                   Morvyn's File Compare 3.00h",
        "",
        "",
        " KEY    DESCRIPTION",
        " ---    -----------",
        " ESC/ENTER/Q  exit with errorlevel 1",
        " ARROWS  scroll up, down, left, right, etc",
        " SPACE   scroll down to next difference",
        " +       scroll down to next difference",
        " -       scroll up to previous difference",
        " C       case sensitivity on/off",
        " D       toggle highlighting of differing chars within differing lines on/off",
        " E       toggle suppression of empty lines",
        " H       toggle between ASCII and hex mode",
        " L       toggle line numbers on/off (does not work in hex mode)",
        " O       toggle OEM/ANSI character set (OEM is ASCII)",
        " S       toggle vertical/horizontal split screen",
        " T       tall screen toggle (25/50 line mode)",
        " W       white space compression on/off",
        " 1..9    set tab width to 1..9 blanks (default: 4)",
        " Alt-F10 colour setup utility",
    };
    const char* page = mainHelpPages[0];
    ASSERT_EQ(std::strlen(page), 1679u);
    const std::vector<std::string> rows = rowsOf(page);
    ASSERT_EQ(rows.size(), std::size(expectedRows));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        SCOPED_TRACE(row);
        const std::size_t width = row + 1 == rows.size() ? 79 : 80;
        std::string expected(expectedRows[row]);
        expected.resize(width, ' ');
        EXPECT_EQ(rows[row], expected);
    }
}

TEST(HelpPages, LaterPagesNameTheKeysAndOptionsOfLinux) {
    std::string pages;
    for (int index = 1; mainHelpPages[index] != nullptr; ++index) pages += mainHelpPages[index];
    for (const char* needle :
         {" '/'          Finds", " F3 and", "Shift-F3", " ':'  ", " 'r'  ", " 'a'  ",
          "--align=", "histogram", " 'f'  ", "--context=N", " 'z'  ", "--wrap", "--no-mouse"}) {
        SCOPED_TRACE(needle);
        EXPECT_NE(pages.find(needle), std::string::npos);
    }
}

TEST(HelpPages, ExamplesUsePosixPathsInTheirFiveForms) {
    const std::string page(mainHelpPages[2]);
    for (const char* needle :
         {"qvd /etc/config.sys ", "/etc/config.bak", "qvd /etc/config.sys  /backup",
          "/backup/config.sys", "qvd /etc/config.sys  *.old", "config.old",
          "qvd /etc/config.sys  /srv/aaa/*.old", "/srv/aaa/config.old",
          "qvd autoexec.bat   4start.*", "4start.bat"}) {
        SCOPED_TRACE(needle);
        EXPECT_NE(page.find(needle), std::string::npos);
    }
    for (const char* const* list : {mainHelpPages, colourHelpPages}) {
        for (int index = 0; list[index] != nullptr; ++index) {
            const std::string text(list[index]);
            EXPECT_EQ(text.find('\\'), std::string::npos) << "page " << index;
            EXPECT_EQ(text.find(".exe"), std::string::npos) << "page " << index;
            EXPECT_EQ(text.find("c:"), std::string::npos) << "page " << index;
        }
    }
}

// F1, F10 and Alt-F8 to Alt-F10 are often taken by the desktop: the pages after the key summary
// (which stays as it is) name the keys that stand in for them, and where the colours are kept.
TEST(HelpPages, LaterPagesNameTheSecondKeysAndTheUsersColourFile) {
    std::string mainText;
    for (int index = 1; mainHelpPages[index] != nullptr; ++index) mainText += mainHelpPages[index];
    const std::string colourText = std::string(colourHelpPages[0]) + colourHelpPages[1];
    const struct {
        const std::string& text;
        const char* needle;
    } cases[] = {
        {mainText, "Alt-F8, F8 "},
        {mainText, "Alt-F9, F9 "},
        {mainText, "Alt-F10, 'p'"},
        {mainText, "F1, '?'"},
        {mainText, "~/.config/qvd/qvd.ini"},
        {colourText, "~/.config/qvd/qvd.ini"},
        {colourText, "$XDG_CONFIG_HOME/qvd/qvd.ini"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.needle);
        EXPECT_NE(entry.text.find(entry.needle), std::string::npos);
    }
}

// The steps run on whole attribute words as read from qvd.ini, high byte included.
TEST(ColourSteps, EdgeValues) {
    struct Case {
        uint16_t value;
        bool foreground;
        uint16_t expected;
    };
    const Case cases[] = {
        {0x1F, true, 0x10}, {0xF4, false, 0x04}, {0x011E, true, 0x1F}, {0x011E, false, 0x2E},
        {0x00, true, 0x01}, {0xFF, true, 0xF0},  {0xFF, false, 0x0F},  {0x1B, false, 0x2B},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.value << (c.foreground ? " fg" : " bg"));
        EXPECT_EQ(c.foreground ? foregroundStep(c.value) : backgroundStep(c.value), c.expected);
    }
}

TEST(ColourSteps, SixteenPressesReturnEveryEditableEntry) {
    const ColourScheme start{0x1B, 0x1B, 0x1E, 0x77, 0x4F, 0x4E, 0x17};
    for (int key : {'F', 'f', 'I', 'i', 'L', 'l', 'M', 'm', 'D', 'd'}) {
        SCOPED_TRACE(static_cast<char>(key));
        ColourScheme scheme = start;
        ASSERT_TRUE(stepColourForKey(scheme, key));
        EXPECT_NE(std::memcmp(&scheme, &start, sizeof scheme), 0) << "one press changes";
        for (int press = 1; press < 16; ++press) {
            ASSERT_TRUE(stepColourForKey(scheme, key));
        }
        EXPECT_EQ(std::memcmp(&scheme, &start, sizeof scheme), 0);
    }
}

TEST(ColourSteps, EachLetterStepsItsOwnEntryInItsOwnNibble) {
    struct Case {
        int key;
        uint16_t ColourScheme::*entry;
        uint16_t expected;
    };
    const Case cases[] = {
        {'F', &ColourScheme::frame, 0x1C},       {'f', &ColourScheme::frame, 0x2B},
        {'I', &ColourScheme::identical, 0x1F},   {'i', &ColourScheme::identical, 0x2E},
        {'L', &ColourScheme::lineNumbers, 0x18}, {'l', &ColourScheme::lineNumbers, 0x27},
        {'M', &ColourScheme::matching, 0x40},    {'m', &ColourScheme::matching, 0x5F},
        {'D', &ColourScheme::differing, 0x4F},   {'d', &ColourScheme::differing, 0x5E},
    };
    const ColourScheme start{0x1B, 0x1B, 0x1E, 0x77, 0x4F, 0x4E, 0x17};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<char>(c.key));
        ColourScheme scheme = start;
        ASSERT_TRUE(stepColourForKey(scheme, c.key));
        ColourScheme expected = start;
        expected.*c.entry = c.expected;
        EXPECT_EQ(std::memcmp(&scheme, &expected, sizeof scheme), 0);
    }
}

TEST(ColourSteps, OtherKeysChangeNothing) {
    const ColourScheme start{0x1B, 0x1B, 0x1E, 0x77, 0x4F, 0x4E, 0x17};
    const int otherKeys[] = {'K', 'k', 'R', 'r', 'B', 'b', 'x', 13, 27, 256 + 0x70, -1};
    for (int key : otherKeys) {
        SCOPED_TRACE(key);
        ColourScheme scheme = start;
        EXPECT_FALSE(stepColourForKey(scheme, key));
        EXPECT_EQ(std::memcmp(&scheme, &start, sizeof scheme), 0);
    }
}

} // namespace
