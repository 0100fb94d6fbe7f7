#include "platform/directorySearch.h"

#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(DirectorySearch, QuestionMarkMatchesExactlyOneUnit) {
    struct Case {
        TStringView name;
        TStringView pattern;
        bool expected;
    };
    const Case cases[] = {
        {QVD_T("a.txt"), QVD_T("a.txt"), true},
        {QVD_T("a.txt"), QVD_T("?.???"), true},
        {QVD_T("ab.txt"), QVD_T("?.???"), false},
        {QVD_T("a.txt"), QVD_T("A.txt"), false},
        {QVD_T("a.txt"), QVD_T("a.tx"), false},
        {QVD_T("a.tx"), QVD_T("a.tx?"), false},
        {QVD_T(""), QVD_T(""), true},
        {QVD_T("?"), QVD_T("?"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(pathToBytes(c.name) + " / " + pathToBytes(c.pattern));
        EXPECT_EQ(matchesPattern(c.name, c.pattern), c.expected);
    }
}

TEST(DirectorySearch, VisitsEveryEntryButDotsAndStopsWhenAsked) {
    TempDirectory dir;
    dir.write("one", "");
    dir.write("two", "");
    dir.makeDirectory("sub");
    std::set<std::string> seen;
    EXPECT_FALSE(searchDirectory(dir.path() + "/", [&](std::string_view name) {
        seen.insert(std::string(name));
        return false;
    }));
    EXPECT_EQ(seen, (std::set<std::string>{"one", "sub", "two"}));

    int visits = 0;
    EXPECT_TRUE(searchDirectory(dir.path(), [&](std::string_view) { return ++visits == 2; }));
    EXPECT_EQ(visits, 2);
    EXPECT_FALSE(searchDirectory(dir / "missing", [](std::string_view) { return true; }));
}

} // namespace
