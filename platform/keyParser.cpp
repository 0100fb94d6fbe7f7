#include "platform/keyParser.h"

#include "platform/codePages.h"
#include "platform/virtualKeys.h"

#include <algorithm>

namespace {

constexpr uint8_t kEsc = 0x1B;

enum class Decoded { complete, incomplete, ignored };

struct Result {
    Decoded state;
    size_t length; // bytes consumed (complete and ignored)
    KeyEvent event;
    bool unfinished = false; // ignored: a sequence cut off at kLongestSequence, its end still due
};

Result complete(size_t length, KeyEvent event) {
    return {Decoded::complete, length, event};
}
Result incomplete() {
    return {Decoded::incomplete, 0, {}};
}
Result ignored(size_t length) {
    return {Decoded::ignored, length, {}};
}
// A sequence longer than any key's: dropped, however much of it has arrived, so that the keys
// never depend on where a read ended.
Result overlong(size_t length) {
    return {Decoded::ignored, length, {}, true};
}

KeyEvent functionKey(uint16_t virtualKey, uint8_t modifiers = 0) {
    return {virtualKey, 0, modifiers};
}

// The xterm modifier parameter: value - 1 is a mask of Shift 1, Alt 2, Ctrl 4 and Meta 8 (taken
// as Alt). 0 and 1 mean no modifier.
uint8_t modifiersOf(int parameter) {
    if (parameter < 2) return 0;
    int mask = parameter - 1;
    uint8_t modifiers = 0;
    if (mask & 1) modifiers |= kModifierShift;
    if (mask & (2 | 8)) modifiers |= kModifierAlt;
    if (mask & 4) modifiers |= kModifierCtrl;
    return modifiers;
}

KeyEvent withModifiers(KeyEvent event, uint8_t modifiers) {
    event.modifiers |= modifiers;
    return event;
}

// A control byte as the key that types it: Ctrl with a letter gives the letter's control code.
KeyEvent controlKey(uint8_t byte) {
    switch (byte) {
    case 0x00:
        return {kVkSpace, U' ', kModifierCtrl};
    case 0x08:
    case 0x7F:
        return {kVkBack, 0x08, 0};
    case 0x09:
        return {kVkTab, 0x09, 0};
    case 0x0D:
        return {kVkReturn, 0x0D, 0};
    case 0x1B:
        return {kVkEscape, 0x1B, 0};
    case 0x1C:
        return {kVkOemBackslash, 0x1C, kModifierCtrl};
    case 0x1D:
        return {kVkOemCloseBracket, 0x1D, kModifierCtrl};
    case 0x1E:
        return {'6', 0x1E, kModifierCtrl | kModifierShift};
    case 0x1F:
        return {kVkOemMinus, 0x1F, kModifierCtrl | kModifierShift};
    default:
        return {static_cast<uint16_t>('@' + byte), byte, kModifierCtrl};
    }
}

// A key number of CSI u or CSI 27;mod;code~ (a Unicode code point of the unshifted key).
Result codePointKey(size_t length, long code, uint8_t modifiers) {
    switch (code) {
    case 13:
        return complete(length, {kVkReturn, 0x0D, modifiers});
    case 27:
        return complete(length, {kVkEscape, 0x1B, modifiers});
    case 9:
        return complete(length, {kVkTab, 0x09, modifiers});
    case 8:
    case 127:
        return complete(length, {kVkBack, 0x08, modifiers});
    default:
        break;
    }
    if (code < 0x20 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
        (code >= 0xE000 && code <= 0xF8FF))
        return ignored(length); // private-use numbers are the protocol's function keys
    auto character = static_cast<char32_t>(code);
    if ((modifiers & kModifierShift) && character >= U'a' && character <= U'z') character -= 0x20;
    KeyEvent event = keyEventForCharacter(character);
    event.modifiers = modifiers;
    if ((modifiers & kModifierCtrl) && ((character | 0x20) >= U'a' && (character | 0x20) <= U'z'))
        event.character = character & 0x1F;
    return complete(length, event);
}

uint16_t tildeKey(long code) {
    switch (code) {
    case 1:
    case 7:
        return kVkHome;
    case 2:
        return kVkInsert;
    case 3:
        return kVkDelete;
    case 4:
    case 8:
        return kVkEnd;
    case 5:
        return kVkPrior;
    case 6:
        return kVkNext;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
        return static_cast<uint16_t>(kVkF1 + code - 11);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
        return static_cast<uint16_t>(kVkF1 + 5 + code - 17);
    case 23:
    case 24:
        return static_cast<uint16_t>(kVkF1 + 10 + code - 23);
    default:
        return 0;
    }
}

// Keys named by a final letter (CSI and SS3 alike); 0 for a letter that names none.
uint16_t letterKey(uint8_t final) {
    switch (final) {
    case 'A':
        return kVkUp;
    case 'B':
        return kVkDown;
    case 'C':
        return kVkRight;
    case 'D':
        return kVkLeft;
    case 'H':
        return kVkHome;
    case 'F':
        return kVkEnd;
    case 'E':
        return kVkClear;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
        return static_cast<uint16_t>(kVkF1 + final - 'P');
    default:
        return 0;
    }
}

// Parameters of a CSI or SS3 sequence: numbers separated by ';' (sub-parameters after ':' are
// skipped). Missing numbers read as 0.
struct Parameters {
    long values[4] = {0, 0, 0, 0};
    int count = 0;
    bool privateMarker = false;
};

Parameters parseParameters(std::string_view text) {
    Parameters parameters;
    if (!text.empty() && text[0] >= '<' && text[0] <= '?') parameters.privateMarker = true;
    bool inSub = false;
    int index = 0;
    bool any = false;
    for (char c : text) {
        if (c == ';') {
            ++index;
            inSub = false;
            continue;
        }
        if (c == ':') {
            inSub = true;
            continue;
        }
        if (c < '0' || c > '9' || inSub || index >= 4) continue;
        any = true;
        parameters.values[index] = std::min(parameters.values[index] * 10 + (c - '0'), 0xFFFFFFL);
    }
    parameters.count = any || index > 0 ? index + 1 : 0;
    return parameters;
}

// A mouse report: the terminal's button code (the button in its low two bits, 3 for a release
// that does not say which; 4 Shift, 8 Alt, 16 Ctrl; 32 motion; 64 the wheel, 128 the buttons
// beyond the third) at the 1-based column x and row y. Reports the program has no use for
// (motion, which it never asks for, the sideways wheel, the extra buttons, a position off the
// screen) go unseen, as does a garbled one: mouse bytes never become keys.
Result mouseReport(size_t length, long code, long x, long y, bool released) {
    if (x < 1 || y < 1 || (code & (32 | 128))) return ignored(length);
    MouseEvent mouse;
    if (code & 64) {
        if (released || (code & 3) > 1) return ignored(length);
        mouse.action = (code & 1) ? kMouseWheelDown : kMouseWheelUp;
    } else {
        mouse.button = static_cast<uint8_t>(code & 3);
        mouse.action = released || mouse.button == kMouseSomeButton ? kMouseRelease : kMousePress;
    }
    if (code & 4) mouse.modifiers |= kModifierShift;
    if (code & 8) mouse.modifiers |= kModifierAlt;
    if (code & 16) mouse.modifiers |= kModifierCtrl;
    mouse.row = static_cast<int16_t>(std::min(y - 1, 0x7FFFL));
    mouse.column = static_cast<int16_t>(std::min(x - 1, 0x7FFFL));
    return complete(length, {kVkMouse, 0, 0, mouse});
}

// The old mouse report "ESC [ M" at pos, then three bytes of 32 + the button code, the column
// and the row. A terminal without the extended form sends it; its bytes can be anything, so a
// report cut short is dropped once nothing more comes rather than typed.
Result decodeOldMouse(std::string_view bytes, size_t pos, bool timedOut) {
    constexpr size_t kLength = 6;
    if (bytes.size() - pos < kLength) return timedOut ? ignored(bytes.size() - pos) : incomplete();
    auto field = [&](size_t index) {
        return static_cast<long>(static_cast<uint8_t>(bytes[pos + index])) - 32;
    };
    return mouseReport(kLength, field(3), field(4), field(5), false);
}

// "ESC [" at pos, then parameter bytes, intermediate bytes and a final byte.
Result decodeCsi(std::string_view bytes, size_t pos, bool timedOut) {
    size_t at = pos + 2;
    if (at < bytes.size() && bytes[at] == 'M') return decodeOldMouse(bytes, pos, timedOut);
    if (at < bytes.size() && bytes[at] == '[') { // the Linux console's F1-F5
        if (at + 1 >= bytes.size()) return incomplete();
        uint8_t letter = static_cast<uint8_t>(bytes[at + 1]);
        if (letter >= 'A' && letter <= 'E') return complete(4, functionKey(kVkF1 + letter - 'A'));
        return ignored(4);
    }
    size_t parameterStart = at;
    while (at < bytes.size() && static_cast<uint8_t>(bytes[at]) >= 0x30 &&
           static_cast<uint8_t>(bytes[at]) <= 0x3F)
        ++at;
    size_t parameterEnd = at;
    while (at < bytes.size() && static_cast<uint8_t>(bytes[at]) >= 0x20 &&
           static_cast<uint8_t>(bytes[at]) <= 0x2F)
        ++at;
    if (at - pos > kLongestSequence) return overlong(at - pos);
    const bool mouse = parameterStart < parameterEnd && bytes[parameterStart] == '<';
    if (at >= bytes.size()) {
        // No key begins as a mouse report does: one cut short is dropped, not typed.
        return timedOut && mouse ? ignored(at - pos) : incomplete();
    }
    uint8_t final = static_cast<uint8_t>(bytes[at]);
    size_t length = at + 1 - pos;
    if (final < 0x40 || final > 0x7E) { // broken off by another key
        if (at == pos + 2)
            return complete(2, withModifiers(keyEventForCharacter('['), kModifierAlt));
        return ignored(at - pos);
    }
    Parameters parameters =
        parseParameters(bytes.substr(parameterStart, parameterEnd - parameterStart));
    if (mouse && (final == 'M' || final == 'm') && parameterEnd == at && parameters.count == 3)
        return mouseReport(length, parameters.values[0], parameters.values[1], parameters.values[2],
                           final == 'm');
    if (parameters.privateMarker || parameterEnd != at) return ignored(length);
    const long* values = parameters.values;
    if (final == '~') {
        if (values[0] == 27) return codePointKey(length, values[2], modifiersOf(values[1]));
        uint16_t key = tildeKey(values[0]);
        if (key == 0) return ignored(length);
        return complete(length, functionKey(key, modifiersOf(values[1])));
    }
    if (final == 'u') return codePointKey(length, values[0], modifiersOf(values[1]));
    if (final == 'Z') return complete(length, {kVkTab, 0x09, kModifierShift});
    uint16_t key = letterKey(final);
    if (key == 0) return ignored(length);
    return complete(length, functionKey(key, modifiersOf(values[1])));
}

// "ESC O" at pos, then an optional modifier (digits, some terminals put "1;" first) and a final.
Result decodeSs3(std::string_view bytes, size_t pos) {
    size_t at = pos + 2;
    while (at < bytes.size() && ((bytes[at] >= '0' && bytes[at] <= '9') || bytes[at] == ';')) ++at;
    if (at - pos > kLongestSequence) return overlong(at - pos);
    if (at >= bytes.size()) return incomplete();
    uint8_t final = static_cast<uint8_t>(bytes[at]);
    size_t length = at + 1 - pos;
    Parameters parameters = parseParameters(bytes.substr(pos + 2, at - pos - 2));
    uint8_t modifiers = modifiersOf(parameters.values[parameters.count > 1 ? 1 : 0]);
    if (uint16_t key = letterKey(final)) return complete(length, functionKey(key, modifiers));
    if (final == 'M') return complete(length, {kVkReturn, 0x0D, modifiers});
    if (final == 'X') return complete(length, withModifiers(keyEventForCharacter('='), modifiers));
    if (final >= 'j' && final <= 'y') { // the keypad in application mode
        static constexpr char kKeypad[] = "*+,-./0123456789";
        return complete(length,
                        withModifiers(keyEventForCharacter(kKeypad[final - 'j']), modifiers));
    }
    if (final < 0x40 || final > 0x7E) { // broken off by another key
        if (at == pos + 2)
            return complete(2, withModifiers(keyEventForCharacter('O'), kModifierAlt));
        return ignored(at - pos);
    }
    return ignored(length);
}

// Length of a UTF-8 sequence from its lead byte; 0 for a byte that cannot lead one.
int utf8Length(uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool validContinuation(uint8_t lead, size_t index, uint8_t byte) {
    if (index == 1) {
        if (lead == 0xE0) return byte >= 0xA0 && byte <= 0xBF;
        if (lead == 0xED) return byte >= 0x80 && byte <= 0x9F;
        if (lead == 0xF0) return byte >= 0x90 && byte <= 0xBF;
        if (lead == 0xF4) return byte >= 0x80 && byte <= 0x8F;
    }
    return byte >= 0x80 && byte <= 0xBF;
}

// A key that does not begin with Esc: a control byte, a printable character or UTF-8.
Result decodePlain(std::string_view bytes, size_t pos, bool timedOut) {
    auto lead = static_cast<uint8_t>(bytes[pos]);
    if (lead < 0x20 || lead == 0x7F) return complete(1, controlKey(lead));
    if (lead < 0x80) return complete(1, keyEventForCharacter(lead));
    int length = utf8Length(lead);
    // A byte that cannot start UTF-8 comes from a terminal that sends the ANSI code page.
    if (length == 0) return complete(1, keyEventForCharacter(ansiToUnicode(lead)));
    char32_t character = lead & (0x3F >> (length - 1));
    for (int index = 1; index < length; ++index) {
        if (pos + index >= bytes.size()) {
            if (!timedOut) return incomplete();
            return complete(index, keyEventForCharacter(0xFFFD));
        }
        auto byte = static_cast<uint8_t>(bytes[pos + index]);
        if (!validContinuation(lead, index, byte))
            return complete(index, keyEventForCharacter(0xFFFD));
        character = (character << 6) | (byte & 0x3F);
    }
    return complete(length, keyEventForCharacter(character));
}

// The terminal's own key strings: a whole one at pos, or the start of one.
Result matchKeyString(const KeyParser& parser, std::string_view bytes, size_t pos) {
    std::string_view rest = bytes.substr(pos);
    const KeyString* best = nullptr;
    bool partial = false;
    for (const KeyString& entry : parser.keyStrings) {
        if (rest.starts_with(entry.bytes)) {
            if (best == nullptr || entry.bytes.size() > best->bytes.size()) best = &entry;
        } else if (std::string_view(entry.bytes).starts_with(rest)) {
            partial = true;
        }
    }
    if (best != nullptr) return complete(best->bytes.size(), best->event);
    return partial ? incomplete() : ignored(0);
}

Result decodeAt(const KeyParser& parser, std::string_view bytes, size_t pos, bool timedOut,
                bool allowAltPrefix) {
    if (static_cast<uint8_t>(bytes[pos]) != kEsc) return decodePlain(bytes, pos, timedOut);
    if (pos + 1 >= bytes.size()) return timedOut ? complete(1, controlKey(kEsc)) : incomplete();
    Result known = matchKeyString(parser, bytes, pos);
    if (known.state == Decoded::complete) return known;
    if (known.state == Decoded::incomplete && !timedOut) return incomplete();
    auto next = static_cast<uint8_t>(bytes[pos + 1]);
    if (next == '[' || next == 'O') {
        Result sequence = next == '[' ? decodeCsi(bytes, pos, timedOut) : decodeSs3(bytes, pos);
        if (sequence.state != Decoded::incomplete) return sequence;
        if (!timedOut) return incomplete();
        // Nothing finished it: it was Alt with the bracket or the letter O.
        return complete(2, withModifiers(keyEventForCharacter(next), kModifierAlt));
    }
    // Esc before Esc before more: the first is a key of its own, the second may be a prefix.
    bool escapeRun = next == kEsc && pos + 2 < bytes.size() && bytes[pos + 2] == '\x1b';
    if (!allowAltPrefix || escapeRun) return complete(1, controlKey(kEsc));
    Result inner = decodeAt(parser, bytes, pos + 1, timedOut, false);
    if (inner.state == Decoded::incomplete) return inner;
    // Esc before a bare Esc is two presses of Esc that arrived together, not Alt-Esc: Esc leaves
    // every screen and must not get lost. Nor is there an Alt-click: the mouse reports its own
    // modifiers, so an Esc before a report was pressed on its own.
    if (inner.state == Decoded::complete &&
        ((next == kEsc && inner.length == 1) || inner.event.mouse.action != kMouseNone))
        return complete(1, controlKey(kEsc));
    if (inner.state == Decoded::ignored) {
        inner.length += 1; // keeps unfinished: the rest of a dropped sequence goes too
        return inner;
    }
    return complete(inner.length + 1, withModifiers(inner.event, kModifierAlt));
}

} // namespace

KeyEvent keyEventForCharacter(char32_t character) {
    if (character >= U'a' && character <= U'z')
        return {static_cast<uint16_t>(character - 0x20), character, 0};
    if (character >= U'A' && character <= U'Z')
        return {static_cast<uint16_t>(character), character, kModifierShift};
    if (character >= U'0' && character <= U'9')
        return {static_cast<uint16_t>(character), character, 0};
    if (character == U' ') return {kVkSpace, character, 0};
    // The rest of a US keyboard: each key's unshifted and shifted character.
    static constexpr struct {
        char plain;
        char shifted;
        uint16_t virtualKey;
    } kKeys[] = {
        {'`', '~', kVkOemGrave},       {'-', '_', kVkOemMinus},        {'=', '+', kVkOemEquals},
        {'[', '{', kVkOemOpenBracket}, {']', '}', kVkOemCloseBracket}, {'\\', '|', kVkOemBackslash},
        {';', ':', kVkOemSemicolon},   {'\'', '"', kVkOemQuote},       {',', '<', kVkOemComma},
        {'.', '>', kVkOemPeriod},      {'/', '?', kVkOemSlash},
    };
    for (const auto& key : kKeys) {
        if (character == static_cast<char32_t>(key.plain)) return {key.virtualKey, character, 0};
        if (character == static_cast<char32_t>(key.shifted))
            return {key.virtualKey, character, kModifierShift};
    }
    static constexpr char kShiftedDigits[] = ")!@#$%^&*(";
    for (int digit = 0; digit < 10; ++digit)
        if (character == static_cast<char32_t>(kShiftedDigits[digit]))
            return {static_cast<uint16_t>('0' + digit), character, kModifierShift};
    return {0, character, 0};
}

void feedKeyParser(KeyParser& parser, const uint8_t* bytes, size_t count, int64_t nowMs) {
    if (count == 0) return;
    parser.pending.append(reinterpret_cast<const char*>(bytes), count);
    parser.lastInputMs = nowMs;
}

bool takeKeyEvent(KeyParser& parser, MoreBytes more, KeyEvent& out) {
    const bool timedOut = more == MoreBytes::none;
    while (!parser.pending.empty()) {
        if (parser.droppingSequence) {
            // Parameter and intermediate bytes (0x20-0x3F) up to the final byte (0x40-0x7E);
            // anything else begins the next key.
            auto byte = static_cast<uint8_t>(parser.pending[0]);
            parser.droppingSequence = byte >= 0x20 && byte <= 0x3F;
            if (byte >= 0x20 && byte <= 0x7E) parser.pending.erase(0, 1);
            continue;
        }
        Result result = decodeAt(parser, parser.pending, 0, timedOut, true);
        if (result.state == Decoded::incomplete) return false;
        parser.droppingSequence = result.unfinished;
        parser.pending.erase(0, std::max<size_t>(result.length, 1));
        if (result.state == Decoded::complete) {
            out = result.event;
            return true;
        }
    }
    // The tail of a dropped sequence comes with it; bytes after a pause are new keys.
    if (timedOut) parser.droppingSequence = false;
    return false;
}

int keyParserWaitMs(const KeyParser& parser, int64_t nowMs) {
    if (parser.pending.empty() && !parser.droppingSequence) return -1;
    int64_t left = parser.lastInputMs + kEscapeTimeoutMs - nowMs;
    return static_cast<int>(std::clamp<int64_t>(left, 0, kEscapeTimeoutMs));
}

void addKeyString(KeyParser& parser, std::string_view bytes, KeyEvent event) {
    if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != kEsc) return;
    for (KeyString& entry : parser.keyStrings) {
        if (entry.bytes == bytes) {
            entry.event = event;
            return;
        }
    }
    parser.keyStrings.push_back({std::string(bytes), event});
}

int takeArrivedKeyEvent(KeyParser& parser, const KeyInput& input, KeyEvent& out) {
    if (takeKeyEvent(parser, MoreBytes::possible, out)) return kInputKey;
    uint8_t buffer[256];
    const int count = input.read(input.context, buffer, sizeof buffer, 0); // a look only
    if (count < 0) return count;
    if (count > 0) {
        feedKeyParser(parser, buffer, static_cast<size_t>(count), input.now(input.context));
        return takeKeyEvent(parser, MoreBytes::possible, out) ? kInputKey : 0;
    }
    // Nothing more came: pending bytes whose wait is over stand as they are.
    if (keyParserWaitMs(parser, input.now(input.context)) == 0 &&
        takeKeyEvent(parser, MoreBytes::none, out))
        return kInputKey;
    return 0;
}

int waitKeyEvent(KeyParser& parser, const KeyInput& input, KeyEvent& out) {
    uint8_t buffer[256];
    for (;;) {
        if (takeKeyEvent(parser, MoreBytes::possible, out)) return kInputKey;
        // An Esc at the end of a read may be the start of a sequence whose rest is already
        // waiting: while the keys before it were handled the clock ran on, so the wait alone
        // says nothing. Only a read that found nothing once the wait was over (a read that waits
        // 0 ms only looks) lets the pending bytes stand alone.
        int waitMs = keyParserWaitMs(parser, input.now(input.context));
        int count = input.read(input.context, buffer, sizeof buffer, waitMs);
        if (count > 0)
            feedKeyParser(parser, buffer, static_cast<size_t>(count), input.now(input.context));
        else if (count < 0)
            return count;
        else if (waitMs == 0 && takeKeyEvent(parser, MoreBytes::none, out))
            return kInputKey;
    }
}
