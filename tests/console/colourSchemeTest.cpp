#include "console/colourScheme.h"
#include "platform/build.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Each test gets its own directory beside the test program (tests of both builds may run at
// once), and exeDirectory points there: the source tree is never written. The user's directory
// is a scratch one too; it is left empty unless a test sets it.
class ColourFiles : public testing::Test {
  protected:
    std::string directory;
    std::string userConfig;    // stands for ~/.config/ in the tests that use it
    std::string userDirectory; // and ~/.config/qvd/

    void SetUp() override {
        findExeDirectory(nullptr);
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string base = exeDirectory + "colourFiles/";
        mkdir(base.c_str(), 0777);
        directory = base + info->name() + (QVD_WIDE ? "_wide/" : "_narrow/");
        userConfig = base + info->name() + (QVD_WIDE ? "_wide.config/" : "_narrow.config/");
        userDirectory = userConfig + "qvd/";
        std::filesystem::remove_all(directory);
        std::filesystem::remove_all(userConfig);
        mkdir(directory.c_str(), 0777);
        exeDirectory = directory;
        userColourDirectory.clear();
        (void)loadColourScheme(false); // nothing there: the colours come from no file
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

    static void writeFile(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    void write(const std::string& name, const Bytes& bytes) { writeFile(directory + name, bytes); }

    // Only a regular file is read: a FIFO would wait for a writer.
    static Bytes readFile(const std::string& path) {
        if (!std::filesystem::is_regular_file(path)) return {};
        std::ifstream file(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    Bytes read(const std::string& name) { return readFile(directory + name); }

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
    userColourDirectory = userDirectory;
    write("kqw.ini", hostFile(0x1F, 0x30, 0x70));
    ASSERT_EQ(loadColourScheme(false), 1);
    ASSERT_TRUE(saveColourScheme(2));
    EXPECT_EQ(readFile(userDirectory + "qvd.ini"),
              (Bytes{0x30, 0, 0x30, 0, 0x1F, 0, 0, 0, 0x47, 0, 0x4F, 0, 0x70, 0}));
    write("kqw.ini", hostFile(0x02, 0x03, 0x04));
    colourScheme = {};
    EXPECT_EQ(loadColourScheme(false), 1);
    EXPECT_EQ(entriesOf(colourScheme),
              (std::vector<uint16_t>{0x30, 0x30, 0x1F, 0, 0x47, 0x4F, 0x70}));
    EXPECT_EQ(files().size(), 1u) << "nothing written beside the program";
}

TEST_F(ColourFiles, SaveKeepsHighBytesAndLoadRestoresThem) {
    userColourDirectory = userDirectory;
    colourScheme = {0x8001, 0x7F02, 0x0003, 0xABCD, 0x4F00, 0xFFFF, 0x0017};
    ColourScheme saved = colourScheme;
    ASSERT_TRUE(saveColourScheme(2));
    EXPECT_EQ(readFile(userDirectory + "qvd.ini").size(), 14u);
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
    ASSERT_EQ(loadColourScheme(false), 1);
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
    ASSERT_EQ(loadColourScheme(false), 1); // the colours come from it: the save goes back there
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
    ASSERT_EQ(loadColourScheme(false), 1);
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
    write("qvd.ini", Bytes(14, 0x22));
    ASSERT_EQ(loadColourScheme(false), 1); // from beside the program, which then goes missing
    exeDirectory = directory + "missing/";
    EXPECT_FALSE(saveColourScheme(2));
    ASSERT_EQ(colourFileErrors().size(), 2u);
    EXPECT_EQ(colourFileErrors()[0].path, directory + "missing/qvd.ini");
    EXPECT_EQ(colourFileErrors()[0].reason, "No such file or directory");
    EXPECT_EQ(colourFileErrors()[1].reason, "no home directory (HOME)");
    EXPECT_TRUE(saveColourScheme(1));
    EXPECT_TRUE(colourFileErrors().empty());
}

TEST_F(ColourFiles, UserDirectoryComesFromTheEnvironment) {
    const struct {
        const char* configHome; // null: unset
        const char* home;
        std::string directory;
    } cases[] = {
        {"/x/conf", "/h", "/x/conf/qvd/"},
        {"/x/conf//", "/h", "/x/conf/qvd/"},
        {"", "/h", "/h/.config/qvd/"},
        {nullptr, "/h/", "/h/.config/qvd/"},
        {"relative", "/h", "/h/.config/qvd/"}, // a relative value names no place
        {nullptr, "relative", ""},
        {nullptr, nullptr, ""},
        {nullptr, "/", ""},
    };
    const std::string savedConfig = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.directory);
        auto put = [](const char* name, const char* value) {
            value ? setenv(name, value, 1) : unsetenv(name);
        };
        put("XDG_CONFIG_HOME", entry.configHome);
        put("HOME", entry.home);
        findExeDirectory(nullptr);
        EXPECT_EQ(userColourDirectory, entry.directory);
    }
    setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    setenv("HOME", savedHome.c_str(), 1);
}

// A save goes back to the qvd.ini the colours came from, else to the user's file, whose
// directories are made for the user alone; beside the program only when the colours came from
// there (a save from the defaults or the host's file used to land in the program's directory:
// /usr/bin for an installed program run as root). The file it lands in is the one the next start
// reads.
TEST_F(ColourFiles, SaveGoesWhereTheNextStartLooksFirst) {
    enum Where { nowhere, user, program };
    const struct {
        const char* name;
        Where existing;        // the qvd.ini there before
        bool programDirectory; // false: the program's directory is gone
        bool programFifo;      // the program's qvd.ini is a FIFO
        Where savedTo;
    } cases[] = {
        {"from the user's file: back there", user, true, false, user},
        {"from the program's file: back there", program, true, false, program},
        {"from the host file: the user's file", nowhere, true, false, user},
        {"the program's directory gone: the user's file", nowhere, false, false, user},
        {"the program's qvd.ini a FIFO: the user's file", nowhere, true, true, user},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        std::filesystem::remove_all(userConfig);
        std::filesystem::remove_all(directory);
        mkdir(directory.c_str(), 0777);
        userColourDirectory = userDirectory;
        write("kqw.ini", hostFile(0x1F, 0x30, 0x70));
        if (entry.existing == user) {
            std::filesystem::create_directories(userDirectory);
            writeFile(userDirectory + "qvd.ini", Bytes(14, 0x11));
        }
        if (entry.existing == program) write("qvd.ini", Bytes(14, 0x22));
        if (entry.programFifo) {
            ASSERT_EQ(mkfifo((directory + "qvd.ini").c_str(), 0666), 0);
        }
        exeDirectory = directory;
        ASSERT_EQ(loadColourScheme(false), 1);
        if (!entry.programDirectory) exeDirectory = directory + "gone/";
        colourScheme.lineNumbers = 0x3456;

        ASSERT_TRUE(saveColourScheme(2));
        const Bytes userFile = readFile(userDirectory + "qvd.ini");
        const Bytes programFile = readFile(exeDirectory + "qvd.ini");
        EXPECT_EQ(userFile.size() == 14 && userFile[12] == 0x56, entry.savedTo == user);
        EXPECT_EQ(programFile.size() == 14 && programFile[12] == 0x56, entry.savedTo == program);
        if (entry.savedTo == user && entry.existing != user) {
            struct stat made {};
            ASSERT_EQ(stat(userDirectory.c_str(), &made), 0);
            EXPECT_EQ(made.st_mode & 07777, 0700u);
            ASSERT_EQ(stat(userConfig.c_str(), &made), 0);
            EXPECT_EQ(made.st_mode & 07777, 0700u);
        }
        colourScheme = {};
        ASSERT_EQ(loadColourScheme(false), 1);
        EXPECT_EQ(colourScheme.lineNumbers, 0x3456) << "the next start reads what was saved";
    }
}

// The user's own qvd.ini comes first, then qvd.ini beside the program, then kqw.ini: 'k' deletes
// the file the colours came from, so each deletion uncovers the next, and never the host's kqw.ini.
TEST_F(ColourFiles, DeleteTakesTheFileTheColoursCameFrom) {
    userColourDirectory = userDirectory;
    std::filesystem::create_directories(userDirectory);
    writeFile(userDirectory + "qvd.ini", Bytes(14, 0x11));
    write("qvd.ini", Bytes(14, 0x22));
    write("kqw.ini", hostFile(0x1F, 0x30, 0x70));
    const uint16_t framesInTurn[] = {0x1111, 0x2222, 0x30, 0x30};
    for (uint16_t frame : framesInTurn) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(loadColourScheme(false), 1);
        EXPECT_EQ(colourScheme.frame, frame);
        EXPECT_TRUE(saveColourScheme(1));
    }
    EXPECT_EQ(read("kqw.ini").size(), 60u);
}

// Found by naming a FIFO qvd.ini: start-up waited in open() for a writer, batch mode included.
// Whatever is not a regular file counts as no file and is never read; a child process runs the
// load so that a wait shows as a failure instead of a test that never ends.
TEST_F(ColourFiles, ColourFilesThatAreNotRegularFilesCountAsNone) {
    userColourDirectory = userDirectory;
    const struct {
        const char* name;
        std::string path;
        const char* linkTo; // null: a FIFO
    } cases[] = {
        {"user's qvd.ini a FIFO", userDirectory + "qvd.ini", nullptr},
        {"qvd.ini a FIFO", directory + "qvd.ini", nullptr},
        {"kqw.ini a FIFO", directory + "kqw.ini", nullptr},
        {"qvd.ini a link to the terminal", directory + "qvd.ini", "/dev/tty"},
        {"kqw.ini a link to endless zeros", directory + "kqw.ini", "/dev/zero"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        std::filesystem::remove_all(userDirectory);
        std::filesystem::create_directories(userDirectory);
        unlink((directory + "qvd.ini").c_str());
        unlink((directory + "kqw.ini").c_str());
        ASSERT_EQ(entry.linkTo ? symlink(entry.linkTo, entry.path.c_str())
                               : mkfifo(entry.path.c_str(), 0666),
                  0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            colourScheme = {};
            const int loaded = loadColourScheme(false);
            _exit(loaded == 0 && colourScheme.frame == 0x1B ? 0 : 1);
        }
        int status = -1;
        for (int wait = 0; wait < 300 && waitpid(child, &status, WNOHANG) == 0; ++wait)
            usleep(10000);
        if (status == -1) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "loading the colours waited on the file";
            continue;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "not the defaults";
    }
}

} // namespace
