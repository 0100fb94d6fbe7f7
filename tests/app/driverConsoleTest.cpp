// The driver's calls into the console, run in-process on the scripted terminal: the key wait,
// the title and the console size at start and exit.

#include "app/driver.h"
#include "console/keyReader.h"
#include "console/screen.h"
#include "platform/memoryTerminal.h"
#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

class DriverConsole : public testing::Test {
  protected:
    TempDirectory dir;
    std::string a;
    std::string same;
    std::string other;

    void SetUp() override {
        resetMemoryTerminal(132, 50);
        a = dir.write("a.txt", "one\ntwo\n");
        same = dir.write("same.txt", "one\ntwo\n");
        other = dir.write("b.txt", "one\nthree\n");
    }

    static int run(std::vector<std::string> arguments, std::string* printed = nullptr) {
        arguments.insert(arguments.begin(), "moxa");
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        int code = runProgram(static_cast<int>(arguments.size()), argv.data());
        const std::string output = testing::internal::GetCapturedStdout();
        if (printed) *printed = output;
        return code;
    }
};

TEST_F(DriverConsole, IdenticalFilesReadExactlyOneKey) {
    queueKeyCodes({'x', 'y'});
    EXPECT_EQ(run({a, same}), 0);
    EXPECT_EQ(pendingScriptEntries(), 1);
    EXPECT_EQ(scriptUnderruns(), 0);
    queueKeyCodes({'z'});
    EXPECT_EQ(run({"-z", a, same}), 0); // host mode waits too, silently
    EXPECT_EQ(pendingScriptEntries(), 1);
}

TEST_F(DriverConsole, NothingWaitsForKeysWithoutTerminalInBatchModeOrForGit) {
    queueKeyCodes({'x'});
    EXPECT_EQ(run({"-b", a, same}), 0);
    EXPECT_EQ(pendingScriptEntries(), 1);
    // git calls for every path, a change of mode alone too: the next path must not wait.
    const std::string blob(40, 'e');
    EXPECT_EQ(run({"x.c", a, blob, "100644", same, blob, "100755"}), 0);
    EXPECT_EQ(pendingScriptEntries(), 1);
    setMemoryTerminalPresent(false);
    EXPECT_EQ(run({a, same}), 0);
    EXPECT_EQ(run({a, other}), 1);
    EXPECT_EQ(pendingScriptEntries(), 1);
}

TEST_F(DriverConsole, TitleNamesTheProgramVersionAndBothPaths) {
    queueKeyCodes({'x'});
    run({a, same});
    EXPECT_EQ(dumpScreen().title, u"Morvyn's File Compare 3.00h - " +
                                      std::u16string(a.begin(), a.end()) + u" " +
                                      std::u16string(same.begin(), same.end()));
}

TEST_F(DriverConsole, ExitLeavesTheStartupSizeOrTheOneOptionAAskedFor) {
    const struct {
        std::vector<std::string> options;
        ScreenSize size;
    } cases[] = {
        {{"-b"}, {132, 50}},
        {{"-b", "-a30"}, {132, 30}},
        {{"-b", "-a30,100"}, {100, 30}},
        {{"-b", "-a99,200"}, {132, 50}}, // cut to the terminal
        {{"-b", "-a5,-7"}, {132, 50}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::PrintToString(entry.options));
        resetMemoryTerminal(132, 50);
        std::vector<std::string> arguments = entry.options;
        arguments.push_back(a);
        arguments.push_back(other);
        EXPECT_EQ(run(arguments), 1);
        EXPECT_EQ(getScreenSize(false), entry.size);
    }
}

TEST_F(DriverConsole, UsagePathsLeaveTheConsoleAlone) {
    EXPECT_EQ(run({"-a30", "-q", a, same}), 2);
    EXPECT_EQ(run({"-a30"}), 2);
    EXPECT_EQ(getScreenSize(false), (ScreenSize{132, 50})); // -a was not applied
    EXPECT_EQ(dumpScreen().title, u"");
}

// Files of the same text used to open a view of equal rows in which nothing told them apart: the
// view's last row says what differs when it opens, and so does the verdict of -b.
TEST_F(DriverConsole, FilesOfTheSameTextSayHowTheyDiffer) {
    const std::string utf16 = std::string("\xFF\xFEo\0n\0e\0\n\0t\0w\0o\0\n\0", 18);
    const struct {
        std::string bytes;
        std::string note; // against "one\ntwo\n"; moxaw reads every file as its bytes
        bool wideOnly;
    } cases[] = {
        {"one\r\ntwo\r\n", "The files differ only in their line ends (CR LF / LF)", false},
        {"one\rtwo\n", "The files differ only in their line ends (mixed / LF)", false},
        {"one\ntwo", "The files differ only in the final line end", false},
        {"one\r\ntwo",
         "The files differ only in their line ends (CR LF / LF) and the final line end", false},
        {"\xEF\xBB\xBFone\ntwo\n", "The files differ only in their encoding", true},
        {utf16, "The files differ only in their encoding", true},
        {"one\ntwo\n\n", "", false}, // a line more
        {"one\nTwo\n", "", false},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.note);
        const std::string path = dir.write("same text", entry.bytes);
        const std::string note = kWideBuild || !entry.wideOnly ? entry.note : "";
        std::string printed;
        EXPECT_EQ(run({"-b", path, a}, &printed), 1);
        EXPECT_EQ(printed, "\n" + path + " and " + a + " are not identical\n" +
                               (note.empty() ? "" : note + "\n") + "\n");
        // Host mode leaves the last screen of the view standing.
        resetMemoryTerminal(100, 25);
        queueKeyCodes({'q'});
        EXPECT_EQ(run({"-z", path, a}), 1);
        const std::string shown = note.empty() ? "  SPACE next difference" : note + " ";
        EXPECT_EQ(dumpScreen().text(24, 0, static_cast<int>(shown.size())), shown);
    }
}

// Files of 8 MiB and more open at their beginnings while they are read; a key that needs the
// whole comparison waits for it, and shows the whole's rows.
TEST_F(DriverConsole, LargeFilesOpenAtTheirBeginningsAndAnswerFromTheWhole) {
    std::string one;
    for (int line = 0; line < 800000; ++line) one += "line " + std::to_string(line) + "\n";
    std::string two = one;
    two.replace(two.find("line 500000"), 11, "changed");
    const std::string left = dir.write("big1", one + "end one\n");
    const std::string right = dir.write("big2", two + "end two\n");
    resetMemoryTerminal(100, 25);
    queueKeyCodes({kKeyEnd, 'q'});
    EXPECT_EQ(run({"-z", left, right}), 1); // host mode leaves the last screen standing
    const std::string shown = dumpScreen().toString();
    EXPECT_NE(shown.find("800001 end one"), std::string::npos) << shown;
    EXPECT_NE(shown.find("800001 end two"), std::string::npos) << shown;
    EXPECT_EQ(scriptUnderruns(), 0);
    // Identical ones are told so only once every byte was compared, and never shown.
    queueKeyCodes({'x'});
    std::string printed;
    EXPECT_EQ(run({left, dir.write("copy", one + "end one\n")}, &printed), 0);
    EXPECT_NE(printed.find("are identical"), std::string::npos) << printed;
    EXPECT_EQ(pendingScriptEntries(), 0);
}

// R used to read a pipe again: a process substitution's left the pane empty without a word, and
// a FIFO's open waited for a writer for ever, Ctrl-C and all. Only regular files are read again;
// a pipe says so and the view keeps what it shows.
TEST_F(DriverConsole, PipesAreNotReadAgain) {
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "a FIFO" : "a pipe, as <(...) gives it");
        int ends[2] = {-1, -1};
        std::thread writer;
        std::string path = fifo;
        if (named) {
            writer = std::thread([&] {
                std::ofstream(fifo) << "one\nTHREE\n"; // waits for the program's open
            });
        } else {
            ASSERT_EQ(pipe(ends), 0);
            ASSERT_EQ(write(ends[1], "one\nTHREE\n", 10), 10);
            close(ends[1]);
            path = "/dev/fd/" + std::to_string(ends[0]);
        }
        resetMemoryTerminal(100, 25);
        queueKeyCodes({'r', 'q'});
        // Host mode leaves the last screen standing.
        EXPECT_EQ(run({"-z", path, other}), 1);
        if (writer.joinable()) writer.join();
        if (ends[0] >= 0) close(ends[0]);
        const ScreenDump screen = dumpScreen();
        const std::string message = "Can't reload file 1 (" + path + "): a pipe, read once ";
        EXPECT_EQ(screen.text(24, 0, static_cast<int>(message.size())), message);
        EXPECT_EQ(screen.text(2, 6, 5), "THREE") << "the view keeps what it shows";
    }
}

} // namespace
