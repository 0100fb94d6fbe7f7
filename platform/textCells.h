#pragma once
// Text as a terminal shows it. A cell is one column of the screen: it holds one character with
// the combining marks that join it, and a character two columns wide fills two neighbouring
// cells. This is the cell model of the emulated console (platform/consoleBuffer.h), and the
// reading of UTF-16 text character by character into such cells that everything drawing text of
// a file or a name goes through.

#include <cstddef>
#include <cstdint>
#include <cstring>

// Units one cell holds: a character (two units beyond U+FFFF) and the marks that join it.
inline constexpr int kCellUnits = 7;
// Marks one cell holds: a curses cell takes a character and four more.
inline constexpr int kCellMarks = 4;

// How a cell takes part in a character two columns wide.
enum class CellPart : uint8_t {
    whole,     // the cell shows its character alone (one that needs two columns: a stand-in)
    wideLeft,  // the left half of a character two columns wide; the next cell is its right half
    wideRight, // the right half: the same character as the cell before
};

struct CellText {
    char16_t units[kCellUnits] = {}; // the character, then its marks; the unused units are 0
    CellPart part = CellPart::whole;
    uint8_t unused = 0; // fills the cell to 16 bytes without padding: cells compare as bytes

    constexpr CellText() = default;
    // One unit alone is a whole cell: what the console's writes of characters put in a cell.
    constexpr CellText(char16_t unit) : units{unit} {} // NOLINT(google-explicit-constructor)

    // Units in use: the first always counts (it may be U+0000), then those up to the first 0.
    int unitCount() const;
    // Every screen compares cells, and the presenter compares every cell of a screen.
    friend bool operator==(const CellText& a, const CellText& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};
static_assert(sizeof(CellText) == 16, "a cell is two words");

// The code points of a cell: its character, then its marks; an unpaired surrogate stands for
// itself. Writes them to out (room for kCellUnits) and returns how many.
int cellCodePoints(const CellText& cell, char32_t* out);

// One character of UTF-16 text read into a cell.
struct TextCluster {
    CellText cell; // the character and the marks that join it, part whole
    int units;     // units of the text it took, at least 1
    int columns;   // 2 for a character terminals draw two columns wide, else 1
};

// Reads the character at text[at] (at < length): a surrogate pair is one character, and the
// combining marks after a character of one or two columns join it, as many as the cell holds.
// Everything else takes one cell of its own: a control, an unpaired surrogate, an invisible
// character, a mark with nothing to join, a mark beyond the cell's room (all shown as stand-ins).
TextCluster readCluster(const char16_t* text, size_t length, size_t at);

// The columns of text[0..length) laid out cluster by cluster: each character by its columns, a
// tab or a control by the one column of its stand-in.
uint64_t textColumns(const char16_t* text, size_t length);

// Lays text[0..length) out into at most capacity cells from out: the cells of each character in
// turn, a character two columns wide as a pair of cells, or as one whole cell (a stand-in) where
// only the last cell is left. Returns the number of cells used.
int layOutText(CellText* out, int capacity, const char16_t* text, size_t length);

// Puts a cluster of two columns into out[0] and out[1] as the halves of one character.
void putWideCells(CellText* out, const CellText& cell);
