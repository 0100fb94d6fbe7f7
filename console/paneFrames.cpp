#include "console/paneFrames.h"

#include "console/colourScheme.h"
#include "console/screen.h"

#include <algorithm>

namespace {

// Box characters: UTF-16 in moxa, code page 437 in moxaw.
struct BoxCharacters {
    TChar horizontal, vertical;
    TChar topLeft, topRight, bottomLeft, bottomRight;
    TChar teeLeft, teeRight, teeTop, teeBottom;
};

#if QVD_WIDE
constexpr BoxCharacters kBox = {u'\u2500', u'\u2502', u'\u250C', u'\u2510', u'\u2514',
                                u'\u2518', u'\u251C', u'\u2524', u'\u252C', u'\u2534'};
#else
constexpr BoxCharacters kBox = {'\xC4', '\xB3', '\xDA', '\xBF', '\xC0',
                                '\xD9', '\xC3', '\xB4', '\xC2', '\xC1'};
#endif

// One screen row of a frame, assembled before it is written in a single call.
TChar frameRow[kRowCapacity];

// Frames and names end at the screen's right edge: the colour setup draws its 80-column panes on
// narrower screens too.
void writeFrameText(const TChar* text, int count, int row, int column) {
    count = cellsWithinRow(column, count);
    if (count > 0) writeBuildText(text, count, row, column, colourScheme.frame);
}

// Fills frameRow with left, fill..., right over width cells; with a divider at dividerColumn
// when it lies strictly inside the row.
void buildFrameRow(int width, TChar left, TChar fill, TChar right, int dividerColumn,
                   TChar divider) {
    std::fill(frameRow, frameRow + width, fill);
    frameRow[0] = left;
    if (width > 1) frameRow[width - 1] = right;
    if (dividerColumn > 0 && dividerColumn < width - 1) frameRow[dividerColumn] = divider;
}

int nameLength(const TChar* name) {
    int length = 0;
    while (name[length] != 0) ++length;
    return length;
}

#if QVD_WIDE
// Units of the longest start of text[0..length) that takes at most columns columns, in whole
// characters.
int unitsWithin(const char16_t* text, int length, int columns) {
    int at = 0;
    while (at < length) {
        TextCluster cluster =
            readCluster(text, static_cast<size_t>(length), static_cast<size_t>(at));
        if (cluster.columns > columns) break;
        columns -= cluster.columns;
        at += cluster.units;
    }
    return at;
}

// Where the shortest end of text[0..length), which takes total columns, that takes at most
// columns columns begins, in whole characters.
int tailStartWithin(const char16_t* text, int length, int total, int columns) {
    int remaining = total;
    int at = 0;
    while (at < length && remaining > columns) {
        TextCluster cluster =
            readCluster(text, static_cast<size_t>(length), static_cast<size_t>(at));
        remaining -= cluster.columns;
        at += cluster.units;
    }
    return at;
}
#endif

} // namespace

void writeShortName(const TChar* name, int maxLength, int row, int column, uint16_t attribute) {
    TChar shortName[kShortNameCapacity];
    int length = shortenFileName(shortName, name, maxLength);
#if QVD_WIDE
    CellText cells[kNameFieldLimit];
    int count = layOutText(cells, kNameFieldLimit, shortName, static_cast<size_t>(length));
    count = std::min(cellsWithinRow(column, count), maxLength);
    if (count > 0) writeText(cells, count, row, column, attribute);
#else
    const int count = std::min(cellsWithinRow(column, length), maxLength);
    if (count > 0) writeNarrowText(shortName, count, row, column, attribute);
#endif
}

PaneLayout computePaneLayout(int width, int height, int horizontalSplit, bool menuShown) {
    int rows = std::max(menuShown ? height - 3 : height, 0);
    width = std::max(width, 0);
    if (horizontalSplit) return PaneLayout{0, 0, 0, rows / 2, (rows + 1) / 2, width};
    return PaneLayout{0, 0, width / 2, 0, rows, width / 2};
}

PaneLayout drawPaneFrames(int width, int height, int horizontalSplit, bool menuShown,
                          const TChar* name1, const TChar* name2) {
    PaneLayout layout = computePaneLayout(width, height, horizontalSplit, menuShown);
    int rows = std::max(menuShown ? height - 3 : height, 0);
    width = std::clamp(width, 0, kRowCapacity);

    clearScreen(colourScheme.frame);
    setCursorVisible(false);

    int divider = horizontalSplit ? -1 : layout.paneWidth;
    for (int row = 0; row < rows && width > 0; ++row) {
        if (row == 0)
            buildFrameRow(width, kBox.topLeft, kBox.horizontal, kBox.topRight, divider,
                          kBox.teeTop);
        else if (row == rows - 1)
            buildFrameRow(width, kBox.bottomLeft, kBox.horizontal, kBox.bottomRight, divider,
                          kBox.teeBottom);
        else if (horizontalSplit && row == layout.rightY)
            // The border between stacked panes is drawn with the menu hidden too: without it the
            // second name would float in an open frame.
            buildFrameRow(width, kBox.teeLeft, kBox.horizontal, kBox.teeRight, -1, 0);
        else
            buildFrameRow(width, kBox.vertical, ' ', kBox.vertical, divider, kBox.vertical);
        writeFrameText(frameRow, width, row, 0);
    }
    if (rows == 0) return layout;

    int maxLength = std::min(layout.paneWidth - 1, kNameFieldLimit);
    writeShortName(name1, maxLength, layout.leftY, layout.leftX + 1, colourScheme.frame);
    writeShortName(name2, maxLength, layout.rightY, layout.rightX + 1, colourScheme.frame);
    return layout;
}

int shortenFileName(TChar* out, const TChar* name, int maxLength) {
    maxLength = std::min(maxLength, kNameFieldLimit);
    out[0] = 0;
    if (maxLength < 5) return 0;
    int length = nameLength(name);
    // 3 * maxLength / 4 - 4 is negative for a field of five cells: the tail is then empty.
    int headColumns = maxLength / 4;
    int tailColumns = std::max(3 * maxLength / 4 - 4, 0);
#if QVD_WIDE
    const auto total = static_cast<int>(textColumns(name, static_cast<size_t>(length)));
    bool fits = total < maxLength;
    int head = fits ? length : unitsWithin(name, length, headColumns);
    int tailStart = fits ? length : tailStartWithin(name, length, total, tailColumns);
#else
    bool fits = length < maxLength;
    int head = fits ? length : headColumns;
    int tailStart = fits ? length : length - tailColumns;
#endif
    TChar* end = std::copy(name, name + head, out);
    if (!fits) {
        *end++ = '.';
        *end++ = '.';
        *end++ = '.';
        end = std::copy(name + tailStart, name + length, end);
    }
    *end = 0;
    return static_cast<int>(end - out);
}
