// The scripted terminal that tests link in place of the real one.
#include "platform/memoryTerminal.h"

#include "platform/charClass.h"
#include "platform/codePages.h"
#include "platform/consoleBuffer.h"
#include "platform/terminal.h"

#include <algorithm>
#include <deque>

namespace {

struct ScriptEntry {
    enum Kind { event, bytes, pause, resize } kind;
    KeyEvent key;
    std::string data;
    int width; // pause: milliseconds
    int height;
};

struct MemoryTerminal {
    bool present = true;
    int width = 80;
    int height = 25;
    std::deque<ScriptEntry> script;
    std::deque<KeyEvent> busyKeys; // for takeArrivedKey alone
    KeyParser parser;
    int64_t clockMs = 0;
    int underruns = 0;
    int presents = 0;
};

MemoryTerminal memory;

// The event that makes readKey() return code: a character code types the OEM character, a
// larger one presses the virtual key; 512, 1024 and 2048 hold Shift, Alt and Ctrl down.
KeyEvent eventForCode(int code) {
    uint8_t modifiers = 0;
    if (code & 2048) modifiers |= kModifierCtrl;
    if (code & 1024) modifiers |= kModifierAlt;
    if (code & 512) modifiers |= kModifierShift;
    int base = code & 511;
    if (base >= 256) return {static_cast<uint16_t>(base - 256), 0, modifiers};
    KeyEvent event = keyEventForCharacter(oemToUnicode(static_cast<uint8_t>(base)));
    if (base < 0x20) {
        bool ownKey = base == 0x08 || base == 0x09 || base == 0x0D || base == 0x1B;
        auto virtualKey = static_cast<uint16_t>(ownKey || base > 0x1A ? base : '@' + base);
        event = {virtualKey, static_cast<char32_t>(base), ownKey ? uint8_t{0} : kModifierCtrl};
    }
    event.modifiers |= modifiers;
    return event;
}

} // namespace

void resetMemoryTerminal(int width, int height) {
    memory.present = true;
    memory.width = width;
    memory.height = height;
    memory.script.clear();
    memory.busyKeys.clear();
    memory.parser.pending.clear();
    memory.clockMs += 1000;
    memory.underruns = 0;
    memory.presents = 0;
    resetConsoleBuffer(width, height);
}

void setMemoryTerminalPresent(bool present) {
    memory.present = present;
}

void setMemoryTerminalSize(int width, int height) {
    memory.width = width;
    memory.height = height;
}

void queueKeyCodes(std::initializer_list<int> codes) {
    for (int code : codes) queueKeyCode(code);
}

void queueKeyCode(int code) {
    queueKeyEvent(eventForCode(code));
}

void queueKeyEvent(KeyEvent event) {
    memory.script.push_back({ScriptEntry::event, event, {}, 0, 0});
}

void queueBusyKeyCodes(const std::vector<int>& codes) {
    for (int code : codes) memory.busyKeys.push_back(eventForCode(code));
}

void queueTerminalBytes(std::string_view bytes) {
    memory.script.push_back({ScriptEntry::bytes, {}, std::string(bytes), 0, 0});
}

void queuePause(int milliseconds) {
    memory.script.push_back({ScriptEntry::pause, {}, {}, milliseconds, 0});
}

void queueTerminalResize(int width, int height) {
    memory.script.push_back({ScriptEntry::resize, {}, {}, width, height});
}

int pendingScriptEntries() {
    return static_cast<int>(memory.script.size() + memory.busyKeys.size());
}
int scriptUnderruns() {
    return memory.underruns;
}
int presentCount() {
    return memory.presents;
}

bool haveTerminal() {
    return memory.present;
}

void terminalSize(int& width, int& height) {
    width = memory.width;
    height = memory.height;
}

void presentConsole() {
    if (consoleBuffer.drawn) ++memory.presents;
}

int nextKeyEvent(KeyEvent& out) {
    for (;;) {
        // The script is all there is: once the clock passed the wait, nothing more follows.
        const MoreBytes more = keyParserWaitMs(memory.parser, memory.clockMs) == 0
                                   ? MoreBytes::none
                                   : MoreBytes::possible;
        if (takeKeyEvent(memory.parser, more, out)) return kInputKey;
        if (memory.script.empty()) {
            if (!memory.parser.pending.empty()) { // the script ends: a waiting Esc stands alone
                memory.clockMs += kEscapeTimeoutMs;
                continue;
            }
            ++memory.underruns;
            return kInputClosed;
        }
        ScriptEntry entry = memory.script.front();
        // Bytes still waiting for their end are decoded before a key of another kind.
        if (entry.kind != ScriptEntry::bytes && !memory.parser.pending.empty()) {
            memory.clockMs += kEscapeTimeoutMs;
            continue;
        }
        memory.script.pop_front();
        switch (entry.kind) {
        case ScriptEntry::event:
            out = entry.key;
            return kInputKey;
        case ScriptEntry::bytes:
            memory.clockMs += 1;
            feedKeyParser(memory.parser, reinterpret_cast<const uint8_t*>(entry.data.data()),
                          entry.data.size(), memory.clockMs);
            break;
        case ScriptEntry::pause:
            memory.clockMs += entry.width;
            break;
        case ScriptEntry::resize:
            memory.width = entry.width;
            memory.height = entry.height;
            resizeConsoleBuffer(entry.width, entry.height);
            return kInputResized;
        }
    }
}

// The script's keys arrive at once: a wait with a limit is a wait.
int nextKeyEventWithin(KeyEvent& out, int) {
    return nextKeyEvent(out);
}

int takeArrivedKey(KeyEvent& out) {
    if (memory.busyKeys.empty()) return 0;
    out = memory.busyKeys.front();
    memory.busyKeys.pop_front();
    return kInputKey;
}

int64_t terminalClockMs() {
    memory.clockMs += kBusyLookMs;
    return memory.clockMs;
}

// The scripted terminal reports the mouse whenever a script sends a report.
void setMouseReporting(bool) {}

bool startFullScreen() {
    return memory.present;
}

void releaseTerminal() {}

void abandonTerminal() {}

namespace {

// A cell as text: see ScreenDump.
std::string utf8Of(const std::vector<CellText>& row, int column) {
    const CellText& cell = row[column];
    const char32_t kStandIn = 0xFFFD;
    std::string text;
    char32_t codePoints[kCellUnits];
    int count = cellCodePoints(cell, codePoints);
    bool wide = characterWidth(codePoints[0]) == CharacterWidth::two;
    auto halfOf = [&](int other, CellPart part) {
        return other >= 0 && other < static_cast<int>(row.size()) && row[other].part == part &&
               std::equal(std::begin(row[other].units), std::end(row[other].units),
                          std::begin(cell.units));
    };
    switch (cell.part) {
    case CellPart::whole:
        if (wide) count = 0;
        break;
    case CellPart::wideLeft:
        if (!wide || !halfOf(column + 1, CellPart::wideRight)) count = 0;
        break;
    case CellPart::wideRight:
        if (wide && halfOf(column - 1, CellPart::wideLeft)) return text;
        count = 0;
        break;
    }
    if (count == 0) {
        appendUtf8(text, kStandIn);
        return text;
    }
    for (int index = 0; index < count; ++index) {
        char32_t character = codePoints[index];
        if (character >= 0xD800 && character <= 0xDFFF) character = kStandIn;
        appendUtf8(text, character == 0 ? U' ' : character);
    }
    return text;
}

} // namespace

ScreenDump dumpScreen() {
    allocateConsoleCells();
    const ConsoleBuffer& buffer = consoleBuffer;
    ScreenDump dump;
    dump.width = buffer.width;
    dump.height = buffer.height;
    for (int row = 0; row < buffer.height; ++row) {
        size_t first = static_cast<size_t>(row) * buffer.width;
        dump.cells.emplace_back(buffer.characters.begin() + first,
                                buffer.characters.begin() + first + buffer.width);
        dump.attributes.emplace_back(buffer.attributes.begin() + first,
                                     buffer.attributes.begin() + first + buffer.width);
    }
    dump.cursorRow = buffer.cursorRow;
    dump.cursorColumn = buffer.cursorColumn;
    dump.cursorVisible = buffer.cursorVisible;
    dump.title = buffer.title;
    return dump;
}

std::string ScreenDump::row(int rowIndex) const {
    return text(rowIndex, 0, width);
}

std::string ScreenDump::text(int rowIndex, int column, int count) const {
    std::string out;
    while (count > 0 && rowIndex >= 0 && rowIndex < height && column >= 0 && column < width) {
        int take = std::min(count, width - column);
        for (int index = 0; index < take; ++index) out += utf8Of(cells[rowIndex], column + index);
        count -= take;
        ++rowIndex;
        column = 0;
    }
    return out;
}

uint16_t ScreenDump::attribute(int rowIndex, int column) const {
    if (rowIndex < 0 || rowIndex >= height || column < 0 || column >= width) return 0;
    return attributes[rowIndex][column];
}

CellText ScreenDump::cell(int rowIndex, int column) const {
    if (rowIndex < 0 || rowIndex >= height || column < 0 || column >= width) return u' ';
    return cells[rowIndex][column];
}

bool ScreenDump::hasAttribute(int rowIndex, int column, int count, uint16_t wanted) const {
    for (int index = 0; index < count; ++index) {
        int at = column + index;
        if (attribute(rowIndex + at / width, at % width) != wanted) return false;
    }
    return true;
}

std::string ScreenDump::toString() const {
    std::string out;
    for (int rowIndex = 0; rowIndex < height; ++rowIndex) {
        if (rowIndex > 0) out += '\n';
        out += row(rowIndex);
    }
    return out;
}
