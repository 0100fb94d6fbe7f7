#pragma once
// The colour scheme: seven console attribute words, read from the user's own qvd.ini, else from
// qvd.ini beside the executable, else derived from the host file manager's kqw.ini beside it,
// else the built-in defaults.

#include <cstdint>
#include <string>
#include <vector>

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

// The user's own directory for qvd.ini, ${XDG_CONFIG_HOME:-$HOME/.config}/qvd/ with a trailing
// '/', as bytes; empty when the environment names no absolute home (then there is no such file).
extern std::string userColourDirectory;

// Sets exeDirectory from /proc/self/exe, else from the directory part of argument0, and
// userColourDirectory from the environment.
void findExeDirectory(const char* argument0);

// Fills the scheme; returns 1 when it came from a file, 0 when the defaults were set. Only
// regular files are read, and only when they hold a whole scheme (14 bytes of qvd.ini, 38 of
// kqw.ini); anything else counts as no file. restoreDefaults false also notes which file the
// colours came from: a save goes there when it can, a deletion deletes it.
int loadColourScheme(bool restoreDefaults);

// request 2: writes qvd.ini (atomically): to the qvd.ini the colours came from when it can be
// written, else to the user's file (its directories are made, mode 0700); beside the executable
// only when the colours came from there. Any other request deletes the qvd.ini the colours came
// from (none after the defaults or kqw.ini). False, with colourFileErrors saying why, when nothing
// could be written or deleted.
[[nodiscard]] bool saveColourScheme(int request);

// Why the last saveColourScheme failed: one entry per place it tried, in order.
struct ColourFileError {
    std::string path;   // bytes, as the kernel takes them
    std::string reason; // the system's words for it, in English
};
const std::vector<ColourFileError>& colourFileErrors();
