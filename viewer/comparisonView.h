#pragma once
// The comparison view: both files in two framed panes, aligned row by row, the menu lines below,
// and the last row for prompts and messages. It owns its settings, its position in the list and
// the build behind its first screen; the loop that drives the views (viewer/viewerLoop.h) hands
// it keys and applies the reactions its actions return.

#include "console/paneFrames.h"
#include "console/reaction.h"
#include "console/screen.h"
#include "engine/comparison.h"
#include "viewer/arrivingFiles.h"
#include "viewer/backgroundBuild.h"
#include "viewer/listPosition.h"
#include "viewer/promptLine.h"
#include "viewer/renderer.h"
#include "viewer/rowSearch.h"
#include "viewer/settings.h"
#include "viewer/viewerFile.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the view leaves to its caller: the comparison it built last (freed with this record,
// before the images it points into) and whether the panes were ever laid out (then the caller
// clears the screen at exit).
struct ViewerTables {
    Comparison comparison;
    bool viewerShown = false;
};

// How reading both files again went.
struct ReloadResult {
    enum Outcome {
        loaded,
        cannotLoad,  // a file cannot be loaded now
        notAgain,    // a file cannot be read a second time (a pipe): it was not read again
        outOfMemory, // for the decoded texts
    } outcome = loaded;
    int file = 0;       // cannotLoad, notAgain: the file, 1 or 2
    std::string reason; // cannotLoad: what the system says; notAgain: what the file is
};

// Reads both files again for the key R, by the names and decoding rules of the first time. On
// loaded, files holds the new files: the images of the old ones are gone, and the view builds its
// comparison anew before it draws again. Otherwise everything is as it was. Never waits to open a
// file (a FIFO without a writer).
using ReloadFiles = std::function<ReloadResult(FilePair& files)>;

// Bits of the rebuild flags (Reaction::rebuild).
inline constexpr int kRebuildTables = 1;  // both line tables (and so the list)
inline constexpr int kRebuildList = 2;    // the aligned list
inline constexpr int kRebuildToggles = 4; // and the toggle letters of the menu afterwards

struct ComparisonView {
    FilePair files; // replaced by a reload
    Settings settings;
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
    int redrawLevel = kRedrawRows; // renderer.h's bits, still to be drawn
    ListPosition position{};
    uint32_t largestNumber = 0; // the largest line number of the list (number column)
    BackgroundBuild build{};    // alone touches tables.comparison and builtFolds while it runs
    // The folds of the list, built with it whether or not the view folds, so that F answers at
    // once on the longest lists; and those in force while it folds, less the ones a search or
    // a line number opened.
    FoldList builtFolds{};
    FoldList folds{};
    PromptLine lastRow{};
    std::u16string lastSearch{}; // the text of the last search; empty before the first
    // Where the last search found its text, and the top row it gave: the text stands out while
    // the view stands there, and a search goes on from that row (a row near the end of the list
    // never comes to the top).
    SearchHit found{};
    uint32_t foundTopRow = 0;
    // Files still being read when the view opened: its first screen comes from their beginnings.
    const ArrivingFiles* arriving = nullptr;
    bool arrivalStarted = false; // the build that waits for them whole has started
    // That build is running (or has ended and is not yet taken); what it says then, and whether
    // the whole files were decoded otherwise than their beginnings.
    bool arrivalPending = false;
    std::u16string arrivalMessage{};
    bool decodedOtherwise = false;
    std::atomic<uint32_t> percentAligned{0}; // how far the build's aligning has got
    // After a reload, the line (side 0 left, 1 right, and its number) that goes to the top again.
    bool anchorPending = false;
    int anchorSide = 0;
    uint32_t anchorNumber = 0;

    ComparisonView(const FilePair& startFiles, const Settings& startSettings, ViewerTables& built,
                   const ReloadFiles& reloadFiles, ScreenSize requestedSize, bool resize);

    const DiffRow* rows() const { return tables.comparison.rows.get(); }
    uint32_t pageStep() const {
        // A pane of fewer than four rows still pages by one row rather than by none or backwards.
        return static_cast<uint32_t>(std::max(layout.paneHeight - 3, 1));
    }
    // The engine's rules for the view's settings and files.
    [[nodiscard]] EngineRules rules() const;
    // The list as the screen shows it now: folded, wrapped, both or neither.
    [[nodiscard]] ScreenRows screenRows() const;
    [[nodiscard]] WrapRules wrapRules() const;

    // Takes on the work a reaction asks for; it is done by the next drawView.
    void take(const Reaction& reaction);
    // Waits for the build behind the first screen, if any, and takes its list: false when it
    // failed.
    [[nodiscard]] bool finishBuild();
    // Stops the build behind the first screen, if any: nothing of it is kept.
    void abandonBuild();
    // Waits for the build behind the first screen of arriving files, saying how far it has got:
    // a quit key or Ctrl-C typed meanwhile ends the wait and the view at once; other keys typed
    // meanwhile are dropped. The reaction to leave with, or a new layout when the build ended.
    [[nodiscard]] Reaction awaitArrival();
    // What the last row says while files arrive: how much has been read, or that the comparison
    // is being built.
    [[nodiscard]] std::u16string arrivalProgress() const;
    // Puts the next row (the previous one when upward) that shows text at the top; says so when
    // none does.
    [[nodiscard]] Reaction search(const std::u16string& text, bool upward);
    // Puts the row of a line of file 1 (of a hex offset in hex mode) at the top.
    [[nodiscard]] Reaction goToLine(const std::u16string& digits);
    // The first row holding a line of side `side` numbered `number` or more in its file;
    // the row count if none.
    uint32_t rowOfLine(int side, uint32_t number) const;
    // Puts screen row `part` of a list row at the top, as near as the end of the list lets it
    // come; a row beyond the list brings its last rows. A fold that hides the row is opened.
    // True when the top moved.
    bool bringToTop(uint32_t row, uint32_t part);
    // Folding on or off: the folds of the list come back whole, or go.
    void setFolded(bool folded);
    // The offset in the text image of the line at the top row, in bytes of the file.
    uint64_t topLineOffset() const;

    // The found text while the view stands where the search left it.
    [[nodiscard]] std::optional<FoundText> foundText() const;
    // Scrolls sideways so that the found text's start is in sight.
    void scrollToFound();

    // The steps of drawView.
    [[nodiscard]] bool rebuild();
    bool showFirstRows(const EngineRules& rules);
    void showArrivingFiles();
    [[nodiscard]] bool buildComparison(const EngineRules& rules, bool newTables);
    void settleRows(bool newTables);
    void draw(const Comparison& shown, const ScreenRows& screen);
    uint32_t widestLine() const;
};

// Lays out, builds and draws whatever is pending, up to the wait for the next key; false when
// memory ran out for the tables or the list.
[[nodiscard]] bool drawView(ComparisonView& view);

// Acts on one key by the key table, or on the prompt while one is open (viewer/viewKeys.h). The
// mouse acts as keys: the wheel as kWheelRows presses of Up or Down, a left click on an item of
// the menu lines as its key (menuKeyAt, viewer/menu.h).
[[nodiscard]] Reaction actOnKey(ComparisonView& view, const Key& key);

// While files arrive, how long the loop waits for a key before it shows how far they have got
// (and takes the whole comparison once built); 0 for no limit.
[[nodiscard]] int drawAgainMs(const ComparisonView& view);
// Takes the whole comparison of arriving files once it is built: its rows are drawn anew.
[[nodiscard]] Reaction idle(ComparisonView& view);

// A view that was on top of this one has gone (the help, the colour setup): the whole screen is
// laid out again, for the size the console has now.
void resumeView(ComparisonView& view);
