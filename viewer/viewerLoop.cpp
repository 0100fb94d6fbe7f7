#include "viewer/viewerLoop.h"

#include "console/colourScheme.h"
#include "console/colourSetup.h"
#include "console/helpPager.h"
#include "console/helpPages.h"
#include "console/keyReader.h"
#include "console/settings.h"
#include "platform/parallel.h"
#include "platform/terminal.h"
#include "viewer/menu.h"
#include "viewer/renderer.h"
#include "viewer/rowFormat.h"
#include "viewer/viewKeys.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

// A comparison of this many rows or fewer fits without scrolling.
constexpr uint32_t kRowsWithoutScrolling = 5;

// Largest horizontal scroll, in characters.
constexpr uint32_t kMaxHScroll = 8192;

constexpr int kRedrawRows = kRedrawNumbers | kRedrawText;

} // namespace

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
    int redrawLevel = kRedrawRows;
    uint32_t topRow = 0;
    uint32_t maxTopRow = 0;
    uint32_t hScroll = 0;
    uint32_t savedTextTopRow = 0;
    int exitCode = 0; // set by a key that ends the view
    // The whole comparison being built behind a first screen shown from the files' beginnings:
    // it alone touches tables.comparison until finishBuild.
    std::optional<HelperThread> builder{};
    bool built = true; // what the builder's build gave

    // One pass up to the wait for a key; false when the tables could not be built.
    [[nodiscard]] bool prepareScreen();
    [[nodiscard]] bool rebuild();
    // Shows the first screen of a long comparison from the beginnings of the files, before the
    // whole of it is built; false when it cannot be had that way.
    bool showFirstRows(const EngineRules& rules);
    // New tables when asked, then the list: false when memory ran out.
    [[nodiscard]] bool buildComparison(const EngineRules& rules, bool newTables);
    // Waits for the builder, if any, and takes its list; false when its build failed.
    [[nodiscard]] bool finishBuild();
    // The top rows the list allows, and the top row within them.
    void settleRows();
    void draw(const DiffRow* list);
    // Acts on one key by the key table.
    void act(int code);

    const DiffRow* rows() const { return tables.comparison.rows.get(); }
    // Puts row at the top; false when it is there already.
    bool moveTop(uint32_t row) {
        if (row == topRow) return false;
        topRow = row;
        return true;
    }
    uint32_t pageStep() const {
        // A pane of fewer than four rows still pages by one row rather than by none or backwards.
        return static_cast<uint32_t>(std::max(layout.paneHeight - 3, 1));
    }
};

namespace {

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

// The actions of the key table. Each returns false when its condition did not hold.

bool quit(Viewer& viewer, const ViewKey&, int) {
    viewer.exitCode = kViewerQuit;
    return true;
}

bool interrupt(Viewer& viewer, const ViewKey&, int) {
    viewer.exitCode = kViewerInterrupted;
    return true;
}

bool flipSetting(Viewer&, const ViewKey& key, int) {
    settings.*key.toggle ^= 1;
    return true;
}

bool nextBlock(Viewer& viewer, const ViewKey&, int) {
    return viewer.topRow < viewer.maxTopRow &&
           viewer.moveTop(nextDifferenceBlock(viewer.rows(), viewer.topRow, viewer.maxTopRow));
}

bool previousBlock(Viewer& viewer, const ViewKey&, int) {
    return viewer.topRow > 0 &&
           viewer.moveTop(previousDifferenceBlock(viewer.rows(), viewer.topRow));
}

bool setTabWidth(Viewer&, const ViewKey&, int code) {
    settings.tabWidth = code - '0';
    return true;
}

bool toggleHexMode(Viewer& viewer, const ViewKey&, int) {
    settings.hexMode ^= 1;
    if (settings.hexMode) {
        viewer.savedTextTopRow = viewer.topRow;
        uint32_t offset =
            viewer.rows() ? topLineOffset(viewer.rows()[viewer.topRow], viewer.left, viewer.right)
                          : 0;
        viewer.topRow = offset / viewer.hexRowBytes; // hexRowBytes is never 0
    } else if (viewer.savedTextTopRow < viewer.maxTopRow) {
        viewer.topRow = viewer.savedTextTopRow;
    }
    viewer.hScroll &= ~1u;
    return true;
}

bool toggleLineNumbers(Viewer&, const ViewKey&, int) {
    if (settings.hexMode) return false; // hex offsets are always shown
    settings.hideLineNumbers ^= 1;
    return true;
}

bool toggleSplit(Viewer& viewer, const ViewKey&, int) {
    settings.horizontalSplit ^= 1;
    if (settings.hexMode) {
        // The hex row width about doubles when the panes come to stand one above the other.
        viewer.topRow = settings.horizontalSplit ? viewer.topRow / 2 : viewer.topRow * 2;
        viewer.rebuildFlags |= kRebuildTables | kRebuildList;
    }
    return true;
}

bool toggleTallDisplay(Viewer& viewer, const ViewKey&, int) {
    viewer.wantedSize.height = tallToggleHeight(viewer.wantedSize.height, viewer.startupHeight);
    return true;
}

bool pageUp(Viewer& viewer, const ViewKey&, int) {
    return viewer.moveTop(viewer.topRow - std::min(viewer.topRow, viewer.pageStep()));
}

bool pageDown(Viewer& viewer, const ViewKey&, int) {
    uint64_t row =
        std::min(uint64_t{viewer.topRow} + viewer.pageStep(), uint64_t{viewer.maxTopRow});
    return viewer.topRow < viewer.maxTopRow && viewer.moveTop(static_cast<uint32_t>(row));
}

bool goToEnd(Viewer& viewer, const ViewKey&, int) {
    return viewer.topRow < viewer.maxTopRow && viewer.moveTop(viewer.maxTopRow);
}

bool goHome(Viewer& viewer, const ViewKey&, int) {
    // The first Home goes back to column 0, the next to the first row.
    if (viewer.hScroll > 0) {
        viewer.hScroll = 0;
        return true;
    }
    return viewer.moveTop(0);
}

bool rowUp(Viewer& viewer, const ViewKey&, int) {
    return viewer.topRow > 0 && viewer.moveTop(viewer.topRow - 1);
}

bool rowDown(Viewer& viewer, const ViewKey&, int) {
    return viewer.topRow < viewer.maxTopRow && viewer.moveTop(viewer.topRow + 1);
}

bool scrollLeft(Viewer& viewer, const ViewKey&, int) {
    // Hex rows do not scroll; Left there only lowers the text view's remembered position.
    uint32_t step = settings.hexMode ? 1 : 2;
    if (viewer.hScroll < step) return false;
    viewer.hScroll -= step;
    return true;
}

bool scrollRight(Viewer& viewer, const ViewKey&, int) {
    if (settings.hexMode || viewer.hScroll >= kMaxHScroll) return false;
    viewer.hScroll += 2;
    return true;
}

// The help and the colour setup read their own keys, a terminal resize among them: the view is
// laid out afterwards for the size the console has then.
bool openHelp(Viewer& viewer, const ViewKey&, int) {
    showHelp(mainHelpPages, viewer.wantedSize.height);
    viewer.wantedSize = getScreenSize(false);
    return true;
}

bool openColourSetup(Viewer& viewer, const ViewKey&, int) {
    // 2 writes qvd.ini, 1 deletes it. Where the directory cannot be written the colours last for
    // this run only; the setup's help says so.
    if (const int result = runColourSetup(); result != kColourSetupAborted)
        (void)saveColourScheme(result);
    viewer.wantedSize = getScreenSize(false);
    return true;
}

bool stepWidth(Viewer& viewer, const ViewKey&, int) {
    viewer.wantedSize.width = nextScreenWidth(viewer.wantedSize.width);
    // Hex rows follow the pane width.
    viewer.rebuildFlags |= settings.hexMode ? kRebuildTables : kRebuildList;
    return true;
}

bool stepHeight(Viewer& viewer, const ViewKey&, int) {
    viewer.wantedSize.height = nextScreenHeight(viewer.wantedSize.height);
    return true;
}

bool followTerminalSize(Viewer& viewer, const ViewKey&, int) {
    // The console already has the terminal's new size: the view is laid out for it.
    viewer.wantedSize = getScreenSize(false);
    return true;
}

const ViewKey kViewKeys[] = {
    {.codes = {kKeyEnter, kKeyEscape, 'Q', 'q'}, .action = quit},
    {.codes = {kKeyCtrlC}, .action = interrupt},
    {.codes = {' ', '+'}, .action = nextBlock, .redraw = kRedrawRows},
    {.codes = {'-'}, .action = previousBlock, .redraw = kRedrawRows},
    {.codes = {'1', '2', '3', '4', '5', '6', '7', '8', '9'},
     .action = setTabWidth,
     .redraw = kRedrawText},
    {.codes = {'C', 'c'},
     .action = flipSetting,
     .rebuild = kRebuildList | kRebuildToggles,
     .toggle = &Settings::ignoreCase,
     .menuWord = QVD_T("Case")},
    {.codes = {'D', 'd'},
     .action = flipSetting,
     .redraw = kRedrawText | kRedrawToggles,
     .toggle = &Settings::highlightDiffChars,
     .menuWord = QVD_T("Diff")},
    {.codes = {'E', 'e'},
     .action = flipSetting,
     .rebuild = kRebuildTables | kRebuildList | kRebuildToggles,
     .toggle = &Settings::suppressEmptyLines,
     .menuWord = QVD_T("Empty")},
    {.codes = {'H', 'h'}, .action = toggleHexMode, .rebuild = kRebuildTables | kRebuildList},
    {.codes = {'L', 'N', 'l', 'n'}, .action = toggleLineNumbers, .redraw = kRedrawRows},
    {.codes = {'M', 'm'}, .action = flipSetting, .resize = true, .toggle = &Settings::hideMenu},
    {.codes = {'O', 'o'},
     .action = flipSetting,
     .redraw = kRedrawText | kRedrawToggles,
     .toggle = &Settings::ansiCharset,
     .menuWord = QVD_T("OEM"),
     .litWhenClear = true},
    {.codes = {'S', 's'}, .action = toggleSplit, .layout = true},
    {.codes = {'T', 't'}, .action = toggleTallDisplay, .resize = true},
    {.codes = {'W', 'w'},
     .action = flipSetting,
     .rebuild = kRebuildList | kRebuildToggles,
     .toggle = &Settings::compressWhiteSpace,
     .menuWord = QVD_T("White")},
    {.codes = {kKeyPageUp}, .action = pageUp, .redraw = kRedrawRows},
    {.codes = {kKeyPageDown}, .action = pageDown, .redraw = kRedrawRows},
    {.codes = {kKeyEnd}, .action = goToEnd, .redraw = kRedrawRows},
    {.codes = {kKeyHome}, .action = goHome, .redraw = kRedrawRows},
    {.codes = {kKeyLeft}, .action = scrollLeft, .redraw = kRedrawText},
    {.codes = {kKeyUp}, .action = rowUp, .redraw = kRedrawRows},
    {.codes = {kKeyRight}, .action = scrollRight, .redraw = kRedrawText},
    {.codes = {kKeyDown}, .action = rowDown, .redraw = kRedrawRows},
    {.codes = {kKeyF1}, .action = openHelp, .layout = true},
    {.codes = {kKeyAltF8}, .action = stepWidth, .resize = true},
    {.codes = {kKeyAltF9}, .action = stepHeight, .resize = true},
    {.codes = {kKeyAltF10}, .action = openColourSetup, .layout = true},
    {.codes = {kKeyScreenResized}, .action = followTerminalSize, .layout = true},
};

} // namespace

const std::span<const ViewKey> viewKeys(kViewKeys);

const ViewKey* findViewKey(int code) {
    if (code == 0) return nullptr; // the padding of the code lists
    for (const ViewKey& key : viewKeys)
        if (std::find(std::begin(key.codes), std::end(key.codes), code) != std::end(key.codes))
            return &key;
    return nullptr;
}

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
        redrawLevel = kRedrawRows;
        layoutPending = false;
        hexRowBytes =
            computeHexRowBytes(layout.paneWidth, settings.offsetDigits, settings.encodingFlags);
        // Any change of the pane width in hex mode (a size key, the split, a terminal resize)
        // means rows of another width: the tables are cut anew.
        if (settings.hexMode && hexRowBytes != tableRowBytes) rebuildFlags |= kRebuildTables;
    }
    if (rebuildFlags != 0 && !rebuild()) return false;
    if (redrawLevel != 0) draw(rows());
    return true;
}

bool Viewer::rebuild() {
    // The rules in force now: the keys have just changed the settings they come from.
    const EngineRules rules = currentEngineRules();
    const bool newTables = (rebuildFlags & kRebuildTables) != 0;
    if (newTables) tableRowBytes = settings.hexMode ? hexRowBytes : 0;
    redrawLevel = (rebuildFlags & kRebuildToggles) | kRedrawRows;
    rebuildFlags = 0;
    // New tables mean a pass over both files. At the top of a long comparison the screen comes
    // from their beginnings, and the whole is built on a helper thread while that screen is on
    // show: Ctrl-C and Ctrl-Z act at once, other keys wait for the build. The screen holds
    // exactly what the whole comparison gives it, so it is not drawn again.
    if (newTables && topRow == 0 && showFirstRows(rules)) {
        redrawLevel = 0;
        builder.emplace([this, rules] { built = buildComparison(rules, true); });
        return true;
    }
    if (!buildComparison(rules, newTables)) return false;
    settleRows();
    return true;
}

bool Viewer::buildComparison(const EngineRules& rules, bool newTables) {
    Comparison& comparison = tables.comparison;
    if (newTables && !buildLineTables(comparison, left, right, hexRowBytes, rules)) return false;
    return buildRows(comparison, rules);
}

bool Viewer::finishBuild() {
    if (!builder) return true;
    builder.reset();
    if (!built) return false;
    settleRows();
    return true;
}

void Viewer::settleRows() {
    uint32_t rowCount = tables.comparison.rowCount;
    maxTopRow = rowCount > kRowsWithoutScrolling ? rowCount - kRowsWithoutScrolling : 0;
    topRow = std::min(topRow, maxTopRow);
}

bool Viewer::showFirstRows(const EngineRules& rules) {
    // A bar of `bar` cells over more than bar x page positions has a one-cell thumb at its start
    // when the view is at the top, however many positions there are: rows enough for that and
    // for the panes make a screen that the whole list draws alike.
    uint64_t bar = static_cast<uint64_t>(std::max(layout.paneWidth - 2, 0));
    uint64_t page = static_cast<uint64_t>(std::max(layout.paneHeight, 0));
    uint64_t wanted = bar * page + 1 + kRowsWithoutScrolling + page;
    // A screen so large that its rows would take a good part of most files is built whole.
    if (wanted > (1u << 20)) return false;
    FirstRows first;
    if (!buildFirstRows(first, left, right, hexRowBytes, rules, static_cast<uint32_t>(wanted)))
        return false;
    maxTopRow = first.settledRows - kRowsWithoutScrolling; // no more than the whole list has
    draw(first.comparison.rows.get());
    presentConsole();
    return true;
}

void Viewer::draw(const DiffRow* list) {
    renderPanes(layout, list + topRow, hScroll, redrawLevel, hexRowBytes);
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

void Viewer::act(int code) {
    const ViewKey* key = findViewKey(code);
    if (!key || !key->action(*this, *key, code)) return; // nothing changed: nothing is drawn
    rebuildFlags |= key->rebuild;
    redrawLevel |= key->redraw;
    resizePending = resizePending || key->resize;
    layoutPending = layoutPending || key->layout;
}

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
        int code = readKey() & 0xFFFF;
        if (!viewer.finishBuild()) return kViewerOutOfMemory;
        viewer.act(code);
        if (viewer.exitCode != 0) return viewer.exitCode;
    }
}
