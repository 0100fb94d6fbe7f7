#include "app/gitDiff.h"

#include <cstdlib>
#include <initializer_list>
#include <strings.h>
#include <unistd.h>

namespace {

bool isDot(const TChar* field) {
    return field[0] == TChar('.') && field[1] == 0;
}

// An object name as git writes it: SHA-1 (40 digits) or SHA-256 (64), or "." where there is none.
bool isObjectName(const TChar* field) {
    if (isDot(field)) return true;
    int digits = 0;
    for (; field[digits] != 0; ++digits) {
        const TChar unit = field[digits];
        const bool hex = (unit >= TChar('0') && unit <= TChar('9')) ||
                         (unit >= TChar('a') && unit <= TChar('f')) ||
                         (unit >= TChar('A') && unit <= TChar('F'));
        if (!hex) return false;
    }
    return digits == 40 || digits == 64;
}

// A file mode as git writes it ("%06o": 100644, 100755, 120000, 160000), or "." for no file.
bool isFileMode(const TChar* field) {
    if (isDot(field)) return true;
    int digits = 0;
    for (; field[digits] != 0; ++digits) {
        if (field[digits] < TChar('0') || field[digits] > TChar('7')) return false;
    }
    return digits == 6;
}

// A count git put in the environment; 0 when it is missing or not a plain positive number.
int countFrom(const char* variable) {
    const char* value = getenv(variable);
    if (value == nullptr || *value == 0) return 0;
    long count = 0;
    for (const char* at = value; *at != 0; ++at) {
        if (*at < '0' || *at > '9' || count > 100'000'000) return 0;
        count = count * 10 + (*at - '0');
    }
    return static_cast<int>(count);
}

// A boolean of git's environment: true, yes, on, or a whole number other than 0. git refuses
// anything else before it runs the tool, so whatever is left reads as false.
bool gitBoolean(const char* variable) {
    const char* value = getenv(variable);
    if (value == nullptr) return false;
    for (const char* word : {"true", "yes", "on"}) {
        if (strcasecmp(value, word) == 0) return true;
    }
    char* end = nullptr;
    const long number = strtol(value, &end, 10);
    return end != value && *end == 0 && number != 0;
}

} // namespace

GitDiffCall recogniseGitDiff(int argumentCount, const TChar* const* arguments) {
    GitDiffCall call;
    const int given = argumentCount - 1;
    const TChar* const* field = arguments + 1;
    if (given == 7 || given == 9) {
        if (!isObjectName(field[2]) || !isFileMode(field[3]) || !isObjectName(field[5]) ||
            !isFileMode(field[6]))
            return call;
        call.form = GitDiffForm::pair;
        call.path = field[0];
        call.oldFile = field[1];
        call.newFile = field[4];
        call.newPath = given == 9 ? field[7] : field[0];
    } else if (given == 1 && getenv("GIT_DIFF_PATH_COUNTER") != nullptr) {
        call.form = GitDiffForm::unmerged;
        call.path = field[0];
        call.newPath = field[0];
    } else {
        return call;
    }
    call.counter = countFrom("GIT_DIFF_PATH_COUNTER");
    call.total = countFrom("GIT_DIFF_PATH_TOTAL");
    return call;
}

bool gitTrustsExitCode() {
    return gitBoolean("GIT_EXTERNAL_DIFF_TRUST_EXIT_CODE");
}

bool underGitPager() {
    return gitBoolean("GIT_PAGER_IN_USE") && !isatty(STDOUT_FILENO);
}
