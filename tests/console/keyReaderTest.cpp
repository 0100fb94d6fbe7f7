#include "console/keyReader.h"
#include "console/screen.h"
#include "platform/memoryTerminal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class KeyReader : public testing::Test {
  protected:
    void SetUp() override { resetMemoryTerminal(80, 25); }
};

TEST_F(KeyReader, TerminalBytesBecomeTheCodesOfTheWindowsKeyReader) {
    const struct {
        const char* bytes;
        int code;
    } cases[] = {
        {"\x1b[A", kKeyUp},
        {"\x1b[B", kKeyDown},
        {"\x1bOC", kKeyRight},
        {"\x1b[D", kKeyLeft},
        {"\x1b[5~", kKeyPageUp},
        {"\x1b[6~", kKeyPageDown},
        {"\x1b[1~", kKeyHome},
        {"\x1b[H", kKeyHome},
        {"\x1bOH", kKeyHome},
        {"\x1b[7~", kKeyHome},
        {"\x1b[4~", kKeyEnd},
        {"\x1b[F", kKeyEnd},
        {"\x1bOF", kKeyEnd},
        {"\x1b[8~", kKeyEnd},
        {"\x1bOP", kKeyF1},
        {"\x1b[11~", kKeyF1},
        {"\x1b[[A", kKeyF1},
        {"\x1bOR", kKeyF3},
        {"\x1b[13~", kKeyF3},
        {"\x1b[13;2~", kKeyShiftF3},
        {"\x1bO1;2R", kKeyShiftF3}, // some terminals put "1;" before the modifier
        {"\x1b[1;2R", kKeyShiftF3}, // xterm and tmux
        {"\x1b[19;3~", kKeyAltF8},
        {"\x1b[20;3~", kKeyAltF9},
        {"\x1b[21;3~", kKeyAltF10},
        {"\x1b\x1b[19~", kKeyAltF8},
        {"\x1b\x1b[20~", kKeyAltF9},
        {"\x1b\x1b[21~", kKeyAltF10},
        {"\x1b", kKeyEscape},
        {"\r", kKeyEnter},
        {"\x7f", 8},
        {"\x08", 8},
        {"\t", 9},
        {"\x1b[Z", 9}, // Shift-Tab types a tab: no Shift in the code
        {"\x1b[1;2A", 512 + kKeyUp},
        {"\x1b[1;5A", 2048 + kKeyUp},
        {"\x1b[1;3B", 1024 + kKeyDown},
        {"\x1b[3~", 256 + 0x2E},
        {"\x1b[19~", 256 + 0x77},
        {"q", 'q'},
        {"Q", 'Q'},
        {" ", ' '},
        {"+", '+'},
        {"-", '-'},
        {"7", '7'},
        {"\x05", 2048 + 5},    // Ctrl-E arrives as its control byte
        {"\x17", 2048 + 0x17}, // Ctrl-W
        {"\x1bq", 1024 + 'q'},
        {"\xc3\xa4", 0x84},     // ä in code page 437
        {"\xc3\x84", 0x8E},     // Ä
        {"\xe2\x94\x80", 0xC4}, // ─
        {"\xe2\x82\xac", '?'},  // € has no byte in code page 437
        {"\xf0\x9f\x98\x80", '?'},
        {"\x1b[<28;5;3m", kKeyMouse}, // the mouse has one code, whatever is held with it
        {"\x1b[M !!", kKeyMouse},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::PrintToString(entry.bytes));
        queueTerminalBytes(entry.bytes);
        EXPECT_EQ(readKey().code, entry.code);
    }
    EXPECT_EQ(scriptUnderruns(), 0);
}

TEST_F(KeyReader, TheTypedCharacterComesWholeBesideItsCode) {
    const struct {
        const char* bytes;
        char32_t character;
    } cases[] = {
        {"a", U'a'},
        {"\xc3\xa4", U'\u00E4'},
        {"\xe2\x82\xac", U'\u20AC'},
        {"\xf0\x9f\x98\x80", U'\U0001F600'},
        {"\x1b[A", 0},
        {"\r", 0x0D},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::PrintToString(entry.bytes));
        queueTerminalBytes(entry.bytes);
        EXPECT_EQ(readKey().character, entry.character);
    }
}

TEST_F(KeyReader, SplitAndMergedInputGiveEachKeyOnce) {
    queueTerminalBytes("\x1b");
    queueTerminalBytes("[2");
    queueTerminalBytes("1;3~q\x1b[6");
    queueTerminalBytes("~\xc3");
    queueTerminalBytes("\xa4\x1b");
    queuePause(30);
    queueTerminalBytes("\r");
    EXPECT_EQ(readKey().code, kKeyAltF10);
    EXPECT_EQ(readKey().code, 'q');
    EXPECT_EQ(readKey().code, kKeyPageDown);
    EXPECT_EQ(readKey().code, 0x84);
    EXPECT_EQ(readKey().code, kKeyEscape);
    EXPECT_EQ(readKey().code, kKeyEnter);
    EXPECT_EQ(scriptUnderruns(), 0);
}

TEST_F(KeyReader, QueuedCodesComeBackAsTheyWereQueued) {
    const int codes[] = {kKeyDown,
                         kKeyAltF8,
                         kKeyAltF9,
                         kKeyAltF10,
                         kKeyF1,
                         kKeyEnter,
                         kKeyEscape,
                         'q',
                         'Q',
                         '1',
                         '+',
                         0x84,
                         0xC4,
                         2048 + 3,
                         2048 + 0x1A,
                         512 + kKeyUp,
                         2048 + kKeyLeft,
                         1024 + 'x',
                         8,
                         9};
    for (int code : codes) queueKeyCode(code);
    for (int code : codes) {
        SCOPED_TRACE(code);
        EXPECT_EQ(readKey().code, code);
    }
}

TEST_F(KeyReader, RunningOutOfKeysGivesEscapeAndIsCounted) {
    EXPECT_EQ(readKey().code, kKeyEscape);
    EXPECT_EQ(scriptUnderruns(), 1);
}

TEST_F(KeyReader, ResizeIsReportedOnlyOnceTheScreenIsDrawn) {
    queueTerminalResize(100, 30);
    queueKeyCode('a');
    EXPECT_EQ(readKey().code, 'a'); // nothing drawn yet: the wait goes on
    EXPECT_EQ(getScreenSize(false), (ScreenSize{100, 30}));

    clearScreen(0x1B);
    queueTerminalResize(60, 20);
    queueKeyCode('b');
    EXPECT_EQ(readKey().code, kKeyScreenResized);
    EXPECT_EQ(getScreenSize(false), (ScreenSize{60, 20}));
    EXPECT_EQ(getScreenSize(true), (ScreenSize{60, 20}));
    EXPECT_EQ(readKey().code, 'b');
}

TEST_F(KeyReader, ScreenIsPresentedBeforeEachWaitOnceDrawn) {
    queueKeyCodes({'a', 'b', 'c'});
    readKey();
    EXPECT_EQ(presentCount(), 0);
    writeEscaped(QVD_T("x"), 0, 0);
    readKey();
    readKey();
    EXPECT_EQ(presentCount(), 2);
}

} // namespace
