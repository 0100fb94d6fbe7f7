#pragma once
// The directory list: one framed row per relative path of either tree, with how the two sides
// compare and their sizes, filling in while the trees are compared behind it. ENTER opens the
// pair of files on a row in a comparison view above the list (viewer/viewerLoop.h).

#include "console/reaction.h"
#include "platform/build.h"
#include "platform/pathText.h"
#include "viewer/comparisonView.h"
#include "viewer/promptLine.h"
#include "viewer/settings.h"
#include "viewer/treeList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A pair of files made ready for a comparison view: the files as the view shows them, what keeps
// their images alive as long as the view needs them, and how to read them again.
struct PairOpening {
    std::shared_ptr<void> keeper;
    FilePair files{};
    ReloadFiles reload{};
};

// What opening a pair gave: the pair, or why it could not be opened (the last row says so).
struct PairOpened {
    std::optional<PairOpening> pair;
    std::u16string failure;
};

// The full paths (bytes) of a row's two sides; a side that has no file there (there false) is
// shown as an empty file.
struct PairPaths {
    std::string path1;
    std::string path2;
    bool there1 = true;
    bool there2 = true;
};

// Loads the two files of a row for a comparison view.
using OpenPair = std::function<PairOpened(const PairPaths& paths)>;

struct DirectoryView {
    TreeList& list;
    TString leftName; // the roots as the frame names them
    TString rightName;
    OpenPair openPair;
    Settings settings;  // what a comparison view opened from the list starts from
    bool behind = true; // the trees are compared on a helper thread

    uint32_t selected = 0; // the row the cursor bar is on, an index into list
    uint32_t top = 0;      // the position of the top row among the rows shown
    bool hideIdentical = false;
    std::vector<uint32_t> shown; // while hiding: the rows shown, in order
    PromptLine lastRow{};
    std::u16string lastSearch{};
    bool allIdentical = false;         // the trees were found identical: the list gave way
    bool finishSeen = false;           // idle last found the list finished: nothing more comes
    std::optional<PairOpening> chosen; // the pair ENTER opened, for the loop to show

    DirectoryView(TreeList& trees, TString left, TString right, OpenPair open,
                  const Settings& start);

    // Rows on show, and the list row at a position among them.
    [[nodiscard]] uint32_t shownCount() const;
    [[nodiscard]] uint32_t rowAt(uint32_t position) const;
    // The position among the rows on show of the selected row (of the first shown after it, when
    // it is hidden).
    [[nodiscard]] uint32_t selectedPosition() const;
    // Rows of the list the screen has room for.
    [[nodiscard]] int listRows() const;
};

// Draws the list, the frame with the counts, and the last row.
void drawView(DirectoryView& view);

// The movement keys, SPACE/+ and - to the next or previous row that differs, / and F3 (Shift-F3
// upward) to find a name, ENTER to open a pair, i to hide or show identical rows, r to read the
// trees again, ? or F1 for help, q or ESC to leave. The mouse wheel moves the bar as Up and Down
// do, kWheelRows at a notch.
[[nodiscard]] Reaction actOnKey(DirectoryView& view, const Key& key);

// While the trees are being walked or compared, the list is drawn again every so many
// milliseconds while no key comes (0: nothing goes on behind it), and idle tells what to do then.
// Until the first screen is full it is drawn again at once as rows come. A list that finishes
// after idle last looked is still drawn again and looked at: its end is never left unshown while
// the view waits for a key.
[[nodiscard]] int busyWaitMs(const DirectoryView& view);
[[nodiscard]] Reaction idle(DirectoryView& view);

// The view above the list has gone: everything is drawn anew.
void resumeView(DirectoryView& view);
