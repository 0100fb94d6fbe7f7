#pragma once
// git as the caller: the command lines git runs its external diff tool with (GIT_EXTERNAL_DIFF,
// diff.external), and what git's environment tells the tool.

#include "platform/build.h"

enum class GitDiffForm {
    none,     // not git's command line: the names and options a user gives
    pair,     // path old-file old-hex old-mode new-file new-hex new-mode [new-path info]
    unmerged, // the path alone, while GIT_DIFF_PATH_COUNTER is set: nothing to compare
};

struct GitDiffCall {
    GitDiffForm form = GitDiffForm::none;
    const TChar* path = nullptr;    // git's path (a rename's old path)
    const TChar* newPath = nullptr; // a rename's new path, else path
    const TChar* oldFile = nullptr; // the old contents; /dev/null for an added file
    const TChar* newFile = nullptr; // the new contents; /dev/null for a deleted file
    int counter = 0;                // this path's place among git's paths, 1-based; 0: not told
    int total = 0;                  // how many paths git compares; 0: not told
};

// How arguments[1..argumentCount) came from git. The pair form is exactly 7 or 9 arguments
// whose hex fields are object names (40 or 64 hex digits) or "." and whose mode fields are six
// octal digits or "."; every one of them is then a name, whatever it begins with. The unmerged
// form is one argument while GIT_DIFF_PATH_COUNTER is set. counter and total come from
// GIT_DIFF_PATH_COUNTER and GIT_DIFF_PATH_TOTAL. Anything else is none.
[[nodiscard]] GitDiffCall recogniseGitDiff(int argumentCount, const TChar* const* arguments);

// True when GIT_EXTERNAL_DIFF_TRUST_EXIT_CODE is true as git reads a boolean (true, yes, on or a
// number other than 0, in any letter case): git then takes 0 for no changes and 1 for changes.
// Otherwise git stops at any status but 0.
[[nodiscard]] bool gitTrustsExitCode();

// True when git's pager reads standard output (GIT_PAGER_IN_USE is true and standard output is
// not a terminal). The pager reads its keys from the terminal too: the view must not compete
// for them.
[[nodiscard]] bool underGitPager();
