#pragma once
// The one switch between the two programs. moxa (the wide build) keeps text, paths and display
// strings as UTF-16 and recognises UTF-16 and UTF-8 files; moxaw (the narrow build, compiled with
// QVD_NARROW_BUILD) keeps everything as 8-bit text. Code that differs between the builds tests
// QVD_WIDE (in #if) or kWideBuild (in if constexpr); everything else uses TChar.

#include <cstdint>

#if defined(QVD_NARROW_BUILD)
#define QVD_WIDE 0
using TChar = char; // paths and display strings: bytes (ANSI for paths, OEM for display)
#else
#define QVD_WIDE 1
using TChar = char16_t; // paths and display strings: UTF-16 units
#endif

inline constexpr bool kWideBuild = QVD_WIDE != 0;

// Longest path the platform allows, terminator included.
inline constexpr int kPathCapacity = 4096;

// Text literal in the build's character type: T("abc") is u"abc" in moxa and "abc" in moxaw.
#if QVD_WIDE
#define QVD_T(text) u##text
#else
#define QVD_T(text) text
#endif
