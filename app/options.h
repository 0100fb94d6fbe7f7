#pragma once
// The command line's options, read into the option block of Settings.

#include "platform/build.h"

// Largest screen size -a can ask for: console sizes are signed 16-bit.
inline constexpr int kLargestScreenSize = 32767;
// Smallest height -a can ask for; anything below keeps the height.
inline constexpr int kSmallestScreenRows = 12;

// Resets the option block and fills it from arguments[1..argumentCount). An argument that begins
// with '-' is an option (a '/' begins an absolute path on POSIX); its second character decides,
// in either letter case, and the rest is ignored except after -a. The one long option is exactly
// --long-runs (settings.longRuns); any other "--" is an unknown option. Every unknown option prints
// "Invalid option" (in host mode too) and sets badOption; parsing goes on with the next one.
void parseOptions(int argumentCount, const TChar* const* arguments);

// What the GNU-style requests --help and --version ask for; they stand apart from the options
// (every other argument that begins with "--" is an invalid option).
enum class InfoRequest { none, help, version };

// The first --help or --version among arguments[1..argumentCount), or none.
[[nodiscard]] InfoRequest findInfoRequest(int argumentCount, const TChar* const* arguments);

// True when the argument is an option rather than a file name.
inline bool isOptionArgument(const TChar* argument) {
    return argument[0] == TChar('-');
}
