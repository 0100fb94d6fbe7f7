// Reads every byte a program wrote to its terminal (a typescript of script(1)) and checks that
// it holds only what the program makes itself: the sequences curses uses to draw, and the title.
// Nothing a file or a file name holds may reach the terminal as a control: no other escape
// sequence (OSC 52 clipboard, OSC 0 with foreign text, DCS, APC...), no C0 control but those
// that move the cursor, no C1 control, no invalid UTF-8, and no character that takes other than
// one column, but for these two:
// - a character two columns wide drawn whole: the checker follows the cursor's column through
//   the sequences curses moves it with, and the character must start where both its columns lie
//   on the screen (this needs --size; without it every such character is a fault);
// - a combining mark (no column) right after the character it joins, at most four of them;
//   never an invisible character that could hide or reorder text or widen its neighbour (zero
//   width spaces and joiners, direction controls, variation selectors, tags...).
//
//   terminalBytesCheck TYPESCRIPT [--size COLUMNSxROWS]
//   terminalBytesCheck --columns < LINES
//
// With --size, a cursor address outside the screen is a fault too. --columns prints, for each
// line of UTF-8 text on standard input, the columns a terminal gives it (for the tests that read
// the screen back from tmux and check its grid).
//
// Exit status 0 when clean; 1 with a report of each offending sequence and where it was.

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

namespace {

std::string_view titlePrefix = "Morvyn's File Compare";
int faults = 0;
long screenRows = 0; // with --size: cursor addresses beyond the screen are faults
long screenColumns = 0;

std::string printable(std::string_view bytes) {
    std::string out;
    for (unsigned char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

void report(const std::string& data, size_t at, size_t length, const char* what) {
    if (++faults > 20) return;
    size_t from = at > 16 ? at - 16 : 0;
    printf("offset %zu: %s: %s   (context: %s)\n", at, what,
           printable(std::string_view(data).substr(at, length)).c_str(),
           printable(std::string_view(data).substr(from, at - from + length + 16)).c_str());
}

// CSI sequences curses draws with, by final byte; private ('?') modes by number.
bool allowedCsi(std::string_view parameters, char final) {
    static const std::string_view kFinals = "@ABCDEFGHJKLMPSTXZbcdfhlmrt";
    if (kFinals.find(final) == std::string_view::npos) return false;
    bool isPrivate = !parameters.empty() && parameters[0] == '?';
    std::string_view numbers = isPrivate ? parameters.substr(1) : parameters;
    for (char c : numbers)
        if ((c < '0' || c > '9') && c != ';') return false;
    if (final == 'c') return isPrivate; // the Linux console's cursor shape
    if ((final == 'H' || final == 'f') && screenRows > 0) {
        long row = 0;
        long column = 0;
        sscanf(std::string(numbers).c_str(), "%ld;%ld", &row, &column);
        return row <= screenRows && column <= screenColumns;
    }
    if (final == 'd' && screenRows > 0) return atol(std::string(numbers).c_str()) <= screenRows;
    if (final == 'G' && screenColumns > 0)
        return atol(std::string(numbers).c_str()) <= screenColumns;
    if (final == 't') return numbers.starts_with("22;") || numbers.starts_with("23;");
    if (final == 'h' || final == 'l') {
        // Of the mouse modes only the program's own: presses and the wheel (1000) in the extended
        // form (1006). Motion (1002, 1003) and the other forms would be someone else's.
        static const std::set<std::string_view> kPrivate = {
            "1", "7", "12", "25", "47", "1047", "1048", "1049", "1000", "1006", "1034", "2004"};
        static const std::set<std::string_view> kPublic = {"4", "20", "34"};
        return isPrivate ? kPrivate.count(numbers) > 0 : kPublic.count(numbers) > 0;
    }
    return !isPrivate;
}

// What the checker knows of the cursor: its column while a sequence has put it where it can be
// followed (-1 when not), and what a combining mark may join.
struct Cursor {
    long column = -1;      // 0-based; screenColumns after the last column is written (wrap pending)
    long savedColumn = -1; // by Esc 7
    bool afterCharacter = false; // the last bytes were a character a mark may join
    int marks = 0;               // marks joined to it so far
    char32_t lastCharacter = 0;  // what CSI b repeats
};
Cursor cursor;

// The last column the cursor can stand on (without --size: any).
long lastColumn() {
    return screenColumns > 0 ? screenColumns - 1 : 1L << 30;
}

long parameter(std::string_view numbers, int index, long otherwise) {
    size_t start = 0;
    for (int k = 0; k < index; ++k) {
        start = numbers.find(';', start);
        if (start == std::string_view::npos) return otherwise;
        ++start;
    }
    long value = atol(std::string(numbers.substr(start)).c_str());
    return value > 0 ? value : otherwise;
}

// The cursor after a CSI sequence the checker let pass.
void followCsi(std::string_view parameters, char final) {
    cursor.afterCharacter = false;
    bool isPrivate = !parameters.empty() && parameters[0] == '?';
    std::string_view numbers = isPrivate ? parameters.substr(1) : parameters;
    long& column = cursor.column;
    switch (final) {
    case 'H':
    case 'f':
        column = parameter(numbers, 1, 1) - 1;
        break;
    case 'G':
        column = parameter(numbers, 0, 1) - 1;
        break;
    case 'C':
        if (column >= 0) column = std::min(column + parameter(numbers, 0, 1), lastColumn());
        break;
    case 'D':
        if (column >= 0)
            column = std::max(std::min(column, lastColumn()) - parameter(numbers, 0, 1), 0L);
        break;
    case 'E':
    case 'F':
    case 'L': // insert and delete lines put the cursor at the left margin
    case 'M':
    case 'r': // a scrolling region puts it home
        column = 0;
        break;
    case 'b': // repeats the last character
        if (column >= 0 && cursor.lastCharacter != 0)
            column += parameter(numbers, 0, 1) *
                      std::max(wcwidth(static_cast<wchar_t>(cursor.lastCharacter)), 1);
        if (column > lastColumn() + 1) column = -1; // it ran on into the next row
        break;
    case 'h':
    case 'l':
        if (isPrivate &&
            (numbers == "1049" || numbers == "1048" || numbers == "47" || numbers == "1047"))
            column = -1; // the other screen's cursor
        break;
    case 'Z':
        column = -1;
        break;
    default:
        break;
    }
}

// Characters that draw nothing but could hide or reorder text, or widen their neighbour: never
// sent, not even after a character.
bool isInvisible(char32_t character) {
    static const char32_t kRanges[][2] = {
        {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
        {0x180B, 0x180F}, {0x200B, 0x200F}, {0x2028, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
        {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0}, {0xFFF9, 0xFFFB}, {0xE0000, 0xE0FFF},
    };
    for (const auto& range : kRanges)
        if (character >= range[0] && character <= range[1]) return true;
    return false;
}

// A character the terminal draws at the cursor: its columns must lie on the screen.
void followCharacter(const std::string& data, size_t at, size_t length, char32_t character) {
    int columns = wcwidth(static_cast<wchar_t>(character));
    if (columns == 0) {
        if (isInvisible(character)) {
            report(data, at, length, "invisible character");
        } else if (!cursor.afterCharacter || cursor.marks == 4) {
            report(data, at, length, "combining mark without a character to join");
        } else {
            ++cursor.marks;
        }
        return;
    }
    if (columns < 0 || isInvisible(character)) {
        report(data, at, length, "character not one column wide");
    } else if (columns == 2) {
        if (cursor.column >= screenColumns) cursor.column = 0; // the pending wrap
        if (screenColumns <= 0 || cursor.column < 0 || cursor.column + 2 > screenColumns)
            report(data, at, length, "character two columns wide not drawn whole");
    }
    if (cursor.column >= 0) {
        if (cursor.column >= screenColumns && screenColumns > 0) cursor.column = 0;
        cursor.column += std::max(columns, 1);
    }
    cursor.afterCharacter = true;
    cursor.marks = 0;
    cursor.lastCharacter = character;
}

// Decodes one UTF-8 character at at; its length, or 0 when the bytes are not valid UTF-8.
size_t decodeUtf8(const std::string& data, size_t at, char32_t& out) {
    auto lead = static_cast<unsigned char>(data[at]);
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5 || length == 0 || at + length > data.size()) return 0;
    char32_t value = lead & (0x7F >> length);
    for (size_t index = 1; index < length; ++index) {
        auto byte = static_cast<unsigned char>(data[at + index]);
        if ((byte & 0xC0) != 0x80) return 0;
        value = value << 6 | (byte & 0x3F);
    }
    static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    out = value;
    return length;
}

void check(const std::string& data) {
    size_t at = 0;
    while (at < data.size()) {
        auto byte = static_cast<unsigned char>(data[at]);
        if (byte == 0x1B) {
            if (at + 1 >= data.size()) {
                report(data, at, 1, "Esc at the end");
                return;
            }
            char next = data[at + 1];
            if (next == '[') {
                size_t end = at + 2;
                while (end < data.size() && data[end] >= 0x30 && data[end] <= 0x3F) ++end;
                size_t parametersEnd = end;
                while (end < data.size() && data[end] >= 0x20 && data[end] <= 0x2F) ++end;
                if (end >= data.size() || parametersEnd != end || data[end] < 0x40 ||
                    data[end] > 0x7E ||
                    !allowedCsi(std::string_view(data).substr(at + 2, parametersEnd - at - 2),
                                data[end])) {
                    report(data, at, std::min(end + 1, data.size()) - at, "foreign CSI sequence");
                    cursor.column = -1;
                    cursor.afterCharacter = false;
                    at = end + 1;
                    continue;
                }
                followCsi(std::string_view(data).substr(at + 2, parametersEnd - at - 2), data[end]);
                at = end + 1;
            } else if (next == ']') {
                size_t end = at + 2;
                while (end < data.size() && data[end] != '\x07' && data[end] != '\x1b') ++end;
                std::string_view body = std::string_view(data).substr(at + 2, end - at - 2);
                size_t terminator = end < data.size() && data[end] == '\x1b' ? 2 : 1;
                bool title = (body.starts_with("0;") || body.starts_with("2;")) &&
                             body.substr(2).starts_with(titlePrefix);
                for (unsigned char c : body) title = title && c >= 0x20 && c != 0x7F;
                if (end >= data.size() ||
                    (terminator == 2 && (end + 1 >= data.size() || data[end + 1] != '\\')))
                    title = false;
                if (!title) report(data, at, end + terminator - at, "foreign OSC sequence");
                at = end + terminator;
            } else if ((next == '(' || next == ')') && at + 2 < data.size() &&
                       std::strchr("0BUK", data[at + 2]) != nullptr) {
                at += 3;
            } else if (std::strchr("78=>MDE", next) != nullptr) {
                if (next == '7') cursor.savedColumn = cursor.column;
                if (next == '8') cursor.column = cursor.savedColumn;
                if (next == 'E') cursor.column = 0;
                at += 2;
            } else {
                report(data, at, 2, "foreign escape sequence");
                cursor.column = -1;
                at += 2;
            }
            cursor.afterCharacter = false;
        } else if (byte < 0x20 || byte == 0x7F) {
            // Cursor movement curses uses; SO and SI switch the line-drawing set on some
            // terminals.
            if (std::strchr("\r\n\b\t\x0e\x0f", byte) == nullptr || byte == 0)
                report(data, at, 1, "control character");
            if (byte == '\r') cursor.column = 0;
            if (byte == '\b' && cursor.column > 0)
                cursor.column = std::min(cursor.column, lastColumn() + 1) - 1;
            if (byte == '\t' && cursor.column >= 0)
                cursor.column = std::min((cursor.column / 8 + 1) * 8, lastColumn());
            if (byte != 0x0e && byte != 0x0f) cursor.afterCharacter = false;
            ++at;
        } else if (byte < 0x80) {
            followCharacter(data, at, 1, byte);
            ++at;
        } else {
            char32_t character = 0;
            size_t length = decodeUtf8(data, at, character);
            if (length == 0) {
                report(data, at, 1, "invalid UTF-8");
                ++at;
                continue;
            }
            if (character >= 0x80 && character <= 0x9F) {
                report(data, at, length, "C1 control");
                cursor.afterCharacter = false;
            } else {
                followCharacter(data, at, length, character);
            }
            at += length;
        }
    }
}

} // namespace

// Columns of each line of standard input, one number a line.
int printColumns() {
    std::string line;
    int c;
    do {
        c = getchar();
        if (c != '\n' && c != EOF) {
            line += static_cast<char>(c);
            continue;
        }
        if (c == EOF && line.empty()) break;
        long columns = 0;
        for (size_t at = 0; at < line.size();) {
            char32_t character = 0;
            size_t length = decodeUtf8(line, at, character);
            int width = length == 0 ? 1 : wcwidth(static_cast<wchar_t>(character));
            columns += std::max(width, 0);
            at += std::max<size_t>(length, 1);
        }
        printf("%ld\n", columns);
        line.clear();
    } while (c != EOF);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--columns") == 0) {
        if (!setlocale(LC_CTYPE, "C.UTF-8")) return 2;
        return printColumns();
    }
    if (argc < 2) {
        fprintf(stderr, "usage: terminalBytesCheck TYPESCRIPT [--size COLUMNSxROWS]\n");
        return 2;
    }
    if (argc > 3 && strcmp(argv[2], "--size") == 0 &&
        sscanf(argv[3], "%ldx%ld", &screenColumns, &screenRows) != 2) {
        fprintf(stderr, "bad size %s\n", argv[3]);
        return 2;
    }
    if (!setlocale(LC_CTYPE, "C.UTF-8")) {
        fprintf(stderr, "no C.UTF-8 locale\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // script(1) frames the bytes with a line of its own at each end.
    if (data.starts_with("Script started on ")) data.erase(0, data.find('\n') + 1);
    if (size_t done = data.rfind("\nScript done on "); done != std::string::npos) data.erase(done);
    check(data);
    if (faults > 0) {
        printf("%d foreign sequences or characters in %zu bytes\n", faults, data.size());
        return 1;
    }
    printf("clean: %zu bytes, only the program's own sequences\n", data.size());
    return 0;
}
