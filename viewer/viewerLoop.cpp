#include "viewer/viewerLoop.h"

#include "app/settings.h"
#include "console/colourScheme.h"
#include "console/colourSetup.h"
#include "console/helpPager.h"
#include "console/helpPages.h"
#include "console/keyReader.h"
#include "viewer/menu.h"
#include "viewer/renderer.h"
#include "viewer/rowFormat.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Bits of the rebuild flags.
constexpr int kRebuildTables = 1;  // both line tables (and so the list)
constexpr int kRebuildList = 2;    // the aligned list
constexpr int kRebuildToggles = 4; // and the toggle letters of the menu afterwards

// Key codes of Ctrl with a letter: the control character plus the Ctrl flag.
constexpr int kKeyCtrlC = 2048 + 3;

// A comparison of this many rows or fewer fits without scrolling.
constexpr uint32_t kRowsWithoutScrolling = 5;

// Largest horizontal scroll, in characters.
constexpr uint32_t kMaxHScroll = 8192;

struct Viewer {
    const ViewerFile& left;
    const ViewerFile& right;
    ViewerTables& tables;

    ScreenSize wantedSize;
    int16_t startupHeight;
    bool resizePending;
    bool layoutPending = true;
    PaneLayout layout{};
    uint32_t hexRowBytes = 1;
    uint32_t tableRowBytes = 0; // hexRowBytes the hex tables were cut with
    int rebuildFlags = kRebuildTables | kRebuildList;
    int redrawLevel = kRedrawNumbers | kRedrawText;
    uint32_t topRow = 0;
    uint32_t maxTopRow = 0;
    uint32_t hScroll = 0;
    uint32_t savedTextTopRow = 0;

    // One pass up to the wait for a key; false when the tables could not be built.
    [[nodiscard]] bool prepareScreen();
    [[nodiscard]] bool rebuild();
    void draw();
    // Acts on one key; returns an exit code, or 0 to go on.
    int act(int code);

    void toggleHexMode();
    uint32_t pageStep() const {
        // A pane of fewer than four rows still pages by one row rather than by none or backwards.
        return static_cast<uint32_t>(std::max(layout.paneHeight - 3, 1));
    }
};

bool Viewer::prepareScreen() {
    if (resizePending) {
        wantedSize = setScreenSize(wantedSize);
        resizePending = false;
        layoutPending = true;
    }
    if (layoutPending) {
        layout = drawLayoutAndMenu(wantedSize.width, wantedSize.height, settings.horizontalSplit,
                                   left.name, right.name);
        tables.viewerShown = true;
        redrawLevel = kRedrawNumbers | kRedrawText;
        layoutPending = false;
        hexRowBytes =
            computeHexRowBytes(layout.paneWidth, settings.offsetDigits, settings.encodingFlags);
        // Any change of the pane width in hex mode (a size key, the split, a terminal resize)
        // means rows of another width: the tables are cut anew.
        if (settings.hexMode && hexRowBytes != tableRowBytes) rebuildFlags |= kRebuildTables;
    }
    if (rebuildFlags != 0 && !rebuild()) return false;
    if (redrawLevel != 0) draw();
    return true;
}

bool Viewer::rebuild() {
    if (rebuildFlags & kRebuildTables) {
        std::free(tables.leftTable);
        std::free(tables.rightTable);
        tables.leftTable = tables.rightTable = nullptr;
        if (settings.hexMode) {
            auto mode = -static_cast<int32_t>(hexRowBytes);
            tables.leftTable = buildLineTable(left.raw, left.rawSize, mode);
            if (tables.leftTable)
                tables.rightTable = buildLineTable(right.raw, right.rawSize, mode);
            tableRowBytes = hexRowBytes;
        } else {
            uint32_t flags = kWideBuild ? settings.encodingFlags : 0;
            int32_t leftMode = (flags & 0x07) ? kMode16Bit : kMode8Bit;
            int32_t rightMode = (flags & 0x70) ? kMode16Bit : kMode8Bit;
            tables.leftTable = buildLineTable(left.text, left.textSize, leftMode);
            if (tables.leftTable)
                tables.rightTable = buildLineTable(right.text, right.textSize, rightMode);
            tableRowBytes = 0;
        }
        if (!tables.leftTable || !tables.rightTable) return false;
    }
    std::free(tables.diffList);
    uint32_t rowCount = 0;
    tables.diffList = buildDiffList(tables.leftTable, tables.rightTable, rowCount);
    if (!tables.diffList) return false;
    maxTopRow = rowCount > kRowsWithoutScrolling ? rowCount - kRowsWithoutScrolling : 0;
    topRow = std::min(topRow, maxTopRow);
    redrawLevel = (rebuildFlags & kRebuildToggles) | kRedrawNumbers | kRedrawText;
    rebuildFlags = 0;
    return true;
}

void Viewer::draw() {
    renderPanes(layout, tables.diffList + topRow, hScroll, redrawLevel, hexRowBytes);
    redrawLevel = 0;
    if (layout.paneWidth <= 2 || layout.paneHeight < 1) return;
    // The bars lie in the bottom border: the last row of the panes.
    auto barRow = static_cast<uint32_t>(layout.rightY + layout.paneHeight - 1);
    auto barLength = static_cast<uint32_t>(layout.paneWidth - 2);
    auto page = static_cast<uint32_t>(layout.paneHeight);
    if (!settings.horizontalSplit)
        drawScrollIndicator(static_cast<uint32_t>(layout.leftX + 1), barRow, barLength, 1,
                            maxTopRow, page, topRow);
    drawScrollIndicator(static_cast<uint32_t>(layout.rightX + 1), barRow, barLength, 1, maxTopRow,
                        page, topRow);
}

// The offset in the text image of the line at the top row, in bytes of the file: a text that
// was converted to 16 bits from UTF-8 or ANSI counts each unit as about one byte.
uint32_t topLineOffset(const DiffRow& row, const ViewerFile& left, const ViewerFile& right) {
    if (row.leftText == nullptr) return 0; // the end of an empty list
    uint32_t flags = kWideBuild ? settings.encodingFlags : 0;
    if (row.leftNumber != 0) {
        auto offset = static_cast<uint32_t>(row.leftText - left.text);
        return (flags & (kFile1Utf8 | kFile1Ansi)) ? offset / 2 : offset;
    }
    auto offset = static_cast<uint32_t>(row.rightText - right.text);
    return (flags & (kFile2Utf8 | kFile2Ansi)) ? offset / 2 : offset;
}

void Viewer::toggleHexMode() {
    settings.hexMode ^= 1;
    if (settings.hexMode) {
        savedTextTopRow = topRow;
        uint32_t offset = tables.diffList ? topLineOffset(tables.diffList[topRow], left, right) : 0;
        topRow = offset / hexRowBytes; // hexRowBytes is never 0
    } else if (savedTextTopRow < maxTopRow) {
        topRow = savedTextTopRow;
    }
    rebuildFlags = kRebuildTables | kRebuildList;
    hScroll &= ~1u;
}

int Viewer::act(int code) {
    switch (code) {
    case kKeyEnter:
    case kKeyEscape:
    case 'Q':
    case 'q':
        return kViewerQuit;
    case kKeyCtrlC:
        return kViewerInterrupted;
    case ' ':
    case '+':
        if (topRow < maxTopRow) {
            topRow = nextDifferenceBlock(tables.diffList, topRow, maxTopRow);
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case '-':
        if (topRow > 0) {
            topRow = previousDifferenceBlock(tables.diffList, topRow);
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
        settings.tabWidth = code - '0';
        redrawLevel = kRedrawText;
        break;
    case 'C':
    case 'c':
        settings.ignoreCase ^= 1;
        rebuildFlags = kRebuildList | kRebuildToggles;
        break;
    case 'D':
    case 'd':
        settings.highlightDiffChars ^= 1;
        redrawLevel = kRedrawText | kRedrawToggles;
        break;
    case 'E':
    case 'e':
        settings.suppressEmptyLines ^= 1;
        rebuildFlags = kRebuildTables | kRebuildList | kRebuildToggles;
        break;
    case 'H':
    case 'h':
        toggleHexMode();
        break;
    case 'L':
    case 'N':
    case 'l':
    case 'n':
        if (!settings.hexMode) {
            settings.hideLineNumbers ^= 1;
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case 'M':
    case 'm':
        settings.hideMenu ^= 1;
        resizePending = true;
        break;
    case 'O':
    case 'o':
        settings.ansiCharset ^= 1;
        redrawLevel = kRedrawText | kRedrawToggles;
        break;
    case 'S':
    case 's':
        settings.horizontalSplit ^= 1;
        if (settings.hexMode) {
            // The hex row width about doubles when the panes come to stand one above the other.
            topRow = settings.horizontalSplit ? topRow / 2 : topRow * 2;
            rebuildFlags = kRebuildTables | kRebuildList;
        }
        layoutPending = true;
        break;
    case 'T':
    case 't':
        wantedSize.height = tallToggleHeight(wantedSize.height, startupHeight);
        resizePending = true;
        break;
    case 'W':
    case 'w':
        settings.compressWhiteSpace ^= 1;
        rebuildFlags = kRebuildList | kRebuildToggles;
        break;
    case kKeyPageUp:
        if (topRow > 0) {
            topRow -= std::min(topRow, pageStep());
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case kKeyPageDown:
        if (topRow < maxTopRow) {
            topRow =
                static_cast<uint32_t>(std::min(uint64_t{topRow} + pageStep(), uint64_t{maxTopRow}));
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case kKeyEnd:
        if (topRow < maxTopRow) {
            topRow = maxTopRow;
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case kKeyHome:
        if (hScroll > 0) {
            hScroll = 0;
            redrawLevel = kRedrawNumbers | kRedrawText;
        } else if (topRow > 0) {
            topRow = 0;
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case kKeyLeft:
        if (!settings.hexMode && hScroll > 1) {
            hScroll -= 2;
            redrawLevel = kRedrawText;
        } else if (settings.hexMode && hScroll > 0) {
            // Hex rows do not scroll; this only lowers the text view's remembered position.
            hScroll -= 1;
            redrawLevel = kRedrawText;
        }
        break;
    case kKeyUp:
        if (topRow > 0) {
            topRow -= 1;
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case kKeyRight:
        if (hScroll < kMaxHScroll && !settings.hexMode) {
            hScroll += 2;
            redrawLevel = kRedrawText;
        }
        break;
    case kKeyDown:
        if (topRow < maxTopRow) {
            topRow += 1;
            redrawLevel = kRedrawNumbers | kRedrawText;
        }
        break;
    case kKeyF1:
        showHelp(mainHelpPages, wantedSize.height);
        // The help and the colour setup read their own keys, a terminal resize among them: lay
        // the view out for the size the console has now.
        wantedSize = getScreenSize(false);
        layoutPending = true;
        break;
    case kKeyAltF8:
        wantedSize.width = nextScreenWidth(wantedSize.width);
        resizePending = true;
        rebuildFlags = settings.hexMode ? kRebuildTables : kRebuildList;
        break;
    case kKeyAltF9:
        wantedSize.height = nextScreenHeight(wantedSize.height);
        resizePending = true;
        break;
    case kKeyAltF10:
        // 2 writes qvd.ini, 1 deletes it. Where the directory cannot be written the colours
        // last for this run only; the setup's help says so.
        if (const int result = runColourSetup(); result != kColourSetupAborted) {
            (void)saveColourScheme(result);
        }
        wantedSize = getScreenSize(false);
        layoutPending = true;
        break;
    case kKeyScreenResized:
        // The console already has the terminal's new size: lay the view out for it.
        wantedSize = getScreenSize(false);
        layoutPending = true;
        break;
    default:
        break; // every other key is ignored and draws nothing
    }
    return 0;
}

} // namespace

uint32_t nextDifferenceBlock(const DiffRow* rows, uint32_t topRow, uint32_t maxTopRow) {
    if (topRow >= maxTopRow) return topRow;
    // Leave the block the view starts in, then skip the matching rows after it.
    while (topRow < maxTopRow - 1 && rows[topRow].match == 0) ++topRow;
    do ++topRow;
    while (topRow < maxTopRow && rows[topRow].match == 1);
    return topRow;
}

uint32_t previousDifferenceBlock(const DiffRow* rows, uint32_t topRow) {
    if (topRow == 0) return 0;
    while (topRow > 1 && rows[topRow].match == 0) --topRow;
    do --topRow;
    while (topRow > 0 && rows[topRow].match == 1);
    return topRow;
}

int runViewer(const ViewerFile& left, const ViewerFile& right, ScreenSize requestedSize,
              bool resizePending, ViewerTables& tables) {
    Viewer viewer{left, right, tables, requestedSize, requestedSize.height, resizePending};
    for (;;) {
        if (!viewer.prepareScreen()) return kViewerOutOfMemory;
        int exitCode = viewer.act(readKey() & 0xFFFF);
        if (exitCode != 0) return exitCode;
    }
}

void freeViewerTables(ViewerTables& tables) {
    std::free(tables.leftTable);
    std::free(tables.rightTable);
    std::free(tables.diffList);
    tables.leftTable = tables.rightTable = nullptr;
    tables.diffList = nullptr;
}
