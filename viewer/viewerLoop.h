#pragma once
// The interactive view: lays the panes out, builds the line tables and the aligned list, draws,
// and acts on keys until the user quits.

#include "console/screen.h"
#include "engine/diffList.h"
#include "viewer/comparison.h"

#include <cstdint>

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

// Runs the view until a quit key (1), Ctrl-C (130) or a failed allocation (3). requestedSize is
// the console size to ask for, applied first when resizePending is set. Nothing is printed: on 3
// the caller says "Out of memory" once the terminal is back.
int runViewer(const ViewerFile& left, const ViewerFile& right, ScreenSize requestedSize,
              bool resizePending, ViewerTables& tables);

// Moves of the view over the aligned list, shared by the keys Space/+ and -.
// The first row of the next block of differing rows, or maxTopRow when there is none.
uint32_t nextDifferenceBlock(const DiffRow* rows, uint32_t topRow, uint32_t maxTopRow);
// The last row of the previous block of differing rows, or row 0 when there is none.
uint32_t previousDifferenceBlock(const DiffRow* rows, uint32_t topRow);
