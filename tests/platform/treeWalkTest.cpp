#include "platform/treeWalk.h"

#include "platform/files.h"
#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A side as the expected lines spell it: "file:3", "unreadable:ENOENT", "-" for none.
std::string sideText(const TreeSide& side) {
    static const char* const kKinds[] = {"-", "file:", "dir", "special", "unreadable:", "repeated"};
    std::string text = kKinds[static_cast<int>(side.kind)];
    if (side.kind == EntryKind::file) text += std::to_string(side.size);
    if (side.kind == EntryKind::unreadable)
        text += side.error == ENOENT   ? "ENOENT"
                : side.error == EACCES ? "EACCES"
                : side.error == ELOOP  ? "ELOOP"
                                       : std::to_string(side.error);
    return text;
}

// The whole walk, a line "path left right" per entry. What holds for every walk is checked on
// the way: each path comes after the one before, and the depth counts its '/'.
std::vector<std::string> walkLines(const std::string& root1, const std::string& root2) {
    TreeWalker walker(root1, root2);
    std::vector<std::string> lines;
    std::string previous;
    for (TreeEntry entry; walker.next(entry);) {
        EXPECT_EQ(entry.depth, std::count(entry.path.begin(), entry.path.end(), '/'));
        EXPECT_TRUE(lines.empty() || pathBefore(previous, entry.path)) << entry.path;
        previous = entry.path;
        lines.push_back(entry.path + " " + sideText(entry.left) + " " + sideText(entry.right));
    }
    return lines;
}

void link(const TempDirectory& dir, const char* target, const std::string& name) {
    ASSERT_EQ(symlink(target, (dir / name).c_str()), 0) << name;
}

TEST(TreeWalk, GivesEveryPathOnceInOrderWithWhatEachSideHolds) {
    struct Case {
        const char* what;
        std::function<void(const TempDirectory&)> build; // under "1" and "2"
        std::vector<std::string> expected;
    };
    std::vector<std::string> deep{"d dir dir"};
    std::string deepPath = "d";
    for (int level = 1; level < 50; ++level) deep.push_back((deepPath += "/d") + " dir dir");
    deep.push_back(deepPath + "/f file:1 file:2");
    const Case cases[] = {
        {"both sides, sizes as they are",
         [](const TempDirectory& d) {
             d.write("1/a.txt", "one");
             d.write("2/a.txt", "two");
             d.write("1/sub/b", "xx");
             d.write("2/sub/b", "xxx");
             d.makeDirectory("1/empty");
             d.makeDirectory("2/empty");
         },
         {"a.txt file:3 file:3", "empty dir dir", "sub dir dir", "sub/b file:2 file:3"}},
        {"one side only, directories with their contents",
         [](const TempDirectory& d) {
             d.write("1/old.txt", "o");
             d.write("1/gone/x", "x");
             d.write("1/gone/in/y", "y");
             d.write("1/keep/only1", "1");
             d.makeDirectory("2/keep");
             d.write("2/new/z", "zz");
         },
         {"gone dir -", "gone/in dir -", "gone/in/y file:1 -", "gone/x file:1 -", "keep dir dir",
          "keep/only1 file:1 -", "new - dir", "new/z - file:2", "old.txt file:1 -"}},
        {"a file against a directory: the directory walked alone",
         [](const TempDirectory& d) {
             d.write("1/x", "f");
             d.write("2/x/in", "i");
             d.write("2/x/sub/z", "z");
             d.write("1/y/a", "a");
             d.write("2/y", "");
         },
         {"x file:1 dir", "x/in - file:1", "x/sub - dir", "x/sub/z - file:1", "y dir file:0",
          "y/a file:1 -"}},
        {"links followed, a directory walked once per side",
         [](const TempDirectory& d) {
             d.write("1/real/f", "f");
             link(d, "real", "1/link1");
             link(d, "real", "1/link2");
             link(d, "real/f", "1/fileLink");
             link(d, ".", "1/self");
             d.makeDirectory("2/self");
             d.makeDirectory("1/sub");
             link(d, "..", "1/sub/loop");
             d.makeDirectory("2/sub");
             link(d, "..", "2/sub/loop");
         },
         {"fileLink file:1 -", "link1 dir -", "link1/f file:1 -", "link2 repeated -",
          "real repeated -", "self repeated dir", "sub dir dir", "sub/loop repeated repeated"}},
        {"dangling links and FIFOs",
         [](const TempDirectory& d) {
             link(d, "nowhere", "1/gone");
             d.write("2/gone", "x");
             link(d, "chain", "1/chain");
             ASSERT_EQ(mkfifo((d / "1/pipe").c_str(), 0600), 0);
             ASSERT_EQ(mkfifo((d / "2/pipe").c_str(), 0600), 0);
         },
         {"chain unreadable:ELOOP -", "gone unreadable:ENOENT file:1", "pipe special special"}},
        {"names as bytes, a directory right before the names it begins",
         [](const TempDirectory& d) {
             for (const char* name : {"a/z", "a.c", "\x01", "\xFF"})
                 d.write(std::string("1/") + name, "");
             for (const char* name : {"a/y", "a-", "caf\xE9", "tab\tx", "ab"})
                 d.write(std::string("2/") + name, "");
         },
         {"\x01 file:0 -", "a dir dir", "a/y - file:0", "a/z file:0 -", "a- - file:0",
          "a.c file:0 -", "ab - file:0", "caf\xE9 - file:0", "tab\tx - file:0", "\xFF file:0 -"}},
        {"50 levels deep",
         [&deepPath](const TempDirectory& d) {
             d.write("1/" + deepPath + "/f", "1");
             d.write("2/" + deepPath + "/f", "22");
         },
         deep},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDirectory dir;
        dir.makeDirectory("1");
        dir.makeDirectory("2");
        c.build(dir);
        EXPECT_EQ(walkLines(dir / "1", dir / "2"), c.expected);
    }
}

TEST(TreeWalk, UnreadableDirectoryIsNotListedAndTheOtherSideIs) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads any directory";
    TempDirectory dir;
    dir.write("1/locked/x", "x");
    dir.write("2/locked/y", "y");
    dir.write("1/z", "");
    ASSERT_EQ(chmod((dir / "1/locked").c_str(), 0), 0);
    std::vector<std::string> lines = walkLines(dir / "1", dir / "2");
    chmod((dir / "1/locked").c_str(), 0755); // so that the scratch directory can go
    EXPECT_EQ(lines, (std::vector<std::string>{"locked unreadable:EACCES dir", "locked/y - file:1",
                                               "z file:0 -"}));
}

TEST(TreeWalk, RootThatCannotBeListedLeavesTheOtherSideAlone) {
    TempDirectory dir;
    dir.write("2/a", "a");
    const std::string file = dir.write("file", "");
    for (const std::string& root1 : {dir / "missing", file}) {
        SCOPED_TRACE(root1);
        TreeWalker walker(root1, dir / "2");
        EXPECT_EQ(walker.rootError(1), root1 == file ? ENOTDIR : ENOENT);
        EXPECT_EQ(walker.rootError(2), 0);
        EXPECT_EQ(walkLines(root1, dir / "2"), std::vector<std::string>{"a - file:1"});
    }
}

TEST(TreeWalk, PathBeforeComparesComponentsAsBytes) {
    const std::pair<const char*, const char*> ordered[] = {
        {"a", "a/b"}, {"a/z", "a.c"}, {"a/z", "a-"}, {"a/b/c", "a/bc"}, {"z", "\xE9"}, {"a", "b/a"},
    };
    for (const auto& [before, after] : ordered) {
        SCOPED_TRACE(std::string(before) + " < " + after);
        EXPECT_TRUE(pathBefore(before, after));
        EXPECT_FALSE(pathBefore(after, before));
        EXPECT_FALSE(pathBefore(before, before));
    }
}

TEST(CompareContents, SizesFirstThenBytesAndNeverWaitsForAFifo) {
    TempDirectory dir;
    std::string chunks(300000, 'c'); // more than one buffer
    std::string lastByte = chunks;
    lastByte.back() = 'd';
    const std::string same = dir.write("same", chunks), copy = dir.write("copy", chunks);
    const std::string late = dir.write("late", lastByte), shorter = dir.write("short", "c");
    const std::string empty = dir.write("empty", ""), zero = dir.write("zero", std::string(1, 0));
    // 4 GiB and one byte, sparse: its size cut to 32 bits would be zero's.
    const std::string big = dir.write("big", "");
    ASSERT_EQ(truncate(big.c_str(), (4LL << 30) + 1), 0);
    const std::string fifo = dir / "fifo", missing = dir / "missing";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string sub = dir.makeDirectory("sub");
    struct Case {
        std::string path1, path2;
        ContentResult expected;
        int error; // for the unreadable ones
    };
    const Case cases[] = {
        {same, copy, ContentResult::identical, 0},
        {empty, empty, ContentResult::identical, 0},
        {same, late, ContentResult::different, 0},
        {same, shorter, ContentResult::different, 0},
        {big, zero, ContentResult::different, 0},
        {missing, same, ContentResult::unreadable1, ENOENT},
        {same, missing, ContentResult::unreadable2, ENOENT},
        {fifo, same, ContentResult::unreadable1, kNotRegular},
        {same, fifo, ContentResult::unreadable2, kNotRegular},
        {sub, same, ContentResult::unreadable1, EISDIR},
    };
    alarm(20); // a FIFO waited for would hang the test: end it instead
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path1 + " vs " + c.path2);
        int error = 0;
        EXPECT_EQ(compareContents(c.path1.c_str(), c.path2.c_str(), &error), c.expected);
        EXPECT_EQ(c.error == 0 ? 0 : error, c.error);
    }
    alarm(0);
}

TEST(CompareContents, FileShorterThanItsStatedLengthIsUnreadable) {
    // A sysfs file states a page and holds less: what a file that shrank while read looks like.
    const char* const shrinking = "/sys/kernel/mm/transparent_hugepage/enabled";
    struct stat status;
    if (stat(shrinking, &status) != 0 || status.st_size != 4096 || access(shrinking, R_OK) != 0)
        GTEST_SKIP() << "no " << shrinking;
    int error = 0;
    EXPECT_EQ(compareContents(shrinking, shrinking, &error), ContentResult::unreadable1);
    EXPECT_EQ(error, kEndedEarly);
}

} // namespace
