#include "viewer/menu.h"

#include "console/colourScheme.h"
#include "console/keyReader.h"
#include "console/screen.h"
#include "viewer/viewKeys.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

constexpr const TChar* kMenuLine1 =
    QVD_T("%1 TOGGLES  %2S%1plitting  %2L%1ine numbers  %2H%1ex mode  %2T%1all display  "
          "%2M%1enu  %21..9%1 tab width ");
constexpr const TChar* kMenuLine2 =
    QVD_T("%1          %2C%1ase sensitive  %2W%1hite space compression  %2E%1mpty lines  "
          "%2O%1EM  %2D%1iff chars ");
constexpr const TChar* kMenuLine3 =
    QVD_T("%1  %2SPACE%1 next difference   %2+/-%1 next/prev difference    %2F1%1 help    "
          "%2ESC/ENTER%1 quit ");

// Visible width of the menu lines.
constexpr int kMenuWidth = 80;

// The items of the menu lines a click acts on, each found by its first word on its line and
// running up to the gap of two blanks before the next one.
struct MenuItem {
    int line;          // 0, 1 or 2: the menu line, from the top
    const TChar* word; // the item's first word, as the line shows it
    int key;           // the key code a click on the item stands for
};

constexpr MenuItem kMenuItems[] = {
    {0, QVD_T("Splitting"), 's'}, {0, QVD_T("Line"), 'l'},  {0, QVD_T("Hex"), 'h'},
    {0, QVD_T("Tall"), 't'},      {0, QVD_T("Menu"), 'm'},  {1, QVD_T("Case"), 'c'},
    {1, QVD_T("White"), 'w'},     {1, QVD_T("Empty"), 'e'}, {1, QVD_T("OEM"), 'o'},
    {1, QVD_T("Diff"), 'd'},      {2, QVD_T("SPACE"), ' '}, {2, QVD_T("F1"), kKeyF1},
};

// Where the middle menu line was drawn (-1 while no menu is shown); the toggle letters are found
// there again by reading it, and so are the items a click lands on, one line above to one below.
int toggleLineRow = -1;
// Cells of that line that lie on the screen: the line is read back only as far as it is shown.
int toggleLineCells = 0;

int findWord(const TChar* line, int count, const TChar* word, int length) {
    for (int start = 0; start + length <= count; ++start)
        if (std::equal(word, word + length, line + start)) return start;
    return -1;
}

} // namespace

PaneLayout drawLayoutAndMenu(int width, int height, const Settings& settings, const TChar* name1,
                             const TChar* name2) {
    PaneLayout layout = drawPaneFrames(width, height, settings.horizontalSplit,
                                       settings.hideMenu == 0, name1, name2);
    if (settings.hideMenu || height < 3 || width < 1) {
        toggleLineRow = -1; // no menu, or no room for it: nothing to read back
        return layout;
    }
    // On a screen narrower than the menu each line runs on into the next row, which the next
    // line then overwrites, so every row shows the start of its own line.
    writeEscaped(kMenuLine1, height - 3, 0);
    writeEscaped(kMenuLine2, height - 2, 0);
    writeEscaped(kMenuLine3, height - 1, 0);
    toggleLineRow = height - 2;
    toggleLineCells = std::min(width, kMenuWidth);
    highlightToggleStates(settings);
    return layout;
}

void highlightToggleStates(const Settings& settings) {
    if (settings.hideMenu || toggleLineRow < 0) return;
    TChar characters[kMenuWidth];
    uint16_t attributes[kMenuWidth];
    int count = toggleLineCells;
    readCharacters(characters, count, toggleLineRow, 0);
    readAttributes(attributes, count, toggleLineRow, 0);
    // The toggles of the key table that the menu names, each lit while it is in force.
    for (const ViewKey& key : viewKeys) {
        if (!key.menuWord) continue;
        int at = findWord(characters, count, key.menuWord,
                          static_cast<int>(std::char_traits<TChar>::length(key.menuWord)));
        if (at < 0) continue;
        bool lit = (settings.*key.toggle != 0) != key.litWhenClear;
        attributes[at] = lit ? colourScheme.differing : colourScheme.identical;
    }
    // The console layer writes attributes together with their characters: the characters read
    // are written back unchanged.
    writeCells(characters, attributes, count, toggleLineRow, 0);
}

int menuKeyAt(int row, int column) {
    const int line = row - (toggleLineRow - 1);
    if (toggleLineRow < 0 || line < 0 || line > 2 || column < 0 || column >= toggleLineCells)
        return 0;
    TChar characters[kMenuWidth];
    const int count = toggleLineCells;
    readCharacters(characters, count, row, 0);
    for (const MenuItem& item : kMenuItems) {
        if (item.line != line) continue;
        const int at = findWord(characters, count, item.word,
                                static_cast<int>(std::char_traits<TChar>::length(item.word)));
        if (at < 0 || column < at) continue;
        int end = at;
        while (end < count && !(characters[end] == TChar(' ') &&
                                (end + 1 == count || characters[end + 1] == TChar(' '))))
            ++end;
        if (column < end) return item.key;
    }
    return 0;
}
