// The full screen, drawn through ncursesw from the console buffer: changed cells only, in colour
// pairs made as colours appear, with the title, following the terminal's size.
#include "platform/cursesScreen.h"

#include "platform/cellStyle.h"
#include "platform/codePages.h"
#include "platform/consoleBuffer.h"
#include "platform/terminal.h"
#include "platform/terminfo.h"
#include "platform/ttyDevice.h"
#include "platform/waysOut.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <ncursesw/curses.h>

namespace {

// Everything here is process-wide, as the terminal is, and used on the main thread only.
struct CursesScreen {
    int quietFd = -1; // /dev/null, put on standard error while ncurses works
    int errorFd = -1; // standard error itself, while the other is in its place

    SCREEN* screen = nullptr;
    FILE* screenOutput = nullptr;
    FILE* screenInput = nullptr;
    bool screenFailed = false;
    bool unicodeTerminal = false;
    bool alternateScreen = false; // the terminal keeps the user's screen while ours is shown
    int colours = 0;

    bool mouseReports = false; // the terminal reports the mouse while the full screen is shown
    bool titleSupported = false;
    bool titlePushed = false;
    std::u16string shownTitle;

    std::vector<CellText> shownCharacters; // what the terminal shows, to draw changed cells only
    std::vector<uint16_t> shownAttributes;
    int shownWidth = 0;
    int shownHeight = 0;
    int shownBackground = -1;
    uint64_t shownChangeCount = ~0ull;
    bool shownWideCells = false; // halves of wide characters were drawn since the last erase
    short pairs[256] = {};       // colour pair of each foreground/background byte, 0 = none yet
    short nextPair = 1;
    bool pairsRanOut = false; // a colour was drawn with a pair that is not its own
    bool pairsRenewing = false;

    int knownWidth = 0; // the terminal's size as the console last followed it
    int knownHeight = 0;
    bool resizeUnreported = false; // the console follows a new size the key wait has not told
};

CursesScreen curses;

// Sanitizer builds keep standard error: their reports go there.
#if defined(QVD_SANITIZED)
constexpr bool kQuietCurses = false;
#else
constexpr bool kQuietCurses = true;
#endif

void writeAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

// The user's locale, made once: ncursesw writes characters in its encoding (LANG, LC_ALL...).
locale_t userLocale() {
    static locale_t user = [] {
        locale_t fromEnvironment = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
        return fromEnvironment != static_cast<locale_t>(nullptr)
                   ? fromEnvironment
                   : newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return user;
}

void forgetShownCells() {
    curses.shownCharacters.clear();
    curses.shownAttributes.clear();
    curses.shownChangeCount = ~0ull;
}

// The title without anything a terminal could take for a control sequence, as UTF-8.
std::string sanitisedTitle(const std::u16string& title) {
    std::string text;
    for (size_t index = 0; index < title.size() && index < 200; ++index) {
        char16_t unit = title[index];
        if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0)) continue;
        char32_t character = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && index + 1 < title.size() &&
            title[index + 1] >= 0xDC00 && title[index + 1] <= 0xDFFF) {
            character = 0x10000 + ((unit - 0xD800) << 10) + (title[index + 1] - 0xDC00);
            ++index;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            character = 0xFFFD;
        }
        if (!curses.unicodeTerminal && character > 0x7E) character = '?';
        appendUtf8(text, character);
    }
    return text;
}

void showTitle() {
    if (!curses.titleSupported || consoleBuffer.title == curses.shownTitle) return;
    if (!curses.titlePushed) {
        writeAll(terminalFd(), kTitlePush, sizeof kTitlePush - 1);
        curses.titlePushed = true;
    }
    std::string text = "\033]2;" + sanitisedTitle(consoleBuffer.title) + "\007";
    writeAll(terminalFd(), text.data(), text.size());
    curses.shownTitle = consoleBuffer.title;
}

// Mouse reporting on or off, where the terminal takes it.
void reportMouse(bool on) {
    if (!curses.mouseReports) return;
    if (on)
        writeAll(terminalFd(), kMouseOn, sizeof kMouseOn - 1);
    else
        writeAll(terminalFd(), kMouseOff, sizeof kMouseOff - 1);
}

void popTitle() {
    if (!curses.titlePushed) return;
    writeAll(terminalFd(), kTitlePop, sizeof kTitlePop - 1);
    curses.titlePushed = false;
    curses.shownTitle.clear();
}

// A stream of its own on the terminal for ncurses; null when there is no descriptor or memory
// left for one.
FILE* terminalStream(const char* mode) {
    int fd = fcntl(terminalFd(), F_DUPFD_CLOEXEC, 3);
    if (fd < 0) return nullptr;
    FILE* stream = fdopen(fd, mode);
    if (stream == nullptr) close(fd);
    return stream;
}

short colourPair(int foreground, int background) {
    if (foreground < 0) return 0;
    int index = background << 4 | foreground;
    if (curses.pairs[index] != 0) return curses.pairs[index];
    if (curses.nextPair >= COLOR_PAIRS) { // only on terminals with very few pairs
        curses.pairsRanOut = true;
        return 1;
    }
    short pair = curses.nextPair++;
    init_pair(pair, static_cast<short>(foreground), static_cast<short>(background));
    curses.pairs[index] = pair;
    return pair;
}

// The background most cells have: the one that stays plain on a terminal without colour.
int commonBackground() {
    int counts[16] = {};
    for (uint16_t attribute : consoleBuffer.attributes) ++counts[(attribute >> 4) & 15];
    return static_cast<int>(std::max_element(std::begin(counts), std::end(counts)) -
                            std::begin(counts));
}

// How an attribute is drawn: ncurses attributes and colour pair.
struct DrawnLook {
    attr_t attributes;
    short pair;
};

DrawnLook drawnLook(uint16_t attribute, int background) {
    CellLook look = cellLook(attribute, curses.colours, background);
    attr_t attributes = A_NORMAL;
    if (look.bold) attributes |= A_BOLD;
    if (look.reverse) attributes |= A_REVERSE;
    if (look.underline) attributes |= A_UNDERLINE;
    return {attributes, colourPair(look.foreground, look.background)};
}

void drawCell(int row, int column, const CellGlyph& glyph, DrawnLook look) {
    wchar_t text[kCellMarks + 2] = {};
    for (size_t index = 0; index < std::size(text) && glyph.characters[index] != 0; ++index)
        text[index] = static_cast<wchar_t>(glyph.characters[index]);
    if (text[0] == 0) text[0] = L' '; // U+0000 is drawn as a blank
    cchar_t cell;
    setcchar(&cell, text, look.attributes, look.pair, nullptr);
    mvadd_wch(row, column, &cell); // the bottom right cell reports an error, but is drawn
}

// Whether a row of cells holds a part of a character two columns wide.
bool holdsWideParts(const CellText* cells, int count) {
    for (int column = 0; column < count; ++column)
        if (cells[column].part != CellPart::whole) return true;
    return false;
}

// Follows the terminal's new size: ncurses' idea of it, then the console buffer.
void followResize() {
    CursesCall call;
    int width = 0;
    int height = 0;
    terminalSize(width, height);
    if (curses.screen != nullptr) {
        // A resize that fails has run out of memory, and leaves ncurses' windows (and, in its
        // cleanup, the heap) broken: nothing more can be drawn or trusted.
        if (resizeterm(height, width) != OK) endForMemory();
        forgetShownCells();
    }
    curses.knownWidth = width;
    curses.knownHeight = height;
    resizeConsoleBuffer(width, height);
}

} // namespace

CursesCall::CursesCall() {
    cursesDepth = cursesDepth + 1;
    if (cursesDepth == 1 && kQuietCurses && curses.errorFd >= 0)
        dup2(curses.quietFd, STDERR_FILENO);
    previous_ = uselocale(userLocale());
    savedErrno_ = errno;
    errno = 0;
}

CursesCall::~CursesCall() {
    uselocale(previous_);
    if (cursesDepth == 1 && errno == ENOMEM) endForMemory();
    errno = savedErrno_;
    cursesDepth = cursesDepth - 1;
    if (cursesDepth == 0 && kQuietCurses && curses.errorFd >= 0)
        dup2(curses.errorFd, STDERR_FILENO);
}

void quietCursesReports() {
    curses.quietFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (curses.quietFd >= 0) curses.errorFd = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
}

void setTitleSupport(bool supported) {
    curses.titleSupported = supported;
}

void setMouseSupport(bool supported) {
    curses.mouseReports = supported;
}

void learnTerminalSize() {
    terminalSize(curses.knownWidth, curses.knownHeight);
}

bool startScreen() {
    if (curses.screen != nullptr) return true;
    if (curses.screenFailed) return false;
    takeModes();
    CursesCall call;
    curses.unicodeTerminal = strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    use_tioctl(TRUE); // the terminal's own size, even where LINES and COLUMNS are set
    curses.screenOutput = terminalStream("w");
    curses.screenInput = terminalStream("r");
    screenShown = 1; // newterm may enter the alternate screen: a signal from here on leaves it
    if (curses.screenOutput != nullptr && curses.screenInput != nullptr)
        curses.screen = newterm(descriptionInUse(), curses.screenOutput, curses.screenInput);
    if (curses.screen == nullptr) {
        if (curses.screenOutput != nullptr) fclose(curses.screenOutput);
        if (curses.screenInput != nullptr) fclose(curses.screenInput);
        curses.screenOutput = curses.screenInput = nullptr;
        curses.screenFailed = true;
        screenShown = 0;
        giveModesBack();
        return false;
    }
    curses.alternateScreen = hasCapability("smcup");
    reportMouse(true); // the ways out turn it off again from here on (screenShown)
    raw();
    noecho();
    nonl();
    typeahead(-1); // keys are ours to read; ncurses must not cut drawing short for them
    intrflush(stdscr, FALSE);
    scrollok(stdscr, FALSE);
    curses.colours = 0;
    if (has_colors() && start_color() == OK) curses.colours = COLORS >= 16 ? 16 : 8;
    std::fill(std::begin(curses.pairs), std::end(curses.pairs), 0);
    curses.nextPair = 1;
    if (curses.colours == 16 && COLOR_PAIRS > 256) {
        // Every foreground with every background, palette 0-15 so the user's theme applies.
        for (int index = 0; index < 256; ++index) {
            auto pair = static_cast<short>(index + 1);
            init_pair(pair, static_cast<short>(index & 15), static_cast<short>(index >> 4));
            curses.pairs[index] = pair;
        }
    }
    curses.knownWidth = COLS;
    curses.knownHeight = LINES;
    forgetShownCells();
    return true;
}

void drawScreen() {
    CursesCall call;
    const ConsoleBuffer& buffer = consoleBuffer;
    int background = curses.colours == 0 ? commonBackground() : 0;
    bool whole = curses.shownWidth != buffer.width || curses.shownHeight != buffer.height ||
                 curses.shownBackground != background ||
                 curses.shownCharacters.size() != buffer.characters.size();
    if (!whole && curses.shownChangeCount == buffer.changeCount) return;
    if (whole) {
        erase();
        curses.shownCharacters.assign(buffer.characters.size(), u' ');
        curses.shownAttributes.assign(buffer.attributes.size(), 0xFFFF);
        curses.shownWideCells = false;
    }
    // Rows are searched for halves of wide characters only where there may be some.
    bool wideCells = buffer.wideCells || curses.shownWideCells;
    curses.shownWideCells = wideCells;
    int rows = std::min(buffer.height, LINES);
    int columns = std::min(buffer.width, COLS);
    int lookAttribute = -1; // the attribute whose look is in look
    DrawnLook look{};
    for (int row = 0; row < rows; ++row) {
        size_t first = static_cast<size_t>(row) * buffer.width;
        const CellText* cells = buffer.characters.data() + first;
        const uint16_t* attributes = buffer.attributes.data() + first;
        CellText* shownCells = curses.shownCharacters.data() + first;
        uint16_t* shownAttributes = curses.shownAttributes.data() + first;
        int changed = 0;
        while (changed < columns && !whole && cells[changed] == shownCells[changed] &&
               attributes[changed] == shownAttributes[changed])
            ++changed;
        if (changed == columns) continue;
        // A character two columns wide is drawn from its left cell over the right one, and a
        // change to either half changes both: a row that holds such halves, now or as shown, is
        // drawn again from its start.
        bool everyCell =
            whole ||
            (wideCells && (holdsWideParts(cells, columns) || holdsWideParts(shownCells, columns)));
        for (int column = everyCell ? 0 : changed; column < columns; ++column) {
            uint16_t attribute = attributes[column];
            if (!everyCell && cells[column] == shownCells[column] &&
                attribute == shownAttributes[column])
                continue;
            shownCells[column] = cells[column];
            shownAttributes[column] = attribute;
            CellGlyph glyph = cellGlyph(cells, column, columns, curses.unicodeTerminal);
            if (glyph.columns == 0) continue; // the left half drew it
            // Neighbouring cells mostly share their attribute: its look is worked out once.
            if (attribute != lookAttribute) {
                look = drawnLook(attribute, background);
                lookAttribute = attribute;
            }
            drawCell(row, column, glyph, look);
        }
    }
    curses.shownWidth = buffer.width;
    curses.shownHeight = buffer.height;
    curses.shownBackground = background;
    curses.shownChangeCount = buffer.changeCount;
    bool cursorInside = buffer.cursorRow < rows && buffer.cursorColumn < columns;
    if (buffer.cursorVisible && cursorInside) {
        curs_set(1);
        move(buffer.cursorRow, buffer.cursorColumn);
    } else {
        curs_set(0);
    }
    refresh();
    showTitle();
    // Pairs are handed out as colours first appear and the run may see more colours than the
    // terminal has pairs (64 on the Linux console). Then the pairs start afresh for the colours on
    // the screen now, and the whole screen is drawn again with them.
    if (curses.pairsRanOut && !curses.pairsRenewing) {
        curses.pairsRanOut = false;
        std::fill(std::begin(curses.pairs), std::end(curses.pairs), 0);
        curses.nextPair = 1;
        curses.shownWidth = 0;
        curses.pairsRenewing = true;
        drawScreen();
        curses.pairsRenewing = false;
    }
}

void endScreen() {
    CursesCall call;
    if (curses.screen == nullptr) return;
    if (!curses.alternateScreen) { // nothing brings the user's screen back: leave it blank
        erase();
        refresh();
    }
    endwin();
    reportMouse(false);
    popTitle();
    delscreen(curses.screen);
    curses.screen = nullptr;
    fclose(curses.screenOutput);
    fclose(curses.screenInput);
    curses.screenOutput = curses.screenInput = nullptr;
    screenShown = 0;
    forgetShownCells();
}

void leaveScreenForStop() {
    if (curses.screen == nullptr) return;
    endwin();
    reportMouse(false); // the shell's own mouse, and the terminal's selection, meanwhile
    screenShown = 0;
    popTitle();
}

void showScreenAgain() {
    if (curses.screen == nullptr) return;
    screenShown = 1;
    reportMouse(true);
    clearok(curscr, TRUE);
    forgetShownCells();
    curses.shownWidth = 0;
    drawScreen();
}

void noticeSizeChange() {
    int width = 0;
    int height = 0;
    terminalSize(width, height);
    if (width != curses.knownWidth || height != curses.knownHeight) resizeSeen = 1;
}

void followResizes() {
    if (!resizeSeen) return;
    resizeSeen = 0;
    followResize();
    curses.resizeUnreported = true;
}

bool takeUnreportedResize() {
    if (!curses.resizeUnreported) return false;
    curses.resizeUnreported = false;
    return true;
}
