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

// The number column of one side: a line number, a hex offset, or the missing-side marker.
void writeNumberColumn(uint32_t number, int right, int numberWidth, uint32_t hexRowBytes, int row,
                       int column, bool hexMode) {
    // Wider than any column computePaneColumns makes; blanks would fill the rest.
    char cells[32];
    const int count = std::min(numberWidth, static_cast<int>(sizeof cells));
    formatNumberColumn(cells, count, number, right != 0, hexRowBytes, hexMode);
    writeNarrowText(cells, count, row, column, colourScheme.lineNumbers);
    if (count < numberWidth)
        writeNarrowText(reinterpret_cast<const char*>(blankRow), numberWidth - count, row,
                        column + count, colourScheme.lineNumbers);
}

// The later screen rows of a wrapped line: a mark where the digits of its number end, on a side
// whose text goes on; blanks on a side that has ended.
void writeContinuation(bool goesOn, int numberWidth, int row, int column) {
#if QVD_WIDE
    constexpr TChar kMark = u'\u21AA'; // a hooked arrow; '+' on a terminal without UTF-8
#else
    constexpr TChar kMark = '+';   // code page 437 has no arrow that hooks
#endif
    writeNarrowText(blankCells(), numberWidth, row, column, colourScheme.lineNumbers);
    if (goesOn && numberWidth > 0) {
        const TChar mark[] = {kMark};
        writeBuildText(mark, 1, row, column + std::max(numberWidth - 2, 0),
                       colourScheme.lineNumbers);
    }
}

// A fold's row in one pane: how many equal lines (hex rows) it hides, between dots, over width
// cells in the colour of equal rows.
void writeFoldRow(uint32_t hidden, bool hexMode, int width, int row, int column) {
#if QVD_WIDE
    constexpr TChar kDot = u'\u00B7'; // '.' on a terminal without UTF-8
#else
    constexpr TChar kDot = '\xFA'; // the middle dot of code page 437
#endif
    // The count with a comma between each group of three digits.
    char digits[16];
    const int count = std::snprintf(digits, sizeof digits, "%u", hidden);
    char label[64];
    int length = 0;
    for (int index = 0; index < count; ++index) {
        if (index > 0 && (count - index) % 3 == 0) label[length++] = ',';
        label[length++] = digits[index];
    }
    length += std::snprintf(label + length, sizeof label - static_cast<size_t>(length), "%s",
                            hexMode ? " equal rows " : " equal lines ");
    static TChar cells[kRowCapacity];
    int at = 0;
    auto put = [&](TChar cell) {
        if (at < width) cells[at++] = cell;
    };
    for (int dot = 0; dot < 3; ++dot) put(kDot);
    put(TChar(' '));
    for (int index = 0; index < length; ++index) put(static_cast<TChar>(label[index]));
    for (int dot = 0; dot < 3; ++dot) put(kDot);
    while (at < width) cells[at++] = TChar(' ');
    writeBuildText(cells, width, row, column, colourScheme.identical);
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
    const ScreenRows& screen = shown.screen;
    const Settings& settings = shown.settings;
    const FilePair& files = shown.files;
    const uint32_t hexRowBytes = shown.hexRowBytes;
    const DiffRow* rows = comparison.rows.get();
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
    const bool wrapping = screen.wrap.width > 0;
    // While wrapping, the hScroll of the rows is 0: each screen row starts where the last ended.
    const uint32_t hScroll = wrapping ? 0 : shown.hScroll;
    const uint32_t unitBytes = screen.wrap.wideText ? 2 : 1;

    uint32_t at = shown.topRow; // the list row drawn next
    uint32_t part = 0;          // its screen row
    uint32_t from[2] = {0, 0};  // where that screen row starts on each side, in units
    if (wrapping && at < screen.rowCount && rows != nullptr && screen.foldAt(at) == nullptr) {
        const DiffRow& row = rows[at];
        for (; part < shown.topPart; ++part) {
            if (from[0] < row.leftLength)
                from[0] = wrappedRowEnd(row.leftText, row.leftLength, from[0], screen.wrap);
            if (from[1] < row.rightLength)
                from[1] = wrappedRowEnd(row.rightText, row.rightLength, from[1], screen.wrap);
        }
    }
    for (int i = 0; i < layout.paneHeight - 2; ++i) {
        const int y[2] = {paneY[0] + 1 + i, paneY[1] + 1 + i};
        const bool ended = rows == nullptr || at >= screen.rowCount || rows[at].leftText == nullptr;
        const Fold* fold = ended ? nullptr : screen.foldAt(at);
        if (ended || fold != nullptr) {
            // A fold is one row across each pane in the colour of equal rows.
            const uint16_t numberColour =
                fold != nullptr ? colourScheme.identical : colourScheme.lineNumbers;
            for (int side = 0; side < 2; ++side) {
                if (numbers)
                    writeNarrowText(blanks, numberWidth, y[side], paneX[side] + 1, numberColour);
                if (!text) continue;
                if (fold != nullptr)
                    writeFoldRow(fold->end - fold->first, settings.hexMode != 0, textWidth, y[side],
                                 paneX[side] + numberWidth + 1);
                else
                    writeNarrowText(blanks, textWidth, y[side], paneX[side] + numberWidth + 1,
                                    colourScheme.identical);
            }
            if (fold != nullptr) at = fold->end;
            continue;
        }
        const DiffRow& row = rows[at];
        const uint8_t* sideText[2] = {row.leftText, row.rightText};
        const uint32_t sideLength[2] = {row.leftLength, row.rightLength};
        // The units of this screen row on each side: the whole line unless wrapping.
        uint32_t end[2] = {sideLength[0], sideLength[1]};
        if (wrapping)
            for (int side = 0; side < 2; ++side)
                if (from[side] < sideLength[side])
                    end[side] =
                        wrappedRowEnd(sideText[side], sideLength[side], from[side], screen.wrap);
        if (numbers && showNumbers) {
            for (int side = 0; side < 2; ++side) {
                if (part == 0) {
                    const uint32_t number = side == 0 ? row.leftNumber : row.rightNumber;
                    writeNumberColumn(fileLineNumber(comparison, side, number), side, numberWidth,
                                      hexRowBytes, y[side], paneX[side] + 1, settings.hexMode != 0);
                } else {
                    // The side's own text goes on, or it has ended and its pane is padded.
                    writeContinuation(from[side] < sideLength[side], numberWidth, y[side],
                                      paneX[side] + 1);
                }
            }
        }
        if (text) {
            // The found text, in text rows: hex rows show their whole row found.
            const FoundText* found = shown.found;
            const bool foundHere = found != nullptr && !settings.hexMode &&
                                   found->from < found->to && found->row == at;
            int markedSide = foundHere ? found->side : -1;
            MarkedUnits mark;
            if (foundHere) {
                // Counted from the start of this screen row's units; none when they lie
                // elsewhere in a wrapped line.
                const int64_t first = from[markedSide];
                const int64_t last = end[markedSide];
                mark = {std::max<int64_t>(found->from, first) - first,
                        std::min<int64_t>(found->to, last) - first};
                if (wrapping && mark.from >= mark.to) markedSide = -1;
            }
            auto sideRow = [&](int side) {
                const uint32_t count = end[side] - std::min(from[side], end[side]);
                return buildSideText(side, sideText[side] + from[side] * unitBytes, count, hScroll,
                                     textWidth, settings, flags,
                                     markedSide == side ? &mark : nullptr);
            };
            SideRow left = sideRow(0);
            SideRow right = sideRow(1);
            int leftColumn = paneX[0] + numberWidth + 1;
            int rightColumn = paneX[1] + numberWidth + 1;
#if QVD_WIDE
            if (left.cells != nullptr)
                writeRowPair(left.cells, right.cells, row.match, textWidth, y[0], leftColumn, y[1],
                             rightColumn, settings, markedSide, mark);
            else
#endif
                writeRowPair(left.characters, right.characters, row.match, textWidth, y[0],
                             leftColumn, y[1], rightColumn, settings, markedSide, mark);
        }
        // On to the next screen row: the rest of this line, or the next row of the list.
        from[0] = std::max(from[0], end[0]);
        from[1] = std::max(from[1], end[1]);
        ++part;
        if (!wrapping || (from[0] >= sideLength[0] && from[1] >= sideLength[1])) {
            ++at; // a row of its own: the next one is shown, or starts a fold
            part = 0;
            from[0] = from[1] = 0;
        }
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
