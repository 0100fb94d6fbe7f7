#pragma once
// Tests that go through 4 GiB of bytes take a minute in a debug build, and those that read a
// file that large need its memory too: they run only when QVD_LARGE_FILE_TESTS=1.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

inline bool largeTestsWanted() {
    const char* wanted = std::getenv("QVD_LARGE_FILE_TESTS");
    return wanted != nullptr && std::strcmp(wanted, "1") == 0;
}

#define SKIP_UNLESS_LARGE_TESTS()                                                                  \
    do {                                                                                           \
        if (!largeTestsWanted())                                                                   \
            GTEST_SKIP() << "goes through 4 GiB: set QVD_LARGE_FILE_TESTS=1 to run it";            \
    } while (false)
