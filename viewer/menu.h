#pragma once
// The screen layout of the view: pane frames, then the three menu lines below them, with the
// state of the five toggles shown by the colour of their key letters.

#include "console/paneFrames.h"
#include "platform/build.h"
#include "viewer/settings.h"

// Clears the screen, draws frames and names, and (unless settings.hideMenu is set) the menu
// lines with the toggle states of settings. Returns the pane layout.
PaneLayout drawLayoutAndMenu(int width, int height, const Settings& settings, const TChar* name1,
                             const TChar* name2);

// Recolours the key letters of the toggles the key table shows in the middle menu line (C, W, E,
// O and D) from settings, by reading that line back from the screen. Does nothing while the menu
// is hidden.
void highlightToggleStates(const Settings& settings);

// The key a left click at the screen cell (row, column) stands for: on a word of the menu lines,
// the key that word's item names ("Hex mode" is 'h', "F1 help" is F1); 0 anywhere else, on an
// item without a key of its own (the tab widths, "+/-"), on the quit item (a stray click must not
// throw the view away), and while the menu is hidden. Read off the screen as it was drawn, so a
// prompt or a message over the last menu line takes that line's items away.
int menuKeyAt(int row, int column);
