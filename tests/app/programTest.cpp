// End-to-end: starts the built program (moxa for the wide test build, moxaw for the narrow one)
// and checks what a script sees: standard output, the exit code, and that nothing on disk moved.

#include "platform/build.h"
#include "support/programRunner.h"
#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef QVD_PROGRAM_PATH
#error "QVD_PROGRAM_PATH names the program under test"
#endif

namespace {

using Outcome = ProgramOutcome;

// Runs the program in directory with the arguments, without a terminal (nothing can wait for a
// key); keepOpen is a descriptor the child inherits (for /dev/fd/N), or -1; asNobody drops root's
// rights in the child, so that permission bits count.
Outcome run(const std::string& directory, const std::vector<std::string>& arguments,
            int keepOpen = -1, bool asNobody = false) {
    ProgramRun program(QVD_PROGRAM_PATH, directory, arguments);
    program.keepOpen = keepOpen;
    program.asNobody = asNobody;
    return runProgram(program);
}

std::string verdict(const std::string& path1, const std::string& path2, bool identical) {
    return "\n" + path1 + " and " + path2 + " are " + (identical ? "" : "not ") + "identical\n\n";
}

const char* const kUsageStart = "\n  Morvyn's File Compare 3.00h\n\n  command line usage: QVD";
const char* const kUsageEnd = "    2: file not found         3: out of memory\n\n";

bool isUsage(const std::string& text) {
    return text.starts_with(kUsageStart) && text.ends_with(kUsageEnd);
}

class Program : public testing::Test {
  protected:
    TempDirectory dir;
    void SetUp() override {
        dir.write("a.txt", "one\ntwo\n");
        dir.write("same.txt", "one\ntwo\n");
        dir.write("b.txt", "one\nthree\n");
        dir.write("empty1", "");
        dir.write("empty2", "");
        dir.makeDirectory("sub");
    }
    // Runs and checks that the scratch directory is exactly as before.
    Outcome runUnchanged(const std::vector<std::string>& arguments) {
        auto before = dir.snapshot();
        Outcome outcome = run(dir.path(), arguments);
        EXPECT_EQ(dir.snapshot(), before) << "the program changed the disk";
        EXPECT_EQ(outcome.err, "");
        return outcome;
    }
};

TEST_F(Program, BadCommandLinesPrintTheUsageAndExit2) {
    struct Case {
        std::vector<std::string> arguments;
        std::string before; // printed before the usage
    };
    const Case cases[] = {
        {{}, ""},
        {{"-b"}, ""},
        {{"-?", "a.txt", "b.txt"}, "\n  Invalid option -? found on the command line\n"},
        {{"-x", "-", "--helper", "-b"},
         "\n  Invalid option -x found on the command line\n"
         "\n  Invalid option --helper found on the command line\n"},
        // Only the two exact words are requests; any other word of two dashes is an option, and
        // "--" ends the options.
        {{"--Help", "--version=1", "--", "a.txt", "b.txt"},
         "\n  Invalid option --Help found on the command line\n"
         "\n  Invalid option --version=1 found on the command line\n"},
        {{"a.txt", "b.txt", "same.txt"}, "\nToo many file names (same.txt)\n"},
        {{"--context=1000", "a.txt", "b.txt"},
         "\n  Invalid option --context=1000 found on the command line\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        Outcome outcome = runUnchanged(c.arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        ASSERT_TRUE(outcome.out.starts_with(c.before)) << outcome.out;
        EXPECT_TRUE(isUsage(outcome.out.substr(c.before.size()))) << outcome.out;
    }
}

TEST_F(Program, HelpAndVersionAnswerAtOnceWithZero) {
    const std::string version =
        std::string(kWideBuild ? "moxa" : "moxaw") + " (Morvyn's File Compare) 3.00h\n";
    struct Case {
        std::vector<std::string> arguments;
        bool help; // else the version line
    };
    // Whatever else the command line holds: bad options, host mode, missing files.
    const Case cases[] = {
        {{"--help"}, true},
        {{"--version"}, false},
        {{"-x", "missing.txt", "--help"}, true},
        {{"-z", "--version", "--help"}, false},
        {{"-b", "a.txt", "b.txt", "--help"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        Outcome outcome = runUnchanged(c.arguments);
        EXPECT_EQ(outcome.exitCode, 0);
        if (c.help)
            EXPECT_TRUE(isUsage(outcome.out)) << outcome.out;
        else
            EXPECT_EQ(outcome.out, version);
    }
}

TEST_F(Program, FilesThatCannotBeLoadedAreNamedWithTheirDerivedPath) {
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        // The line after says why, in the system's words.
        {{"missing.txt", "a.txt"},
         "\nCan't load file 1 (missing.txt)\nNo such file or directory\n"},
        {{"a.txt", "missing.txt"},
         "\nCan't load file 2 (missing.txt/a.txt)\nNo such file or directory\n"},
        {{"a.txt"}, "\nCan't load file 2 (a.bak)\nNo such file or directory\n"},
        {{"a.txt", "sub"}, "\nCan't load file 2 (sub/a.txt)\nNo such file or directory\n"},
        {{"a.txt", "*.bak"}, "\nCan't load file 2 (a.bak/a.txt)\nNo such file or directory\n"},
        {{"sub", "a.txt"}, "\nCan't load file 1 (sub)\nIs a directory\n"},
        {{"sub/", "a.txt"}, "\nCan't load file 1 (sub/)\nIs a directory\n"},
        {{"missing.txt", "alsomissing.txt"},
         "\nCan't load file 1 (missing.txt)\nNo such file or directory\n"},
        {{"", "a.txt"}, "\nCan't load file 1 ()\nNo such file or directory\n"},
        // After "--" every word is a name, a request included.
        {{"--", "--help", "a.txt"}, "\nCan't load file 1 (--help)\nNo such file or directory\n"},
        {{"a.txt", ""}, "\nCan't load file 2 ()\nNo such file or directory\n"},
    };
    for (const auto& c : cases) {
        for (bool batch : {true, false}) {
            std::vector<std::string> arguments = c.arguments;
            if (batch) arguments.insert(arguments.begin(), "-b");
            SCOPED_TRACE(testing::PrintToString(arguments));
            Outcome outcome = runUnchanged(arguments);
            EXPECT_EQ(outcome.exitCode, 2);
            EXPECT_EQ(outcome.out, c.message);
        }
    }
}

TEST_F(Program, UnreadableFileCannotBeLoaded) {
    std::string secret = dir.write("secret", "one\ntwo\n");
    dir.write("t2/x/secret", "one\ntwo\n");
    chmod(dir.write("t1/x/secret", "one\ntwo\n").c_str(), 0);
    chmod(secret.c_str(), 0);
    // Root reads anything; run the program as nobody then, which needs a way into the directory.
    bool asNobody = geteuid() == 0;
    if (asNobody) chmod(dir.path().c_str(), 0755);
    for (const char* mode : {"-b", "-c"}) {
        SCOPED_TRACE(mode);
        auto before = dir.snapshot();
        Outcome first = run(dir.path(), {mode, "secret", "a.txt"}, -1, asNobody);
        if (asNobody && (first.exitCode == 125 || first.exitCode == 127)) {
            GTEST_SKIP() << "cannot run the program as user nobody";
        }
        EXPECT_EQ(first.exitCode, 2);
        EXPECT_EQ(first.out, "\nCan't load file 1 (secret)\nPermission denied\n");
        // As a second name it does not open as a file, so it is taken for a directory.
        Outcome second = run(dir.path(), {mode, "a.txt", "secret"}, -1, asNobody);
        EXPECT_EQ(second.exitCode, 2);
        EXPECT_EQ(second.out, "\nCan't load file 2 (secret/a.txt)\nNot a directory\n");
        // In a tree, by its path; the other tree's copy is readable.
        Outcome tree = run(dir.path(), {mode, "t2", "t1/"}, -1, asNobody);
        EXPECT_EQ(tree.exitCode, 2);
        EXPECT_EQ(tree.out, "\nCan't load file 2 (t1/x/secret)\nPermission denied\n");
        EXPECT_EQ(dir.snapshot(), before);
    }
}

TEST_F(Program, VerdictsAndExitCodes) {
    dir.write("sub/a.txt", "one\ntwo\n");
    // Trees alike but for one difference each; "kinds" holds a file where the others a directory.
    for (std::string tree : {"t1", "t2", "deep", "extra", "kinds"}) {
        dir.write(tree + "/a.txt", "one\ntwo\n");
        dir.write(tree + "/d1/d2/d3/deep.txt", "deep\n");
        if (tree != "kinds") dir.makeDirectory(tree + "/empty");
    }
    dir.write("deep/d1/d2/d3/deep.txt", "deeP\n");
    dir.write("extra/d1/more.txt", "");
    dir.write("kinds/empty", "");
    for (std::string tree : {"fifos1", "fifos2"})
        ASSERT_EQ(mkfifo(dir.makeDirectory(tree).append("/p").c_str(), 0600), 0);
    dir.write("-dash.txt", "one\ntwo\n");
    struct Case {
        std::vector<std::string> arguments;
        std::string out;
        int exitCode;
    };
    const Case cases[] = {
        {{"-b", "a.txt", "same.txt"}, verdict("a.txt", "same.txt", true), 0},
        {{"a.txt", "-B", "b.txt"}, verdict("a.txt", "b.txt", false), 1},
        {{"-b", "empty1", "empty2"}, verdict("empty1", "empty2", true), 0},
        {{"-b", "empty1", "a.txt"}, verdict("empty1", "a.txt", false), 1},
        {{"-b", "a.txt", "sub"}, verdict("a.txt", "sub/a.txt", true), 0}, // into the directory
        // Without a terminal no key can come: identical files end as in batch mode, with no
        // "Press any key" (the wait itself is tested on a real terminal, tests/terminal).
        {{"empty1", "empty2"}, verdict("empty1", "empty2", true), 0},
        {{"a.txt", "same.txt"}, verdict("a.txt", "same.txt", true), 0},
        // Without a view (and without a terminal) differing files end as in batch mode.
        {{"a.txt", "b.txt"}, verdict("a.txt", "b.txt", false), 1},
        {{"-a-5,-7", "-b", "a.txt", "same.txt"}, verdict("a.txt", "same.txt", true), 0},
        {{"-a99999999999,99999999999", "-b", "a.txt", "b.txt"},
         verdict("a.txt", "b.txt", false),
         1},
        {{"-b", "/dev/null", "empty1"}, verdict("/dev/null", "empty1", true), 0},
        {{"-b", "t1", "t2"}, verdict("t1", "t2", true), 0},
        {{"t1/", "t2"}, verdict("t1/", "t2", true), 0},
        {{"-b", "t1", "deep"}, verdict("t1", "deep", false), 1},
        {{"-b", "t1", "extra"}, verdict("t1", "extra", false), 1},
        {{"-b", "extra", "t1"}, verdict("extra", "t1", false), 1},
        {{"-b", "t1", "kinds"}, verdict("t1", "kinds", false), 1},
        {{"-b", "fifos1", "fifos2"}, verdict("fifos1", "fifos2", false), 1}, // never opened
        {{"-b", "--", "-dash.txt", "a.txt"}, verdict("-dash.txt", "a.txt", true), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        Outcome outcome = runUnchanged(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(outcome.out, c.out);
    }
}

TEST_F(Program, PipeIsReadToItsEnd) {
    for (bool batch : {true, false}) {
        int ends[2];
        ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
        ASSERT_EQ(write(ends[1], "one\ntwo\n", 8), 8);
        close(ends[1]);
        std::string pipePath = "/dev/fd/" + std::to_string(ends[0]);
        std::vector<std::string> arguments{pipePath, "a.txt"};
        if (batch) arguments.insert(arguments.begin(), "-b");
        Outcome outcome = run(dir.path(), arguments, ends[0]);
        close(ends[0]);
        SCOPED_TRACE(batch);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_TRUE(outcome.out.starts_with(verdict(pipePath, "a.txt", true))) << outcome.out;
    }
}

// "-" reads standard input to its end, for one of the two files only, and is named as such.
TEST_F(Program, StandardInputIsOneOfTheFiles) {
    const std::string input = "(standard input)";
    const struct {
        std::vector<std::string> arguments;
        std::string out;
        int exitCode;
    } cases[] = {
        {{"-b", "-", "a.txt"}, verdict(input, "a.txt", true), 0},
        {{"b.txt", "-"}, verdict("b.txt", input, false), 1}, // no terminal: no view
        // Nothing is derived for it nor from it: the other name is taken as given.
        {{"-b", "--", "-", "sub"}, "\nCan't load file 2 (sub)\nIs a directory\n", 2},
        {{"-b", "-"}, "\nStandard input needs a second file to compare it with\n", 2},
        {{"-", "-"}, "\nStandard input can be only one of the two files\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        ProgramRun program(QVD_PROGRAM_PATH, dir.path(), c.arguments);
        program.input = "one\ntwo\n";
        Outcome outcome = runProgram(program);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(outcome.out, c.out);
    }
    // Read to its end, a terminal would give whatever is typed up to Ctrl-D.
    Outcome terminal =
        runOnPseudoTerminal(ProgramRun(QVD_PROGRAM_PATH, dir.path(), {"-b", "-", "a.txt"}));
    EXPECT_EQ(terminal.exitCode, 2);
    EXPECT_NE(terminal.out.find("Standard input is the terminal"), std::string::npos);
}

// git runs its external diff with 7 arguments, or 9 for a rename, and stops at any status but 0
// unless it trusts the tool's; an unmerged path comes alone.
TEST_F(Program, GitsExternalDiffCommandLines) {
    const auto git = [](std::string path, std::string oldFile, std::string newFile,
                        std::string mode = "100644") {
        return std::vector<std::string>{
            path, oldFile, std::string(40, 'e'), mode, newFile, std::string(64, '0'), mode};
    };
    std::vector<std::string> renamed = git("old.c", "a.txt", "same.txt");
    renamed.insert(renamed.end(), {"new.c", "similarity index 100%\n"});
    const struct {
        std::vector<std::string> arguments;
        const char* trust; // GIT_EXTERNAL_DIFF_TRUST_EXIT_CODE, or none
        std::string out;
        int exitCode;
    } cases[] = {
        // Named by git's path, not by the files git hands over.
        {git("src/x.c", "a.txt", "b.txt"), nullptr, verdict("src/x.c", "src/x.c", false), 0},
        {git("src/x.c", "a.txt", "b.txt"), "True", verdict("src/x.c", "src/x.c", false), 1},
        {git("src/x.c", "a.txt", "b.txt"), "off", verdict("src/x.c", "src/x.c", false), 0},
        {git("x", "a.txt", "same.txt"), "1", verdict("x", "x", true), 0},
        {git("new", "/dev/null", "empty1", "."), nullptr, verdict("new", "new", true), 0},
        {renamed, nullptr, verdict("old.c", "new.c", true), 0},
        {git("-b", "a.txt", "b.txt"), nullptr, verdict("-b", "-b", false), 0}, // all names
        {{"conflict.c"}, nullptr, "\nconflict.c: unmerged, not compared\n", 0},
        {git("x", "a.txt", "b.txt", "10064"), nullptr, "\nToo many file names (", 2}, // not git's
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        ProgramRun program(QVD_PROGRAM_PATH, dir.path(), c.arguments);
        program.gitVariables = {{"GIT_DIFF_PATH_COUNTER", "2"}, {"GIT_DIFF_PATH_TOTAL", "3"}};
        if (c.trust) program.gitVariables.push_back({"GIT_EXTERNAL_DIFF_TRUST_EXIT_CODE", c.trust});
        Outcome outcome = runProgram(program);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_TRUE(outcome.out.starts_with(c.out)) << outcome.out;
    }
}

TEST_F(Program, NameThatIsNotUtf8LoadsAndIsShownAsTheBuildShowsIt) {
    dir.write("n\xE9.txt", "one\ntwo\n");
    Outcome outcome = runUnchanged({"-b", "n\xE9.txt", "a.txt"});
    EXPECT_EQ(outcome.exitCode, 0);
    // moxa writes the name's own bytes back; moxaw reads them as ANSI and shows their OEM form.
    std::string shown = kWideBuild ? "n\xE9.txt" : "n\xC3\xA9.txt";
    EXPECT_EQ(outcome.out, verdict(shown, "a.txt", true));

    // ANSI 0xFF (y-diaeresis) has an OEM form; 0xFE (thorn) has none and shows as '?'.
    Outcome missing = runUnchanged({"-b", "\xFF\xFE", "a.txt"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.out, kWideBuild
                               ? "\nCan't load file 1 (\xFF\xFE)\nNo such file or directory\n"
                               : "\nCan't load file 1 (\xC3\xBF?)\nNo such file or directory\n");
}

TEST_F(Program, HostModeIsSilentButForInvalidOptions) {
    std::string a = dir / "a.txt";
    struct Case {
        std::vector<std::string> arguments;
        std::string out;
        int exitCode;
    };
    const Case cases[] = {
        {{"-z", "-b", a, dir / "same.txt"}, "", 0},
        {{"-z", "-b", a, dir / "b.txt"}, "", 1},
        {{"-z", a, dir / "same.txt"}, "", 0}, // identical: no "Press any key" either
        {{"-z", a}, "", 2},                   // one name: no .bak in host mode
        {{"-z", a, dir / "nothing.txt"}, "", 2},
        {{"-z", a, dir / "sub"}, "", 2}, // found, but a directory does not load
        {{"-z"}, "", 2},
        {{"-z", "-q", a, a}, "\n  Invalid option -q found on the command line\n", 2},
        {{"-z", "-b", "a.txt", "same.txt"}, "", 0}, // names without '/': the current directory
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        Outcome outcome = runUnchanged(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(outcome.out, c.out);
    }
}

TEST_F(Program, PathsBeyondThePlatformLimitAreRefusedNotCut) {
    std::string longName(kPathCapacity, 'x');
    Outcome outcome = runUnchanged({"-b", longName, "a.txt"});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.out,
              "\nPath too long: a path may hold at most 4095 bytes (" + longName + ")\n");
    Outcome derived = runUnchanged({"-b", "a.txt", std::string(kPathCapacity - 3, 'd')});
    EXPECT_EQ(derived.exitCode, 2);
    EXPECT_TRUE(derived.out.starts_with("\nPath too long")) << derived.out;
}

} // namespace
