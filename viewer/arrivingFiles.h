#pragma once
// Files still being read while the view shows their beginnings. The view draws its first screen
// from what has arrived and builds the whole comparison behind it once both files are whole.

#include "viewer/viewerFile.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Both files read whole, for the view to build its comparison on.
struct WholeFiles {
    enum Outcome {
        whole,
        stopped,     // the wait was told to give up
        outOfMemory, // for the decoded texts
    } outcome = stopped;
    FilePair files{};
    // Said on the last row once the whole comparison is on show (a file that changed while it
    // was read); empty when there is nothing to say.
    std::u16string message{};
    // The whole files were decoded otherwise than their beginnings told: the view is built and
    // laid out anew.
    bool decodedOtherwise = false;
};

// The beginnings a view of arriving files opens with: its first try at a first screen.
inline constexpr uint64_t kFirstBytes = uint64_t{1} << 20;

struct ArrivingFiles {
    // The files as far as they have been read, once at least bytes of each (or all of it) has
    // arrived: the beginnings are marked partial and decoded as their bytes tell. Waits for them.
    std::function<FilePair(uint64_t bytes)> beginnings;
    // Waits for both files to be read whole and decodes them; on the build's thread. stop: give up.
    std::function<WholeFiles(const std::atomic<bool>* stop)> whole;
    // How much of both files has been read, 0 to 100.
    std::function<int()> readPercent;
};
