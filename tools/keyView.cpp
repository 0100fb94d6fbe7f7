// keyView: shows the code and character readKey gives for each key pressed, on the full screen, in
// the colour scheme's colours. For checking what a terminal sends and how the console draws on it.
// Ends with q; Ctrl-C, Ctrl-Z and resizing behave as in the programs.
#include "console/colourScheme.h"
#include "console/keyReader.h"
#include "console/screen.h"

#include <cstdio>
#include <string>

namespace {

void put(const std::string& text, int row, int column, uint16_t attribute) {
    writeNarrowText(text.data(), static_cast<int>(text.size()), row, column, attribute);
}

void drawFrame() {
    ScreenSize size = getScreenSize(false);
    clearScreen(colourScheme.frame);
    setCursorVisible(false);
    std::string rule(static_cast<size_t>(size.width), '\xCD');
    put(rule, 0, 0, colourScheme.frame);
    put(rule, size.height - 1, 0, colourScheme.frame);
    writeEscaped(QVD_T("%1 keyView: press keys, %2q%1 ends. Colours: %2identical %5differing "
                       "%4matching %6numbers %0\x01\x1b\xff"),
                 1, 1);
    char line[80];
    snprintf(line, sizeof line, "screen %dx%d, largest %dx%d", size.width, size.height,
             getScreenSize(true).width, getScreenSize(true).height);
    put(line, 2, 1, colourScheme.lineNumbers);
}

} // namespace

int main(int, char** arguments) {
    findExeDirectory(arguments[0]);
    loadColourScheme(false);
    if (!openConsoleOutput()) {
        fprintf(stderr, "keyView: no terminal\n");
        return 2;
    }
    setConsoleTitle(QVD_T("keyView"));
    drawFrame();
    int row = 4;
    for (;;) {
        const Key key = readKey();
        const int code = key.code;
        if (code == kKeyScreenResized) {
            drawFrame();
            row = 4;
            continue;
        }
        char line[80];
        snprintf(line, sizeof line, "key code %5d (0x%04X), character U+%04X", code,
                 static_cast<unsigned>(code), static_cast<unsigned>(key.character));
        ScreenSize size = getScreenSize(false);
        if (row >= size.height - 1) row = 4;
        put(std::string(line) + "          ", row++, 1, colourScheme.identical);
        if (code == 'q') break;
    }
    clearScreen(7);
    return 0;
}
