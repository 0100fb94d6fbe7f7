#include "viewer/renderer.h"

#include "console/colourScheme.h"
#include "console/screen.h"
#include "platform/charClass.h"
#include "platform/codePages.h"
#include "viewer/menu.h"
#include "viewer/rowFormat.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace {

// Row buffers, one set per pane, and the attributes shared by both panes so that a column has
// the same colour on both sides. Sized for the widest screen, so nothing is allocated while
// drawing.
uint8_t narrowRow[2][kRowCapacity];
#if QVD_WIDE
char16_t unitRow[2][kRowCapacity];
CellText cellRow[2][kRowCapacity];
#endif
uint16_t cellAttributes[kRowCapacity];
uint16_t foundAttributes[kRowCapacity]; // a row's with a found text standing out
uint8_t blankRow[kRowCapacity];

// 8-bit cells as the screen shows them: moxa converts them to UTF-16 through the ANSI or OEM
// code page, moxaw through ANSI-to-OEM while the ANSI character set is chosen.
struct DisplayTables {
    std::array<char16_t, 256> fromAnsi;
    std::array<char16_t, 256> fromOem;
    std::array<uint8_t, 256> ansiToOemByte;
    std::array<uint8_t, 256> lowerByte;
    DisplayTables() {
        for (int byte = 0; byte < 256; ++byte) {
            auto b = static_cast<uint8_t>(byte);
            fromAnsi[b] = ansiToUnicode(b);
            fromOem[b] = oemToUnicode(b);
            ansiToOemByte[b] = ansiToOem(b);
            lowerByte[b] = lowerAnsiByte(b);
        }
    }
};

const DisplayTables& displayTables() {
    static const DisplayTables tables;
    return tables;
}

// Blank rows are written as 8-bit spaces in both builds.
const char* blankCells() {
    static bool ready = false;
    if (!ready) {
        std::memset(blankRow, ' ', sizeof blankRow);
        ready = true;
    }
    return reinterpret_cast<const char*>(blankRow);
}

// One side's displayed row of text: characters of the build's text, one a cell (8-bit text
// through the code page, hex rows), or, for UTF-16 text in moxa, cells of it laid out as the
// terminal shows it. Both sides of a row are always of one kind.
struct SideRow {
    const TChar* characters = nullptr;
#if QVD_WIDE
    const CellText* cells = nullptr; // when characters is null
#endif
};

// Builds one side's displayed text row of width cells; with mark, notes which cells show its
// units (text rows only).
SideRow buildSideText(int side, const uint8_t* text, uint32_t length, uint32_t hScroll, int width,
                      const Settings& settings, uint32_t encodingFlags, MarkedUnits* mark) {
    const DisplayTables& tables = displayTables();
    uint8_t* narrow = narrowRow[side];
    if (settings.hexMode) {
#if QVD_WIDE
        bool fileUtf16 = (encodingFlags & (side == 0 ? kFile1Utf16 : kFile2Utf16)) != 0;
        if (fileUtf16) {
            // One unit a cell in the character column, as the hex digits count them.
            char16_t* units = formatHexRowWide(unitRow[side], width, text, length / 2);
            // A UTF-16 file of odd size ends in a byte that is no whole unit: its two digits
            // still show, so no byte of the file is hidden from the hex view.
            uint32_t lone = length / 2;
            if ((length & 1) != 0 && width > 0 && lone < static_cast<uint32_t>(width - 1) / 6) {
                static constexpr char kDigits[] = "0123456789ABCDEF";
                units[5 * lone] = static_cast<char16_t>(kDigits[text[length - 1] >> 4]);
                units[5 * lone + 1] = static_cast<char16_t>(kDigits[text[length - 1] & 15]);
            }
            return {units};
        }
#endif
        formatHexRow(narrow, width, text, length);
    } else if (kWideBuild && encodingFlags != 0) {
#if QVD_WIDE
        // Both texts are UTF-16 here (the decoder brings the other file to 16 bits); the images
        // come from the allocator, so their units are aligned. The scroll counts columns.
        const auto* units = reinterpret_cast<const char16_t*>(text);
        return {nullptr, expandTextRow(cellRow[side], width, units, length, hScroll,
                                       settings.tabWidth, settings.compressWhiteSpace != 0, mark)};
#endif
    } else {
        // Scrolled past the end of the line: an empty row, without forming a pointer beyond it.
        int64_t shown = int64_t{length} - hScroll;
        if (shown <= 0) shown = 0;
        uint32_t skip = shown > 0 ? hScroll : 0;
        if (mark != nullptr) {
            mark->from -= skip;
            mark->to -= skip;
        }
        expandTextRow(narrow, width, text + skip, shown, settings.tabWidth,
                      settings.compressWhiteSpace != 0, mark);
    }
#if QVD_WIDE
    const auto& table = settings.ansiCharset ? tables.fromAnsi : tables.fromOem;
    char16_t* units = unitRow[side];
    for (int j = 0; j < width; ++j) units[j] = table[narrow[j]];
    return {units};
#else
    if (settings.ansiCharset)
        for (int j = 0; j < width; ++j) narrow[j] = tables.ansiToOemByte[narrow[j]];
    return {reinterpret_cast<const char*>(narrow)};
#endif
}

// The number column text of one side: a line number, a hex offset, or the missing-side marker.
void writeNumberColumn(uint32_t number, int right, int numberWidth, uint32_t hexRowBytes, int row,
                       int column, bool hexMode) {
    static const char kMissing[] = "  -                 ";
    char formatted[48];
    const char* cells = formatted;
    if (number == 0) {
        cells = kMissing;
    } else if (hexMode) {
        std::snprintf(formatted, sizeof formatted, "%0*X ", numberWidth - 1,
                      (number - 1) * hexRowBytes);
    } else if (right && numberWidth <= 5) {
        std::snprintf(formatted, sizeof formatted, "%4u ", number);
    } else {
        std::snprintf(formatted, sizeof formatted, "%*u ", numberWidth - 1, number);
    }
    // Exactly numberWidth cells: a longer number loses its tail (a column too narrow for the
    // pane's numbers; a five-digit number loses its blank).
    int available = static_cast<int>(std::strlen(cells));
    int count = std::min(numberWidth, available);
    writeNarrowText(cells, count, row, column, colourScheme.lineNumbers);
    if (count < numberWidth)
        writeNarrowText(reinterpret_cast<const char*>(blankRow), numberWidth - count, row,
                        column + count, colourScheme.lineNumbers);
}

bool sameDisplayedCell(TChar left, TChar right, bool ignoreCase) {
    if (left == right) return true;
    if (!ignoreCase) return false;
#if QVD_WIDE
    return lowerUnit(left) == lowerUnit(right);
#else
    const auto& lower = displayTables().lowerByte;
    return lower[static_cast<uint8_t>(left)] == lower[static_cast<uint8_t>(right)];
#endif
}

void joinWideCharacterColours(const TChar*, const TChar*, int) {}

#if QVD_WIDE
bool sameDisplayedCell(const CellText& left, const CellText& right, bool ignoreCase) {
    if (left == right) return true;
    if (!ignoreCase || left.part != right.part) return false;
    for (int index = 0; index < kCellUnits; ++index)
        if (lowerUnit(left.units[index]) != lowerUnit(right.units[index])) return false;
    return true;
}

// The terminal draws a character two columns wide in one colour: where either of its columns
// differs, both do, on both sides (the attributes are shared), passed on along overlapping
// characters in both directions.
void joinWideCharacterColours(const CellText* left, const CellText* right, int width) {
    const uint16_t differing = colourScheme.differing;
    auto join = [&](int j) {
        bool wide = left[j].part == CellPart::wideLeft || right[j].part == CellPart::wideLeft;
        if (wide && (cellAttributes[j] == differing || cellAttributes[j + 1] == differing))
            cellAttributes[j] = cellAttributes[j + 1] = differing;
    };
    for (int j = 0; j + 1 < width; ++j) join(j);
    for (int j = width - 2; j >= 0; --j) join(j);
}
#endif

// A found text stands out in its cells' own colours, foreground and background swapped.
uint16_t foundAttribute(uint16_t attribute) {
    return static_cast<uint16_t>((attribute & 0xFF00) | (attribute & 0x0F) << 4 |
                                 (attribute & 0xF0) >> 4);
}

// Writes the two sides of one row: in one colour, or with the differing characters highlighted
// (one attribute per column, the same in both panes). A found text stands out in the cells of
// mark on the side markedSide.
template <typename Cell>
void writeRowPair(const Cell* left, const Cell* right, int32_t match, int width, int leftRow,
                  int leftColumn, int rightRow, int rightColumn, const Settings& settings,
                  int markedSide, const MarkedUnits& mark) {
    const bool marked = markedSide >= 0 && mark.firstCell < mark.endCell;
    if (marked) {
        // Each cell in its own colour, those of the found text swapped on their side only.
        const uint16_t attribute = match == 1 ? colourScheme.identical : colourScheme.differing;
        for (int j = 0; j < width; ++j)
            cellAttributes[j] = !settings.highlightDiffChars || match == 1 ? attribute
                                : sameDisplayedCell(left[j], right[j], settings.ignoreCase != 0)
                                    ? colourScheme.matching
                                    : colourScheme.differing;
        if (settings.highlightDiffChars && match != 1) joinWideCharacterColours(left, right, width);
        std::copy(cellAttributes, cellAttributes + width, foundAttributes);
        for (int j = mark.firstCell; j < mark.endCell && j < width; ++j)
            foundAttributes[j] = foundAttribute(cellAttributes[j]);
        writeCells(left, markedSide == 0 ? foundAttributes : cellAttributes, width, leftRow,
                   leftColumn);
        writeCells(right, markedSide == 1 ? foundAttributes : cellAttributes, width, rightRow,
                   rightColumn);
        return;
    }
    if (!settings.highlightDiffChars || match == 1) {
        uint16_t attribute = match == 1 ? colourScheme.identical : colourScheme.differing;
        if constexpr (std::is_same_v<Cell, char>) {
            writeNarrowText(left, width, leftRow, leftColumn, attribute);
            writeNarrowText(right, width, rightRow, rightColumn, attribute);
        } else {
            writeText(left, width, leftRow, leftColumn, attribute);
            writeText(right, width, rightRow, rightColumn, attribute);
        }
        return;
    }
    for (int j = 0; j < width; ++j)
        cellAttributes[j] = sameDisplayedCell(left[j], right[j], settings.ignoreCase != 0)
                                ? colourScheme.matching
                                : colourScheme.differing;
    joinWideCharacterColours(left, right, width);
    writeCells(left, cellAttributes, width, leftRow, leftColumn);
    writeCells(right, cellAttributes, width, rightRow, rightColumn);
}

} // namespace

void renderPanes(const PaneLayout& layout, const PaneRows& shown, int redrawLevel) {
    const Comparison& comparison = shown.comparison;
    const Settings& settings = shown.settings;
    const FilePair& files = shown.files;
    const uint32_t hScroll = shown.hScroll;
    const uint32_t hexRowBytes = shown.hexRowBytes;
    const DiffRow* rows = comparison.rows ? comparison.rows.get() + shown.topRow : nullptr;
    if (redrawLevel & kRedrawToggles) highlightToggleStates(settings);
    const char* blanks = blankCells();
    const uint32_t flags = encodingFlags(files);
    PaneColumns columns = computePaneColumns(layout.paneWidth, hexRowBytes, shown.largestNumber,
                                             settings, files.offsetDigits);
    int numberWidth = columns.numberWidth;
    int textWidth = std::min(columns.textWidth, kRowCapacity);
    bool numbers = (redrawLevel & kRedrawNumbers) && numberWidth > 0;
    bool showNumbers = settings.hexMode || !settings.hideLineNumbers;
    bool text = (redrawLevel & kRedrawText) && textWidth > 0;
    const int paneX[2] = {layout.leftX, layout.rightX};
    const int paneY[2] = {layout.leftY, layout.rightY};

    bool ended = rows == nullptr;
    for (int i = 0; i < layout.paneHeight - 2; ++i) {
        if (!ended && rows[i].leftText == nullptr) ended = true;
        if (ended) {
            for (int side = 0; side < 2; ++side) {
                int y = paneY[side] + 1 + i;
                if (numbers)
                    writeNarrowText(blanks, numberWidth, y, paneX[side] + 1,
                                    colourScheme.lineNumbers);
                if (text)
                    writeNarrowText(blanks, textWidth, y, paneX[side] + numberWidth + 1,
                                    colourScheme.identical);
            }
            continue;
        }
        const DiffRow& row = rows[i];
        if (numbers && showNumbers) {
            writeNumberColumn(fileLineNumber(comparison, 0, row.leftNumber), 0, numberWidth,
                              hexRowBytes, paneY[0] + 1 + i, paneX[0] + 1, settings.hexMode != 0);
            writeNumberColumn(fileLineNumber(comparison, 1, row.rightNumber), 1, numberWidth,
                              hexRowBytes, paneY[1] + 1 + i, paneX[1] + 1, settings.hexMode != 0);
        }
        if (!text) continue;
        // The found text, in text rows: hex rows show their whole row found.
        const FoundText* found = shown.found;
        const bool foundHere = found != nullptr && !settings.hexMode && found->from < found->to &&
                               found->row == shown.topRow + static_cast<uint32_t>(i);
        const int markedSide = foundHere ? found->side : -1;
        MarkedUnits mark;
        if (foundHere) mark = {found->from, found->to};
        SideRow left = buildSideText(0, row.leftText, row.leftLength, hScroll, textWidth, settings,
                                     flags, markedSide == 0 ? &mark : nullptr);
        SideRow right = buildSideText(1, row.rightText, row.rightLength, hScroll, textWidth,
                                      settings, flags, markedSide == 1 ? &mark : nullptr);
        int leftY = paneY[0] + 1 + i;
        int rightY = paneY[1] + 1 + i;
        int leftColumn = paneX[0] + numberWidth + 1;
        int rightColumn = paneX[1] + numberWidth + 1;
#if QVD_WIDE
        if (left.cells != nullptr) {
            writeRowPair(left.cells, right.cells, row.match, textWidth, leftY, leftColumn, rightY,
                         rightColumn, settings, markedSide, mark);
            continue;
        }
#endif
        writeRowPair(left.characters, right.characters, row.match, textWidth, leftY, leftColumn,
                     rightY, rightColumn, settings, markedSide, mark);
    }
}

void drawScrollIndicator(uint32_t x, uint32_t y, uint32_t length, uint32_t colourIndex,
                         uint32_t total, uint32_t page, uint32_t top) {
    static TChar bar[kRowCapacity];
#if QVD_WIDE
    constexpr TChar kLine = u'\u2500', kThumb = u'\u2550';
#else
    constexpr TChar kLine = '\xC4', kThumb = '\xCD';
#endif
    length = std::min(length, static_cast<uint32_t>(kRowCapacity));
    if (length == 0) return;
    ScrollThumb thumb = scrollThumb(length, total, page, top);
    std::fill(bar, bar + length, kLine);
    std::fill(bar + thumb.start, bar + thumb.start + thumb.length, kThumb);
    writeBuildText(bar, static_cast<int>(length), static_cast<int>(y), static_cast<int>(x),
                   colourEntry(static_cast<int>(colourIndex)));
}
