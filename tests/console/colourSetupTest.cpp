#include "console/colourSetup.h"
#include "console/colourScheme.h"
#include "console/keyReader.h"
#include "keyWaitScreens.h"
#include "platform/build.h"
#include "platform/memoryTerminal.h"
#include "viewer/viewerLoop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Comparison and printing for the expectations below; ColourScheme lives in the global namespace.
bool operator==(const ColourScheme& a, const ColourScheme& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::ostream& operator<<(std::ostream& out, const ColourScheme& scheme) {
    const uint16_t* entry = &scheme.base;
    out << std::hex;
    for (int i = 0; i < 7; ++i) {
        out << (i ? " " : "{") << entry[i];
    }
    return out << "}" << std::dec;
}

namespace {

using Bytes = std::vector<unsigned char>;

// The scheme in qvd.ini at the start of most tests: every entry different, reserved nonzero.
constexpr ColourScheme kStored{0x1B, 0x13, 0x1E, 0x55, 0x4F, 0x4E, 0x30};
constexpr ColourScheme kDefaults{0x1B, 0x1B, 0x1E, 0x55, 0x4F, 0x4E, 0x17}; // reserved kept

Bytes bytesOf(const ColourScheme& scheme) {
    Bytes bytes;
    for (const uint16_t* entry = &scheme.base; entry <= &scheme.lineNumbers; ++entry) {
        bytes.push_back(static_cast<unsigned char>(*entry & 0xFF));
        bytes.push_back(static_cast<unsigned char>(*entry >> 8));
    }
    return bytes;
}

// Each test works in its own directory beside the test program, which stands in for the
// directory of the executable: qvd.ini is never written into the source tree.
class ColourSetup : public testing::Test {
  protected:
    std::string directory;

    void SetUp() override {
        findExeDirectory(nullptr);
        const std::string base = exeDirectory + "colourSetupFiles/";
        mkdir(base.c_str(), 0777);
        directory = base + testing::UnitTest::GetInstance()->current_test_info()->name() +
                    (QVD_WIDE ? "_wide/" : "_narrow/");
        mkdir(directory.c_str(), 0777);
        unlink((directory + "qvd.ini").c_str());
        unlink((directory + "kqw.ini").c_str());
        exeDirectory = directory;
        userColourDirectory.clear(); // no user's file: the one beside the program is used

        // The colours come from the qvd.ini beside the program: saves go back there.
        const Bytes stored = bytesOf(kStored);
        std::ofstream(directory + "qvd.ini", std::ios::binary)
            .write(reinterpret_cast<const char*>(stored.data()), static_cast<long>(stored.size()));
        colourScheme = {};
        ASSERT_EQ(loadColourScheme(false), 1);

        resetMemoryTerminal(80, 25);
        screensAtKeyWaits.clear();
        wipeAfterEachWait = false;
    }

    bool hasColourFile() const { return access((directory + "qvd.ini").c_str(), F_OK) == 0; }

    Bytes colourFile() const {
        std::ifstream file(directory + "qvd.ini", std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    // Runs the screen over the keys; returns what leaving it asked of the colour file.
    static int runSetup() {
        View setup = ColourSetupScreen{};
        EXPECT_EQ(runViews(setup), ViewOutcome::done);
        return std::get<ColourSetupScreen>(setup).request;
    }

    // What the view does with Alt-F10: run the screen, which saves or deletes as it was asked and
    // says so when that failed.
    int runAsTheViewDoes(std::initializer_list<int> keys) {
        queueKeyCodes(keys);
        const int result = runSetup();
        EXPECT_EQ(pendingScriptEntries(), 0) << "the screen left before the last key";
        EXPECT_EQ(scriptUnderruns(), 0) << "the screen read past its last key";
        EXPECT_EQ(screensAtKeyWaits.size(), keys.size());
        return result;
    }
};

TEST_F(ColourSetup, PictureShowsSamplePanesAndMenu) {
    runAsTheViewDoes({kKeyEscape});
    const ScreenDump& screen = screensAtKeyWaits[0];
    EXPECT_EQ(screen.text(0, 0, 13), "\u250Ccolour1.txt\u2500");
    EXPECT_EQ(screen.text(0, 40, 13), "\u252Ccolour2.txt\u2500");
    EXPECT_EQ(screen.text(0, 79, 1), "\u2510");
    EXPECT_EQ(screen.text(21, 0, 1), "\u2514");
    EXPECT_EQ(screen.text(21, 40, 1), "\u2534");
    EXPECT_TRUE(screen.hasAttribute(0, 0, 80, kStored.frame));

    EXPECT_EQ(screen.text(1, 1, 39), "   1 Identical line" + std::string(20, ' '));
    EXPECT_EQ(screen.text(2, 41, 38), "   2 Line with few  differences       ");
    EXPECT_EQ(screen.text(3, 1, 39), "   3 Totally differing line" + std::string(12, ' '));
    EXPECT_EQ(screen.text(5, 41, 38), "   5 **** Colour setup screen ****    ");
    // Row 2 left: number, matching text, differing word, matching text, frame cell.
    EXPECT_TRUE(screen.hasAttribute(2, 1, 5, kStored.lineNumbers));
    EXPECT_TRUE(screen.hasAttribute(2, 6, 10, kStored.matching));
    EXPECT_TRUE(screen.hasAttribute(2, 16, 4, kStored.differing));
    EXPECT_TRUE(screen.hasAttribute(2, 20, 19, kStored.matching));
    EXPECT_EQ(screen.attribute(2, 39), kStored.frame);
    EXPECT_TRUE(screen.hasAttribute(1, 6, 33, kStored.identical));
    for (int row = 6; row <= 20; ++row) {
        SCOPED_TRACE(row);
        EXPECT_TRUE(screen.hasAttribute(row, 1, 5, kStored.lineNumbers));
        EXPECT_TRUE(screen.hasAttribute(row, 6, 33, kStored.identical));
        EXPECT_TRUE(screen.hasAttribute(row, 46, 33, kStored.identical));
        EXPECT_EQ(screen.text(row, 40, 1), "\u2502");
    }

    EXPECT_EQ(screen.row(22), " COLOUR   Frame and menu   Identical lines   Line numbers   "
                              "Restore defaults    ");
    EXPECT_EQ(screen.row(23), " SETUP    Matching chars   Differing chars in differing line   "
                              "Kill qvd.ini     ");
    EXPECT_EQ(screen.row(24), " Uppercase: foreground  Lowercase: background   F1 help   "
                              "ENTER save  ESC abort ");
    EXPECT_EQ(screen.attribute(22, 10), kStored.identical); // F
    EXPECT_EQ(screen.attribute(22, 11), kStored.frame);
    EXPECT_TRUE(screen.hasAttribute(24, 58, 5, kStored.identical)); // ENTER
    EXPECT_FALSE(screen.cursorVisible);
}

TEST_F(ColourSetup, MenuRowsStayReservedWhenTheUserHidesTheMenu) {
    // Opened from a view whose menu is hidden: its screen, then the setup's, then its again.
    Settings settings;
    settings.hideMenu = 1;
    const auto* bytes = reinterpret_cast<const uint8_t*>("a\n");
    const FilePair files{{QVD_T("a"), bytes, 2, bytes, 2}, {QVD_T("b"), bytes, 1, bytes, 1}};
    ViewerTables tables;
    queueKeyCodes({kKeyAltF10, kKeyEscape, 'q'});
    EXPECT_EQ(runViewer(files, settings, {80, 25}, false, tables), ViewOutcome::done);
    ASSERT_EQ(screensAtKeyWaits.size(), 3u);
    const ScreenDump& screen = screensAtKeyWaits[1];
    EXPECT_EQ(screen.text(21, 0, 1), "\u2514");
    EXPECT_EQ(screen.text(22, 0, 7), " COLOUR");
    EXPECT_NE(screensAtKeyWaits[2].text(22, 0, 7), " TOGGLES") << "the view's menu stays hidden";
}

TEST_F(ColourSetup, OnALargerScreenThePictureTakesTheTopLeft80By25) {
    resetMemoryTerminal(100, 40);
    runAsTheViewDoes({kKeyEscape});
    const ScreenDump& screen = screensAtKeyWaits[0];
    EXPECT_EQ(screen.text(0, 79, 1), "\u2510");
    EXPECT_EQ(screen.text(24, 0, 11), " Uppercase:");
    for (int row = 0; row < 40; ++row) {
        SCOPED_TRACE(row);
        const int from = row < 25 ? 80 : 0;
        EXPECT_EQ(screen.text(row, from, 100 - from), std::string(100 - from, ' '));
        EXPECT_TRUE(screen.hasAttribute(row, from, 100 - from, kStored.frame));
    }
}

// On a screen smaller than the 80 x 25 picture each row shows the start of the same row of the
// whole picture, and what does not fit is cut: rows used to run on into the next one, breaking
// the frames and the menu apart.
TEST_F(ColourSetup, OnASmallScreenThePictureIsCutAtTheEdges) {
    runAsTheViewDoes({kKeyEscape});
    const ScreenDump whole = screensAtKeyWaits[0];
    for (const ScreenSize size : {ScreenSize{60, 20}, ScreenSize{41, 24}, ScreenSize{79, 25}}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        resetMemoryTerminal(size.width, size.height);
        screensAtKeyWaits.clear();
        runAsTheViewDoes({kKeyEscape});
        const ScreenDump& screen = screensAtKeyWaits[0];
        for (int row = 0; row < size.height; ++row) {
            SCOPED_TRACE(row);
            EXPECT_EQ(screen.text(row, 0, size.width), whole.text(row, 0, size.width));
            for (int column = 0; column < size.width; ++column)
                ASSERT_EQ(screen.attribute(row, column), whole.attribute(row, column)) << column;
        }
    }
}

TEST_F(ColourSetup, LetterKeysStepTheirEntryAndThePictureFollowsAtOnce) {
    wipeAfterEachWait = true;
    const int result = runAsTheViewDoes({'F', 'i', 'L', 'K', kKeyEnter});
    EXPECT_EQ(result, kColourSetupSave);
    const uint16_t frame = foregroundStep(kStored.frame);
    const uint16_t identical = backgroundStep(kStored.identical);
    const uint16_t numbers = foregroundStep(kStored.lineNumbers);
    EXPECT_EQ(screensAtKeyWaits[1].attribute(0, 0), frame);
    EXPECT_EQ(screensAtKeyWaits[2].attribute(1, 6), identical);
    EXPECT_EQ(screensAtKeyWaits[2].attribute(22, 10), identical);
    EXPECT_EQ(screensAtKeyWaits[3].attribute(1, 1), numbers);
    EXPECT_TRUE(sameScreen(screensAtKeyWaits[4], screensAtKeyWaits[3]))
        << "K only draws the picture again";
    const ColourScheme expected{
        kStored.base,      frame,  identical, kStored.reserved, kStored.matching,
        kStored.differing, numbers};
    EXPECT_EQ(colourScheme, expected);
    EXPECT_EQ(colourFile(), bytesOf(expected));
}

TEST_F(ColourSetup, SixteenPressesBringAnEntryBack) {
    runAsTheViewDoes({'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F', 'F',
                      'F', 'F', 'F', 'F', 'F', 'm', 'm', 'm', 'm', 'm', 'm',
                      'm', 'm', 'm', 'm', 'm', 'm', 'm', 'm', 'm', 'm', kKeyEnter});
    EXPECT_EQ(colourScheme, kStored);
}

TEST_F(ColourSetup, StoredHighByteIsDroppedByTheFirstStep) {
    colourScheme.identical = 0x011E;
    runAsTheViewDoes({'I', kKeyEnter});
    EXPECT_EQ(colourScheme.identical, 0x1F);
}

TEST_F(ColourSetup, RestoreSetsTheDefaultsButKeepsReserved) {
    for (int key : {'r', 'R'}) {
        SCOPED_TRACE(static_cast<char>(key));
        colourScheme = kStored;
        colourScheme.base = 0x70;
        screensAtKeyWaits.clear();
        queueKeyCodes({key, kKeyEnter});
        EXPECT_EQ(runSetup(), kColourSetupSave);
        EXPECT_EQ(colourScheme, kDefaults);
        EXPECT_EQ(screensAtKeyWaits[1].attribute(1, 1), kDefaults.lineNumbers);
    }
}

TEST_F(ColourSetup, UppercaseKOnlyRedraws) {
    wipeAfterEachWait = true;
    EXPECT_EQ(runAsTheViewDoes({'F', 'K', kKeyEscape}), kColourSetupAborted);
    EXPECT_TRUE(sameScreen(screensAtKeyWaits[2], screensAtKeyWaits[1]));
    EXPECT_EQ(screensAtKeyWaits[2].attribute(0, 0), foregroundStep(kStored.frame))
        << "K must not reload the scheme as k does";
    EXPECT_TRUE(hasColourFile());
}

TEST_F(ColourSetup, KillThenEscDeletesTheFileAndKeepsTheReloadedScheme) {
    const int result = runAsTheViewDoes({'F', 'k', 'I', kKeyEscape});
    EXPECT_EQ(result, kColourSetupKill);
    EXPECT_EQ(screensAtKeyWaits[2].attribute(0, 0), kStored.frame) << "k discards the F";
    EXPECT_FALSE(hasColourFile());
    EXPECT_EQ(colourScheme, kStored);
}

TEST_F(ColourSetup, KillThenEnterWritesTheFile) {
    const int result = runAsTheViewDoes({'F', 'k', 'd', kKeyEnter});
    EXPECT_EQ(result, kColourSetupSave);
    ColourScheme expected = kStored;
    expected.differing = backgroundStep(kStored.differing);
    EXPECT_EQ(colourScheme, expected);
    EXPECT_EQ(colourFile(), bytesOf(expected));
}

TEST_F(ColourSetup, EscDiscardsEveryChange) {
    const int result =
        runAsTheViewDoes({'F', 'f', 'I', 'i', 'L', 'l', 'M', 'm', 'D', 'd', 'r', kKeyEscape});
    EXPECT_EQ(result, kColourSetupAborted);
    EXPECT_EQ(colourScheme, kStored);
    EXPECT_EQ(colourFile(), bytesOf(kStored));
}

TEST_F(ColourSetup, EscWithoutAnyColourFileSetsTheDefaults) {
    ASSERT_TRUE(saveColourScheme(kColourSetupKill));
    colourScheme = kStored;
    EXPECT_EQ(runAsTheViewDoes({'F', kKeyEscape}), kColourSetupAborted);
    EXPECT_EQ(colourScheme, kDefaults);
    EXPECT_FALSE(hasColourFile());
}

// A save that cannot be written anywhere says so, with each place tried and why, and waits for a
// key; the colours stay in force for the run. Before, the failure was reported as a success.
TEST_F(ColourSetup, SaveThatFailsEverywhereSaysSoAndWaitsForAKey) {
    exeDirectory = directory + "gone/";
    const std::string blocker = directory + "notADirectory";
    std::ofstream(blocker) << "x";
    userColourDirectory = blocker + "/qvd/";
    wipeAfterEachWait = true;
    EXPECT_EQ(runAsTheViewDoes({'F', kKeyEnter, 'x'}), kColourSetupSave);
    const ScreenDump& screen = screensAtKeyWaits[2];
    EXPECT_EQ(screen.row(22), " The colours were not saved: they last until the program ends.   "
                              "Press a key    ");
    EXPECT_EQ(screen.attribute(22, 1), kStored.differing);
    // Long paths give up their start to keep the reason in sight.
    EXPECT_EQ(screen.row(23).substr(0, 4), " ...");
    EXPECT_NE(screen.row(23).find("/gone/qvd.ini: No such file or directory"), std::string::npos);
    EXPECT_NE(screen.row(24).find("/notADirectory/qvd: Not a directory"), std::string::npos);
    EXPECT_EQ(screen.text(0, 0, 13), "\u250Ccolour1.txt\u2500") << "on the setup picture";
    EXPECT_EQ(colourScheme.frame, foregroundStep(kStored.frame)) << "the new colours stay";
    EXPECT_EQ(colourFile(), bytesOf(kStored));
}

TEST_F(ColourSetup, DeletionThatFailsSaysSo) {
    exeDirectory = directory + "qvd.ini/"; // the file read now lies below a file: unlink fails
    ASSERT_FALSE(saveColourScheme(kColourSetupKill));
    // The screen as ESC after 'k' leaves it when the deletion fails. The mouse is no answer.
    queueTerminalBytes("\x1b[<65;4;4M\x1b[<0;4;4M\x1b[<0;4;4m");
    queueKeyCodes({'x'});
    View failed = ColourSetupScreen{.request = kColourSetupKill, .failed = true};
    EXPECT_EQ(runViews(failed), ViewOutcome::done);
    EXPECT_EQ(screensAtKeyWaits.size(), 4u) << "the mouse left the failure";
    const ScreenDump& screen = screensAtKeyWaits.back();
    EXPECT_EQ(screen.text(22, 0, 59),
              " qvd.ini was not deleted: the next start reads it again.   ");
    EXPECT_NE(screen.row(23).find("qvd.ini/qvd.ini: Not a directory"), std::string::npos);
    EXPECT_EQ(screen.row(24), std::string(80, ' '));
    EXPECT_EQ(pendingScriptEntries(), 0);
    EXPECT_TRUE(hasColourFile());
}

// The colour help uses 25 rows even on a taller console, in the colours being edited, and the
// picture comes back as it was once the help is left.
TEST_F(ColourSetup, HelpUses25RowsAndThePictureIsDrawnAgainAfterIt) {
    resetMemoryTerminal(80, 50);
    wipeAfterEachWait = true;
    runAsTheViewDoes({'F', kKeyF1, kKeyDown, kKeyEscape, kKeyEscape});
    const uint16_t frame = foregroundStep(kStored.frame);
    for (std::size_t wait : {std::size_t{2}, std::size_t{3}}) {
        SCOPED_TRACE(wait);
        const ScreenDump& help = screensAtKeyWaits[wait];
        EXPECT_EQ(help.text(0, 0, 9), wait == 2 ? "  Page 0 " : "  Page 1 ");
        EXPECT_EQ(help.text(23, 0, 1), "\u2500");
        EXPECT_EQ(help.text(24, 0, 9), "   PAGEUP");
        EXPECT_EQ(help.attribute(23, 0), frame);
        EXPECT_EQ(help.text(48, 0, 80), std::string(80, ' '));
        EXPECT_EQ(help.text(49, 0, 80), std::string(80, ' '));
    }
    EXPECT_TRUE(sameScreen(screensAtKeyWaits[4], screensAtKeyWaits[1]));
}

} // namespace
