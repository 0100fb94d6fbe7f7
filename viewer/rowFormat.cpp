#include "viewer/rowFormat.h"

#include "viewer/settings.h"
#include "viewer/viewerFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

bool isBlankOrTab(char32_t c) {
    return c == ' ' || c == '\t';
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Notes the cells a marked stretch of units takes: unit `at` begins at cell `cell`, and the
// stretch ends where the first unit at or past its end begins (or at the row's end).
void followMark(MarkedUnits* mark, int64_t at, int cell) {
    if (mark == nullptr) return;
    if (at <= mark->from) mark->firstCell = cell;
    if (at <= mark->to) mark->endCell = cell;
}

} // namespace

uint8_t* expandTextRow(uint8_t* out, int width, const uint8_t* text, int64_t length, int tabWidth,
                       bool compress, MarkedUnits* mark) {
    // A tab width of 0 would never reach a tab stop; the keys only set 1..9.
    tabWidth = std::max(tabWidth, 1);
    int o = 0;
    if (mark != nullptr) {
        // Byte by byte, noting where the marked bytes land: one row of a screen at most. Bytes
        // before the row (scrolled past) mark from its first cell.
        mark->from = std::max<int64_t>(mark->from, 0);
        mark->firstCell = mark->endCell = 0;
        int64_t i = 0;
        for (; o < width; ++i) {
            if (i < length && compress && i > 0 && isBlankOrTab(text[i]) &&
                isBlankOrTab(text[i - 1]))
                continue;
            followMark(mark, i, o);
            if (i >= length) {
                out[o++] = ' ';
            } else if (text[i] == '\t') {
                out[o++] = ' ';
                while (o % tabWidth != 0 && o < width) out[o++] = ' ';
            } else {
                out[o++] = text[i];
            }
        }
        followMark(mark, i, o);
        mark->firstCell = std::min(mark->firstCell, mark->endCell);
        return out;
    }
    if (!compress) {
        // Runs between tabs are copied whole: most rows hold no tab at all.
        int64_t i = 0;
        while (o < width && i < length) {
            const size_t span = static_cast<size_t>(std::min<int64_t>(length - i, width - o));
            const void* tab = std::memchr(text + i, '\t', span);
            const size_t run =
                tab ? static_cast<size_t>(static_cast<const uint8_t*>(tab) - (text + i)) : span;
            std::memcpy(out + o, text + i, run);
            o += static_cast<int>(run);
            i += static_cast<int64_t>(run);
            if (tab) {
                out[o++] = ' ';
                while (o % tabWidth != 0 && o < width) out[o++] = ' ';
                ++i;
            }
        }
        if (o < width) std::memset(out + o, ' ', static_cast<size_t>(width - o));
        return out;
    }
    for (int64_t i = 0; o < width; ++i) {
        if (i >= length) {
            out[o++] = ' ';
        } else if (i > 0 && isBlankOrTab(text[i]) && isBlankOrTab(text[i - 1])) {
            continue;
        } else if (text[i] == '\t') {
            out[o++] = ' ';
            while (o % tabWidth != 0 && o < width) out[o++] = ' ';
        } else {
            out[o++] = text[i];
        }
    }
    return out;
}

CellText* expandTextRow(CellText* out, int width, const char16_t* text, int64_t length,
                        uint32_t scrollColumns, int tabWidth, bool compress, MarkedUnits* mark) {
    tabWidth = std::max(tabWidth, 1);
    size_t count = length > 0 ? static_cast<size_t>(length) : 0;
    size_t at = 0;
    int o = 0;
    if (mark != nullptr) mark->firstCell = mark->endCell = 0;
    MarkedUnits* following = mark; // until the line's end is passed
    // The scroll passes whole characters. One that reaches past it shows its right half first,
    // a stand-in: the row never starts with a column that belongs to a character not shown.
    for (uint64_t skipped = 0; skipped < scrollColumns && at < count;) {
        TextCluster cluster = readCluster(text, count, at);
        followMark(following, static_cast<int64_t>(at), 0); // scrolled past: from the row's start
        at += static_cast<size_t>(cluster.units);
        skipped += static_cast<uint64_t>(cluster.columns);
        if (skipped > scrollColumns && o < width) out[o++] = cluster.cell;
    }
    // Compression, as in the 8-bit row, looks back no further than the row's first character:
    // a blank or tab is dropped after one. A blank that carries a mark is no blank.
    const size_t first = at;
    bool previousBlank = false;
    while (o < width) {
        if (at >= count) {
            // The end of the line: a stretch that reaches it ends where the blanks begin.
            followMark(following, static_cast<int64_t>(at), o);
            following = nullptr;
            out[o++] = u' ';
            continue;
        }
        followMark(following, static_cast<int64_t>(at), o);
        TextCluster cluster = readCluster(text, count, at);
        bool blank = cluster.units == 1 && isBlankOrTab(text[at]);
        bool dropped = compress && blank && previousBlank && at > first;
        previousBlank = blank;
        bool tab = text[at] == u'\t' && cluster.units == 1;
        at += static_cast<size_t>(cluster.units);
        if (dropped) continue;
        if (tab) {
            out[o++] = u' ';
            while (o % tabWidth != 0 && o < width) out[o++] = u' ';
        } else if (cluster.columns == 2 && o + 1 < width) {
            putWideCells(out + o, cluster.cell);
            o += 2;
        } else {
            out[o++] = cluster.cell; // a wide character the edge cuts stays one whole cell
        }
    }
    followMark(following, static_cast<int64_t>(at), o);
    if (mark != nullptr) mark->firstCell = std::min(mark->firstCell, mark->endCell);
    return out;
}

uint32_t wrapRowEnd(const uint8_t* text, uint32_t length, uint32_t from, int width, int tabWidth,
                    bool compress) {
    width = std::max(width, 1);
    tabWidth = std::max(tabWidth, 1);
    if (!compress) {
        // Most lines hold no tab: the row is width bytes.
        const uint32_t span =
            std::min<uint32_t>(length - std::min(from, length), static_cast<uint32_t>(width));
        if (std::memchr(text + from, '\t', span) == nullptr) return from + std::max(span, 1u);
    }
    uint32_t at = from;
    for (int cell = 0; at < length; ++at) {
        if (compress && at > from && isBlankOrTab(text[at]) && isBlankOrTab(text[at - 1])) continue;
        if (cell >= width) break;
        cell += text[at] == '\t' ? tabWidth - cell % tabWidth : 1;
    }
    return std::max(at, from + 1);
}

uint32_t wrapRowEnd(const char16_t* text, uint32_t length, uint32_t from, int width, int tabWidth,
                    bool compress) {
    width = std::max(width, 1);
    tabWidth = std::max(tabWidth, 1);
    size_t at = from;
    bool previousBlank = false;
    for (int cell = 0; at < length;) {
        const TextCluster cluster = readCluster(text, length, at);
        const bool blank = cluster.units == 1 && isBlankOrTab(text[at]);
        if (compress && blank && previousBlank && at > from) {
            at += static_cast<size_t>(cluster.units);
            continue;
        }
        if (cell >= width) break;
        const bool tab = cluster.units == 1 && text[at] == u'\t';
        if (!tab && cluster.columns == 2 && cell > 0 && cell + 1 >= width) break;
        cell += tab ? tabWidth - cell % tabWidth : cluster.columns;
        previousBlank = blank;
        at += static_cast<size_t>(cluster.units);
    }
    return static_cast<uint32_t>(std::max<size_t>(at, from + 1));
}

uint8_t* formatHexRow(uint8_t* out, int width, const uint8_t* data, uint32_t count) {
    if (width <= 0) return out;
    std::memset(out, ' ', static_cast<size_t>(width));
    uint32_t pairs = static_cast<uint32_t>(width - 1) / 4;
    for (uint32_t j = 0; j < pairs && j < count; ++j) {
        out[3 * j] = kHexDigits[data[j] >> 4];
        out[3 * j + 1] = kHexDigits[data[j] & 15];
        out[3 * pairs + 1 + j] = data[j];
    }
    return out;
}

char16_t* formatHexRowWide(char16_t* out, int width, const uint8_t* units, uint32_t count) {
    if (width <= 0) return out;
    std::fill(out, out + width, u' ');
    uint32_t groups = static_cast<uint32_t>(width - 1) / 6;
    for (uint32_t j = 0; j < groups && j < count; ++j) {
        // Read byte by byte: the image is little-endian and need not be 2-aligned here.
        uint8_t low = units[2 * j];
        uint8_t high = units[2 * j + 1];
        out[5 * j] = kHexDigits[low >> 4];
        out[5 * j + 1] = kHexDigits[low & 15];
        out[5 * j + 2] = kHexDigits[high >> 4];
        out[5 * j + 3] = kHexDigits[high & 15];
        out[5 * groups + 1 + j] = static_cast<char16_t>(low | high << 8);
    }
    return out;
}

char* formatNumberColumn(char* out, int width, uint32_t number, bool right, uint32_t hexRowBytes,
                         bool hexMode) {
    if (width <= 0) return out;
    // Digits beyond the widest column computePaneColumns makes would be cut off anyway.
    const int digits = std::min(width, 32) - 1;
    char text[48] = "  -"; // number 0: the missing side's marker
    if (number != 0 && hexMode) {
        const uint64_t offset = uint64_t{number - 1} * hexRowBytes;
        std::snprintf(text, sizeof text, "%0*llX ", digits,
                      static_cast<unsigned long long>(offset));
    } else if (number != 0 && right && width <= 5) {
        std::snprintf(text, sizeof text, "%4u ", number);
    } else if (number != 0) {
        std::snprintf(text, sizeof text, "%*u ", digits, number);
    }
    std::memset(out, ' ', static_cast<size_t>(width));
    std::memcpy(out, text, std::min(static_cast<size_t>(width), std::strlen(text)));
    return out;
}

ScrollThumb scrollThumb(uint32_t length, uint32_t total, uint32_t page, uint32_t top) {
    total = std::max(total, 1u);
    page = std::min(page, static_cast<uint32_t>(4ull * total / 5));
    if (page == 0) page = 1;
    top = std::min(top, total - page);
    // 64-bit products: length times a top row of a large file overflows 32 bits.
    auto start = static_cast<uint32_t>(uint64_t{length} * top / total);
    auto thumb = static_cast<uint32_t>(uint64_t{length} * page / total);
    thumb = std::min(std::max(thumb, 1u), length);
    start = std::min(start, length - thumb);
    return ScrollThumb{start, thumb};
}

uint32_t computeHexRowBytes(int paneWidth, int offsetDigits, uint32_t encodingFlags) {
    bool bothUtf16 =
        (encodingFlags & kFile1Utf16) != 0 && (encodingFlags & kFile2Utf16) != 0 && kWideBuild;
    bool anyUtf16 = (encodingFlags & (kFile1Utf16 | kFile2Utf16)) != 0 && kWideBuild;
    int room = std::max(paneWidth - offsetDigits - 3, 0);
    int raw = room / (bothUtf16 ? 3 : 4);
    int step = paneWidth < 80 ? 4 : 8;
    int bytes = raw - raw % step;
    if (bytes == 0) {
        // Too narrow for a whole step: as many bytes as fit, whole 16-bit units for UTF-16.
        int unit = anyUtf16 ? 2 : 1;
        bytes = std::max(raw - raw % unit, unit);
    }
    return static_cast<uint32_t>(bytes);
}

PaneColumns computePaneColumns(int paneWidth, uint32_t hexRowBytes, uint32_t largestNumber,
                               const Settings& settings, int32_t offsetDigits) {
    int numberWidth;
    if (settings.hexMode) {
        numberWidth = offsetDigits + 1;
    } else if (settings.hideLineNumbers) {
        numberWidth = 0;
    } else {
        int digits = 1;
        for (uint32_t rest = largestNumber; rest >= 10; rest /= 10) ++digits;
        numberWidth = digits > 5 ? digits + 1 : 5;
    }
    int textWidth = paneWidth - numberWidth - 2;
    if (settings.hexMode && textWidth >= 0 && static_cast<uint32_t>(textWidth) == 4 * hexRowBytes) {
        ++textWidth;
        --numberWidth;
    }
    if (textWidth < 0) {
        // A pane too narrow for its number column: the numbers take what there is, no text.
        numberWidth = std::max(paneWidth - 2, 0);
        textWidth = 0;
    }
    return PaneColumns{numberWidth, textWidth};
}
