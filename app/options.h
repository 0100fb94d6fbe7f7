#pragma once
// The command line's options: the view's settings at the start, and the program's own.

#include "platform/build.h"
#include "viewer/settings.h"

// Largest screen size -a can ask for: console sizes are signed 16-bit.
inline constexpr int kLargestScreenSize = 32767;
// Smallest height -a can ask for; anything below keeps the height.
inline constexpr int kSmallestScreenRows = 12;

// What the command line asks for. Parsed once; read-only afterwards. The view starts from the
// settings it holds (its toggles), the driver reads the rest.
struct Options : Settings {
    int32_t batchMode = 0;     // 1: no display or keyboard, verdict and exit code only (-b)
    int32_t hostMode = 0;      // 1: names go through the matcher, messages are silent (-z)
    int32_t badOption = 0;     // 1: an unknown option was seen
    int32_t screenRows = 0;    // requested console height; 0 = keep (-aYY)
    int32_t screenColumns = 0; // requested console width; 0 = keep (-aYY,XX)
    int32_t noMouse = 0;       // 1: the terminal keeps the mouse, nothing about it is sent
};

// The options among arguments[1..argumentCount), applied over start (a toggle such as -m flips
// what start holds). Which arguments are options argumentKind decides; an option's second
// character decides, in either letter case, and the rest is ignored except after -a. The long
// options are --align=window, --align=long-runs (or --long-runs) and --align=histogram
// (alignment), --context=N (folding, N rows of context, 0 to kMaxContextRows), --wrap and
// --no-mouse, spelt exactly; any other "--" word is an unknown option. Every unknown option
// prints "Invalid option" (in host mode too) and sets badOption; parsing goes on with the next
// one.
[[nodiscard]] Options parseOptions(int argumentCount, const TChar* const* arguments,
                                   Options start = {});

// The environment variable whose options both programs take before their command line's, as
// defaults of the user's own.
inline constexpr const char* kOptionsVariable = "QVD_OPTIONS";

// The options of QVD_OPTIONS (words split at blanks and tabs), applied over the start values:
// what the command line's options are then applied over. Every word must be an option; one that
// is not, or is unknown, prints "Invalid option ... found in QVD_OPTIONS" and sets badOption.
[[nodiscard]] Options environmentOptions();

// What the GNU-style requests --help and --version ask for; they stand apart from the options
// (every other option that begins with "--" and is not a long option is invalid). After "--"
// they are names.
enum class InfoRequest { none, help, version };

// The first --help or --version among the options of arguments[1..argumentCount), or none.
[[nodiscard]] InfoRequest findInfoRequest(int argumentCount, const TChar* const* arguments);

// What one word of the command line is. The rule is the same for every reader of the command
// line, so that a word is never an option to one and a name to another.
enum class ArgumentKind {
    option,       // begins with '-' and stands before "--" (a '/' begins a path on POSIX)
    name,         // a file name: "-" alone, anything after "--", any other word
    endOfOptions, // the first "--": every word after it is a name, "-x" and "--help" included
};

// Where the options end: the index of the first "--" among arguments[1..argumentCount), or
// argumentCount when there is none.
[[nodiscard]] int findEndOfOptions(int argumentCount, const TChar* const* arguments);

// The kind of arguments[index], given endOfOptions as findEndOfOptions gave it.
[[nodiscard]] ArgumentKind argumentKind(const TChar* const* arguments, int index, int endOfOptions);
