#include "viewer/comparisonView.h"

#include "console/colourScheme.h"
#include "console/keyReader.h"
#include "platform/terminal.h"
#include "platform/textCells.h"
#include "viewer/menu.h"
#include "viewer/rowFormat.h"
#include "viewer/viewKeys.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

ComparisonView::ComparisonView(const FilePair& startFiles, const Settings& startSettings,
                               ViewerTables& built, const ReloadFiles& reloadFiles,
                               ScreenSize requestedSize, bool resize)
    : files(startFiles), settings(startSettings), tables(built), reload(reloadFiles),
      wantedSize(requestedSize), startupHeight(requestedSize.height), resizePending(resize) {
    if (!files.note.empty()) lastRow.showMessage(files.note, colourScheme.frame);
}

namespace {

// The lines the larger of two files still arriving may hold, from the lines of their beginnings.
uint32_t estimatedLineCount(const FilePair& files, uint32_t beginningLines) {
    double scale = 1;
    for (const ViewerFile* file : {&files.left, &files.right})
        if (file->partial && file->rawSize > 0)
            scale = std::max(scale, static_cast<double>(file->wholeSize) /
                                        static_cast<double>(file->rawSize));
    return static_cast<uint32_t>(std::min(beginningLines * scale + 1, double{UINT32_MAX}));
}

// Long work going on, said on the last row (where the view's own message comes back afterwards).
void drawProgressRow(const std::u16string& text) {
    PromptLine progressRow;
    progressRow.showMessage(text, colourScheme.frame);
    drawLastRow(progressRow, colourScheme.frame);
}

// How long a search runs before it shows how far it has got and looks for keys, in milliseconds:
// long enough that a search of an ordinary file never does, so keys typed ahead of it stay.
constexpr int64_t kSearchMomentMs = 200;

} // namespace

EngineRules ComparisonView::rules() const {
    return engineRules(settings, wideTexts(files));
}

WrapRules ComparisonView::wrapRules() const {
    // Hex rows are cut to fit their pane: they never wrap.
    if (!settings.wrap || settings.hexMode) return {};
    const PaneColumns columns = computePaneColumns(layout.paneWidth, hexRowBytes, largestNumber,
                                                   settings, files.offsetDigits);
    return {std::min(columns.textWidth, kRowCapacity), settings.tabWidth,
            settings.compressWhiteSpace != 0, wideTexts(files)};
}

ScreenRows ComparisonView::screenRows() const {
    return {rows(), tables.comparison.rowCount, settings.fold ? &folds : nullptr, wrapRules()};
}

void ComparisonView::setFolded(bool folded) {
    settings.fold = folded ? 1 : 0;
    folds = folded ? builtFolds : FoldList{};
}

void ComparisonView::take(const Reaction& reaction) {
    rebuildFlags |= reaction.rebuild;
    redrawLevel |= reaction.redraw;
    resizePending = resizePending || reaction.resize;
    layoutPending = layoutPending || reaction.layout;
}

bool drawView(ComparisonView& view) {
    if (view.resizePending) {
        view.wantedSize = setScreenSize(view.wantedSize);
        view.resizePending = false;
        view.layoutPending = true;
    }
    if (view.layoutPending) {
        view.layout = drawLayoutAndMenu(view.wantedSize.width, view.wantedSize.height,
                                        view.settings, view.files.left.name, view.files.right.name);
        view.tables.viewerShown = true;
        view.redrawLevel = kRedrawRows;
        view.layoutPending = false;
        view.hexRowBytes = computeHexRowBytes(view.layout.paneWidth, view.files.offsetDigits,
                                              encodingFlags(view.files));
        // Any change of the pane width in hex mode (a size key, the split, a terminal resize)
        // means rows of another width: the tables are cut anew.
        if (view.settings.hexMode && view.hexRowBytes != view.tableRowBytes)
            view.rebuildFlags |= kRebuildTables;
    }
    if (view.rebuildFlags != 0 && !view.rebuild()) return false;
    if (view.redrawLevel != 0) {
        // Anything drawn anew may have changed what the rows take on the screen: the folds, the
        // pane's width, the tab stops.
        const ScreenRows screen = view.screenRows();
        view.position.settle(screen);
        view.draw(view.tables.comparison, screen);
    }
    if (view.lastRow.shown()) {
        drawLastRow(view.lastRow, colourScheme.frame);
    } else if (view.arrivalPending && !view.build.ended.load(std::memory_order_acquire)) {
        drawProgressRow(view.arrivalProgress());
    }
    return true;
}

void resumeView(ComparisonView& view) {
    view.wantedSize = getScreenSize(false);
    view.layoutPending = true;
}

bool ComparisonView::rebuild() {
    // The rules in force now: the keys have just changed the settings they come from.
    const EngineRules current = rules();
    const bool newTables = (rebuildFlags & kRebuildTables) != 0;
    if (newTables) tableRowBytes = settings.hexMode ? hexRowBytes : 0;
    redrawLevel = (rebuildFlags & kRebuildToggles) | kRedrawRows;
    rebuildFlags = 0;
    // New tables mean a pass over both files. At the top of a long comparison the screen comes
    // from their beginnings, and the whole is built on a helper thread while that screen is on
    // show: Ctrl-C, Ctrl-Z and the quit keys act at once, other keys wait for the build. The
    // screen holds exactly what the whole comparison gives it, so it is not drawn again.
    if (newTables && arriving != nullptr && !arrivalStarted) {
        showArrivingFiles();
        return true;
    }
    if (newTables && position.topRow == 0 && showFirstRows(current)) {
        redrawLevel = 0;
        build.start([this, current](const std::atomic<bool>* stop) {
            EngineRules stoppable = current;
            stoppable.stop = stop;
            return buildComparison(stoppable, true);
        });
        return true;
    }
    if (!buildComparison(current, newTables)) return false;
    settleRows(newTables);
    return true;
}

bool ComparisonView::buildComparison(const EngineRules& buildRules, bool newTables) {
    Comparison& comparison = tables.comparison;
    if (newTables && !buildLineTables(comparison, comparedFile(files.left),
                                      comparedFile(files.right), hexRowBytes, buildRules))
        return false;
    return buildRows(comparison, buildRules) &&
           buildFolds(builtFolds, comparison.rows.get(), comparison.rowCount,
                      static_cast<uint32_t>(settings.contextRows));
}

bool ComparisonView::finishBuild() {
    if (!build.running()) return true;
    if (!build.finish()) return false;
    if (arrivalPending) {
        arrivalPending = false;
        if (!arrivalMessage.empty()) lastRow.showMessage(arrivalMessage, colourScheme.frame);
        // The first screen came from the beginnings: the number column may be wider now, and
        // the rows beyond it are new.
        redrawLevel |= kRedrawRows;
        if (decodedOtherwise) {
            // Built on texts decoded otherwise than the beginnings were shown: again, whole.
            rebuildFlags |= kRebuildTables | kRebuildToggles;
            layoutPending = true;
            return true;
        }
    }
    settleRows(true);
    return true;
}

void ComparisonView::showArrivingFiles() {
    // As much of the beginnings as the first screen takes: a few megabytes for most files,
    // more for long lines. Beyond that the whole comparison shows first.
    constexpr uint64_t kMostFirstBytes = uint64_t{64} << 20;
    const ArrivingFiles* source = arriving;
    arrivalStarted = true;
    // The view was laid out for the beginnings it was opened with (kFirstBytes of each).
    const uint32_t laidOutFor = encodingFlags(files);
    for (uint64_t bytes = kFirstBytes; bytes <= kMostFirstBytes; bytes *= 4) {
        if (bytes > kFirstBytes) files = source->beginnings(bytes);
        if (!files.left.partial && !files.right.partial) break;
        if (encodingFlags(files) != laidOutFor) break; // the hex rows' width may differ
        if (position.topRow == 0 && showFirstRows(rules())) break;
    }
    redrawLevel = 0;
    arrivalPending = true;
    // The build alone touches files from here on, until it is taken.
    build.start([this, source](const std::atomic<bool>* stop) {
        WholeFiles whole = source->whole(stop);
        if (whole.outcome != WholeFiles::whole) return false;
        files = std::move(whole.files);
        arrivalMessage = std::move(whole.message);
        decodedOtherwise = whole.decodedOtherwise;
        if (decodedOtherwise) return true;
        EngineRules stoppable = rules();
        stoppable.stop = stop;
        stoppable.percentAligned = &percentAligned;
        return buildComparison(stoppable, true);
    });
}

std::u16string ComparisonView::arrivalProgress() const {
    const int read = arriving->readPercent();
    const std::string number =
        std::to_string(read < 100 ? read : percentAligned.load(std::memory_order_relaxed));
    return (read < 100 ? u"Reading the files: " : u"Comparing the files: ") +
           std::u16string(number.begin(), number.end()) + u"%   (Esc quits)";
}

Reaction ComparisonView::awaitArrival() {
    while (build.running() && !build.ended.load(std::memory_order_acquire)) {
        drawProgressRow(arrivalProgress());
        presentConsole();
        for (Key key; takeArrivedKey(key);) {
            if (key.code == kKeyCtrlC) {
                abandonBuild();
                return {.leave = ViewOutcome::interrupted};
            }
            if (isQuitKey(key.code)) {
                abandonBuild();
                return {.leave = ViewOutcome::done};
            }
            // The terminal's size is taken again once the build is in.
            if (key.code == kKeyScreenResized) resumeView(*this);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {.layout = true}; // the last row as it was
}

int drawAgainMs(const ComparisonView& view) {
    return view.arrivalPending && view.build.running() ? 100 : 0;
}

Reaction idle(ComparisonView& view) {
    if (!view.arrivalPending || !view.build.ended.load(std::memory_order_acquire)) return {};
    if (!view.finishBuild()) return {.leave = ViewOutcome::outOfMemory};
    return {.redraw = kRedrawRows, .layout = true}; // the last row showed the progress
}

void ComparisonView::abandonBuild() {
    if (!build.running()) return;
    build.abandon();
    // The tables may be whole or cut short: the comparison is dropped, as after a reload.
    tables.comparison = Comparison{};
}

void ComparisonView::settleRows(bool newTables) {
    const uint32_t rowCount = tables.comparison.rowCount;
    setFolded(settings.fold != 0);
    position.settle(screenRows());
    if (anchorPending) bringToTop(rowOfLine(anchorSide, anchorNumber), 0);
    anchorPending = false;
    found = SearchHit{};
    // The number column holds the largest number whole: the numbers of each side grow down the
    // list, so the last of each is its largest.
    uint32_t lastNumbers[2] = {0, 0};
    for (uint32_t i = rowCount; i-- > 0 && (lastNumbers[0] == 0 || lastNumbers[1] == 0);) {
        if (lastNumbers[0] == 0) lastNumbers[0] = rows()[i].leftNumber;
        if (lastNumbers[1] == 0) lastNumbers[1] = rows()[i].rightNumber;
    }
    largestNumber = std::max(fileLineNumber(tables.comparison, 0, lastNumbers[0]),
                             fileLineNumber(tables.comparison, 1, lastNumbers[1]));
    // Right reaches the end of the widest line. Every line of the tables has a row, so only new
    // tables change it.
    if (newTables) position.maxHScroll = widestLine();
}

bool ComparisonView::showFirstRows(const EngineRules& buildRules) {
    // After a reload the top row is the line the view stood on, found in the whole list. Folds
    // are found in the whole list too: a run of equal rows may go on past the beginnings.
    if (anchorPending || settings.fold) return false;
    const ComparedFile left = comparedFile(files.left);
    const ComparedFile right = comparedFile(files.right);
    const bool partial = left.partial || right.partial;
    // The number column is as wide as the largest line number of the whole list needs. Without
    // suppression that is the longer text's line count; with it, the last lines may be
    // suppressed, and only a count below 100,000 (five digits at most either way) tells the width.
    uint32_t largest = 0;
    if (!buildRules.hexMode && !settings.hideLineNumbers) {
        largest = longerTextLineCount(left, right);
        // Of files still arriving only the beginnings can be counted: their lines so far, as
        // many again for each beginning's length in the whole. The whole comparison corrects it.
        if (partial)
            largest = estimatedLineCount(files, largest);
        else if (buildRules.suppressEmptyLines && largest >= 100000)
            return false;
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
    if (!buildFirstRows(first, left, right, hexRowBytes, buildRules, static_cast<uint32_t>(wanted)))
        return false;
    position.maxTopRow = first.settledRows - kRowsWithoutScrolling; // no more than the whole list
    position.maxTopPart = 0;
    largestNumber = largest;
    draw(first.comparison,
         ScreenRows{first.comparison.rows.get(), first.comparison.rowCount, nullptr, wrapRules()});
    presentConsole();
    return true;
}

void ComparisonView::draw(const Comparison& shown, const ScreenRows& screen) {
    // Wrapped rows take the screen rows their text needs: new text (a tab width) may move the
    // numbers and marks too.
    if (screen.wrap.width > 0 && (redrawLevel & kRedrawText)) redrawLevel |= kRedrawNumbers;
    const std::optional<FoundText> shownFound = foundText();
    const PaneRows rowsShown{shown,
                             screen,
                             position.topRow,
                             position.topPart,
                             position.hScroll,
                             hexRowBytes,
                             largestNumber,
                             settings,
                             files,
                             shownFound ? &*shownFound : nullptr};
    renderPanes(layout, rowsShown, redrawLevel);
    redrawLevel = 0;
    if (layout.paneWidth <= 2 || layout.paneHeight < 1) return;
    // The bars lie in the bottom border: the last row of the panes.
    auto barRow = static_cast<uint32_t>(layout.rightY + layout.paneHeight - 1);
    auto barLength = static_cast<uint32_t>(layout.paneWidth - 2);
    auto page = static_cast<uint32_t>(layout.paneHeight);
    // The bars count shown rows: a fold is one, a wrapped row one however many screen rows.
    const uint32_t total = screen.shownOf(position.maxTopRow);
    const uint32_t top = screen.shownOf(position.topRow);
    if (!settings.horizontalSplit)
        drawScrollIndicator(static_cast<uint32_t>(layout.leftX + 1), barRow, barLength, 1, total,
                            page, top);
    drawScrollIndicator(static_cast<uint32_t>(layout.rightX + 1), barRow, barLength, 1, total, page,
                        top);
}

Reaction ComparisonView::search(const std::u16string& text, bool upward) {
    const uint32_t from = found.row >= 0 && position.topRow == foundTopRow
                              ? static_cast<uint32_t>(found.row)
                              : position.topRow;
    const SearchSpace space{rows(), tables.comparison.rowCount, &files.left, &files.right,
                            &settings};
    // A search longer than a moment shows how far it has got, and looks for keys: Esc stops it
    // where the view stands, Ctrl-C ends the program, and other keys typed meanwhile are dropped
    // rather than acted on once it is over. Keys typed ahead of a short search stay.
    const int64_t started = terminalClockMs();
    int64_t shownAt = -1;
    bool interrupted = false;
    const SearchProgress progress = [&](uint64_t done, uint64_t total) {
        const int64_t now = terminalClockMs();
        if (now - started < kSearchMomentMs) return true;
        if (shownAt < 0 || now - shownAt >= kSearchMomentMs / 2) {
            const std::string percent = std::to_string(100 * done / std::max<uint64_t>(total, 1));
            drawProgressRow(u"Searching for " + text + u": " +
                            std::u16string(percent.begin(), percent.end()) + u"%   (Esc stops)");
            presentConsole();
            shownAt = now;
        }
        for (Key key; takeArrivedKey(key);) {
            if (key.code == kKeyEscape) return false;
            if (key.code == kKeyCtrlC) {
                interrupted = true;
                return false;
            }
        }
        return true;
    };
    const SearchHit hit = findRow(space, from, upward, text, progress);
    // The last row comes back as it was where the progress stood on it.
    Reaction reaction{.layout = shownAt >= 0};
    if (interrupted) return {.leave = ViewOutcome::interrupted};
    if (hit.stopped) {
        lastRow.showMessage(u"Search for " + text + u" stopped", colourScheme.frame);
        return reaction;
    }
    if (hit.row < 0) {
        lastRow.showMessage(u"Not found: " + text, colourScheme.differing);
        return reaction;
    }
    found = hit;
    // A wrapped line comes up at the screen row that shows the start of the text.
    const auto row = static_cast<uint32_t>(hit.row);
    bringToTop(row, screenRows().partOfUnit(row, hit.side, hit.from));
    scrollToFound();
    foundTopRow = position.topRow;
    reaction.redraw = kRedrawRows;
    return reaction;
}

std::optional<FoundText> ComparisonView::foundText() const {
    if (found.row < 0 || position.topRow != foundTopRow) return std::nullopt;
    return FoundText{static_cast<uint32_t>(found.row), found.side, found.from, found.to};
}

void ComparisonView::scrollToFound() {
    // Hex rows do not scroll, nor do wrapped ones.
    if (settings.hexMode || settings.wrap || found.from >= found.to) return;
    const DiffRow& row = rows()[found.row];
    const uint8_t* text = found.side == 0 ? row.leftText : row.rightText;
    // Where the text starts and ends in the line, in the columns the scroll counts: characters
    // of 8-bit text, the columns of UTF-16 text (a tab one).
    uint64_t start = found.from;
    uint64_t end = found.to;
    if (wideTexts(files)) {
        const auto* units = reinterpret_cast<const char16_t*>(text);
        start = textColumns(units, found.from);
        end = start + textColumns(units + found.from, found.to - found.from);
    }
    const PaneColumns columns = computePaneColumns(layout.paneWidth, hexRowBytes, largestNumber,
                                                   settings, files.offsetDigits);
    const auto width = static_cast<uint64_t>(std::max(columns.textWidth, 1));
    if (start >= position.hScroll && end <= position.hScroll + width) return;
    // The text comes into sight a quarter of the pane from its left edge, on the even columns
    // Left and Right step by.
    const uint64_t scroll = start > width / 4 ? start - width / 4 : 0;
    position.hScroll = static_cast<uint32_t>(std::min<uint64_t>(scroll, position.maxHScroll)) & ~1u;
}

Reaction ComparisonView::goToLine(const std::u16string& digits) {
    if (digits.empty()) return {};
    // In hex mode the number column shows offsets: the number is one, in hex, and may pass
    // 32 bits as files pass 4 GiB. Line numbers stop at the largest a table has.
    const uint64_t base = settings.hexMode ? 16 : 10;
    const uint64_t largest = settings.hexMode ? UINT64_MAX : UINT32_MAX;
    uint64_t number = 0;
    for (char16_t unit : digits) {
        uint64_t digit = unit <= u'9' ? unit - u'0' : (unit | 0x20) - u'a' + 10;
        number = number > (largest - digit) / base ? largest : number * base + digit;
    }
    uint64_t line = settings.hexMode ? number / hexRowBytes + 1 : std::max<uint64_t>(number, 1);
    if (!bringToTop(rowOfLine(0, static_cast<uint32_t>(std::min<uint64_t>(line, UINT32_MAX))), 0))
        return {};
    return {.redraw = kRedrawRows};
}

bool ComparisonView::bringToTop(uint32_t row, uint32_t part) {
    if (settings.fold && openFold(folds, row)) position.settle(screenRows());
    return position.moveTop(std::min(ScreenPlace{row, part}, position.maxTop()));
}

uint32_t ComparisonView::rowOfLine(int side, uint32_t number) const {
    const uint32_t rowCount = tables.comparison.rowCount;
    for (uint32_t i = 0; i < rowCount; ++i) {
        const DiffRow& row = rows()[i];
        const uint32_t entry = side == 0 ? row.leftNumber : row.rightNumber;
        if (fileLineNumber(tables.comparison, side, entry) >= number) return i;
    }
    return rowCount; // beyond the end of the file
}

uint64_t ComparisonView::topLineOffset() const {
    // A text that was converted to 16 bits from UTF-8 or ANSI counts each unit as about one byte.
    if (!rows()) return 0;
    const DiffRow& row = rows()[position.topRow];
    if (row.leftText == nullptr) return 0; // the end of an empty list
    const bool leftSide = row.leftNumber != 0;
    const ViewerFile& file = leftSide ? files.left : files.right;
    const uint8_t* text = leftSide ? row.leftText : row.rightText;
    const auto offset = static_cast<uint64_t>(text - file.text);
    const uint32_t converted = kWideBuild ? file.encoding & (kTextUtf8 | kTextAnsi) : 0;
    return converted != 0 ? offset / 2 : offset;
}

uint32_t ComparisonView::widestLine() const {
    const uint32_t rowCount = tables.comparison.rowCount;
    uint32_t widest = kMaxHScroll;
    const bool columns = wideTexts(files) && !settings.hexMode;
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
