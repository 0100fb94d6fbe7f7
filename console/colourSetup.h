#pragma once
// The colour setup screen (Alt-F10 in the view): a fixed 80 x 25 picture of two sample files in
// every colour of the scheme, whose entries the letter keys step while the picture follows. A view
// of the loop that drives the views (viewer/viewerLoop.h).

#include "console/colourScheme.h"

#include <cstdint>

struct Key;
struct Reaction;

// What leaving the screen asks of the colour file, as saveColourScheme takes it.
inline constexpr int kColourSetupAborted = 0; // ESC: the scheme as at start-up is back
inline constexpr int kColourSetupKill = 1;    // ESC after 'k': qvd.ini is deleted
inline constexpr int kColourSetupSave = 2;    // ENTER: qvd.ini is written

// Next foreground colour (low nibble, 15 wraps to 0); the background stays. The result is 0..255:
// a high byte that an entry read from qvd.ini may carry is dropped.
constexpr uint16_t foregroundStep(uint16_t value) {
    return static_cast<uint16_t>(((value + 1) & 0x0F) | (value & 0xF0));
}

// Next background colour (high nibble, 15 wraps to 0); the foreground stays. Result 0..255.
constexpr uint16_t backgroundStep(uint16_t value) {
    return static_cast<uint16_t>((value + 0x10) & 0xFF);
}

// Applies the colour step that key stands for to scheme: F/f frame, I/i identical, L/l
// lineNumbers, M/m matching, D/d differing; uppercase steps the foreground, lowercase the
// background. base and reserved are never touched. False, and nothing changed, for any other key.
constexpr bool stepColourForKey(ColourScheme& scheme, int key) {
    uint16_t* entry = nullptr;
    switch (key) {
    case 'F':
    case 'f':
        entry = &scheme.frame;
        break;
    case 'I':
    case 'i':
        entry = &scheme.identical;
        break;
    case 'L':
    case 'l':
        entry = &scheme.lineNumbers;
        break;
    case 'M':
    case 'm':
        entry = &scheme.matching;
        break;
    case 'D':
    case 'd':
        entry = &scheme.differing;
        break;
    default:
        return false;
    }
    *entry = key < 'a' ? foregroundStep(*entry) : backgroundStep(*entry);
    return true;
}

struct ColourSetupScreen {
    bool cleared = false;              // the screen was cleared for the first picture
    bool killRequested = false;        // 'k' was pressed: ESC deletes qvd.ini
    int request = kColourSetupAborted; // what ENTER or ESC asked of the colour file
    // The colour file could not do what was asked: the picture says what was not done and each
    // place tried and why (colourFileErrors) in place of the menu lines, until a key is pressed.
    // The colours in force stay as they are.
    bool failed = false;
};

// Draws the picture (and what failed, when something did).
void drawView(ColourSetupScreen& screen);

// The letter keys step the colours, live for all drawing at once; 'r' restores the defaults,
// 'k' asks for qvd.ini to be deleted on ESC, F1 opens the colour help. ENTER writes qvd.ini,
// ESC reloads the scheme as at start-up (and deletes qvd.ini after 'k'); either leaves, unless
// the file could not be written or deleted: then the next key leaves (a terminal resize draws
// the picture again). The view below redraws its whole screen afterwards.
[[nodiscard]] Reaction actOnKey(ColourSetupScreen& screen, const Key& key);
