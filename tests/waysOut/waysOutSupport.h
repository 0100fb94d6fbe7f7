#pragma once
// What the end-to-end tests of the ways out share: the program run on a pseudo-terminal in a
// scratch directory with a home of its own, a copy of it where its colour save may go, and the
// terminal as the user had it afterwards.

#include "support/ptySession.h"
#include "support/tempDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// program with arguments in dir, under TERM=type ("(unset)": no TERM), a UTF-8 locale and a home
// of dir/home.
inline PtyOptions scratchRun(const std::string& program, const TempDirectory& dir,
                             std::vector<std::string> arguments,
                             const std::string& type = "xterm-256color") {
    PtyOptions result;
    result.program = program;
    result.arguments = std::move(arguments);
    result.directory = dir.path();
    result.environment = {"PATH=/usr/bin:/bin", "LANG=C.UTF-8", "HOME=" + dir / "home",
                          "XDG_CONFIG_HOME=" + dir / "home/.config"};
    if (type != "(unset)") result.environment.push_back("TERM=" + type);
    return result;
}

// A copy of the program under test in dir/bin, where its colour save goes.
inline std::string copyOfProgram(TempDirectory& dir) {
    std::string copy = dir.makeDirectory("bin") + "/" +
                       std::filesystem::path(QVD_PROGRAM_PATH).filename().string();
    std::filesystem::copy_file(QVD_PROGRAM_PATH, copy);
    return copy;
}

// The terminal's modes as before, the alternate screen left and the mouse the terminal's again.
inline void expectTerminalBack(const PtySession& run) {
    EXPECT_TRUE(run.modesRestored()) << "terminal modes not given back";
    EXPECT_TRUE(run.leftAlternateScreen()) << "the alternate screen was not left";
    EXPECT_TRUE(run.mouseReportingOff()) << "the terminal still reports the mouse";
}
