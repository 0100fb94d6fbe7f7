#include "viewer/viewerLoop.h"

#include "console/colourScheme.h"
#include "console/colourSetup.h"
#include "console/helpPager.h"
#include "console/helpPages.h"
#include "console/keyReader.h"
#include "console/settings.h"
#include "platform/codePages.h"
#include "platform/parallel.h"
#include "platform/terminal.h"
#include "viewer/menu.h"
#include "viewer/renderer.h"
#include "viewer/rowFormat.h"
#include "viewer/rowSearch.h"
#include "viewer/viewKeys.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace {

// A comparison of this many rows or fewer fits without scrolling.
constexpr uint32_t kRowsWithoutScrolling = 5;

// Largest horizontal scroll, in characters, unless a line of the list is wider.
constexpr uint32_t kMaxHScroll = 8192;

// Most characters a prompt takes: a search text, or the digits of a line number or offset.
constexpr size_t kSearchCapacity = 256;
constexpr size_t kNumberCapacity = 10;

constexpr int kRedrawRows = kRedrawNumbers | kRedrawText;

} // namespace

// What the last screen row holds while a prompt is open.
enum class Prompt {
    none,
    search,   // "/": a text to find
    goToLine, // ":": a line number (a hex offset in hex mode)
};

struct Viewer {
    ViewerFile left; // replaced by a reload
    ViewerFile right;
    ViewerTables& tables;
    const ReloadFiles& reload;

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
    uint32_t maxHScroll = kMaxHScroll; // the widest line of the list, at least kMaxHScroll
    uint32_t largestNumber = 0;        // the largest line number of the list (number column)
    uint32_t savedTextTopRow = 0;
    int exitCode = 0; // set by a key that ends the view
    // The whole comparison being built behind a first screen shown from the files' beginnings:
    // it alone touches tables.comparison until finishBuild.
    std::optional<HelperThread> builder{};
    bool built = true;                  // what the builder's build gave
    std::atomic<bool> stopBuild{false}; // tells the builder to give up

    // The last screen row: a prompt being typed, or a message that stays until the next key.
    Prompt prompt = Prompt::none;
    std::u16string promptText{};
    std::u16string message{};
    uint16_t messageAttribute = 0;
    std::u16string lastSearch{}; // the text of the last search; empty before the first
    // The row the last search found and the top row it gave: a search goes on from that row while
    // the view stands there (a row near the end of the list never comes to the top).
    int64_t foundRow = -1;
    uint32_t foundTopRow = 0;
    // After a reload, the line (side 0 left, 1 right, and its number) that goes to the top again.
    bool anchorPending = false;
    int anchorSide = 0;
    uint32_t anchorNumber = 0;

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
    // Stops the builder, if any, and waits for it: nothing of its build is kept. For keys that
    // end the view, which then never wait for a build they would not use.
    void abandonBuild();
    // The top rows the list allows, and the top row within them; with newTables, the widest line.
    void settleRows(bool newTables);
    void draw(const DiffRow* list);
    void drawLastRow();
    // Acts on one key by the key table, or on the prompt while one is open, once the builder
    // has finished (a quit key stops it instead); exitCode is set when the view ends.
    void act(int code);
    void editPrompt(int code);
    void closePrompt();
    void showMessage(std::u16string text, uint16_t attribute);
    // Puts the next row (the previous one when upward) that shows text at the top; says so when
    // none does.
    void search(const std::u16string& text, bool upward);
    void goToLine(const std::u16string& digits);
    // The first row holding a line of side `side` numbered `number` or more; maxTopRow if none.
    uint32_t rowOfLine(int side, uint32_t number) const;
    // How far Right scrolls: to the end of the widest line of the list, at least kMaxHScroll.
    uint32_t widestLine() const;

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
    if (settings.hexMode || viewer.hScroll >= viewer.maxHScroll) return false;
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
    // 2 writes qvd.ini, 1 deletes it. When that cannot be done anywhere the user is told so
    // before the view comes back: the colours then last for this run only.
    if (const int result = runColourSetup();
        result != kColourSetupAborted && !saveColourScheme(result))
        showColourFileFailure(result);
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

bool openSearchPrompt(Viewer& viewer, const ViewKey&, int) {
    viewer.prompt = Prompt::search;
    viewer.promptText.clear();
    return true;
}

bool openLinePrompt(Viewer& viewer, const ViewKey&, int) {
    viewer.prompt = Prompt::goToLine;
    viewer.promptText.clear();
    return true;
}

bool searchAgain(Viewer& viewer, const ViewKey&, int code) {
    if (viewer.lastSearch.empty()) return false;
    viewer.search(viewer.lastSearch, code == kKeyShiftF3);
    return true;
}

// The file names as the frames show them, for messages.
std::u16string shownName(const TChar* name) {
    std::u16string text;
    for (const TChar* at = name; *at != 0; ++at) {
        if constexpr (kWideBuild)
            text += static_cast<char16_t>(*at);
        else
            text += oemToUnicode(static_cast<uint8_t>(*at));
    }
    return text;
}

bool reloadFiles(Viewer& viewer, const ViewKey&, int) {
    if (!viewer.reload) return false;
    // The line at the top now goes to the top again once the files are read.
    if (viewer.rows() && viewer.topRow < viewer.tables.comparison.rowCount) {
        const DiffRow& top = viewer.rows()[viewer.topRow];
        viewer.anchorSide = top.leftNumber != 0 ? 0 : 1;
        viewer.anchorNumber = top.leftNumber != 0 ? top.leftNumber : top.rightNumber;
        viewer.anchorPending = true;
    }
    const int result = viewer.reload(viewer.left, viewer.right);
    if (result != 0) {
        viewer.anchorPending = false;
        if (result == kViewerOutOfMemory) {
            viewer.showMessage(u"Out of memory", colourScheme.differing);
        } else {
            const TChar* name = result == 1 ? viewer.left.name : viewer.right.name;
            const auto digit = static_cast<char16_t>(u'0' + result);
            viewer.showMessage(u"Can't load file " + std::u16string(1, digit) + u" (" +
                                   shownName(name) + u")",
                               colourScheme.differing);
        }
        return false;
    }
    // The comparison points into the old images, which the reload has freed: it goes unread.
    viewer.tables.comparison = Comparison{};
    viewer.foundRow = -1;
    return true;
}

bool toggleLongRuns(Viewer& viewer, const ViewKey&, int) {
    settings.longRuns ^= 1;
    // The menu has no letter for it: the last row says what the key did.
    viewer.showMessage(settings.longRuns ? u"Long runs on" : u"Long runs off", colourScheme.frame);
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
    // Desktops and terminals take F1, F10 and Alt with F8 to F10 for themselves (help, menu,
    // window size, console switching): each of these commands has a second key that reaches it.
    {.codes = {kKeyF1, '?'}, .action = openHelp, .layout = true},
    {.codes = {kKeyAltF8, kKeyF8}, .action = stepWidth, .resize = true},
    {.codes = {kKeyAltF9, kKeyF9}, .action = stepHeight, .resize = true},
    {.codes = {kKeyAltF10, 'P', 'p'}, .action = openColourSetup, .layout = true},
    {.codes = {kKeyScreenResized}, .action = followTerminalSize, .layout = true},
    {.codes = {'/'}, .action = openSearchPrompt},
    {.codes = {':'}, .action = openLinePrompt},
    {.codes = {kKeyF3, kKeyShiftF3}, .action = searchAgain},
    // Both files are read anew: the layout too, since offsets and encodings may have changed.
    {.codes = {'R', 'r'},
     .action = reloadFiles,
     .rebuild = kRebuildTables | kRebuildList,
     .layout = true},
    {.codes = {'A', 'a'}, .action = toggleLongRuns, .rebuild = kRebuildList},
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
    if (prompt != Prompt::none || !message.empty()) drawLastRow();
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
    // show: Ctrl-C, Ctrl-Z and the quit keys act at once, other keys wait for the build. The
    // screen holds exactly what the whole comparison gives it, so it is not drawn again.
    if (newTables && topRow == 0 && showFirstRows(rules)) {
        redrawLevel = 0;
        EngineRules stoppable = rules;
        stoppable.stop = &stopBuild;
        builder.emplace([this, stoppable] { built = buildComparison(stoppable, true); });
        return true;
    }
    if (!buildComparison(rules, newTables)) return false;
    settleRows(newTables);
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
    settleRows(true);
    return true;
}

void Viewer::abandonBuild() {
    if (!builder) return;
    stopBuild.store(true, std::memory_order_relaxed);
    builder.reset();
    stopBuild.store(false, std::memory_order_relaxed);
    built = true;
    // The tables may be whole or cut short: the comparison is dropped, as after a reload.
    tables.comparison = Comparison{};
}

void Viewer::settleRows(bool newTables) {
    uint32_t rowCount = tables.comparison.rowCount;
    maxTopRow = rowCount > kRowsWithoutScrolling ? rowCount - kRowsWithoutScrolling : 0;
    if (anchorPending) topRow = rowOfLine(anchorSide, anchorNumber);
    anchorPending = false;
    topRow = std::min(topRow, maxTopRow);
    foundRow = -1;
    // The number column holds the largest number whole: the numbers of each side grow down the
    // list, so the last of each is its largest.
    uint32_t lastNumbers[2] = {0, 0};
    for (uint32_t i = rowCount; i-- > 0 && (lastNumbers[0] == 0 || lastNumbers[1] == 0);) {
        if (lastNumbers[0] == 0) lastNumbers[0] = rows()[i].leftNumber;
        if (lastNumbers[1] == 0) lastNumbers[1] = rows()[i].rightNumber;
    }
    largestNumber = std::max(lastNumbers[0], lastNumbers[1]);
    // Right reaches the end of the widest line. Every line of the tables has a row, so only new
    // tables change it.
    if (newTables) maxHScroll = widestLine();
}

bool Viewer::showFirstRows(const EngineRules& rules) {
    // After a reload the top row is the line the view stood on, found in the whole list.
    if (anchorPending) return false;
    // The number column is as wide as the largest line number of the whole list needs: that of
    // the longer table. Without suppression that is the longer text's line count; with it, only
    // a count below 100,000 (five digits at most either way) tells the width.
    uint32_t largest = 0;
    if (!rules.hexMode && !settings.hideLineNumbers) {
        largest = longerTextLineCount(left, right);
        if (rules.suppressEmptyLines && largest >= 100000) return false;
    }
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
    largestNumber = largest;
    draw(first.comparison.rows.get());
    presentConsole();
    return true;
}

void Viewer::draw(const DiffRow* list) {
    renderPanes(layout, list + topRow, hScroll, redrawLevel, hexRowBytes, largestNumber);
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

void Viewer::drawLastRow() {
    const ScreenSize size = getScreenSize(false);
    if (size.width < 1 || size.height < 1) return;
    const auto width = static_cast<size_t>(size.width);
    std::u16string line;
    size_t cursor = 0;
    uint16_t attribute = messageAttribute;
    if (prompt != Prompt::none) {
        line = (prompt == Prompt::search ? u"/" : u":") + promptText;
        // A text wider than the screen shows its end, where the typing goes on.
        if (line.size() >= width) line.erase(0, line.size() - (width - 1));
        cursor = line.size();
        attribute = colourScheme.frame;
    } else {
        line = message.substr(0, width);
    }
    line.resize(width, u' ');
#if QVD_WIDE
    writeText(line.data(), size.width, size.height - 1, 0, attribute);
#else
    std::string cells;
    for (char16_t unit : line) cells += static_cast<char>(unicodeToOemOrQuestion(unit));
    writeNarrowText(cells.data(), size.width, size.height - 1, 0, attribute);
#endif
    if (prompt != Prompt::none) {
        setCursorPosition(size.height - 1, static_cast<int>(cursor));
        setCursorVisible(true);
    }
}

void Viewer::showMessage(std::u16string text, uint16_t attribute) {
    message = std::move(text);
    messageAttribute = attribute;
}

void Viewer::closePrompt() {
    prompt = Prompt::none;
    promptText.clear();
    layoutPending = true; // the last row comes back as it was, the cursor hidden
}

void Viewer::editPrompt(int code) {
    switch (code) {
    case kKeyCtrlC:
        exitCode = kViewerInterrupted;
        return;
    case kKeyEscape:
        closePrompt();
        return;
    case kKeyBackspace:
        if (promptText.empty()) {
            closePrompt();
        } else {
            // A character beyond U+FFFF goes as a whole.
            bool pair = promptText.size() >= 2 && (promptText.back() & 0xFC00) == 0xDC00 &&
                        (promptText[promptText.size() - 2] & 0xFC00) == 0xD800;
            promptText.erase(promptText.size() - (pair ? 2 : 1));
        }
        return;
    case kKeyEnter: {
        const Prompt kind = prompt;
        const std::u16string text = promptText;
        closePrompt();
        if (kind == Prompt::goToLine) {
            goToLine(text);
        } else if (!text.empty() || !lastSearch.empty()) {
            // An empty text searches again for the last one.
            if (!text.empty()) lastSearch = text;
            search(lastSearch, false);
        }
        return;
    }
    default:
        break;
    }
    if (code < 0x20 || code > 0xFF) return; // only typed characters go into the text
    // moxa takes the character as typed; moxaw its OEM form, as its text is shown.
    char32_t character = kWideBuild ? lastKeyCharacter() : 0;
    if (character == 0) character = oemToUnicode(static_cast<uint8_t>(code));
    if (prompt == Prompt::goToLine) {
        bool decimal = character >= U'0' && character <= U'9';
        bool hex = (character | 0x20) >= U'a' && (character | 0x20) <= U'f';
        if (!decimal && !(hex && settings.hexMode)) return;
        if (promptText.size() >= kNumberCapacity) return;
    } else if (promptText.size() + 2 > kSearchCapacity) {
        return;
    }
    if (character > 0xFFFF) {
        character -= 0x10000;
        promptText += static_cast<char16_t>(0xD800 + (character >> 10));
        promptText += static_cast<char16_t>(0xDC00 + (character & 0x3FF));
    } else {
        promptText += static_cast<char16_t>(character);
    }
}

void Viewer::search(const std::u16string& text, bool upward) {
    const uint32_t from =
        foundRow >= 0 && topRow == foundTopRow ? static_cast<uint32_t>(foundRow) : topRow;
    const SearchSpace space{rows(), tables.comparison.rowCount, &left, &right};
    const int64_t row = findRow(space, from, upward, text);
    if (row < 0) {
        showMessage(u"Not found: " + text, colourScheme.differing);
        return;
    }
    foundRow = row;
    moveTop(std::min(static_cast<uint32_t>(row), maxTopRow));
    foundTopRow = topRow;
    redrawLevel |= kRedrawRows;
}

void Viewer::goToLine(const std::u16string& digits) {
    if (digits.empty()) return;
    // In hex mode the number column shows offsets: the number is one, in hex.
    const uint64_t base = settings.hexMode ? 16 : 10;
    uint64_t number = 0;
    for (char16_t unit : digits) {
        uint64_t digit = unit <= u'9' ? unit - u'0' : (unit | 0x20) - u'a' + 10;
        number = std::min<uint64_t>(number * base + digit, UINT32_MAX);
    }
    uint64_t line = settings.hexMode ? number / hexRowBytes + 1 : std::max<uint64_t>(number, 1);
    if (moveTop(rowOfLine(0, static_cast<uint32_t>(std::min<uint64_t>(line, UINT32_MAX)))))
        redrawLevel |= kRedrawRows;
}

uint32_t Viewer::rowOfLine(int side, uint32_t number) const {
    const uint32_t rowCount = tables.comparison.rowCount;
    for (uint32_t i = 0; i < rowCount; ++i) {
        const DiffRow& row = rows()[i];
        if ((side == 0 ? row.leftNumber : row.rightNumber) >= number) return std::min(i, maxTopRow);
    }
    return maxTopRow; // beyond the end of the file: the last rows
}

uint32_t Viewer::widestLine() const {
    const uint32_t rowCount = tables.comparison.rowCount;
    uint32_t widest = kMaxHScroll;
    const bool columns = kWideBuild && settings.encodingFlags != 0 && !settings.hexMode;
    for (uint32_t i = 0; i < rowCount; ++i) {
        const DiffRow& row = rows()[i];
        for (auto [text, length] :
             {std::pair{row.leftText, row.leftLength}, std::pair{row.rightText, row.rightLength}}) {
            // 8-bit text scrolls by bytes; UTF-16 text by columns, at most two a unit, so only
            // lines that could pass the widest so far are measured.
            if (!columns) {
                widest = std::max(widest, length);
            } else if (uint64_t{length} * 2 > widest) {
                const auto* units = reinterpret_cast<const char16_t*>(text);
                uint64_t width = std::min<uint64_t>(textColumns(units, length), UINT32_MAX);
                widest = std::max(widest, static_cast<uint32_t>(width));
            }
        }
    }
    return widest;
}

void Viewer::act(int code) {
    const bool prompting = prompt != Prompt::none && code != kKeyScreenResized;
    const ViewKey* key = prompting ? nullptr : findViewKey(code);
    // A key that ends the view does not wait for the rest of the comparison; the others do.
    if (key && key->action == quit) abandonBuild();
    if (!finishBuild()) {
        exitCode = kViewerOutOfMemory;
        return;
    }
    if (!message.empty()) {
        // The message goes with the next key, which then acts as usual.
        message.clear();
        layoutPending = true;
    }
    if (prompting) {
        editPrompt(code);
        return;
    }
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
              bool resizePending, ViewerTables& tables, const ReloadFiles& reload) {
    Viewer viewer{left, right, tables, reload, requestedSize, requestedSize.height, resizePending};
    for (;;) {
        if (!viewer.prepareScreen()) return kViewerOutOfMemory;
        viewer.act(readKey() & 0xFFFF);
        if (viewer.exitCode != 0) return viewer.exitCode;
    }
}
