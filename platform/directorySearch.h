#pragma once
// Directory search with '?' patterns, for the host-mode name matcher.

#include "platform/pathText.h"

#include <functional>
#include <string>
#include <string_view>

// True when name matches pattern: '?' matches any one character unit (a UTF-16 unit in moxa, a
// byte in moxaw), every other unit only itself, letter case included, as POSIX names are.
bool matchesPattern(TStringView name, TStringView pattern);

// Calls visit with the name of every entry of directory (bytes; empty means the current
// directory) in the order the directory returns them, "." and ".." left out, until visit
// returns true. Returns true when visit did; false when it never did or the directory cannot
// be read.
bool searchDirectory(const std::string& directory,
                     const std::function<bool(std::string_view name)>& visit);
