// Memory that runs out at any point of a session: the fault-injection build of the program
// (moxaFaulty for the wide test build, moxawFaulty for the narrow one) fails its N-th allocation,
// and N walks over whole scripted sessions on a terminal: start, keys, a resize, the help, the
// colour setup and its save, identical files, batch mode, the usage. Every run must end with an
// exit code of 0 to 3 (never an abort or another signal), nothing on standard error, and the
// terminal as it was. One session walks the allocations of the helper threads alone, behind the
// first screen of a long comparison: memory that runs out there never ends the program from the
// helper (the main thread may be drawing), and a list worked out without what it could not have
// is whole.
//
// The test command walks a sample of N (every N up to 24, then about 40 more spread over the
// session, alternately failing one allocation and every allocation from N on). The whole walk,
// every N both ways: tests/waysOut/walk.sh build/dev. To look into one N: QVD_FAULT_AT=N runs
// only that one (both ways), and QVD_FAILURE_TRACE=path has the program write the call stack of
// its failing allocation there.

#include "waysOutSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef QVD_PROGRAM_PATH
#error "QVD_PROGRAM_PATH names the fault-injection build of the program under test"
#endif

namespace {

struct Step {
    std::string keys;              // bytes typed
    const char* waitFor = nullptr; // then the text the screen they lead to shows, waited for so
                                   // that a lone Esc is read alone, however busy the machine
    int width = 0;                 // then, when not 0, the terminal takes this size
    int height = 0;
    // Then, once the failing allocation was made (on a helper thread, behind this screen), the
    // program must still be there: a helper's failure ends nothing by itself.
    bool failureEndsNothing = false;
};

struct Session {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<Step> steps;
    int exitCode;           // without a failure
    bool savesColours;      // without a failure the script ends with a qvd.ini saved
    bool onHelpers = false; // only the helper threads' allocations are counted, and fail
};

const Session kSessions[] = {
    {"view",
     {"a.txt", "b.txt"},
     {
         {"\x1b[B\x1b[6~\x1b[4~\x1b[1~ -h\x1b[Chcwedols"},
         {"mmtt\x1b[19;3~\x1b[20;3~", nullptr, 100, 30},
         {"\x1bOP\x1b[6~", "exit help"},
         {"\x1b", "b.txt"},
         {"\x1b[21;3~", "COLOUR"},
         {"FiL\r", "b.txt"},
         {"q"},
     },
     1,
     true},
    {"identical", {"a.txt", "same.txt"}, {{"x"}}, 0, false},
    {"batch", {"-b", "a.txt", "b.txt"}, {}, 1, false},
    {"usage", {"-q", "a.txt"}, {}, 2, false},
    // Long enough for the first screen from the files' beginnings, with the whole list built
    // behind it on a helper thread, and that list in two halves on two cores. End shows the
    // list's last row (the files' last line), which only a whole list has.
    {"helpers",
     {"long1.txt", "long2.txt"},
     {
         {"", "line 000002", 0, 0, true},
         {"\x1b[4~", "the very end"},
         {"q"},
     },
     1,
     false,
     true},
};

class FaultWalk : public testing::TestWithParam<Session> {
  protected:
    TempDirectory dir;
    std::string program;
    uint64_t cleanTotal = 0; // the allocations of the run without failure

    void SetUp() override {
        dir.write("a.txt", "one\ntwo \xC3\xA9\nthree\n");
        dir.write("same.txt", "one\ntwo \xC3\xA9\nthree\n");
        dir.write("b.txt", "one\nTWO\nthree\nfour\n");
        std::string long1;
        std::string long2;
        for (int line = 0; line < 70000; ++line) {
            char text[16];
            snprintf(text, sizeof text, "line %06d\n", line);
            long1 += text;
            if (line % 17000 == 5) long2 += "changed\n";
            if (line != 40000) long2 += text;
        }
        dir.write("long1.txt", long1 + "the very end\n");
        dir.write("long2.txt", long2 + "the very end\n");
        dir.makeDirectory("home/.config");
        // The colour save goes beside the program: a copy of it in the scratch directory.
        program = copyOfProgram(dir);
    }

    // Runs the session with allocation failing failing (0: none; onward: every one from there on)
    // and checks how it ended. Returns the number of allocations of a run without failure.
    uint64_t runSession(const Session& session, uint64_t failing, bool onward) {
        SCOPED_TRACE(testing::Message() << session.name << ": allocation " << failing
                                        << (onward ? " and all after it" : "") << " fails");
        std::string report = dir / "allocations";
        std::filesystem::remove(report);
        PtyOptions options = scratchRun(program, dir, session.arguments);
        options.environment.insert(
            options.environment.end(),
            {"QVD_FAIL_ALLOCATION=" + std::to_string(failing),
             std::string("QVD_FAIL_ONWARD=") + (onward ? "1" : "0"),
             std::string("QVD_FAIL_ON_HELPERS=") + (session.onHelpers ? "1" : "0"),
             "QVD_ALLOCATION_REPORT=" + report});
        // The trace tells when the failing allocation was made.
        std::string trace = dir / "failure-trace";
        if (const char* asked = getenv("QVD_FAILURE_TRACE")) trace = asked;
        std::filesystem::remove(dir / "failure-trace");
        if (failing != 0) options.environment.push_back("QVD_FAILURE_TRACE=" + trace);
        PtySession run(options);
        if (!run.started()) {
            ADD_FAILURE() << "cannot start the program on a terminal";
            return 0;
        }
        for (const Step& step : session.steps) {
            size_t before = run.output.size();
            run.send(step.keys);
            // A failure may change or end the picture: the script goes on after a while.
            if (step.waitFor != nullptr) (void)run.waitForOutput(step.waitFor, 2000, before);
            if (step.width > 0) run.resize(step.width, step.height);
            // Past the clean run's count no allocation is likely to fail: no wait for one.
            if (step.failureEndsNothing && failing != 0 && failing <= cleanTotal) {
                for (int waited = 0; waited < 3000 && !std::filesystem::exists(trace); waited += 20)
                    run.collect(20);
                if (std::filesystem::exists(trace)) {
                    run.collect(300);
                    EXPECT_TRUE(run.running())
                        << "memory that ran out on a helper thread ended the program behind "
                           "the view: exit code "
                        << run.exitCode();
                }
            }
        }
        // A key taken the wrong way under load (an Esc that did not stand alone) may leave a
        // screen open: the keys that leave every screen, until the program ends.
        for (int attempt = 0; attempt < 5 && !run.waitForExit(attempt == 0 ? 3000 : 1000);
             ++attempt) {
            run.send("\x1b");
            run.collect(60);
            run.send("q");
        }
        EXPECT_TRUE(run.exited()) << (run.running() ? "still running" : "ended by signal ")
                                  << run.signalled();
        int code = run.exitCode();
        EXPECT_TRUE(code >= 0 && code <= 3) << "exit code " << code;
        if (code == 3) {
            EXPECT_NE(run.output.find("Out of memory"), std::string::npos);
        }
        if (session.onHelpers && code == 1) {
            EXPECT_NE(run.output.find("the very end"), std::string::npos)
                << "the list is not whole";
        }
        EXPECT_EQ(run.errors, "");
        if (failing == 0) {
            EXPECT_EQ(code, session.exitCode) << "the script itself went wrong";
            EXPECT_EQ(std::filesystem::exists(dir / "home/.config/qvd/qvd.ini"),
                      session.savesColours);
        }
        expectTerminalBack(run);
        // Nothing beside the program but itself, and in the user's directory nothing but a
        // colour file that was saved whole.
        for (const auto& entry : std::filesystem::directory_iterator(dir / "bin")) {
            std::string name = entry.path().filename().string();
            EXPECT_EQ(name, std::filesystem::path(program).filename().string())
                << "left behind: " << name;
        }
        if (std::filesystem::exists(dir / "home/.config/qvd")) {
            for (const auto& entry :
                 std::filesystem::directory_iterator(dir / "home/.config/qvd")) {
                std::string name = entry.path().filename().string();
                EXPECT_TRUE(name == "qvd.ini" && entry.file_size() == 14) << "left behind: " << name;
            }
        }
        std::filesystem::remove(dir / "home/.config/qvd/qvd.ini");
        std::ifstream counted(report);
        uint64_t total = 0;
        counted >> total;
        return total;
    }
};

TEST_P(FaultWalk, EveryAllocationThatFailsEndsTheRunCleanly) {
    const Session& session = GetParam();
    uint64_t total = runSession(session, 0, false);
    ASSERT_GT(total, 0u) << "the run without failures reported no allocations";
    cleanTotal = total;
    if (const char* only = getenv("QVD_FAULT_AT")) {
        runSession(session, std::stoull(only), false);
        runSession(session, std::stoull(only), true);
        return;
    }
    bool whole = getenv("QVD_FAULT_WALK") != nullptr;
    // A few past the counted end too: a run may allocate a little more than another.
    uint64_t last = total + 10;
    uint64_t stride = whole ? 1 : std::max<uint64_t>(1, last / 40);
    for (uint64_t failing = 1; failing <= last; failing += failing < 24 ? 1 : stride) {
        if (whole) {
            runSession(session, failing, false);
            runSession(session, failing, true);
        } else {
            runSession(session, failing, failing % 2 == 0);
        }
        if (HasFailure()) break; // the first failing N says enough
    }
}

void PrintTo(const Session& session, std::ostream* out) {
    *out << session.name;
}

INSTANTIATE_TEST_SUITE_P(Sessions, FaultWalk, testing::ValuesIn(kSessions),
                         [](const testing::TestParamInfo<Session>& session) {
                             return std::string(session.param.name);
                         });

// A crash on a helper thread while the view is up (the faulty programs crash one on request,
// QVD_HELPER_FAULT; here the one that cuts file 2 into lines when hex mode is switched on): the
// program ends by the crash's signal with the terminal given back, as for a crash on the main
// thread. A stack overflow there too, whose handler needs a stack of its own.
TEST(HelperCrash, CrashOnAHelperThreadGivesTheTerminalBack) {
    const struct {
        const char* kind;
        int signalNumber;
    } cases[] = {{"segv", SIGSEGV}, {"overflow", SIGSEGV}, {"bus", SIGBUS}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.kind);
        TempDirectory dir;
        dir.write("a.txt", "one\ntwo\nthree\n");
        dir.write("b.txt", "one\nTWO\nthree\nfour\n");
        dir.makeDirectory("home/.config");
        PtyOptions options = scratchRun(QVD_PROGRAM_PATH, dir, {"a.txt", "b.txt"});
        const std::string armed = dir / "armed";
        options.environment.insert(
            options.environment.end(),
            {std::string("QVD_HELPER_FAULT=") + entry.kind, "QVD_HELPER_FAULT_ARMED=" + armed});
        PtySession run(options);
        ASSERT_TRUE(run.waitForOutput(PtySession::kEnterAlternate, 5000) &&
                    run.waitForOutput("three", 5000))
            << "no view";
        dir.write("armed", "");
        run.send("h"); // hex mode: both files are cut anew, file 2 on a helper thread
        ASSERT_TRUE(run.waitForExit(5000)) << "no crash: the program waits on";
        EXPECT_EQ(run.signalled(), entry.signalNumber) << "exit code " << run.exitCode();
        expectTerminalBack(run);
        EXPECT_EQ(run.errors, "");
    }
}

} // namespace
