#pragma once
// The keys of the view as data: each row names its key codes, the action, and what the next pass
// of the loop must rebuild and redraw once the action took effect. The toggles shown in the menu
// also name their settings field and the menu word whose first letter shows their state.

#include "console/settings.h"
#include "platform/build.h"

#include <span>

struct Viewer;

// Bits of the rebuild flags.
inline constexpr int kRebuildTables = 1;  // both line tables (and so the list)
inline constexpr int kRebuildList = 2;    // the aligned list
inline constexpr int kRebuildToggles = 4; // and the toggle letters of the menu afterwards

struct ViewKey {
    int codes[9] = {}; // the key codes that run it; unused places are 0
    // Does what the key does; false when its condition did not hold (then nothing changed and
    // nothing is drawn).
    bool (*action)(Viewer& viewer, const ViewKey& key, int code) = nullptr;
    int rebuild = 0;                     // rebuild flags once it took effect
    int redraw = 0;                      // redraw level once it took effect (renderer.h)
    bool resize = false;                 // the wanted console size must be applied first
    bool layout = false;                 // frames and menu must be drawn anew
    int32_t Settings::*toggle = nullptr; // the field a toggle flips, else null
    const TChar* menuWord = nullptr;     // the word of the menu's middle line that shows it
    bool litWhenClear = false;           // the word stands out while the field is 0, not 1
};

// Every key of the view; codes not named in any row are ignored and draw nothing.
extern const std::span<const ViewKey> viewKeys;

// The row of a key code, or null.
[[nodiscard]] const ViewKey* findViewKey(int code);
