#include "console/colourScheme.h"
#include "platform/build.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Each test gets its own directory beside the test program (tests of both builds may run at
// once), and exeDirectory points there: the source tree is never written.
class ColourFiles : public testing::Test {
  protected:
    std::string directory;

    void SetUp() override {
        findExeDirectory(nullptr);
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string base = exeDirectory + "colourFiles/";
        mkdir(base.c_str(), 0777);
        directory = base + info->name() + (QVD_WIDE ? "_w/" : "_n/");
        mkdir(directory.c_str(), 0777);
        for (const std::string& name : files()) unlink((directory + name).c_str());
        exeDirectory = directory;
        colourScheme = {};
    }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        if (DIR* folder = opendir(directory.c_str())) {
            while (dirent* entry = readdir(folder)) {
                std::string name = entry->d_name;
                if (name != "." && name != ".." && name != "current") names.push_back(name);
            }
            closedir(folder);
        }
        return names;
    }

    void write(const std::string& name, const Bytes& bytes) {
        std::ofstream(directory + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }

    Bytes read(const std::string& name) {
        std::ifstream file(directory + name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    static Bytes hostFile(unsigned char text, unsigned char frame, unsigned char numbers) {
        Bytes bytes(60, 0xAA);
        bytes[32] = text;
        bytes[33] = frame;
        bytes[37] = numbers;
        return bytes;
    }
};

std::vector<uint16_t> entriesOf(const ColourScheme& scheme) {
    return {scheme.base,     scheme.frame,     scheme.identical,  scheme.reserved,
            scheme.matching, scheme.differing, scheme.lineNumbers};
}

TEST_F(ColourFiles, ExecutableDirectoryComesFromTheRunningProgram) {
    findExeDirectory("/nowhere/else/program");
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    ASSERT_GT(length, 0);
    std::string expected(path, static_cast<size_t>(length));
    expected.erase(expected.rfind('/') + 1);
    EXPECT_EQ(exeDirectory, expected);
    EXPECT_EQ(exeDirectory.back(), '/');
}

TEST_F(ColourFiles, DefaultsWithoutAnyFile) {
    colourScheme.reserved = 0x1234;
    EXPECT_EQ(loadColourScheme(false), 0);
    EXPECT_EQ(entriesOf(colourScheme),
              (std::vector<uint16_t>{0x1B, 0x1B, 0x1E, 0x1234, 0x4F, 0x4E, 0x17}));
}

TEST_F(ColourFiles, OwnFileIsReadByteForByteAndWinsOverTheHostFile) {
    write("qvd.ini", {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D,
                      0x0E, 0xFF, 0xFF});
    write("kqw.ini", hostFile(0x1F, 0x30, 0x70));
    EXPECT_EQ(loadColourScheme(false), 1);
    EXPECT_EQ(entriesOf(colourScheme),
              (std::vector<uint16_t>{0x0201, 0x0403, 0x0605, 0x0807, 0x0A09, 0x0C0B, 0x0E0D}));
}

TEST_F(ColourFiles, HostFileGivesTheDerivedScheme) {
    const struct {
        unsigned char text;
        std::vector<uint16_t> scheme;
    } cases[] = {
        {0x1F, {0x30, 0x30, 0x1F, 0x5555, 0x47, 0x4F, 0x70}},
        {0x9E, {0x30, 0x30, 0x9E, 0x5555, 0x46, 0x4E, 0x70}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.text);
        write("kqw.ini", hostFile(entry.text, 0x30, 0x70));
        colourScheme = {};
        colourScheme.reserved = 0x5555;
        EXPECT_EQ(loadColourScheme(false), 1);
        EXPECT_EQ(entriesOf(colourScheme), entry.scheme);
    }
}

TEST_F(ColourFiles, SavedSchemeFromTheHostFileIsReadFromThenOn) {
    write("kqw.ini", hostFile(0x1F, 0x30, 0x70));
    ASSERT_EQ(loadColourScheme(false), 1);
    ASSERT_TRUE(saveColourScheme(2));
    EXPECT_EQ(read("qvd.ini"), (Bytes{0x30, 0, 0x30, 0, 0x1F, 0, 0, 0, 0x47, 0, 0x4F, 0, 0x70, 0}));
    write("kqw.ini", hostFile(0x02, 0x03, 0x04));
    colourScheme = {};
    EXPECT_EQ(loadColourScheme(false), 1);
    EXPECT_EQ(entriesOf(colourScheme),
              (std::vector<uint16_t>{0x30, 0x30, 0x1F, 0, 0x47, 0x4F, 0x70}));
    EXPECT_EQ(files().size(), 2u); // no temporary file stays behind
}

TEST_F(ColourFiles, SaveKeepsHighBytesAndLoadRestoresThem) {
    colourScheme = {0x8001, 0x7F02, 0x0003, 0xABCD, 0x4F00, 0xFFFF, 0x0017};
    ColourScheme saved = colourScheme;
    ASSERT_TRUE(saveColourScheme(2));
    EXPECT_EQ(read("qvd.ini").size(), 14u);
    colourScheme = {};
    EXPECT_EQ(loadColourScheme(false), 1);
    EXPECT_EQ(entriesOf(colourScheme), entriesOf(saved));
}

TEST_F(ColourFiles, RestoringDefaultsIgnoresBothFilesButKeepsReserved) {
    write("qvd.ini", Bytes(14, 0x22));
    write("kqw.ini", hostFile(0x1F, 0x30, 0x70));
    ASSERT_EQ(loadColourScheme(false), 1);
    EXPECT_EQ(loadColourScheme(true), 0);
    EXPECT_EQ(entriesOf(colourScheme),
              (std::vector<uint16_t>{0x1B, 0x1B, 0x1E, 0x2222, 0x4F, 0x4E, 0x17}));
}

TEST_F(ColourFiles, DeleteRemovesTheFileAndSucceedsWhenThereIsNone) {
    write("qvd.ini", Bytes(14, 0x22));
    write("kqw.ini", hostFile(0x1F, 0x30, 0x70));
    EXPECT_TRUE(saveColourScheme(1));
    EXPECT_TRUE(read("qvd.ini").empty());
    EXPECT_TRUE(saveColourScheme(1));
    EXPECT_TRUE(saveColourScheme(0));
    EXPECT_EQ(loadColourScheme(false), 1);
    EXPECT_EQ(colourScheme.identical, 0x1F); // the host file again
}

TEST_F(ColourFiles, ShortFilesAreNotTakenAsColourFiles) {
    write("qvd.ini", {0x70, 0x00, 0x70});
    write("kqw.ini", hostFile(0x1F, 0x30, 0x70));
    EXPECT_EQ(loadColourScheme(false), 1);
    EXPECT_EQ(colourScheme.base, 0x30); // from the host file, not the broken one
    write("kqw.ini", Bytes(37, 0x11));
    unlink((directory + "qvd.ini").c_str());
    EXPECT_EQ(loadColourScheme(false), 0);
    EXPECT_EQ(colourScheme.base, 0x1B);
}

TEST_F(ColourFiles, CurrentDirectoryPlaysNoPart) {
    std::string elsewhere = directory + "current/";
    mkdir(elsewhere.c_str(), 0777);
    std::ofstream(elsewhere + "qvd.ini", std::ios::binary) << std::string(14, '\x44');
    char previous[PATH_MAX];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(elsewhere.c_str()), 0);
    int result = loadColourScheme(false);
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(colourScheme.base, 0x1B);
}

TEST_F(ColourFiles, FailedSaveLeavesTheOldFileIntact) {
    Bytes old = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0};
    write("qvd.ini", old);
    colourScheme = {0x70, 0x70, 0x70, 0x70, 0x70, 0x70, 0x70};
    // Files may grow to 8 bytes only: the write breaks off half-way, even for root.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool result = saveColourScheme(2);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(result);
    EXPECT_EQ(read("qvd.ini"), old);
    EXPECT_EQ(files().size(), 1u);
}

// A qvd.ini kept elsewhere through a link stays a link, and a saved file keeps the permissions
// its owner gave it.
TEST_F(ColourFiles, SaveWritesThroughALinkAndKeepsPermissions) {
    mkdir((directory + "kept").c_str(), 0777);
    write("kept/colours", Bytes(14, 0x11));
    ASSERT_EQ(chmod((directory + "kept/colours").c_str(), 0640), 0);
    ASSERT_EQ(symlink("kept/colours", (directory + "qvd.ini").c_str()), 0);
    colourScheme = {0x1B, 0x1C, 0x1D, 0x00, 0x4E, 0x4F, 0x30};
    ASSERT_TRUE(saveColourScheme(2));

    struct stat link {};
    ASSERT_EQ(lstat((directory + "qvd.ini").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    Bytes saved = read("kept/colours");
    EXPECT_EQ(saved, (Bytes{0x1B, 0, 0x1C, 0, 0x1D, 0, 0, 0, 0x4E, 0, 0x4F, 0, 0x30, 0}));
    struct stat file {};
    ASSERT_EQ(stat((directory + "kept/colours").c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 07777, 0640u);
    EXPECT_EQ(files().size(), 2u) << "a temporary file was left behind";

    colourScheme = {};
    EXPECT_EQ(loadColourScheme(false), 1);
    EXPECT_EQ(colourScheme.frame, 0x1C);
    unlink((directory + "kept/colours").c_str());
    rmdir((directory + "kept").c_str());
}

TEST_F(ColourFiles, SaveIntoAMissingDirectoryFails) {
    exeDirectory = directory + "missing/";
    EXPECT_FALSE(saveColourScheme(2));
    EXPECT_TRUE(saveColourScheme(1));
}

} // namespace
