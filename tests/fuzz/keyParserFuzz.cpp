// The key parser on any bytes a terminal (or whatever sits on the other end of /dev/tty) can
// send, split and timed in any way. Input layout: one byte of switches, then records of one
// control byte (low nibble: chunk length - 1; high nibble: the pause before the chunk in 4 ms
// steps, so both sides of the Esc timeout are reached) followed by the chunk's bytes.
//
// Checked: every event is a sane key; whatever is pending is decoded once the Esc timeout has
// passed; the key wait ends; and a stream decodes to the same keys however it is cut into reads.

#include "platform/keyParser.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Chunk {
    std::string bytes;
    int pauseMs;
};

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "key parser fault: %s\n", what);
        abort();
    }
}

void checkEvent(const KeyEvent& event) {
    check(event.character <= 0x10FFFF, "character beyond Unicode");
    check(event.character < 0xD800 || event.character > 0xDFFF, "surrogate as a character");
    check((event.modifiers & ~(kModifierShift | kModifierAlt | kModifierCtrl)) == 0,
          "unknown modifier bits");
    check(event.virtualKey <= 0xFF, "virtual key beyond a byte");
}

// The key strings a 256-colour xterm names in terminfo, as the program seeds them at start.
void teachXtermKeys(KeyParser& parser) {
    static const struct {
        const char* bytes;
        KeyEvent event;
    } kKeys[] = {
        {"\x1bOA", {0x26, 0, 0}},    {"\x1bOB", {0x28, 0, 0}},    {"\x1bOH", {0x24, 0, 0}},
        {"\x1bOF", {0x23, 0, 0}},    {"\x1b[2~", {0x2D, 0, 0}},   {"\x1b[3~", {0x2E, 0, 0}},
        {"\x1b[5~", {0x21, 0, 0}},   {"\x1b[6~", {0x22, 0, 0}},   {"\x1bOP", {0x70, 0, 0}},
        {"\x1b[15~", {0x74, 0, 0}},  {"\x1b[24~", {0x7B, 0, 0}},  {"\x1b[1;2A", {0x26, 0, 1}},
        {"\x1b[3;5~", {0x2E, 0, 4}}, {"\x1b[1;3P", {0x70, 0, 2}}, {"\x1b[Z", {0x09, 9, 1}},
        {"\x1b[[A", {0x70, 0, 0}},   {"\x1b[1~", {0x24, 0, 0}},   {"\x1b[4~", {0x23, 0, 0}},
    };
    for (const auto& key : kKeys) addKeyString(parser, key.bytes, key.event);
}

// Drains every event the parser can give at nowMs, with nothing more to come once the wait for
// the pending bytes is over.
void drain(KeyParser& parser, int64_t nowMs, std::vector<KeyEvent>& events) {
    KeyEvent event{};
    size_t guard = parser.pending.size() + 1;
    const MoreBytes more =
        keyParserWaitMs(parser, nowMs) == 0 ? MoreBytes::none : MoreBytes::possible;
    while (takeKeyEvent(parser, more, event)) {
        checkEvent(event);
        events.push_back(event);
        check(--guard > 0, "more events than bytes");
    }
    int waitMs = keyParserWaitMs(parser, nowMs);
    check(waitMs >= -1 && waitMs <= kEscapeTimeoutMs, "wait beyond the Esc timeout");
    check((waitMs == -1) == (parser.pending.empty() && !parser.droppingSequence),
          "wait does not follow the pending bytes");
    check(more == MoreBytes::possible || waitMs == -1, "bytes left waiting after the wait");
}

// The program's loop, waitKeyEvent, on a scripted terminal.
struct Script {
    const std::vector<Chunk>* chunks;
    size_t next = 0;
    size_t offset = 0; // bytes of chunks[next] already handed out
    int64_t now = 0;
    bool paused = false; // the pause before chunks[next] has passed
};

int scriptRead(void* context, uint8_t* buffer, int capacity, int timeoutMs) {
    auto& script = *static_cast<Script*>(context);
    if (script.next == script.chunks->size()) {
        if (timeoutMs < 0) return kInputClosed;
        script.now += timeoutMs;
        return 0;
    }
    const Chunk& chunk = (*script.chunks)[script.next];
    if (!script.paused) {
        if (timeoutMs >= 0 && chunk.pauseMs > timeoutMs) {
            script.now += timeoutMs;
            // The pause goes on; what is left of it is served by the next read.
            const_cast<Chunk&>(chunk).pauseMs -= timeoutMs;
            return 0;
        }
        script.now += chunk.pauseMs;
        script.paused = true;
    }
    size_t count = std::min(chunk.bytes.size() - script.offset, static_cast<size_t>(capacity));
    std::copy_n(chunk.bytes.data() + script.offset, count, buffer);
    script.offset += count;
    if (script.offset == chunk.bytes.size()) {
        ++script.next;
        script.offset = 0;
        script.paused = false;
    }
    return static_cast<int>(count);
}

int64_t scriptNow(void* context) {
    return static_cast<Script*>(context)->now;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    bool terminfo = data[0] & 1;
    std::vector<Chunk> chunks;
    for (size_t at = 1; at < size;) {
        uint8_t control = data[at++];
        size_t length = std::min<size_t>((control & 0x0F) + 1, size - at);
        chunks.push_back(
            {std::string(reinterpret_cast<const char*>(data + at), length), (control >> 4) * 4});
        at += length;
    }

    // As the bytes come, with their pauses.
    {
        KeyParser parser;
        if (terminfo) teachXtermKeys(parser);
        std::vector<KeyEvent> events;
        int64_t now = 0;
        for (const Chunk& chunk : chunks) {
            now += chunk.pauseMs;
            drain(parser, now, events);
            feedKeyParser(parser, reinterpret_cast<const uint8_t*>(chunk.bytes.data()),
                          chunk.bytes.size(), now);
            drain(parser, now, events);
            check(parser.pending.size() <= 4 * kLongestSequence, "pending bytes pile up");
        }
        drain(parser, now + kEscapeTimeoutMs, events);
        check(parser.pending.empty(), "bytes left undecoded after the Esc timeout");
    }

    // Without pauses: all at once, and read by read, give the same keys.
    {
        std::string stream;
        for (const Chunk& chunk : chunks) stream += chunk.bytes;
        KeyParser whole;
        KeyParser split;
        if (terminfo) {
            teachXtermKeys(whole);
            teachXtermKeys(split);
        }
        std::vector<KeyEvent> wholeEvents;
        std::vector<KeyEvent> splitEvents;
        feedKeyParser(whole, reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), 0);
        drain(whole, 0, wholeEvents);
        drain(whole, kEscapeTimeoutMs, wholeEvents);
        for (const Chunk& chunk : chunks) {
            feedKeyParser(split, reinterpret_cast<const uint8_t*>(chunk.bytes.data()),
                          chunk.bytes.size(), 0);
            drain(split, 0, splitEvents);
        }
        drain(split, kEscapeTimeoutMs, splitEvents);
        check(wholeEvents == splitEvents, "the keys depend on how the bytes were cut into reads");
    }

    // Through the program's key wait: it ends, and ends with the script.
    {
        std::vector<Chunk> copy = chunks;
        Script script{&copy};
        KeyInput input{scriptRead, scriptNow, &script};
        KeyParser parser;
        if (terminfo) teachXtermKeys(parser);
        KeyEvent event{};
        size_t guard = size + 1;
        int result;
        while ((result = waitKeyEvent(parser, input, event)) == kInputKey) {
            checkEvent(event);
            check(--guard > 0, "the key wait gave more keys than bytes");
        }
        check(result == kInputClosed, "the key wait ended other than with the script");
        check(parser.pending.empty(), "the key wait left bytes undecoded");
    }
    return 0;
}
