#pragma once
// Paths and arguments in the build's text type. moxa carries them as UTF-16 with surrogate
// escape, so a name whose bytes are not UTF-8 survives the trip from the command line to open();
// moxaw carries the bytes as they are.

#include "platform/build.h"

#include <cstddef>
#include <string>
#include <string_view>

using TString = std::basic_string<TChar>;
using TStringView = std::basic_string_view<TChar>;

// An argument's bytes as the build's text.
TString argumentToText(std::string_view bytes);

// The bytes the kernel sees for a path: escapes turned back into their bytes in moxa.
std::string pathToBytes(TStringView path);

// Length of a path in bytes, as the kernel counts it (the measure kPathCapacity limits).
size_t pathByteLength(TStringView path);

// True when a path fits the platform's limit (kPathCapacity bytes with the terminator).
inline bool pathFits(TStringView path) {
    return pathByteLength(path) < kPathCapacity;
}

// Length of a null-terminated text.
size_t textLength(const TChar* text);
