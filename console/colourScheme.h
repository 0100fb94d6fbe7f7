#pragma once
// The colour scheme: seven console attribute words, read from qvd.ini, else derived from the
// host file manager's kqw.ini, else the built-in defaults. Both files live in the directory of
// the running executable.

#include <cstdint>
#include <string>

struct ColourScheme {
    uint16_t base;        // attribute at the start of every colour-escape string
    uint16_t frame;       // background, frames, names, scroll bars, menu text
    uint16_t identical;   // identical lines, key letters, toggles that are off, help text
    uint16_t reserved;    // only loaded and saved
    uint16_t matching;    // agreeing characters inside a differing line (highlighting on)
    uint16_t differing;   // differing lines or characters, toggles that are on
    uint16_t lineNumbers; // number and offset columns
};

extern ColourScheme colourScheme;

// Entry 0..6 of the scheme, in the order of the fields above.
uint16_t colourEntry(int index);

// The directory of the running executable, with a trailing '/', as bytes.
extern std::string exeDirectory;

// Sets exeDirectory from /proc/self/exe, else from the directory part of argument0.
void findExeDirectory(const char* argument0);

// Fills the scheme; returns 1 when it came from a file, 0 when the defaults were set.
int loadColourScheme(bool restoreDefaults);

// request 2: writes qvd.ini (atomically); false when it cannot be written. Any other request
// deletes qvd.ini; true.
[[nodiscard]] bool saveColourScheme(int request);
