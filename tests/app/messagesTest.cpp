#include "app/messages.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string format(const char* text, ...) {
    va_list arguments;
    va_start(arguments, text);
    std::string out = formatMessage(text, arguments);
    va_end(arguments);
    return out;
}

TEST(FormatMessage, NarrowStringsPathsNumbersAndPercent) {
    TString path = argumentToText("dir/n\xE9\xC3\xA4.txt"); // an invalid byte, then valid UTF-8
    EXPECT_EQ(format("\n%S and %s are %sidentical %d%% %u\n", path.c_str(), "b", "not ", -3, 7u),
              "\ndir/n\xE9\xC3\xA4.txt and b are not identical -3% 7\n");
    EXPECT_EQ(format("%S|%s", QVD_T(""), ""), "|");
    EXPECT_EQ(format("trailing %"), "trailing %");
}

TEST(PrintMessage, SilentInHostModeExceptForPrintAlways) {
    setMessagesQuiet(true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(printMessage("hidden %s", "x"), 0);
    printUsage();
    printAlways("shown %s", "y");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "shown y");
    setMessagesQuiet(false);
}

TEST(PrintMessage, NarrowBuildShowsOemBytesAsUtf8) {
    TString shown = toDisplayText(argumentToText("\xE9\x80")); // ANSI e-acute, euro sign
    testing::internal::CaptureStdout();
    printMessage("%S", shown.c_str());
    std::string out = testing::internal::GetCapturedStdout();
    if constexpr (kWideBuild) {
        EXPECT_EQ(out, "\xE9\x80"); // moxa writes the argument's own bytes back
    } else {
        // e-acute is OEM 0x82; the euro sign has no OEM form and shows as '?'.
        EXPECT_EQ(pathToBytes(shown), "\x82?");
        EXPECT_EQ(out, "\xC3\xA9?");
    }
}

// What printMessage writes when standard output is a terminal (a pseudo-terminal here, raw).
std::string printedOnTerminal(const char* format, const TChar* text) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return "no pty";
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios modes{};
    tcgetattr(slave, &modes);
    cfmakeraw(&modes);
    tcsetattr(slave, TCSANOW, &modes);
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    dup2(slave, STDOUT_FILENO);
    printMessage(format, text);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(slave);
    std::string out;
    char buffer[256];
    pollfd ready{master, POLLIN, 0};
    while (poll(&ready, 1, 200) > 0 && (ready.revents & POLLIN)) {
        ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;
        out.append(buffer, static_cast<size_t>(got));
    }
    close(master);
    return out;
}

TEST(PrintMessage, NamesCannotSendControlSequencesToATerminal) {
    // A file may be called so; printed as it is, it would recolour or retitle the user's terminal.
    TString name = argumentToText("a\x1B]0;owned\x07\x1B[31mb\x7F.txt");
    EXPECT_EQ(printedOnTerminal("\n(%S)\n", name.c_str()), "\n(a?]0;owned??[31mb?.txt)\n");
    if constexpr (kWideBuild) {
        // C1 controls, as characters and as bytes that are not UTF-8.
        TString c1 = argumentToText("c\xC2\x9B"
                                    "1m\x9B"
                                    "2m");
        EXPECT_EQ(printedOnTerminal("%S", c1.c_str()), "c?1m?2m");
    }
    // A script reading the output gets the name's own bytes.
    testing::internal::CaptureStdout();
    printMessage("%S", name.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "a\x1B]0;owned\x07\x1B[31mb\x7F.txt");
}

TEST(PrintUsage, BannerThenTheUsageLines) {
    testing::internal::CaptureStdout();
    printUsage();
    std::string usage = testing::internal::GetCapturedStdout();
    EXPECT_EQ(
        usage.rfind("\n  Morvyn's File Compare 3.00h\n\n  command line usage: QVD  [options]  "
                    "file1  [file2, or a different path]\n",
                    0),
        0u);
    EXPECT_NE(usage.find("    -h  hex mode                           -l/-n don't display line "
                         "numbers\n    --no-mouse  terminal keeps the mouse   -m  don't display "
                         "menu\n\n 'file1' is"),
              std::string::npos);
    // -s shortens the look-ahead to 100 lines; the line used to promise 500 more.
    EXPECT_NE(usage.find("    -c  case insensitive compare           -s  short sync scan (100 "
                         "lines)\n"),
              std::string::npos);
    EXPECT_TRUE(usage.ends_with("    2: file not found         3: out of memory\n\n"));
}

} // namespace
