#pragma once
// The interactive view: lays the panes out, builds the line tables and the aligned list, draws,
// and acts on keys until the user quits.

#include "console/screen.h"
#include "engine/diffList.h"
#include "viewer/comparison.h"

#include <cstdint>
#include <functional>

// What the view leaves to its caller: the comparison it built last (freed with this record) and
// whether the panes were ever laid out (then the caller clears the screen at exit).
struct ViewerTables {
    Comparison comparison;
    bool viewerShown = false;
};

// Exit codes of the view.
inline constexpr int kViewerQuit = 1;          // a quit key: the files differ
inline constexpr int kViewerOutOfMemory = 3;   // a table could not be built
inline constexpr int kViewerInterrupted = 130; // Ctrl-C

// Reads both files again for the key R, by the names and decoding rules of the first time. On
// success it returns 0 and has put the new files into left and right: the images of the old ones
// are gone, and the view builds its comparison anew before it draws again. Otherwise it returns
// the number of the file that could not be loaded (1 or 2), or kViewerOutOfMemory, and everything
// is as it was.
using ReloadFiles = std::function<int(ViewerFile& left, ViewerFile& right)>;

// Runs the view until a quit key (1), Ctrl-C (130) or a failed allocation (3). requestedSize is
// the console size to ask for, applied first when resizePending is set. Without reload the key R
// does nothing. Nothing is printed: on 3 the caller says "Out of memory" once the terminal is
// back.
int runViewer(const ViewerFile& left, const ViewerFile& right, ScreenSize requestedSize,
              bool resizePending, ViewerTables& tables, const ReloadFiles& reload = {});

// Moves of the view over the aligned list, shared by the keys Space/+ and -.
// The first row of the next block of differing rows, or maxTopRow when there is none.
uint32_t nextDifferenceBlock(const DiffRow* rows, uint32_t topRow, uint32_t maxTopRow);
// The last row of the previous block of differing rows, or row 0 when there is none.
uint32_t previousDifferenceBlock(const DiffRow* rows, uint32_t topRow);
