#include "viewer/renderer.h"

#include "console/colourScheme.h"
#include "console/screen.h"
#include "console/settings.h"
#include "platform/charClass.h"
#include "platform/codePages.h"
#include "viewer/menu.h"
#include "viewer/rowFormat.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

// Row buffers, one set per pane, and the attributes shared by both panes so that a column has
// the same colour on both sides. Sized for the widest screen, so nothing is allocated while
// drawing.
uint8_t narrowRow[2][kRowCapacity];
#if QVD_WIDE
char16_t wideRow[2][kRowCapacity];
#endif
uint16_t cellAttributes[kRowCapacity];
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

// Builds one side's displayed text row of width cells and returns it.
const TChar* buildSideText(int side, const uint8_t* text, uint32_t length, uint32_t hScroll,
                           int width) {
    const DisplayTables& tables = displayTables();
    uint8_t* narrow = narrowRow[side];
    bool fileUtf16 = (settings.encodingFlags & (side == 0 ? kFile1Utf16 : kFile2Utf16)) != 0;
    if (settings.hexMode) {
#if QVD_WIDE
        if (fileUtf16) {
            char16_t* row = formatHexRowWide(wideRow[side], width, text, length / 2);
            // A UTF-16 file of odd size ends in a byte that is no whole unit: its two digits
            // still show, so no byte of the file is hidden from the hex view.
            uint32_t lone = length / 2;
            if ((length & 1) != 0 && width > 0 && lone < static_cast<uint32_t>(width - 1) / 6) {
                static constexpr char kDigits[] = "0123456789ABCDEF";
                row[5 * lone] = static_cast<char16_t>(kDigits[text[length - 1] >> 4]);
                row[5 * lone + 1] = static_cast<char16_t>(kDigits[text[length - 1] & 15]);
            }
            return row;
        }
#endif
        formatHexRow(narrow, width, text, length);
    } else {
        // Scrolled past the end of the line: an empty row, without forming a pointer beyond it.
        int64_t shown = int64_t{length} - hScroll;
        if (shown <= 0) shown = 0;
        uint32_t skip = shown > 0 ? hScroll : 0;
        if (settings.encodingFlags != 0) {
#if QVD_WIDE
            // Both texts are UTF-16 here (the decoder brings the other file to 16 bits); the
            // images come from the allocator, so their units are aligned.
            const auto* units = reinterpret_cast<const char16_t*>(text) + skip;
            return expandTextRow(wideRow[side], width, units, shown, settings.tabWidth,
                                 settings.compressWhiteSpace != 0);
#endif
        }
        expandTextRow(narrow, width, text + skip, shown, settings.tabWidth,
                      settings.compressWhiteSpace != 0);
    }
    (void)fileUtf16;
#if QVD_WIDE
    const auto& table = settings.ansiCharset ? tables.fromAnsi : tables.fromOem;
    char16_t* wide = wideRow[side];
    for (int j = 0; j < width; ++j) wide[j] = table[narrow[j]];
    return wide;
#else
    if (settings.ansiCharset)
        for (int j = 0; j < width; ++j) narrow[j] = tables.ansiToOemByte[narrow[j]];
    return reinterpret_cast<const TChar*>(narrow);
#endif
}

// The number column text of one side: a line number, a hex offset, or the missing-side marker.
void writeNumberColumn(uint32_t number, int right, int numberWidth, uint32_t hexRowBytes, int row,
                       int column) {
    static const char kMissing[] = "  -                 ";
    char formatted[48];
    const char* cells = formatted;
    if (number == 0) {
        cells = kMissing;
    } else if (settings.hexMode) {
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

bool sameDisplayedCell(TChar left, TChar right) {
    if (left == right) return true;
    if (!settings.ignoreCase) return false;
#if QVD_WIDE
    return lowerUnit(left) == lowerUnit(right);
#else
    const auto& lower = displayTables().lowerByte;
    return lower[static_cast<uint8_t>(left)] == lower[static_cast<uint8_t>(right)];
#endif
}

} // namespace

void renderPanes(const PaneLayout& layout, const DiffRow* rows, uint32_t hScroll, int redrawLevel,
                 uint32_t hexRowBytes, uint32_t largestNumber) {
    if (redrawLevel & kRedrawToggles) highlightToggleStates();
    const char* blanks = blankCells();
    PaneColumns columns = computePaneColumns(layout.paneWidth, hexRowBytes, largestNumber);
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
            writeNumberColumn(row.leftNumber, 0, numberWidth, hexRowBytes, paneY[0] + 1 + i,
                              paneX[0] + 1);
            writeNumberColumn(row.rightNumber, 1, numberWidth, hexRowBytes, paneY[1] + 1 + i,
                              paneX[1] + 1);
        }
        if (!text) continue;
        const TChar* left = buildSideText(0, row.leftText, row.leftLength, hScroll, textWidth);
        const TChar* right = buildSideText(1, row.rightText, row.rightLength, hScroll, textWidth);
        int leftColumn = paneX[0] + numberWidth + 1;
        int rightColumn = paneX[1] + numberWidth + 1;
        if (!settings.highlightDiffChars || row.match == 1) {
            uint16_t attribute = row.match == 1 ? colourScheme.identical : colourScheme.differing;
            writeBuildText(left, textWidth, paneY[0] + 1 + i, leftColumn, attribute);
            writeBuildText(right, textWidth, paneY[1] + 1 + i, rightColumn, attribute);
            continue;
        }
        for (int j = 0; j < textWidth; ++j)
            cellAttributes[j] = sameDisplayedCell(left[j], right[j]) ? colourScheme.matching
                                                                     : colourScheme.differing;
        writeCells(left, cellAttributes, textWidth, paneY[0] + 1 + i, leftColumn);
        writeCells(right, cellAttributes, textWidth, paneY[1] + 1 + i, rightColumn);
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
