#pragma once
// The keys of the comparison view as data: each row names its key codes, the action, and the
// rows of the help that describe it. The toggles shown in the menu also name their settings
// field and the menu word whose first letter shows their state.

#include "console/reaction.h"
#include "platform/build.h"
#include "viewer/settings.h"

#include <span>

struct ComparisonView;
struct Key;

struct ViewKey {
    int codes[9] = {}; // the key codes that run it; unused places are 0
    // Does what the key does and returns what must follow; an empty reaction when its condition
    // did not hold (then nothing changed and nothing is drawn).
    Reaction (*action)(ComparisonView& view, const ViewKey& row, const Key& key) = nullptr;
    Reaction toggled{};                  // what flipping the toggle needs (the toggle action)
    int32_t Settings::*toggle = nullptr; // the field a toggle flips, else null
    const TChar* menuWord = nullptr;     // the word of the menu's middle line that shows it
    bool litWhenClear = false;           // the word stands out while the field is 0, not 1
    // How the help pages name the key: each the start of a help row that describes it (after
    // the row's first blank), up to a blank. Null for what is not a key (a terminal resize).
    const char* help[3] = {};
};

// Every key of the view; codes not named in any row are ignored and draw nothing.
extern const std::span<const ViewKey> viewKeys;

// The row of a key code, or null.
[[nodiscard]] const ViewKey* findViewKey(int code);

// Whether the key ends the view (Esc, Enter, q).
[[nodiscard]] bool isQuitKey(int code);
