#pragma once
// Finding text in the aligned list, in the characters the view shows: tabs expanded and white
// space runs compressed as the panes draw them, 8-bit text in the OEM or ANSI reading, letter
// case folded while case is ignored. In hex mode the character column is searched: a match starts
// among the row's own characters and may run on into the file's next bytes (or 16-bit units), so
// that no text is missed for standing across two rows.

#include "engine/diffList.h"
#include "viewer/settings.h"
#include "viewer/viewerFile.h"

#include <cstdint>
#include <functional>
#include <string>

// The rows of a search, the files they came from (hex mode reads on past a row) and the settings
// the view shows them by.
struct SearchSpace {
    const DiffRow* rows;
    uint32_t rowCount;
    const ViewerFile* left;
    const ViewerFile* right;
    const Settings* settings;
};

// Where a search found its text.
struct SearchHit {
    int64_t row = -1;     // -1: nowhere (or the search was stopped)
    int side = 0;         // 0 the left line, 1 the right one
    uint32_t from = 0;    // the units of that line that show the text (bytes of 8-bit text), from
    uint32_t to = 0;      // ... up to this one; in hex mode both 0: the row alone
    bool stopped = false; // progress asked the search to stop before it was done
};

// Asked every few thousand rows of a search with the rows looked at so far and their total;
// false stops the search.
using SearchProgress = std::function<bool(uint64_t done, uint64_t total)>;

// The nearest row after `from` (before it when upward) whose sides show text, going round the
// end of the list and back to `from` itself last, and where in it; row -1 when no row does (and
// for an empty text).
SearchHit findRow(const SearchSpace& space, uint32_t from, bool upward, const std::u16string& text,
                  const SearchProgress& progress = {});
