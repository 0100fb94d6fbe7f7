#include "console/helpPages.h"

#include <cstddef>

namespace {

// A page assembled at compile time, so that the rows can be written here as readable lines
// while the pager still gets the flat 80-column text it indexes by row.
template <std::size_t Rows>
struct HelpPage {
    char text[Rows * kHelpRowWidth + 1];
};

// Pads every row with blanks to 80 columns, the last one only to lastRowWidth (the key summary
// ends one column short). A row longer than its width stops the compilation.
template <std::size_t Rows>
consteval HelpPage<Rows> layOut(const char* const (&rows)[Rows], int lastRowWidth = kHelpRowWidth) {
    HelpPage<Rows> page{};
    std::size_t at = 0;
    for (std::size_t row = 0; row < Rows; ++row) {
        const int width = row + 1 == Rows ? lastRowWidth : kHelpRowWidth;
        int column = 0;
        for (const char* c = rows[row]; *c != '\0'; ++c, ++column) {
            if (column == width) {
                throw "help row wider than the page";
            }
            page.text[at++] = *c;
        }
        for (; column < width; ++column) {
            page.text[at++] = ' ';
        }
    }
    page.text[at] = '\0';
    return page;
}

// The key summary: the banner, blank rows, then one row per key of the view.
constexpr auto keySummary = layOut(
    {
        "                   Morvyn's File Compare 3.00h",
        "",
        "",
        " KEY    DESCRIPTION",
        " ---    -----------",
        " ESC/ENTER/Q  exit with errorlevel 1",
        " ARROWS  scroll up, down, left, right, etc",
        " SPACE   scroll down to next difference",
        " +       scroll down to next difference",
        " -       scroll up to previous difference",
        " C       case sensitivity on/off",
        " D       toggle highlighting of differing chars within differing lines on/off",
        " E       toggle suppression of empty lines",
        " H       toggle between ASCII and hex mode",
        " L       toggle line numbers on/off (does not work in hex mode)",
        " O       toggle OEM/ANSI character set (OEM is ASCII)",
        " S       toggle vertical/horizontal split screen",
        " T       tall screen toggle (25/50 line mode)",
        " W       white space compression on/off",
        " 1..9    set tab width to 1..9 blanks (default: 4)",
        " Alt-F10 colour setup utility",
    },
    kHelpRowWidth - 1);

constexpr auto fileNames = layOut({
    "                   Specifying file names on the command line",
    "",
    " The command line is:  qvd [options] file1 [file2]",
    "",
    " file1 may be any valid file name, with or without a path. A name that holds",
    " blanks goes in double quotes: qvd \"old notes.txt\". No wild cards ('*', '?')",
    " in file1.",
    "",
    " file1 may be a directory too: then file2 is one, and the two trees are listed.",
    " file2 may be a file name, a directory, or it may be omitted:",
    " - omitted: file1's name with its extension changed to '.bak' is used;",
    " - a directory (with or without a trailing slash '/'): the name and extension",
    "   of file1, without its directory, are appended to it;",
    " - an asterisk in place of file2's name and/or extension takes the",
    "   corresponding part of file1; '?' is not supported. Quote the asterisk",
    "   ('*.old') when a file in the current directory matches it, or the shell",
    "   replaces it by the names it matches.",
    "",
    " A name of '-' reads standard input (sort a | qvd - b), for one of the files.",
    " After '--' every argument is a file name, also one that begins with '-'.",
});

constexpr auto examples = layOut({
    "                   Command line examples",
    "",
    " This command line                   compares file      to file",
    " -----------------                   -------------      -------",
    " qvd /etc/config.sys                 /etc/config.sys    /etc/config.bak",
    " qvd /etc/config.sys  /backup        /etc/config.sys    /backup (if a file)",
    "                                                        or /backup/config.sys",
    " qvd /etc/config.sys  *.old          /etc/config.sys    config.old",
    " qvd /etc/config.sys  /srv/aaa/*.old /etc/config.sys    /srv/aaa/config.old",
    " qvd autoexec.bat   4start.*         autoexec.bat       4start.bat",
});

constexpr auto interactiveUsage = layOut({
    "                   Interactive usage",
    "",
    " By default the two files are shown on a horizontally split screen, one above",
    " the other. The colours come from ~/.config/qvd/qvd.ini, else from qvd.ini or",
    " Kalrit's KQW.INI in the directory of the moxa or moxaw executable (not the",
    " current directory), else the defaults apply. A colour setup utility is built",
    " in (Alt-F10 or 'p').",
    "",
    " When the files are identical the program says so, waits for a key (not in",
    " batch mode, -b) and exits.",
    "",
    " The cursor keys, PageUp, PageDown and End navigate as usual, except for Home",
    " (Pos1): when the view is scrolled to the right it goes to the start of the",
    " lines first, and to the start of the files on a second press.",
    "",
    " '+' and '-' jump to the next and the previous block of different lines, or to",
    " the end and the beginning of the files when there is none. The space bar",
    " works like '+'.",
    "",
    "                                                        (continued on next page)",
});

constexpr auto interactiveUsage2 = layOut({
    "                   Interactive usage II",
    "",
    " 'c'  Case-sensitive compare (the default) or case-insensitive compare.",
    "",
    " 'd'  Highlighting of differing characters within a line on or off. It may",
    "      slow the display down, and it may confuse more than help when the lines",
    "      are totally different.",
    "",
    " 'e'  Empty-line suppression on or off: lines that hold nothing but blanks and",
    "      tabs are hidden and take no part in the compare.",
    "",
    " 'h'  Hex or ASCII mode; it affects both the compare and the display. In hex",
    "      mode a row holds 8, 12, 16, 24, 32, 40 and so on characters, depending",
    "      on the width of the panes, and the line numbers become hexadecimal file",
    "      offsets.",
    "",
    " The options -c, -d, -e and -h switch these toggles on when the program",
    " starts.",
    "",
    "                                                        (continued on next page)",
});

constexpr auto interactiveUsage3 = layOut({
    "                   Interactive usage III",
    "",
    " 'l'  Line numbers on or off. The file offsets of hex mode always stay.",
    "",
    " 'o'  OEM or ANSI character set for 8-bit text: OEM (code page 437) for files",
    "      written by DOS programs, ANSI (Windows-1252) for files written by Windows",
    "      programs.",
    "",
    " 's'  Horizontal or vertical split: the panes one above the other, or side by",
    "      side.",
    "",
    " 't'  25 lines or x lines, x being 50 when the program started with 25 lines,",
    "      else the number of lines at the start. The view never takes more lines",
    "      than the terminal window has, and the terminal is left as it was found.",
    "",
    " 'w'  White space compression on or off: every run of blanks and tabs counts",
    "      as one blank, in the compare and in the display.",
    "",
    " The options -l, -o, -v (side by side) and -w set these toggles at the start.",
    "",
    "                                                        (continued on next page)",
});

constexpr auto interactiveUsage4 = layOut({
    "                   Interactive usage IV",
    "",
    " '1'..'9'     Display width of tab characters (default 4); no effect on compare.",
    " 'm'          Menu lines on or off.",
    " Alt-F8, F8   Cycles the width through 80, 100, 120... up to the terminal's.",
    " Alt-F9, F9   Cycles the height through 25, 50, 60, 70... up to the terminal's.",
    " Alt-F10, 'p' Opens the colour setup, which has its own help pages under F1.",
    " F1, '?'      Opens this help.",
    " Desktops and terminals often keep F1, F10 and Alt-F8 to Alt-F10 for",
    " themselves: the second keys reach the same commands.",
    " '/'          Finds the text typed on the last row (ESC cancels); '/' ENTER,",
    "              F3 and Shift-F3 find it again, down and up.",
    " ':'          Goes to a line of file1 (to a hex offset in hex mode).",
    " 'r'          Reads both files again.",
    " 'a'          Alignment (--align=): window, long runs, histogram (for code).",
    " 'f'          Folds equal runs to N lines each end and one row (--context=N).",
    " 'z'          Wraps lines wider than their pane (--wrap); no sideways scroll.",
    " Mouse: the wheel scrolls 3 rows; a click on a menu item is its key (--no-mouse)",
    " ESC, ENTER and 'q' leave the program; in this help, PageUp, PageDown and the",
    " arrow keys turn the pages, Home goes back to the first page, ESC returns.",
    " Ctrl-C ends the program at once, wherever it is (exit status 130).",
});

constexpr auto colourSetup = layOut({
    "                   Colour Setup",
    "",
    " The colour setup customizes the colour scheme, which both programs share. It",
    " is read from ~/.config/qvd/qvd.ini (or $XDG_CONFIG_HOME/qvd/qvd.ini), else",
    " from qvd.ini beside the moxa or moxaw executable. ENTER saves to the file it",
    " was read from when it can, else to ~/.config/qvd/qvd.ini: never a system one.",
    "",
    " The screen shows two sample files in every colour. In real use 'Diff chars'",
    " (D) must be on to see the colour of differing characters in a differing line.",
    "",
    " Uppercase letters (SHIFT-F, SHIFT-I, ...) change a foreground colour, the",
    " letters themselves ('f', 'i', ...) a background colour:",
    "    F, f   frame, menu and background",
    "    I, i   identical lines",
    "    L, l   line numbers",
    "    M, m   matching characters of lines that differ",
    "    D, d   differing characters of lines that differ",
    " 'r' restores the built-in default scheme.",
    "                                                        (continued on next page)",
});

constexpr auto colourSetup2 = layOut({
    "                   Colour Setup II",
    "",
    " 'k' deletes the qvd.ini in use (once the screen is left with ESC): the next",
    " start takes the next file in line, Kalrit's KQW.INI, or the default scheme.",
    "",
    " ESC discards all changes except the deletion of qvd.ini. ENTER writes the",
    " current scheme to qvd.ini, however it came about (inherited from Kalrit,",
    " restored, and so on).",
    "",
    " When no qvd.ini can be written or deleted, the screen says where it tried and",
    " why; the new colours then last until the program ends.",
    "",
    " To inherit Kalrit's scheme every time, first 'k'ill qvd.ini and then press",
    " ESC, not ENTER, which would write a new qvd.ini overriding Kalrit's settings.",
});

constexpr auto directoryList = layOut({
    "                   Comparing two directories",
    "",
    " qvd dir1 dir2 lists every path of either tree, with how the two sides compare:",
    " identical, different, only left, only right, kinds differ (a file against a",
    " directory), unreadable, not compared (special files), walked before (a",
    " directory reached a second time through links). The list is on show at once;",
    " files are compared behind it, sizes first, then bytes, and the bottom border",
    " counts what is left. A directory is identical when all it holds is.",
    "",
    " UP/DOWN/PGUP/PGDN/HOME/END  move the bar      ENTER  compare the pair of files",
    " SPACE or +  next row that differs             -      previous one",
    " /  find a name (F3 next, Shift-F3 previous)   i      hide/show identical rows",
    " r  read both trees again                      ?/F1   this help",
    " q or ESC  leave the list",
    "",
    " In a pair's view, q, ESC and ENTER come back to the list, on the same row.",
    " Leaving gives exit code 1 when anything differs, 0 when nothing does; trees",
    " found identical give the identical-files sentence instead of the list.",
    " qvd -b dir1 dir2 only tests identity: same paths, kinds and bytes.",
});

} // namespace

const char* const mainHelpPages[] = {
    keySummary.text,        fileNames.text,         examples.text,          interactiveUsage.text,
    interactiveUsage2.text, interactiveUsage3.text, interactiveUsage4.text, nullptr,
};

const char* const colourHelpPages[] = {colourSetup.text, colourSetup2.text, nullptr};

const char* const treeHelpPages[] = {directoryList.text, nullptr};
