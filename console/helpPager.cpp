#include "console/helpPager.h"

#include "console/colourScheme.h"
#include "console/helpPages.h"
#include "console/keyReader.h"
#include "console/reaction.h"
#include "console/screen.h"

#include <cstdio>
#include <cstring>

namespace {

// The cells of a help row that the screen has room for: a screen narrower than the page cuts
// every row at its right edge.
int shownCells() {
    return cellsWithinRow(0, kHelpRowWidth);
}

// Writes 80 cells of 8-bit text, which holds exactly kHelpRowWidth characters, at the start of
// row, through the build's text writer.
void writeHelpRow(const char* row, int screenRow, uint16_t attribute) {
#if QVD_WIDE
    char16_t wide[kHelpRowWidth];
    for (int i = 0; i < kHelpRowWidth; ++i) {
        wide[i] = static_cast<unsigned char>(row[i]);
    }
    writeText(wide, shownCells(), screenRow, 0, attribute);
#else
    writeNarrowText(row, shownCells(), screenRow, 0, attribute);
#endif
}

void drawHelpPage(const char* page, int pageNumber, int screenRows) {
    clearScreen(colourScheme.frame);

    char header[kHelpRowWidth + 1];
    std::snprintf(header, sizeof header, "  Page %-*i", kHelpRowWidth - 7, pageNumber);
    writeHelpRow(header, 0, colourScheme.frame);

    // The last row of a page may be short; its missing cells are written as blanks instead of
    // reading past the end of the text.
    const int length = static_cast<int>(std::strlen(page));
    for (int start = 0, screenRow = 1; start < length; start += kHelpRowWidth, ++screenRow) {
        char row[kHelpRowWidth];
        const int count = length - start < kHelpRowWidth ? length - start : kHelpRowWidth;
        std::memset(row, ' ', sizeof row);
        std::memcpy(row, page + start, static_cast<std::size_t>(count));
        writeNarrowText(row, shownCells(), screenRow, 0, colourScheme.identical);
    }

    if (screenRows < 2) {
        return;
    }
#if QVD_WIDE
    char16_t rule[kHelpRowWidth];
    for (char16_t& cell : rule) {
        cell = u'\u2500';
    }
    writeText(rule, shownCells(), screenRows - 2, 0, colourScheme.frame);
#else
    char rule[kHelpRowWidth];
    std::memset(rule, 0xC4, sizeof rule); // the same box-drawing line in code page 437
    writeNarrowText(rule, shownCells(), screenRows - 2, 0, colourScheme.frame);
#endif
    (void)writeEscapedWithinRow(
        QVD_T("%1   %2PAGEUP%1  previous page      %2PAGEDOWN%1  next page      "
              "        %2ESC%1  exit help  "),
        screenRows - 1, 0);
}

} // namespace

void drawView(HelpPager& pager) {
    // The console may be shorter than the rows asked for (the colour help's 25 rows on a small
    // terminal, or a terminal that shrank while the help was open): the rule and the key line
    // then go on its last rows, where they can be seen.
    const int consoleRows = getScreenSize(false).height;
    drawHelpPage(pager.pages[pager.pageNumber], pager.pageNumber,
                 pager.screenRows < consoleRows ? pager.screenRows : consoleRows);
}

Reaction actOnKey(HelpPager& pager, const Key& key) {
    // The wheel turns the pages as Up and Down do; the rest of the mouse does nothing.
    int code = key.code;
    if (code == kKeyMouse && key.mouse.action == kMouseWheelUp) code = kKeyUp;
    if (code == kKeyMouse && key.mouse.action == kMouseWheelDown) code = kKeyDown;
    switch (code) {
    case kKeyEscape:
        return {.leave = ViewOutcome::done};
    case kKeyHome:
        pager.pageNumber = 0;
        break;
    case kKeyPageUp:
    case kKeyLeft:
    case kKeyUp:
        if (pager.pageNumber > 0) --pager.pageNumber;
        break;
    case kKeyPageDown:
    case kKeyRight:
    case kKeyDown:
    case kKeyF1:
    case kKeyEnter:
    case ' ':
        if (pager.pages[pager.pageNumber + 1] != nullptr) ++pager.pageNumber;
        break;
    default:
        break;
    }
    return {};
}
