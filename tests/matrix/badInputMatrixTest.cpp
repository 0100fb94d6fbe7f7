// The bad-input matrix through the real program: files of every kind a user can name, names of
// every shape, and damaged colour files. Each case states the message and the exit code a script
// sees; the runs happen without a terminal (the terminal side is tests/terminal/matrixTests.sh).

#include "platform/build.h"
#include "support/programRunner.h"
#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

#ifndef QVD_PROGRAM_PATH
#error "QVD_PROGRAM_PATH names the program under test"
#endif

namespace {

// The verdict, with the sentence that says how files of the same text differ when there is one.
std::string verdict(const std::string& path1, const std::string& path2, bool identical,
                    const std::string& note = "") {
    return "\n" + path1 + " and " + path2 + " are " + (identical ? "" : "not ") + "identical\n" +
           (note.empty() ? "" : note + "\n") + "\n";
}

// A load failure and the system's reason for it, on the line after.
std::string cannotLoad(int file, const std::string& path,
                       const std::string& reason = "No such file or directory") {
    return "\nCan't load file " + std::to_string(file) + " (" + path + ")\n" + reason + "\n";
}

const char* const kUsageEnd = "    2: file not found         3: out of memory\n\n";

std::string allBytes() {
    std::string bytes;
    for (int round = 0; round < 16; ++round)
        for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
    return bytes;
}

class BadInput : public testing::Test {
  protected:
    TempDirectory dir;

    void SetUp() override {
        dir.write("a.txt", "one\ntwo\n");
        dir.write("b.txt", "one\nthree\n");
        dir.write("empty", "");
        dir.makeDirectory("sub");
    }

    ProgramOutcome run(const std::vector<std::string>& arguments) {
        return runProgram({QVD_PROGRAM_PATH, dir.path(), arguments});
    }

    // Runs in batch mode and without -b (no terminal: the same answers), and checks that the
    // scratch directory is exactly as before and nothing went to standard error.
    void expectBoth(const std::vector<std::string>& arguments, const std::string& out,
                    int exitCode) {
        for (bool batch : {true, false}) {
            std::vector<std::string> withMode = arguments;
            if (batch) withMode.insert(withMode.begin(), "-b");
            SCOPED_TRACE(testing::PrintToString(withMode));
            auto before = dir.snapshot();
            ProgramOutcome outcome = run(withMode);
            EXPECT_EQ(outcome.exitCode, exitCode);
            EXPECT_EQ(outcome.out, out);
            EXPECT_EQ(outcome.err, "");
            EXPECT_EQ(dir.snapshot(), before) << "the program changed the disk";
        }
    }
};

// The user's defaults in QVD_OPTIONS apply before the command line's; an invalid one there is
// reported as standing there, and the program ends as for one on the command line.
TEST_F(BadInput, OptionsOfTheVariableApplyAndInvalidOnesAreNamedAsSuch) {
    ProgramRun runWith(QVD_PROGRAM_PATH, dir.path(), {"a.txt", "b.txt"});
    runWith.options = "-v -q";
    ProgramOutcome outcome = runProgram(runWith);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.out.starts_with("\n  Invalid option -q found in QVD_OPTIONS\n"))
        << outcome.out;
    EXPECT_TRUE(outcome.out.ends_with(kUsageEnd));
    runWith.options = "-z"; // host mode: the verdict goes unsaid
    outcome = runProgram(runWith);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, "");
}

TEST_F(BadInput, FilesThatAreNoFiles) {
    struct Case {
        std::vector<std::string> arguments;
        std::string out;
        int exitCode;
    };
    const Case cases[] = {
        {{"missing", "a.txt"}, cannotLoad(1, "missing"), 2},
        {{"a.txt", "missing"}, cannotLoad(2, "missing/a.txt"), 2},
        {{"sub", "a.txt"}, cannotLoad(1, "sub", "Is a directory"), 2},
        {{"a.txt", "sub/"}, cannotLoad(2, "sub/a.txt"), 2},
        {{"/dev/null", "empty"}, verdict("/dev/null", "empty", true), 0},
        {{"/dev/null", "a.txt"}, verdict("/dev/null", "a.txt", false), 1},
        {{"a.txt", "/dev/null"}, verdict("a.txt", "/dev/null", false), 1},
    };
    for (const auto& c : cases) expectBoth(c.arguments, c.out, c.exitCode);
}

// The probe of the second name (file or directory?) used to open a named pipe, taking the
// writer's open for its own and discarding what it wrote: the load then waited for ever.
TEST_F(BadInput, NamedPipeIsNotDrainedByTheSecondNameProbe) {
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& arguments : {std::vector<std::string>{"-b", "fifo", "a.txt"},
                                  std::vector<std::string>{"-b", "a.txt", "fifo"}}) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        std::atomic<bool> written{false};
        std::thread writer([&] {
            int fd = open(fifo.c_str(), O_WRONLY);
            ssize_t ignored = write(fd, "one\ntwo\n", 8);
            (void)ignored;
            close(fd);
            written = true;
        });
        ProgramOutcome outcome = run(arguments);
        if (!written) close(open(fifo.c_str(), O_RDONLY | O_NONBLOCK)); // frees a stuck writer
        writer.join();
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.out, verdict(arguments[1], arguments[2], true));
    }
}

TEST_F(BadInput, UnreadableFileCannotBeLoaded) {
    std::string secret = dir.write("secret", "one\ntwo\n");
    chmod(secret.c_str(), 0);
    chmod(dir.path().c_str(), 0755);
    ProgramRun first{QVD_PROGRAM_PATH, dir.path(), {"-b", "secret", "a.txt"}};
    first.asNobody = geteuid() == 0; // root reads anything: as nobody permission bits count
    ProgramOutcome outcome = runProgram(first);
    if (outcome.exitCode == 125) GTEST_SKIP() << "cannot run the program as user nobody";
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.out, cannotLoad(1, "secret", "Permission denied"));
    ProgramRun second = first;
    second.arguments = {"-b", "a.txt", "secret"};
    outcome = runProgram(second);
    EXPECT_EQ(outcome.exitCode, 2);
    // It does not open, so it is taken for a directory.
    EXPECT_EQ(outcome.out, cannotLoad(2, "secret/a.txt", "Not a directory"));
}

// Content is never a reason to refuse a file: whatever the bytes, the verdict is about bytes.
TEST_F(BadInput, AnyContentIsCompared) {
    std::string tenMegabyteLine(10 << 20, 'x');
    std::string emptyLines(10'000'000, '\n');
    struct Case {
        const char* name;
        std::string bytes;
        std::string other;      // a copy of bytes with one byte changed
        bool emptyText = false; // moxa decodes it to no text at all, as the empty file holds
    };
    std::vector<Case> cases = {
        {"binary", allBytes(), ""},
        {"nul", std::string("one\0two\0\n\0", 10), ""},
        {"utf16Odd",
         std::string("\xFF\xFE"
                     "A\0B",
                     5),
         ""},
        {"loneMark", "\xFF\xFE", "", true},
        {"utf16NoMark", std::string("A\0B\0C", 5), ""},
        {"badUtf8",
         "\xEF\xBB\xBF"
         "a\xC3(\xA0\xA1\xED\xA0\x80\xF4\x90\x80\x80\xFF\n",
         ""},
        {"markOnly", "\xEF\xBB\xBF", "", true},
        {"crOnly", "one\rtwo\rthree\r", ""},
        {"longLine", tenMegabyteLine, ""},
        {"emptyLines", emptyLines, ""},
    };
    for (auto& c : cases) {
        c.other = c.bytes;
        c.other.back() = static_cast<char>(c.other.back() ^ 1);
        std::string name = c.name;
        dir.write(name, c.bytes);
        dir.write(name + ".copy", c.bytes);
        dir.write(name + ".changed", c.other);
        expectBoth({name, name + ".copy"}, verdict(name, name + ".copy", true), 0);
        expectBoth({name, name + ".changed"}, verdict(name, name + ".changed", false), 1);
        const bool sameText = kWideBuild && c.emptyText;
        expectBoth({name, "empty"},
                   verdict(name, "empty", false,
                           sameText ? "The files differ only in their encoding" : ""),
                   1);
    }
}

TEST_F(BadInput, NamesOfEveryShape) {
    const std::string names[] = {"with space.txt", "quote\"'`.txt",      "new\nline.txt",
                                 "tab\t.txt",      "semi;colon&amp.txt", "$(echo x).txt",
                                 "star*.txt",      "back\\.txt"};
    for (const std::string& name : names) {
        dir.write(name, "one\ntwo\n");
        expectBoth({name, "a.txt"}, verdict(name, "a.txt", true), 0);
        expectBoth({"b.txt", name}, verdict("b.txt", name, false), 1);
    }
    // A leading '-' makes an option; the name is reached through a path.
    dir.write("-dash.txt", "one\ntwo\n");
    expectBoth({"./-dash.txt", "a.txt"}, verdict("./-dash.txt", "a.txt", true), 0);
    // "-dash.txt" is -d, and a.txt alone is compared with a.bak.
    expectBoth({"-dash.txt", "a.txt"}, cannotLoad(2, "a.bak"), 2);
    dir.write("-0.txt", "one\ntwo\n");
    ProgramOutcome option = run({"-0.txt", "a.txt"});
    EXPECT_EQ(option.exitCode, 2);
    EXPECT_TRUE(option.out.starts_with("\n  Invalid option -0.txt found on the command line\n"));
    EXPECT_TRUE(option.out.ends_with(kUsageEnd));
}

// A name holding escape sequences reaches a terminal only with its controls shown as '?'; a
// script reading the output through a pipe still gets the name's exact bytes.
TEST_F(BadInput, ControlsInNamesNeverReachTheTerminal) {
    const std::string hostile[] = {
        "\x1b]0;owned\x07.txt",           // window title
        "\x1b]52;c;ZWNobyBvd25lZA==\x07", // clipboard
        "\x1b[2J\x1b[H\x1b[31mred",       // clear screen, move, colour
        "bell\x07\x08\x7f",               // BEL, BS, DEL
        "c1\xc2\x9b"
        "31m\xc2\x9d"
        "0;x", // C1 CSI and OSC in UTF-8
    };
    for (const std::string& name : hostile) {
        SCOPED_TRACE(testing::PrintToString(name));
        dir.write(name, "one\ntwo\n");
        ProgramRun onTerminal{QVD_PROGRAM_PATH, dir.path(), {"-b", name, "a.txt"}};
        ProgramOutcome shown = runOnPseudoTerminal(onTerminal);
        EXPECT_EQ(shown.exitCode, 0);
        EXPECT_NE(shown.out.find("are identical"), std::string::npos) << shown.out;
        for (char byte : shown.out) {
            auto value = static_cast<unsigned char>(byte);
            EXPECT_TRUE(value >= 0x20 || value == '\n' || value == '\r')
                << "control byte " << int(value) << " reached the terminal";
        }
        EXPECT_EQ(shown.out.find("\xc2\x9b"), std::string::npos);
        EXPECT_EQ(shown.out.find("\xc2\x9d"), std::string::npos);
        // The missing-file message too.
        ProgramOutcome missing =
            runOnPseudoTerminal({QVD_PROGRAM_PATH, dir.path(), {"-b", name + "x", "a.txt"}});
        EXPECT_EQ(missing.exitCode, 2);
        EXPECT_EQ(missing.out.find('\x1b'), std::string::npos);
        // Through a pipe the bytes stay exact (moxaw shows OEM forms, which keep ASCII).
        ProgramOutcome piped = run({"-b", name, "a.txt"});
        EXPECT_EQ(piped.exitCode, 0);
        if (kWideBuild) {
            EXPECT_EQ(piped.out, verdict(name, "a.txt", true));
        }
    }
}

// qvd.ini and kqw.ini live beside the program: a copy of it in a scratch directory reads them
// from there. Whatever state they are in, the answers stay the same and nothing is written.
class ColourFileState : public BadInput {
  protected:
    std::string programDirectory;
    std::string program;

    void SetUp() override {
        BadInput::SetUp();
        programDirectory = dir.makeDirectory("bin");
        program =
            programDirectory + "/" + std::filesystem::path(QVD_PROGRAM_PATH).filename().string();
        std::filesystem::copy_file(QVD_PROGRAM_PATH, program);
    }

    void expectUnaffected(const ProgramRun& base) {
        struct Case {
            std::vector<std::string> arguments;
            std::string out;
            int exitCode;
        };
        const Case cases[] = {
            {{"-b", "a.txt", "a.txt"}, verdict("a.txt", "a.txt", true), 0},
            {{"a.txt", "b.txt"}, verdict("a.txt", "b.txt", false), 1},
            {{"missing", "b.txt"}, cannotLoad(1, "missing"), 2},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::PrintToString(c.arguments));
            auto before = dir.snapshot();
            ProgramRun run = base;
            run.arguments = c.arguments;
            ProgramOutcome outcome = runProgram(run);
            EXPECT_EQ(outcome.exitCode, c.exitCode);
            EXPECT_EQ(outcome.out, c.out);
            EXPECT_EQ(outcome.err, "");
            EXPECT_EQ(dir.snapshot(), before) << "a colour file was written or removed";
        }
    }
};

TEST_F(ColourFileState, DamagedOrShortColourFilesChangeNoAnswer) {
    struct Case {
        const char* name;
        std::string qvd; // "-" for none
        std::string kqw;
    };
    const Case cases[] = {
        {"none", "-", "-"},
        {"empty qvd.ini", "", "-"},
        {"short qvd.ini", "\x1b\x00\x1b", "-"},
        {"long qvd.ini", std::string(100, '\xff'), "-"},
        {"black on black", std::string(14, '\0'), "-"},
        {"short kqw.ini", "-", std::string(37, 'k')},
        {"binary kqw.ini", "-", allBytes()},
        {"both short", "\x01", "\x02"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(programDirectory + "/qvd.ini");
        std::filesystem::remove(programDirectory + "/kqw.ini");
        if (c.qvd != "-") dir.write("bin/qvd.ini", c.qvd);
        if (c.kqw != "-") dir.write("bin/kqw.ini", c.kqw);
        expectUnaffected({program, dir.path(), {}});
    }
    // qvd.ini as a directory.
    std::filesystem::remove(programDirectory + "/qvd.ini");
    std::filesystem::remove(programDirectory + "/kqw.ini");
    dir.makeDirectory("bin/qvd.ini");
    expectUnaffected({program, dir.path(), {}});
}

TEST_F(ColourFileState, ReadOnlyProgramDirectory) {
    dir.write("bin/qvd.ini",
              std::string("\x1b\x00\x1b\x00\x1e\x00\x00\x00\x4f\x00\x4e\x00\x17\x00", 14));
    chmod(programDirectory.c_str(), 0555);
    chmod(dir.path().c_str(), 0755);
    ProgramRun run{program, dir.path(), {}};
    run.asNobody = geteuid() == 0;
    ProgramRun probeRun = run;
    probeRun.arguments = {"-b", "a.txt", "a.txt"};
    ProgramOutcome probe = runProgram(probeRun);
    if (probe.exitCode == 125) GTEST_SKIP() << "cannot run the program as user nobody";
    expectUnaffected(run);
    chmod(programDirectory.c_str(), 0755);
}

// The program's directory gone while it runs (deleted, or on an unmounted disk): no colour file
// can be found, the defaults are used, and the answers stay the same.
TEST_F(ColourFileState, MissingProgramDirectory) {
    int programFd = open(program.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(programFd, 0);
    std::filesystem::remove_all(programDirectory);
    ProgramRun run{program, dir.path(), {}};
    run.execFd = programFd;
    expectUnaffected(run);
    close(programFd);
}

} // namespace
