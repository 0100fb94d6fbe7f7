#include "app/fileNames.h"

#include "platform/codePages.h"
#include "support/tempDirectory.h"
#include "testArguments.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <vector>

namespace {

std::string bytesOf(const PathBuffer& path) {
    return pathToBytes(path.text);
}

struct Resolved {
    NameResult result;
    std::string path1;
    std::string path2;
    std::string printed;
};

Resolved resolve(std::initializer_list<std::string> arguments, bool hostMode = false) {
    TestArguments command(arguments);
    auto path1 = std::make_unique<PathBuffer>();
    auto path2 = std::make_unique<PathBuffer>();
    testing::internal::CaptureStdout();
    NameResult result = resolveFileNames(*path1, *path2, command.count(), command.data(), hostMode);
    std::string printed = testing::internal::GetCapturedStdout();
    return {result, bytesOf(*path1), bytesOf(*path2), printed};
}

TEST(SplitPath, PartsAndTheirJoinGiveThePathBack) {
    struct Case {
        std::string path, directory, name, extension;
    };
    const Case cases[] = {
        {"a.txt", "", "a", ".txt"},
        {"a.tar.gz", "", "a.tar", ".gz"}, // only the last extension
        {"readme", "", "readme", ""},
        {"dir/", "dir/", "", ""},
        {"/etc/fstab", "/etc/", "fstab", ""},
        {"src.d/file", "src.d/", "file", ""}, // a dot in the directory is no extension
        {".bashrc", "", ".bashrc", ""},       // a leading dot is part of the name
        {"dir/.config.old", "dir/", ".config", ".old"},
        {"..", "", "..", ""},
        {"a.", "", "a", "."},
        {"back\\slash.c", "", "back\\slash", ".c"}, // '\' is an ordinary character
        {"c:x.txt", "", "c:x", ".txt"},             // no drive letters
        {"a//b.c", "a//", "b", ".c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        PathParts parts = splitPath(argumentToText(c.path));
        EXPECT_EQ(pathToBytes(parts.directory), c.directory);
        EXPECT_EQ(pathToBytes(parts.name), c.name);
        EXPECT_EQ(pathToBytes(parts.extension), c.extension);
        EXPECT_EQ(pathToBytes(joinPath(parts)), c.path);
    }
    EXPECT_EQ(pathToBytes(joinPath({QVD_T("d"), QVD_T("n"), QVD_T("e")})), "d/n.e");
}

TEST(ResolveFileNames, OneNameGivesItsBakFile) {
    struct Case {
        std::string name, expected;
    };
    const Case cases[] = {
        {"a.txt", "a.bak"},   {"a.tar.gz", "a.tar.bak"},  {"readme", "readme.bak"},
        {"dir/", "dir/.bak"}, {".bashrc", ".bashrc.bak"}, {"/x.d/y", "/x.d/y.bak"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Resolved r = resolve({"-b", c.name});
        EXPECT_EQ(r.result, NameResult::resolved);
        EXPECT_EQ(r.path1, c.name);
        EXPECT_EQ(r.path2, c.expected);
        EXPECT_EQ(r.printed, "");
    }
}

TEST(ResolveFileNames, SecondNameDirectoryStarAndMissingFile) {
    TempDirectory dir;
    std::string first = dir.write("src/main.c", "x");
    dir.makeDirectory("old");
    dir.write("dir2/main.c", "x");
    dir.write("x.c", "x");
    dir.write("have/main.bak", "x");
    std::string t = dir.path() + "/";
    struct Case {
        std::string second, expected;
    };
    const Case cases[] = {
        {t + "old", t + "old/main.c"},
        {t + "old/", t + "old/main.c"},
        {t + "dir2/*.*", t + "dir2/main.c"},
        {t + "x.*", t + "x.c"},
        {t + "have/*.bak", t + "have/main.bak"},
        {t + "*.bak", t + "main.bak/main.c"}, // no such file: taken for a directory
        {t + "new.c", t + "new.c/main.c"},
        {t + "*x.h", t + "main.h/main.c"}, // "*x" counts as "*"
        {t + "x*.c", t + "x*.c/main.c"},   // "x*" does not
        {t + "x.c*", t + "x.c*/main.c"},
        {first, first}, // an existing file is used as given
        {"", ""},       // names no file; never "/main.c"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        Resolved r = resolve({first, "-b", c.second});
        EXPECT_EQ(r.result, NameResult::resolved);
        EXPECT_EQ(r.path1, first);
        EXPECT_EQ(r.path2, c.expected);
    }
}

TEST(ResolveFileNames, FirstNameThatIsADirectoryKeepsTheSecondAsGiven) {
    TempDirectory dir;
    std::string t = dir.path() + "/";
    const std::string tree = dir.makeDirectory("src.d");
    dir.makeDirectory("old");
    ASSERT_EQ(symlink("src.d", (dir / "link").c_str()), 0);
    struct Case {
        std::string first, second, expected;
    };
    const Case cases[] = {
        {tree, t + "old", t + "old"},
        {t + "link", t + "old/", t + "old/"}, // a link to a directory is one
        {tree, t + "missing", t + "missing"}, // loading says it is not there
        {tree, t + "old/*.*", t + "old/src.d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first + " " + c.second);
        Resolved r = resolve({"-b", c.first, c.second});
        EXPECT_EQ(r.result, NameResult::resolved);
        EXPECT_EQ(r.path2, c.expected);
    }
    EXPECT_EQ(resolve({tree}).path2, t + "src.bak"); // one name: the .bak rule as for a file
}

TEST(ResolveFileNames, MissingAndSurplusNames) {
    Resolved none = resolve({"-b", "-c"});
    EXPECT_EQ(none.result, NameResult::missing);
    EXPECT_EQ(none.path1, "");
    EXPECT_EQ(none.printed, "");

    Resolved three = resolve({"a", "b", "-b", "c", "d"});
    EXPECT_EQ(three.result, NameResult::tooMany);
    EXPECT_EQ(three.path1, "");
    EXPECT_EQ(three.printed, "\nToo many file names (c)\n");
}

// "-" is standard input, taken as given and never derived; "--" makes every word after it a name.
TEST(ResolveFileNames, StandardInputAndTheEndOfTheOptions) {
    const std::string input = pathToBytes(kStandardInputPath);
    const struct {
        std::initializer_list<std::string> arguments;
        std::string path1, path2;
    } cases[] = {
        {{"-", "*.bak"}, input, "*.bak"},
        {{"a.txt", "-b", "-"}, "a.txt", input},
        {{"--", "-", "-b"}, input, "-b"},
        {{"-b", "--", "-a.txt"}, "-a.txt", "-a.bak"},
        {{"--", "--", "--help"}, "--", "--help/--"}, // no such directory: still appended
    };
    for (const auto& c : cases) {
        Resolved r = resolve(c.arguments);
        EXPECT_EQ(r.result, NameResult::resolved);
        EXPECT_EQ(r.path1, c.path1);
        EXPECT_EQ(r.path2, c.path2);
    }
}

TEST(ResolveFileNames, LongPathsAreRefusedNeverCut) {
    const int limit = kPathCapacity - 1; // bytes a path may hold
    std::string fits(limit, 'a');
    std::string tooLong(limit + 1, 'a');
    Resolved r = resolve({tooLong, "b"});
    EXPECT_EQ(r.result, NameResult::refused);
    EXPECT_NE(r.printed.find("Path too long"), std::string::npos);
    EXPECT_NE(r.printed.find(tooLong), std::string::npos);

    // A directory name that leaves exactly room for "/x", and one byte more.
    std::string directory(limit - 2, 'd');
    r = resolve({"x", directory});
    EXPECT_EQ(r.result, NameResult::resolved);
    EXPECT_EQ(r.path2, directory + "/x");
    r = resolve({"x", directory + "d"});
    EXPECT_EQ(r.result, NameResult::refused);

    // The derived .bak name may not fit either.
    r = resolve({fits});
    EXPECT_EQ(r.result, NameResult::refused);
    if constexpr (kWideBuild) {
        // The limit counts bytes, not UTF-16 units: 2048 two-byte characters are 4096 bytes.
        std::string wide;
        for (int i = 0; i < 2048; ++i) wide += "\xC3\xA4";
        EXPECT_EQ(resolve({wide, "b"}).result, NameResult::refused);
    }
}

TEST(ResolveFileNames, NamesThatAreNotUtf8SurviveUnchanged) {
    Resolved r = resolve({"n\xE9.txt", "\xFF\xFE/"});
    EXPECT_EQ(r.result, NameResult::resolved);
    EXPECT_EQ(r.path1, "n\xE9.txt");
    EXPECT_EQ(r.path2, "\xFF\xFE/n\xE9.txt");
}

TEST(ResolveFileNames, HostModeMatchesFullPathsAndDerivesNothing) {
    TempDirectory dir;
    std::string a = dir.write("a.txt", "x");
    std::string b = dir.write("b.txt", "y");
    Resolved both = resolve({"-z", a, b, dir / "ignored"}, true);
    EXPECT_EQ(both.result, NameResult::resolved);
    EXPECT_EQ(both.path1, a);
    EXPECT_EQ(both.path2, b);
    EXPECT_EQ(both.printed, "");

    EXPECT_EQ(resolve({"-z", a}, true).result, NameResult::missing); // no .bak in host mode
    EXPECT_EQ(resolve({"-z", a, dir / "nothing"}, true).result, NameResult::missing);
    EXPECT_EQ(resolve({"-z", "", a}, true).result, NameResult::missing);
    EXPECT_EQ(resolve({"-z", "-", a}, true).result, NameResult::missing); // a name on disk
}

class FileNameMatcherTest : public testing::Test {
  protected:
    TempDirectory dir;
    // Runs the matcher; the matched path as bytes, or "-" when there is none.
    static std::string matchOf(const std::string& argument) {
        FileNameMatcher matcher;
        if (!matcher.match(argumentToText(argument))) return "-";
        return pathToBytes(matcher.resultPath());
    }
};

TEST_F(FileNameMatcherTest, FindsNamesAsGivenAndNothingElse) {
    std::string file = dir.write("file.txt", "x");
    EXPECT_EQ(matchOf(file), file);
    EXPECT_EQ(matchOf(dir / "File.txt"), "-"); // letter case counts on POSIX
    EXPECT_EQ(matchOf(dir / "fi.txt"), "-");
    EXPECT_EQ(matchOf(dir / "missing/file.txt"), "-");
    EXPECT_EQ(matchOf(dir.path() + "/"), "-"); // no name part
}

TEST_F(FileNameMatcherTest, FindsTheRealNameOfANameThatWentThroughTheWrongCodePage) {
    // The file is called "Ä.txt"; a file manager that took its OEM byte (0x8E) for ANSI passes
    // "Ž.txt". The real file has the same length and dot positions, and its OEM form is the
    // given name's ANSI form.
    std::string real = kWideBuild ? dir.write("\xC3\x84.txt", "x") : dir.write("\xC4.txt", "x");
    dir.write("B.txt", "y"); // same pattern, other name: must not be taken
    std::string given = kWideBuild ? dir / "\xC5\xBD.txt" : dir / "\x8E.txt";
    EXPECT_EQ(matchOf(given), real);
}

TEST_F(FileNameMatcherTest, QuestionMarkStandsForACharacterWithoutAnsiForm) {
    // A character the 8-bit code page cannot hold arrives as '?'.
    std::string real = kWideBuild ? dir.write("\xE4\xB8\xAD.txt", "x") : dir.write("\x81.txt", "x");
    EXPECT_EQ(matchOf(dir / "?.txt"), real);
    EXPECT_EQ(matchOf(dir / "??.txt"), "-");
}

TEST_F(FileNameMatcherTest, NameWithoutSlashIsLookedUpInTheCurrentDirectory) {
    dir.write("here.txt", "x");
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    std::string found = matchOf("here.txt");
    std::string missing = matchOf("there.txt");
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(found, "here.txt");
    EXPECT_EQ(missing, "-");
}

TEST_F(FileNameMatcherTest, NameThatExistsAsGivenIsTakenBeforeOneThatOnlyReadsAlike) {
    // Each pair: a name, and another whose OEM form reads as the first name's ANSI form. Given
    // the first, the pattern search would accept either; the one that exists as given is meant.
    const uint8_t pairs[][2] = {{0x8E, 0xC4}, {0x8F, 0xC5}, {0x92, 0xC6}, {0x80, 0xC7},
                                {0xA5, 0xD1}, {0x99, 0xD6}, {0x9A, 0xDC}, {0x85, 0xE0}};
    // An 8-bit name as the file system holds it: UTF-8 for moxa, the ANSI bytes for moxaw.
    auto fileName = [](uint8_t ansi) {
        std::string name;
        if constexpr (kWideBuild) {
            appendUtf8(name, ansiToUnicode(ansi));
        } else {
            name += static_cast<char>(ansi);
        }
        return name + ".txt";
    };
    std::vector<std::string> meant;
    for (const auto& pair : pairs) {
        meant.push_back(fileName(pair[0]));
        dir.write(meant.back(), "meant");
        dir.write(fileName(pair[1]), "alike");
    }
    if constexpr (kWideBuild) {
        // Neither has an ANSI form: both read as "?.txt".
        for (const char* name : {"\xE4\xB8\xAD.txt", "\xE6\x96\x87.txt"}) {
            dir.write(name, name);
            meant.push_back(name);
        }
    }
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    std::vector<std::string> found;
    for (const auto& name : meant) found.push_back(matchOf(name));
    ASSERT_EQ(chdir(saved), 0);
    for (size_t i = 0; i < meant.size(); ++i) {
        SCOPED_TRACE(meant[i]);
        EXPECT_EQ(found[i], meant[i]);
        EXPECT_EQ(matchOf(dir / meant[i]), dir / meant[i]); // a full path already was
    }
}

} // namespace
