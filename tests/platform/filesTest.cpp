#include "platform/files.h"
#include "platform/fileReader.h"

#include "support/largeTests.h"
#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;

struct FreeBlock {
    void operator()(uint8_t* block) const { free(block); }
};
using Block = std::unique_ptr<uint8_t, FreeBlock>;

// True when permission bits stop this process from reading (they do not for root).
bool permissionsApply(const std::string& unreadable) {
    int fd = open(unreadable.c_str(), O_RDONLY);
    if (fd >= 0) close(fd);
    return fd < 0;
}

TEST(ReadWholeFile, ReadsExactBytesIncludingEmptyFiles) {
    TempDirectory dir;
    const std::string contents[] = {"", "a", std::string("x\0y\r\n\xFF", 6),
                                    std::string(300000, 'q')};
    for (const auto& bytes : contents) {
        SCOPED_TRACE(bytes.size());
        uint64_t size = 12345;
        Block block(readWholeFile(dir.write("f", bytes).c_str(), size));
        ASSERT_NE(block, nullptr); // an empty file is a valid block too
        ASSERT_EQ(size, bytes.size());
        EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), size), bytes);
    }
}

TEST(ReadWholeFile, RefusesWhatCannotBeLoadedAndLeavesTheSizeAlone) {
    TempDirectory dir;
    dir.makeDirectory("sub");
    for (const std::string& path : {dir / "missing", dir / "sub", std::string("")}) {
        SCOPED_TRACE(path);
        uint64_t size = 7;
        EXPECT_EQ(readWholeFile(path.c_str(), size), nullptr);
        EXPECT_EQ(size, 7u);
        EXPECT_FALSE(opensAsFile(path.c_str()));
    }
}

// A file past 4 GiB, sparse (it costs no disk), with bytes of its own at its end: each reader
// reaches them and gives the whole size. Reading it takes 4 GiB of memory.
TEST(ReadWholeFile, FilePastFourGiBLoadsWhole) {
    SKIP_UNLESS_LARGE_TESTS();
    TempDirectory dir;
    constexpr uint64_t kSize = (uint64_t{1} << 32) + 3;
    const std::string big = dir.write("big", ""), other = dir.write("other", "");
    for (const auto& [path, tail] : {std::pair{big, "end"}, std::pair{other, "END"}}) {
        ASSERT_EQ(truncate(path.c_str(), kSize - 3), 0);
        std::ofstream(path, std::ios::binary | std::ios::app) << tail;
    }
    uint64_t size = 0;
    Block block(readWholeFile(big.c_str(), size));
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(size, kSize);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()) + kSize - 4, 4), "\0end"s);
    block.reset();

    uint64_t size1 = 0, size2 = 0;
    EXPECT_EQ(compareFiles(big.c_str(), other.c_str(), size1, size2), FileComparison::different);
    EXPECT_EQ(size1, kSize);
    EXPECT_EQ(size2, kSize);
    const std::string small = dir.write("small", "x");
    uint8_t* block1 = nullptr;
    uint8_t* block2 = nullptr;
    ASSERT_EQ(readTwoFiles(small.c_str(), other.c_str(), block1, size1, block2, size2),
              PairLoad::loaded);
    Block owned1(block1), owned2(block2);
    EXPECT_EQ(size2, kSize);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block2) + kSize - 3, 3), "END");
}

TEST(ReadWholeFile, UnreadableFileFails) {
    TempDirectory dir;
    std::string secret = dir.write("secret", "abc");
    chmod(secret.c_str(), 0);
    if (!permissionsApply(secret)) GTEST_SKIP() << "permission bits do not stop this user";
    uint64_t size = 0;
    EXPECT_EQ(readWholeFile(secret.c_str(), size), nullptr);
    EXPECT_FALSE(opensAsFile(secret.c_str()));
}

TEST(ReadWholeFile, ReadsAPipeToItsEnd) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::string bytes(200000, 'p'); // more than one pipe buffer, so the reader must keep going
    bytes[199999] = 'E';
    pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t wrote = write(ends[1], bytes.data() + done, bytes.size() - done);
            if (wrote <= 0) _exit(1);
            done += static_cast<size_t>(wrote);
        }
        _exit(0);
    }
    close(ends[1]);
    std::string path = "/dev/fd/" + std::to_string(ends[0]);
    uint64_t size = 0;
    Block block(readWholeFile(path.c_str(), size));
    close(ends[0]);
    waitpid(child, nullptr, 0);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(size, bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), size), bytes);
}

TEST(CompareFiles, GivesTheLoadersVerdictWithFile1JudgedFirst) {
    TempDirectory dir;
    std::string chunkAndMore(300000, 'c'); // spans several read chunks
    std::string same = dir.write("same", chunkAndMore);
    std::string copy = dir.write("copy", chunkAndMore);
    std::string lateDifference = chunkAndMore;
    lateDifference[299999] = 'd';
    std::string late = dir.write("late", lateDifference);
    std::string longer = dir.write("longer", chunkAndMore + "x");
    std::string empty1 = dir.write("empty1", "");
    std::string empty2 = dir.write("empty2", "");
    std::string missing = dir / "missing";
    std::string directory = dir.makeDirectory("sub");

    struct Case {
        std::string path1, path2;
        FileComparison expected;
    };
    const Case cases[] = {
        {same, copy, FileComparison::identical},
        {empty1, empty2, FileComparison::identical},
        {same, late, FileComparison::different},
        {same, longer, FileComparison::different},
        {longer, same, FileComparison::different},
        {empty1, same, FileComparison::different},
        {missing, same, FileComparison::file1Failed},
        {missing, missing, FileComparison::file1Failed},
        {directory, same, FileComparison::file1Failed},
        {same, missing, FileComparison::file2Failed},
        {same, directory, FileComparison::file2Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path1 + " vs " + c.path2);
        uint64_t size1 = 1, size2 = 1;
        EXPECT_EQ(compareFiles(c.path1.c_str(), c.path2.c_str(), size1, size2), c.expected);
        if (c.expected == FileComparison::identical || c.expected == FileComparison::different) {
            struct stat status1 {
            }, status2{};
            stat(c.path1.c_str(), &status1);
            stat(c.path2.c_str(), &status2);
            EXPECT_EQ(size1, static_cast<uint64_t>(status1.st_size));
            EXPECT_EQ(size2, static_cast<uint64_t>(status2.st_size));
        }
    }
}

std::string contentsOf(const std::string& path) {
    uint64_t size = 0;
    Block block(readWholeFile(path.c_str(), size));
    return block ? std::string(reinterpret_cast<char*>(block.get()), size) : "(fails)";
}

TEST(ReadTwoFiles, GivesWhatReadWholeFileGivesEachFileWithFile1JudgedFirst) {
    TempDirectory dir;
    // Some megabytes, so that the two are read at the same time for a while.
    std::string large(3 << 20, 'l');
    large[large.size() - 1] = 'E';
    std::string one = dir.write("one", large);
    std::string two = dir.write("two", std::string(5 << 20, 't') + "\r\n");
    std::string small = dir.write("small", "x");
    std::string empty = dir.write("empty", "");
    std::string missing = dir / "missing";
    std::string directory = dir.makeDirectory("sub");
    struct stat status {};
    // A file that claims no length is read to its end after file 1.
    std::string proc = stat("/proc/version", &status) == 0 && status.st_size == 0
                           ? "/proc/version"
                           : dir.write("proc", "stand-in");

    struct Case {
        std::string path1, path2;
        PairLoad expected;
    };
    const Case cases[] = {
        {one, two, PairLoad::loaded},
        {two, one, PairLoad::loaded},
        {one, one, PairLoad::loaded},
        {small, empty, PairLoad::loaded},
        {empty, small, PairLoad::loaded},
        {proc, one, PairLoad::loaded},
        {one, proc, PairLoad::loaded},
        {missing, one, PairLoad::file1Failed},
        {directory, one, PairLoad::file1Failed},
        {missing, missing, PairLoad::file1Failed},
        {directory, directory, PairLoad::file1Failed},
        {one, missing, PairLoad::file2Failed},
        {one, directory, PairLoad::file2Failed},
        {empty, missing, PairLoad::file2Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path1 + " and " + c.path2);
        uint8_t* block1 = nullptr;
        uint8_t* block2 = nullptr;
        uint64_t size1 = 7, size2 = 7;
        ASSERT_EQ(readTwoFiles(c.path1.c_str(), c.path2.c_str(), block1, size1, block2, size2),
                  c.expected);
        Block owned1(block1), owned2(block2);
        if (c.expected != PairLoad::loaded) {
            // Nothing is handed over, not even the file that did load.
            EXPECT_EQ(block1, nullptr);
            EXPECT_EQ(block2, nullptr);
            EXPECT_EQ(size1, 7u);
            EXPECT_EQ(size2, 7u);
            continue;
        }
        ASSERT_NE(block1, nullptr);
        ASSERT_NE(block2, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(block1), size1), contentsOf(c.path1));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(block2), size2), contentsOf(c.path2));
    }
}

// Opening a FIFO for reading waits for a writer: named as file 2 after a file 1 that cannot be
// loaded it must never be opened, or the program would hang instead of saying why it stops.
TEST(ReadTwoFiles, FifoAfterAFailedFile1IsNeverOpened) {
    TempDirectory dir;
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string missing = dir / "missing";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(10); // a hang ends the child with SIGALRM
        uint8_t* block1 = nullptr;
        uint8_t* block2 = nullptr;
        uint64_t size1 = 0, size2 = 0;
        PairLoad result = readTwoFiles(missing.c_str(), fifo.c_str(), block1, size1, block2, size2);
        _exit(result == PairLoad::file1Failed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

} // namespace

// What a plain read to the end gives: the bytes the tools a Linux user compares such files with
// see. Empty when the file cannot be read.
std::string readToItsEnd(const char* path) {
    std::string contents;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return contents;
    char buffer[65536];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        contents.append(buffer, static_cast<size_t>(got));
    close(fd);
    return contents;
}

// The kernel's own files make their contents as they are read and claim a length that is a
// guess: 0 for most of /proc, a page (4096 bytes) for /sys. The tools a Linux user compares them
// with read them to their end, and so must the loader, the loader of two files and the batch
// comparison.
TEST(ReadWholeFile, FileThatClaimsALengthItDoesNotHoldIsReadToItsEnd) {
    const char* const kernelFiles[] = {
        "/proc/version",                               // claims 0 bytes
        "/sys/kernel/mm/transparent_hugepage/enabled", // claims a page, holds a line
        "/sys/devices/system/cpu/online",              // the same, where the other is missing
    };
    TempDirectory dir;
    int tried = 0;
    for (const char* path : kernelFiles) {
        SCOPED_TRACE(path);
        struct stat status {};
        const std::string contents = readToItsEnd(path);
        // Only a file here that holds other than it claims is a case of this test.
        if (stat(path, &status) != 0 || contents.empty() ||
            contents.size() == static_cast<uint64_t>(status.st_size))
            continue;
        ++tried;
        uint64_t size = 0;
        Block block(readWholeFile(path, size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), size), contents);

        std::string copy = dir.write("copy", contents);
        std::string empty = dir.write("empty", "");
        uint64_t size1 = 0, size2 = 0;
        EXPECT_EQ(compareFiles(path, copy.c_str(), size1, size2), FileComparison::identical);
        EXPECT_EQ(size1, contents.size());
        EXPECT_EQ(compareFiles(empty.c_str(), path, size1, size2), FileComparison::different);
        EXPECT_EQ(size2, contents.size());

        for (bool first : {true, false}) {
            uint8_t* block1 = nullptr;
            uint8_t* block2 = nullptr;
            const char* path1 = first ? path : copy.c_str();
            const char* path2 = first ? copy.c_str() : path;
            ASSERT_EQ(readTwoFiles(path1, path2, block1, size1, block2, size2), PairLoad::loaded);
            Block owned1(block1), owned2(block2);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(block1), size1), contents);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(block2), size2), contents);
        }
    }
    if (tried == 0) GTEST_SKIP() << "no /proc or /sys file here claims a length it does not hold";
}

namespace {

// A file read behind the view: what the reading ends with when the file is left alone, shrinks
// or grows between the open and the reading, and what cannot be read this way at all.
TEST(FileReader, EndsWithWhatTheFileHeldAsItWasRead) {
    TempDirectory dir;
    std::string bytes(9u << 20, 'x'); // more than one step of the reading
    for (size_t i = 0; i < bytes.size(); i += 4099) bytes[i] = static_cast<char>('a' + i % 26);
    struct Case {
        const char* name;
        long long lengthAfterOpen; // -1: left alone
        std::string appended;
        FileReader::End end;
        uint64_t arrived;
        bool changed;
    };
    const Case cases[] = {
        {"left alone", -1, "", FileReader::End::whole, bytes.size(), false},
        {"shrank", 5000, "", FileReader::End::cut, 5000, false},
        {"emptied", 0, "", FileReader::End::cut, 0, false},
        {"grew", -1, "more", FileReader::End::whole, bytes.size(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("f", bytes);
        FileReader reader;
        ASSERT_TRUE(reader.open(path.c_str()));
        EXPECT_EQ(reader.size(), bytes.size());
        if (c.lengthAfterOpen >= 0) {
            ASSERT_EQ(truncate(path.c_str(), c.lengthAfterOpen), 0);
        }
        if (!c.appended.empty()) {
            std::ofstream(path, std::ios::app | std::ios::binary) << c.appended;
        }
        reader.start();
        reader.waitFor(UINT64_MAX);
        EXPECT_EQ(reader.end(), c.end);
        EXPECT_EQ(reader.arrived(), c.arrived);
        EXPECT_EQ(reader.changed(), c.changed);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.block()), reader.arrived()),
                  bytes.substr(0, reader.arrived()));
    }
}

TEST(FileReader, OpensRegularFilesOnlyAndNeverWaitsForAWriter) {
    TempDirectory dir;
    dir.makeDirectory("sub");
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, int> refused[] = {
        {dir / "missing", ENOENT}, {dir / "sub", EISDIR}, {fifo, kNotRegular}};
    for (const auto& [path, reason] : refused) {
        SCOPED_TRACE(path);
        FileReader reader;
        EXPECT_FALSE(reader.open(path.c_str())); // a FIFO without a writer would block here
        EXPECT_EQ(reader.error(), reason);
    }
    // A reader stopped (or destroyed) part of the way gives back at once.
    const std::string big = dir.write("big", std::string(64u << 20, 'b'));
    FileReader reader;
    ASSERT_TRUE(reader.open(big.c_str()));
    reader.start();
    reader.stop();
    EXPECT_NE(reader.end(), FileReader::End::none);
}

} // namespace
