#pragma once
// The colour setup screen (Alt-F10 in the view): a fixed 80 x 25 picture of two sample files in
// every colour of the scheme, whose entries the letter keys step while the picture follows.

#include "console/colourScheme.h"

#include <cstdint>

// Results of runColourSetup, as saveColourScheme takes them.
inline constexpr int kColourSetupAborted = 0; // ESC: the scheme as at start-up is back
inline constexpr int kColourSetupKill = 1;    // ESC after 'k': the caller deletes qvd.ini
inline constexpr int kColourSetupSave = 2;    // ENTER: the caller writes qvd.ini

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

// Runs the screen until ENTER or ESC and returns kColourSetupAborted, kColourSetupKill or
// kColourSetupSave. Every change is live for all drawing at once; ESC reloads the scheme as at
// start-up. Nothing is written to disk here: the caller passes a nonzero result to
// saveColourScheme and redraws its whole screen.
int runColourSetup();

// Tells on the colour setup picture that saveColourScheme(request) failed: what was not done,
// then each place tried and why (colourFileErrors), in place of the menu lines. Waits for a key;
// the colours in force stay as they are. The caller redraws its whole screen afterwards.
void showColourFileFailure(int request);
