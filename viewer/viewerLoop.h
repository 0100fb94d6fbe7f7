#pragma once
// The interactive view: lays the panes out, builds the line tables and the aligned list, draws,
// and acts on keys until the user quits.

#include "console/screen.h"
#include "engine/diffList.h"
#include "engine/lineTable.h"
#include "platform/build.h"

#include <cstdint>

// One input file as the view needs it. The driver owns everything pointed to; the images must
// outlive the view's tables.
struct ViewerFile {
    const TChar* name;   // as shown in the pane frame
    const uint8_t* raw;  // the bytes as stored (hex mode)
    uint32_t rawSize;    // bytes in raw
    const uint8_t* text; // the decoded text image (text mode)
    uint32_t textSize;   // bytes in text
};

// What the view leaves to the driver: the tables it built last (any may be null) and whether
// the panes were ever laid out (then the driver clears the screen at exit).
struct ViewerTables {
    LineRef* leftTable = nullptr;
    LineRef* rightTable = nullptr;
    DiffRow* diffList = nullptr;
    bool viewerShown = false;
};

// Exit codes of the view.
inline constexpr int kViewerQuit = 1;          // a quit key: the files differ
inline constexpr int kViewerOutOfMemory = 3;   // a table could not be built
inline constexpr int kViewerInterrupted = 130; // Ctrl-C

// Runs the view until a quit key (1), Ctrl-C (130) or a failed allocation (3). requestedSize is
// the console size to ask for, applied first when resizePending is set. Nothing is printed: on 3
// the caller says "Out of memory" once the terminal is back. The tables stay in tables for the
// caller to free (freeViewerTables).
int runViewer(const ViewerFile& left, const ViewerFile& right, ScreenSize requestedSize,
              bool resizePending, ViewerTables& tables);

void freeViewerTables(ViewerTables& tables);

// Moves of the view over the aligned list, shared by the keys Space/+ and -.
// The first row of the next block of differing rows, or maxTopRow when there is none.
uint32_t nextDifferenceBlock(const DiffRow* rows, uint32_t topRow, uint32_t maxTopRow);
// The last row of the previous block of differing rows, or row 0 when there is none.
uint32_t previousDifferenceBlock(const DiffRow* rows, uint32_t topRow);
