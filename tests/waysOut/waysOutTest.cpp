// Every way out of the program (moxa for the wide test build, moxaw for the narrow one), on a
// pseudo-terminal of its own: signals of every kind, a terminal whose output is stuck, a colour
// save cut short, a terminal too large to allocate, ncurses that cannot start, terminal types
// without a terminfo entry, and no controlling terminal. However the program ends, the terminal's
// modes are as before, the alternate screen is left, the mouse is no longer reported and nothing
// reached standard error.

#include "waysOutSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

#ifndef QVD_PROGRAM_PATH
#error "QVD_PROGRAM_PATH names the program under test"
#endif

namespace {

#if defined(QVD_SANITIZED)
constexpr bool kSanitized = true; // its shadow memory needs more address space than any limit
#else
constexpr bool kSanitized = false;
#endif

const std::string kVerdictDiffer = "a.txt and b.txt are not identical";

class WaysOut : public testing::Test {
  protected:
    TempDirectory dir;
    std::string program = QVD_PROGRAM_PATH;

    void SetUp() override {
        dir.write("a.txt", "one\ntwo\nthree\n");
        dir.write("same.txt", "one\ntwo\nthree\n");
        dir.write("b.txt", "one\nTWO\nthree\nfour\n");
        dir.makeDirectory("home/.config");
    }

    PtyOptions options(std::vector<std::string> arguments, std::string type = "xterm-256color") {
        return scratchRun(program, dir, std::move(arguments), type);
    }

    // Waits for the view's first picture: the alternate screen, then the text of the files.
    static bool waitForView(PtySession& run) {
        return run.waitForOutput(PtySession::kEnterAlternate, 5000) &&
               run.waitForOutput("three", 5000);
    }

    // The terminal as the user had it, and nothing on standard error.
    static void expectTerminalBack(const PtySession& run) {
        ::expectTerminalBack(run);
        EXPECT_EQ(run.errors, "");
    }

    std::string programCopy() { return copyOfProgram(dir); }

    // Names in the directory that begin with prefix.
    static std::vector<std::string> namesStartingWith(const std::string& directory,
                                                      const std::string& prefix) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
            std::string name = entry.path().filename().string();
            if (name.starts_with(prefix)) names.push_back(name);
        }
        return names;
    }
};

TEST_F(WaysOut, EveryEndingSignalRestoresTheTerminalAndEndsByIt) {
    std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP,  SIGABRT,
                                SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2,  SIGPIPE,
                                SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ,  SIGVTALRM,
                                SIGPROF, SIGIO,   SIGPWR,    SIGSYS,  SIGRTMIN, SIGRTMAX};
    for (int signalNumber : signals) {
        SCOPED_TRACE(strsignal(signalNumber));
        PtySession run(options({"a.txt", "b.txt"}));
        ASSERT_TRUE(waitForView(run)) << "no view";
        ASSERT_TRUE(run.waitForOutput(PtySession::kMouseOn, 1000)) << "no mouse to switch off";
        run.signal(signalNumber);
        ASSERT_TRUE(run.waitForExit(5000)) << "the program lives on";
        EXPECT_EQ(run.signalled(), signalNumber);
        expectTerminalBack(run);
    }
}

// An SSH connection that stalls, a terminal that stops reading: the program's drawing fills the
// terminal and blocks. SIGTERM and SIGHUP must still end it at once, with the modes given back.
TEST_F(WaysOut, SignalWhileTheOutputIsStuckEndsTheProgramAtOnce) {
    std::string many;
    for (int line = 0; line < 3000; ++line) many += "line " + std::to_string(line) + "\n";
    dir.write("a.txt", "three\n" + many);
    dir.write("b.txt", "three\n" + many + "changed\n");
    for (int signalNumber : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signalNumber));
        PtyOptions stuck = options({"a.txt", "b.txt"});
        stuck.width = 250;
        stuck.height = 80;
        PtySession run(stuck);
        ASSERT_TRUE(waitForView(run)) << "no view";
        run.stopReading();
        // Each key draws the whole screen anew: far more than the terminal holds unread.
        run.send(std::string(300, 'h'));
        run.collect(500);
        ASSERT_TRUE(run.running());
        run.signal(signalNumber);
        EXPECT_TRUE(run.waitForExit(1000)) << "the program waited for the terminal to read";
        run.resumeReading();
        ASSERT_TRUE(run.waitForExit(5000));
        EXPECT_EQ(run.signalled(), signalNumber);
        EXPECT_TRUE(run.modesRestored()) << "terminal modes not given back";
        EXPECT_EQ(run.errors, "");
    }
}

// SIGXFSZ while the new qvd.ini is written (a file size limit of 0): the program ends by it,
// with the terminal back and no temporary file left where the colour file goes (the user's
// directory: the colours came from no file).
TEST_F(WaysOut, ColourSaveEndedBySignalLeavesNoTemporaryFile) {
    PtyOptions save = options({"a.txt", "b.txt"});
    save.program = programCopy();
    save.limits = {{RLIMIT_FSIZE, 0}};
    PtySession run(save);
    ASSERT_TRUE(waitForView(run)) << "no view";
    run.send("\x1b[21;3~"); // Alt-F10: the colour setup
    ASSERT_TRUE(run.waitForOutput("COLOUR", 5000));
    run.send("F\r"); // a change, and Enter saves it
    ASSERT_TRUE(run.waitForExit(5000));
    EXPECT_EQ(run.signalled(), SIGXFSZ);
    expectTerminalBack(run);
    ASSERT_TRUE(std::filesystem::exists(dir / "home/.config/qvd")) << "the save went elsewhere";
    EXPECT_EQ(namesStartingWith(dir / "home/.config/qvd", ".qvd.ini"), std::vector<std::string>{});
}

// Batch mode, the usage and the messages allocate no screen, however large the terminal: under
// an address space of 1 GiB a terminal of 30000 x 30000 (a screen of 3.6 GB) changes no answer.
// The view, which needs the screen, cannot have it: it says so and gives the terminal back.
TEST_F(WaysOut, HugeTerminalNeedsNoScreenWithoutTheView) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers need more address space than the limit";
    const struct {
        std::vector<std::string> arguments;
        std::string text;
        int exitCode;
    } cases[] = {
        {{"-b", "a.txt", "b.txt"}, kVerdictDiffer, 1},
        {{"-b", "-a50,132", "a.txt", "same.txt"}, "a.txt and same.txt are identical", 0},
        {{"-q"}, "command line usage", 2},
        {{}, "command line usage", 2},
        {{"missing.txt", "a.txt"}, "Can't load file 1 (missing.txt)", 2},
        {{"a.txt", "same.txt"}, "Press any key to exit!", 0},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::PrintToString(entry.arguments));
        PtyOptions huge = options(entry.arguments);
        huge.width = 30000;
        huge.height = 30000;
        huge.limits = {{RLIMIT_AS, rlim_t{1} << 30}};
        PtySession run(huge);
        EXPECT_TRUE(run.waitForOutput(entry.text, 5000)) << run.output;
        if (entry.text.starts_with("Press")) run.send("x");
        ASSERT_TRUE(run.waitForExit(5000));
        EXPECT_EQ(run.exitCode(), entry.exitCode);
        EXPECT_FALSE(run.enteredAlternateScreen());
        expectTerminalBack(run);
    }
    PtyOptions view = options({"a.txt", "b.txt"});
    view.width = 30000;
    view.height = 30000;
    view.limits = {{RLIMIT_AS, rlim_t{1} << 30}};
    PtySession run(view);
    ASSERT_TRUE(run.waitForExit(10000));
    if (run.exitCode() == 3) {
        EXPECT_NE(run.output.find("Out of memory"), std::string::npos) << run.output;
    } else {
        EXPECT_EQ(run.exitCode(), 1);
        EXPECT_NE(run.output.find("The view could not be started"), std::string::npos);
        EXPECT_NE(run.output.find(kVerdictDiffer), std::string::npos);
    }
    expectTerminalBack(run);
}

// ncurses that cannot start for want of file descriptors: each limit either leaves enough for
// the view, or the program says the view could not be started and answers as without a
// terminal, or it has no terminal at all; it never waits unseen for a key.
TEST_F(WaysOut, ViewThatCannotStartAnswersAsWithoutTerminal) {
    int refused = 0;
    for (rlim_t descriptors = 4; descriptors <= 16; ++descriptors) {
        SCOPED_TRACE(testing::Message() << descriptors << " file descriptors");
        PtyOptions few = options({"a.txt", "b.txt"});
        few.limits = {{RLIMIT_NOFILE, descriptors}};
        // The leak check at exit needs descriptors of its own.
        if (kSanitized) few.environment.push_back("ASAN_OPTIONS=detect_leaks=0");
        PtySession run(few);
        if (run.waitForOutput(PtySession::kEnterAlternate, 3000)) {
            ASSERT_TRUE(run.waitForOutput("three", 5000)) << "the view was not drawn";
            run.send("q");
        }
        ASSERT_TRUE(run.waitForExit(5000)) << "the program waits without a view";
        if (kSanitized) {
            // The check of an object's dynamic type probes memory through a pipe of its own;
            // without descriptors for one it takes any object for unreadable and says so (here
            // of a helper thread's state). That report is the sanitizer's, not the program's;
            // some runtimes end it with a line of summary.
            const std::string unreadable = "<memory cannot be printed>\n";
            const size_t end = run.errors.find(unreadable);
            const std::string after =
                end == std::string::npos ? "" : run.errors.substr(end + unreadable.size());
            const bool summaryAtMost =
                after.empty() || (after.starts_with("SUMMARY: UndefinedBehaviorSanitizer:") &&
                                  after.find('\n') == after.size() - 1);
            if (run.errors.find("which does not point to an object of type") != std::string::npos &&
                end != std::string::npos && summaryAtMost &&
                run.errors.find("runtime error", run.errors.find("runtime error") + 1) ==
                    std::string::npos)
                run.errors.clear();
        }
        bool loaded = run.output.find("Can't load") == std::string::npos;
        EXPECT_EQ(run.exitCode(), loaded ? 1 : 2) << run.output;
        if (run.output.find("The view could not be started on this terminal") !=
            std::string::npos) {
            ++refused;
            EXPECT_NE(run.output.find(kVerdictDiffer), std::string::npos);
        }
        expectTerminalBack(run);
    }
    EXPECT_GT(refused, 0) << "no limit made ncurses fail to start";
}

// A terminal type this machine has no terminfo entry for (a newer terminal's, over SSH) still
// gets the view, through a built-in description; no type, an empty one or "dumb" has no
// terminal to show a view on. The mouse is asked for by the type's family, not by the entry that
// merely draws it.
TEST_F(WaysOut, TerminalTypesWithoutAnEntryGetTheView) {
    const struct {
        const char* type;
        bool view;
        bool mouse;
    } cases[] = {
        {"qvd-no-such-terminal", true, false},
        {"xterm-kitty", true, true},
        {"", false, false},
        {"(unset)", false, false},
        {"dumb", false, false},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.type);
        PtySession run(options({"a.txt", "b.txt"}, entry.type));
        if (entry.view) {
            ASSERT_TRUE(waitForView(run)) << "no view";
            run.send("q");
        }
        ASSERT_TRUE(run.waitForExit(5000));
        EXPECT_EQ(run.exitCode(), 1);
        EXPECT_EQ(run.enteredAlternateScreen(), entry.view);
        EXPECT_EQ(run.output.find(PtySession::kMouseOn) != std::string::npos, entry.mouse);
        EXPECT_EQ(run.output.find(kVerdictDiffer) != std::string::npos, !entry.view);
        expectTerminalBack(run);
    }
}

// Standard input and output on a terminal that is not the controlling one (setsid, su -c): the
// view uses them, and notices a new size without SIGWINCH.
TEST_F(WaysOut, WithoutControllingTerminalTheViewUsesStandardInputAndOutput) {
    PtyOptions detached = options({"a.txt", "b.txt"});
    detached.controlling = false;
    PtySession run(detached);
    ASSERT_TRUE(waitForView(run)) << "no view";
    run.collect(300);
    size_t drawn = run.output.size();
    run.resize(100, 30);
    run.collect(1000);
    EXPECT_GT(run.output.size(), drawn + 100) << "the view did not follow the new size";
    run.send("q");
    ASSERT_TRUE(run.waitForExit(5000));
    EXPECT_EQ(run.exitCode(), 1);
    expectTerminalBack(run);
}

} // namespace
