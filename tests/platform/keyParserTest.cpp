#include "platform/keyParser.h"
#include "platform/virtualKeys.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kShift = kModifierShift;
constexpr uint8_t kAlt = kModifierAlt;
constexpr uint8_t kCtrl = kModifierCtrl;

void feed(KeyParser& parser, std::string_view bytes, int64_t nowMs) {
    feedKeyParser(parser, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), nowMs);
}

// Every event the bytes give when they all arrive at once and nothing follows.
std::vector<KeyEvent> decodeAll(std::string_view bytes, KeyParser parser = {}) {
    feed(parser, bytes, 0);
    std::vector<KeyEvent> events;
    KeyEvent event{};
    while (takeKeyEvent(parser, MoreBytes::possible, event)) events.push_back(event);
    while (takeKeyEvent(parser, MoreBytes::none, event)) events.push_back(event);
    return events;
}

// The same bytes one at a time, 1 ms apart, then the timeout.
std::vector<KeyEvent> decodeByteByByte(std::string_view bytes) {
    KeyParser parser;
    std::vector<KeyEvent> events;
    KeyEvent event{};
    int64_t now = 0;
    for (char byte : bytes) {
        feed(parser, std::string_view(&byte, 1), ++now);
        while (takeKeyEvent(parser, MoreBytes::possible, event)) events.push_back(event);
    }
    while (takeKeyEvent(parser, MoreBytes::none, event)) events.push_back(event);
    return events;
}

std::string describe(const std::vector<KeyEvent>& events) {
    std::string text;
    for (const KeyEvent& event : events) {
        text += "{vk " + std::to_string(event.virtualKey) + " ch " +
                std::to_string(static_cast<uint32_t>(event.character)) + " mod " +
                std::to_string(event.modifiers);
        const MouseEvent& mouse = event.mouse;
        if (mouse.action != kMouseNone)
            text += " mouse " + std::to_string(mouse.action) + " button " +
                    std::to_string(mouse.button) + " mod " + std::to_string(mouse.modifiers) +
                    " at " + std::to_string(mouse.row) + "," + std::to_string(mouse.column);
        text += "} ";
    }
    return text;
}

// A mouse report's event: row and column from 0.
KeyEvent mouse(uint8_t action, uint8_t button, int row, int column, uint8_t modifiers = 0) {
    return {kVkMouse,
            0,
            0,
            {action, button, modifiers, static_cast<int16_t>(row), static_cast<int16_t>(column)}};
}

struct Case {
    const char* bytes;
    KeyEvent event;
};

TEST(KeyParser, DecodesEveryListedSequenceWholeAndSplit) {
    const Case cases[] = {
        {"\x1b[A", {0x26, 0, 0}},
        {"\x1b[B", {0x28, 0, 0}},
        {"\x1b[C", {0x27, 0, 0}},
        {"\x1b[D", {0x25, 0, 0}},
        {"\x1bOA", {0x26, 0, 0}},
        {"\x1b[1;5A", {0x26, 0, kCtrl}},
        {"\x1b[1;2B", {0x28, 0, kShift}},
        {"\x1b[1;3D", {0x25, 0, kAlt}},
        {"\x1b[5~", {0x21, 0, 0}},
        {"\x1b[6~", {0x22, 0, 0}},
        {"\x1b[1~", {0x24, 0, 0}},
        {"\x1b[H", {0x24, 0, 0}},
        {"\x1bOH", {0x24, 0, 0}},
        {"\x1b[7~", {0x24, 0, 0}},
        {"\x1b[4~", {0x23, 0, 0}},
        {"\x1b[F", {0x23, 0, 0}},
        {"\x1bOF", {0x23, 0, 0}},
        {"\x1b[8~", {0x23, 0, 0}},
        {"\x1b[2~", {0x2D, 0, 0}},
        {"\x1b[3~", {0x2E, 0, 0}},
        {"\x1bOP", {0x70, 0, 0}},
        {"\x1bOS", {0x73, 0, 0}},
        {"\x1b[11~", {0x70, 0, 0}},
        {"\x1b[14~", {0x73, 0, 0}},
        {"\x1b[[A", {0x70, 0, 0}},
        {"\x1b[[E", {0x74, 0, 0}},
        {"\x1b[1;2P", {0x70, 0, kShift}},
        {"\x1b[15~", {0x74, 0, 0}},
        {"\x1b[19~", {0x77, 0, 0}},
        {"\x1b[24~", {0x7B, 0, 0}},
        {"\x1b[19;3~", {0x77, 0, kAlt}},
        {"\x1b[20;3~", {0x78, 0, kAlt}},
        {"\x1b[21;3~", {0x79, 0, kAlt}},
        {"\x1b\x1b[19~", {0x77, 0, kAlt}},
        {"\x1b\x1b[21~", {0x79, 0, kAlt}},
        {"\x1b\x1b[A", {0x26, 0, kAlt}},
        {"\x1b\x1bOA", {0x26, 0, kAlt}},
        {"\x1b[97;5u", {'A', 0x01, kCtrl}},
        {"\x1b[27;5;97~", {'A', 0x01, kCtrl}},
        {"\x1b[13;3u", {0x0D, 0x0D, kAlt}},
        {"\x1b[97;2u", {'A', 'A', kShift}},
        {"\x1b[Z", {0x09, '\t', kShift}},
        {"\x1bOM", {0x0D, 0x0D, 0}},
        {"\x1bOp", {'0', '0', 0}},
        {"\r", {0x0D, 0x0D, 0}},
        {"\t", {0x09, 0x09, 0}},
        {"\x7f", {0x08, 0x08, 0}},
        {"\x08", {0x08, 0x08, 0}},
        {"\x01", {'A', 0x01, kCtrl}},
        {"\x1a", {'Z', 0x1A, kCtrl}},
        {"\x03", {'C', 0x03, kCtrl}},
        {"\n", {'J', 0x0A, kCtrl}},
        {" ", {0x20, ' ', 0}},
        {"a", {'A', 'a', 0}},
        {"Q", {'Q', 'Q', kShift}},
        {"+", {0xBB, '+', kShift}},
        {"-", {0xBD, '-', 0}},
        {"5", {'5', '5', 0}},
        {"\xc3\xa4", {0, 0xE4, 0}},
        {"\xe2\x94\x80", {0, 0x2500, 0}},
        {"\xf0\x9f\x98\x80", {0, 0x1F600, 0}},
        {"\x1bq", {'Q', 'q', kAlt}},
        {"\x1b\r", {0x0D, 0x0D, kAlt}},
        {"\x1b\xc3\xa4", {0, 0xE4, kAlt}},
        {"\x1b", {0x1B, 0x1B, 0}},
        // The mouse, in the extended form: 1-based column and row, M press and m release.
        {"\x1b[<0;10;5M", mouse(kMousePress, kMouseLeft, 4, 9)},
        {"\x1b[<0;10;5m", mouse(kMouseRelease, kMouseLeft, 4, 9)},
        {"\x1b[<2;1;1M", mouse(kMousePress, kMouseRight, 0, 0)},
        {"\x1b[<64;80;25M", mouse(kMouseWheelUp, 0, 24, 79)},
        {"\x1b[<65;300;2M", mouse(kMouseWheelDown, 0, 1, 299)},
        {"\x1b[<20;3;4M", mouse(kMousePress, kMouseLeft, 3, 2, kShift | kCtrl)},
        {"\x1b[<73;3;4M", mouse(kMouseWheelDown, 0, 3, 2, kAlt)},
        {"\x1b[<0;99999999;4M", mouse(kMousePress, kMouseLeft, 3, 0x7FFF)},
        // The old form: 32 + button code, column and row, one byte each.
        {"\x1b[M !!", mouse(kMousePress, kMouseLeft, 0, 0)},
        {"\x1b[M#*%", mouse(kMouseRelease, kMouseSomeButton, 4, 9)},
        {"\x1b[Ma\xff\x80", mouse(kMouseWheelDown, 0, 95, 222)},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(describe({entry.event}) + "from " + testing::PrintToString(entry.bytes));
        EXPECT_EQ(decodeAll(entry.bytes), std::vector<KeyEvent>{entry.event});
        EXPECT_EQ(decodeByteByByte(entry.bytes), std::vector<KeyEvent>{entry.event});
    }
}

// Esc pressed twice before the program reads (a busy redraw, a slow link) must not vanish as one
// Alt-Esc: Esc leaves every screen, and Alt-Esc is no key of this program. Alt before a whole
// sequence stays Alt.
TEST(KeyParser, EscPressedTwiceGivesTwoEscKeys) {
    const KeyEvent escape{0x1B, 0x1B, 0};
    const struct {
        const char* bytes;
        std::vector<KeyEvent> events;
    } cases[] = {
        {"\x1b\x1b", {escape, escape}},
        {"\x1b\x1b\x1b", {escape, escape, escape}},
        {"\x1b\x1bq", {escape, {'Q', 'q', kAlt}}},
        {"\x1b\x1b\x1b[A", {escape, {0x26, 0, kAlt}}},
        // Nor is an Esc lost in the mouse report that follows it.
        {"\x1b\x1b[<0;1;1M", {escape, mouse(kMousePress, kMouseLeft, 0, 0)}},
        {"\x1b\x1b[M !!", {escape, mouse(kMousePress, kMouseLeft, 0, 0)}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::PrintToString(entry.bytes));
        EXPECT_EQ(describe(decodeAll(entry.bytes)), describe(entry.events));
        EXPECT_EQ(describe(decodeByteByByte(entry.bytes)), describe(entry.events));
    }
}

TEST(KeyParser, LoneEscapeWaitsForTheTimeoutAndNotLonger) {
    KeyParser parser;
    feed(parser, "\x1b", 100);
    KeyEvent event{};
    EXPECT_EQ(keyParserWaitMs(parser, 110), kEscapeTimeoutMs - 10);
    EXPECT_EQ(keyParserWaitMs(parser, 100 + kEscapeTimeoutMs - 1), 1);
    EXPECT_EQ(keyParserWaitMs(parser, 100 + kEscapeTimeoutMs), 0);
    EXPECT_FALSE(takeKeyEvent(parser, MoreBytes::possible, event));
    ASSERT_TRUE(takeKeyEvent(parser, MoreBytes::none, event));
    EXPECT_EQ(event, (KeyEvent{0x1B, 0x1B, 0}));
    EXPECT_EQ(keyParserWaitMs(parser, 200), -1);
}

TEST(KeyParser, SequenceFinishedWithinTheTimeoutIsOneKey) {
    KeyParser parser;
    KeyEvent event{};
    feed(parser, "\x1b", 0);
    EXPECT_FALSE(takeKeyEvent(parser, MoreBytes::possible, event));
    feed(parser, "[1", 20);
    EXPECT_EQ(keyParserWaitMs(parser, 40), kEscapeTimeoutMs - 20) << "counted from the last bytes";
    feed(parser, "9;3~", 40);
    ASSERT_TRUE(takeKeyEvent(parser, MoreBytes::possible, event));
    EXPECT_EQ(event, (KeyEvent{0x77, 0, kAlt}));
    EXPECT_FALSE(takeKeyEvent(parser, MoreBytes::none, event));
}

TEST(KeyParser, SeveralKeysInOneRead) {
    std::vector<KeyEvent> expected = {{0x26, 0, 0},    {'A', 'a', 0},   {0, 0xE4, 0},
                                      {0x22, 0, 0},    {0x0D, 0x0D, 0}, {0x1B, 0x1B, 0},
                                      {0x79, 0, kAlt}, {'Q', 'q', 0}};
    std::string bytes = "\x1b[Aa\xc3\xa4\x1b[6~\r\x1b\x1b\x1b[21~q";
    EXPECT_EQ(describe(decodeAll(bytes)), describe(expected));
}

TEST(KeyParser, UnfinishedSequencesResolveAfterTheTimeout) {
    struct Timed {
        const char* bytes;
        std::vector<KeyEvent> events;
    } cases[] = {
        // Alt with '[' or 'O' when nothing finishes the sequence.
        {"\x1b[", {{0xDB, '[', kAlt}}},
        {"\x1bO", {{'O', 'O', kShift | kAlt}}},
        {"\x1b[1;", {{0xDB, '[', kAlt}, {'1', '1', 0}, {0xBA, ';', 0}}},
        // A UTF-8 character broken off, then an invalid continuation.
        {"\xe2\x94", {{0, 0xFFFD, 0}}},
        {"\xe2x", {{0, 0xFFFD, 0}, {'X', 'x', 0}}},
        // A byte that cannot start UTF-8 comes from an 8-bit terminal: Windows-1252.
        {"\x80", {{0, 0x20AC, 0}}},
        // A mouse report cut short: no key begins so, and its bytes are never typed.
        {"\x1b[<", {}},
        {"\x1b[<0;10", {}},
        {"\x1b[M", {}},
        {"\x1b[M !", {}},
    };
    for (const Timed& entry : cases) {
        SCOPED_TRACE(testing::PrintToString(entry.bytes));
        EXPECT_EQ(describe(decodeAll(entry.bytes)), describe(entry.events));
    }
}

TEST(KeyParser, SequencesNoKeyStandsForAreDropped) {
    // Bracketed paste marks, a device report, an unknown tilde key; mouse reports the program
    // never asks for (motion, the sideways wheel, the buttons beyond the third, a wheel release)
    // or garbled ones (a field missing or too many, a cell 0), in either form.
    for (const char* bytes :
         {"\x1b[200~", "\x1b[?1;2c", "\x1b[99~", "\x1b[<35;3;4M", "\x1b[<32;3;4M", "\x1b[<66;3;4M",
          "\x1b[<128;3;4M", "\x1b[<64;3;4m", "\x1b[<0;3M", "\x1b[<0;3;4;5M", "\x1b[<0;0;4M",
          "\x1b[<;;M", "\x1b[<0;3;4 M", "\x1b[MC!!", "\x1b[M\x1f!!", "\x1b[M  !"}) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        const std::string followed = std::string(bytes) + "z";
        EXPECT_EQ(describe(decodeAll(followed)), describe({{'Z', 'z', 0}}));
        EXPECT_EQ(describe(decodeByteByByte(followed)), describe({{'Z', 'z', 0}}));
    }
}

TEST(KeyParser, EndlessSequenceIsDroppedInsteadOfGrowing) {
    std::string bytes = "\x1b[" + std::string(200, '1');
    KeyParser parser;
    feed(parser, bytes, 0);
    KeyEvent event{};
    while (takeKeyEvent(parser, MoreBytes::possible, event)) {
    }
    EXPECT_LT(parser.pending.size(), kLongestSequence + 2);
}

// Found by fuzzing: a sequence cut off at kLongestSequence in one read had its tail decoded as
// digit and letter keys (which set the tab width), while the same bytes in one read were one key.
TEST(KeyParser, TailOfOverlongSequenceIsNotTakenForKeys) {
    for (std::string introducer : {"\x1b[", "\x1bO", "\x1b\x1b["}) {
        for (std::string tail : {"A", "1;5A", ";;~", " q"}) {
            std::string bytes = introducer + std::string(kLongestSequence + 5, '1') + tail + "x";
            SCOPED_TRACE(testing::PrintToString(bytes));
            EXPECT_EQ(describe(decodeAll(bytes)), describe({{'X', 'x', 0}}));
            EXPECT_EQ(describe(decodeByteByByte(bytes)), describe({{'X', 'x', 0}}));
        }
    }
    // A pause ends the dropped sequence: what comes later is a key again.
    KeyParser parser;
    feed(parser, "\x1b[" + std::string(kLongestSequence + 5, '1'), 0);
    KeyEvent event{};
    EXPECT_FALSE(takeKeyEvent(parser, MoreBytes::possible, event));
    EXPECT_EQ(keyParserWaitMs(parser, 10), kEscapeTimeoutMs - 10) << "the tail is waited for";
    EXPECT_FALSE(takeKeyEvent(parser, MoreBytes::none, event));
    feed(parser, "5", 1000);
    ASSERT_TRUE(takeKeyEvent(parser, MoreBytes::possible, event));
    EXPECT_EQ(event, (KeyEvent{'5', '5', 0}));
}

TEST(KeyParser, TerminfoKeyStringsWinAndWaitForTheirEnd) {
    KeyParser parser;
    addKeyString(parser, "\x1bXyz", {0x74, 0, 0});
    addKeyString(parser, "a", {0x75, 0, 0}); // single bytes are the same everywhere: ignored
    KeyEvent event{};
    feed(parser, "\x1bXy", 0);
    EXPECT_FALSE(takeKeyEvent(parser, MoreBytes::possible, event));
    feed(parser, "za", 10);
    ASSERT_TRUE(takeKeyEvent(parser, MoreBytes::possible, event));
    EXPECT_EQ(event, (KeyEvent{0x74, 0, 0}));
    ASSERT_TRUE(takeKeyEvent(parser, MoreBytes::possible, event));
    EXPECT_EQ(event, (KeyEvent{'A', 'a', 0}));
}

// A script of reads for waitKeyEvent: each chunk arrives at its time; the fake clock jumps to
// the end of a wait when nothing comes.
struct Script {
    struct Chunk {
        int64_t atMs;
        std::string bytes;
        int result; // used when bytes is empty: 0 nothing, or kInputResized / kInputClosed
    };
    std::vector<Chunk> chunks;
    size_t next = 0;
    int64_t now = 0;

    static int read(void* context, uint8_t* buffer, int capacity, int timeoutMs) {
        auto& script = *static_cast<Script*>(context);
        if (script.next >= script.chunks.size()) {
            if (timeoutMs < 0) return kInputClosed;
            script.now += timeoutMs;
            return 0;
        }
        const Chunk& chunk = script.chunks[script.next];
        if (timeoutMs >= 0 && chunk.atMs > script.now + timeoutMs) {
            script.now += timeoutMs;
            return 0;
        }
        script.now = std::max(script.now, chunk.atMs);
        ++script.next;
        if (chunk.bytes.empty()) return chunk.result;
        int count = std::min<int>(capacity, static_cast<int>(chunk.bytes.size()));
        std::copy_n(chunk.bytes.data(), count, buffer);
        return count;
    }
    static int64_t clock(void* context) { return static_cast<Script*>(context)->now; }
};

TEST(KeyParser, WaitKeyEventUsesTheSourceAndItsClock) {
    Script script;
    script.chunks = {
        {0, "\x1b", 0}, {10, "[B", 0}, {100, "\x1b", 0}, {200, "", kInputResized}, {300, "x", 0}};
    KeyInput input{Script::read, Script::clock, &script};
    KeyParser parser;
    KeyEvent event{};
    ASSERT_EQ(waitKeyEvent(parser, input, event), kInputKey);
    EXPECT_EQ(event, (KeyEvent{0x28, 0, 0}));
    ASSERT_EQ(waitKeyEvent(parser, input, event), kInputKey);
    EXPECT_EQ(event, (KeyEvent{0x1B, 0x1B, 0}));
    EXPECT_EQ(script.now, 100 + kEscapeTimeoutMs);
    EXPECT_EQ(waitKeyEvent(parser, input, event), kInputResized);
    ASSERT_EQ(waitKeyEvent(parser, input, event), kInputKey);
    EXPECT_EQ(event, (KeyEvent{'X', 'x', 0}));
    EXPECT_EQ(waitKeyEvent(parser, input, event), kInputClosed);
}

// Found holding an arrow key on a busy machine: a read that ended right after an Esc, with keys
// before it that took longer to handle than the Esc wait, made the Esc stand alone although the
// rest of its sequence had been sent already, and the Esc quit the view.
TEST(KeyParser, EscEndingAReadWaitsForTheRestOfItsSequence) {
    std::string downs;
    for (int index = 0; index < 85; ++index) downs += "\x1b[B";
    const std::string burst = downs + "\x1b"; // 256 bytes: one whole read, cut after the Esc
    const std::string down = describe({{0x28, 0, 0}});
    std::string allDowns;
    for (int index = 0; index < 85; ++index) allDowns += down;
    struct Burst {
        const char* name;
        int64_t restAtMs; // when "[B" (and a Down more) is sent; -1: never
        int handleMs;     // the time each key takes to handle
        std::string keys;
        int64_t endMs; // the clock when the last key came out
    };
    const Burst cases[] = {
        {"the rest sent with the burst", 0, 2, allDowns + down + down, 172},
        {"the rest sent while the keys were handled", 100, 2, allDowns + down + down, 172},
        {"the rest just within the wait, nothing to handle", kEscapeTimeoutMs - 1, 0,
         allDowns + down + down, kEscapeTimeoutMs - 1},
        // A lone Esc is still the Esc key: at once when its wait passed while the keys before
        // it were handled, and after the wait when the rest comes too late.
        {"nothing after the Esc", -1, 2, allDowns + describe({{0x1B, 0x1B, 0}}), 170},
        {"the rest after the wait", kEscapeTimeoutMs + 1, 0,
         allDowns + describe({{0x1B, 0x1B, 0}, {0xDB, '[', 0}, {'B', 'B', kShift}}) + down,
         kEscapeTimeoutMs + 1},
    };
    for (const Burst& entry : cases) {
        SCOPED_TRACE(entry.name);
        Script script;
        script.chunks = {{0, burst, 0}};
        if (entry.restAtMs >= 0) script.chunks.push_back({entry.restAtMs, "[B\x1b[B", 0});
        KeyInput input{Script::read, Script::clock, &script};
        KeyParser parser;
        KeyEvent event{};
        std::vector<KeyEvent> events;
        int64_t lastKeyMs = 0;
        while (waitKeyEvent(parser, input, event) == kInputKey) {
            events.push_back(event);
            lastKeyMs = script.now;
            script.now += entry.handleMs;
        }
        EXPECT_EQ(describe(events), entry.keys);
        EXPECT_EQ(lastKeyMs, entry.endMs);
    }
}

// Whatever the bytes, and however they are split, the parser gives the same keys.
TEST(KeyParser, SplittingNeverChangesTheKeys) {
    const std::string pieces[] = {"\x1b", "[",    "O", "1",    ";",    "5",    "~",    "A", "P",
                                  "u",    "2",    "7", "\xc3", "\xa4", "\xe2", "\x94", "a", "\r",
                                  "\x7f", "\x03", "[", "9",    "<",    "M",    "m",    "6"};
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        int length = static_cast<int>(random() % 12);
        for (int index = 0; index < length; ++index) bytes += pieces[random() % std::size(pieces)];
        SCOPED_TRACE(testing::PrintToString(bytes));
        ASSERT_EQ(describe(decodeAll(bytes)), describe(decodeByteByByte(bytes)));
    }
}

} // namespace
