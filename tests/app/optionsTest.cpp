#include "app/options.h"

#include "testArguments.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// What the last parse gave.
Options settings;

// Parses the arguments with standard output captured; returns what was printed.
std::string parse(std::initializer_list<std::string> arguments) {
    TestArguments command(arguments);
    testing::internal::CaptureStdout();
    settings = parseOptions(command.count(), command.data());
    return testing::internal::GetCapturedStdout();
}

TEST(ParseOptions, StartValuesWithoutOptions) {
    parse({"-b", "-v", "-m", "--long-runs"}); // an earlier parse leaves nothing behind
    EXPECT_EQ(parse({"a.txt", "b.txt"}), "");
    EXPECT_EQ(settings.batchMode, 0);
    EXPECT_EQ(settings.hideMenu, 0);
    EXPECT_EQ(settings.alignment, kAlignWindow);
    EXPECT_EQ(settings.horizontalSplit, 1);
    EXPECT_EQ(settings.tabWidth, 4);
    EXPECT_EQ(settings.badOption, 0);
}

TEST(ParseOptions, EachLetterSetsItsField) {
    struct Case {
        std::string option;
        int32_t Options::*field;
        int32_t value;
    };
    const Case cases[] = {
        {"-b", &Options::batchMode, 1},
        {"-B", &Options::batchMode, 1},   // either letter case
        {"-bc", &Options::ignoreCase, 0}, // no combining: only b counts
        {"-c", &Options::ignoreCase, 1},
        {"-d", &Options::highlightDiffChars, 1},
        {"-e", &Options::suppressEmptyLines, 1},
        {"-h", &Options::hexMode, 1},
        {"-l", &Options::hideLineNumbers, 1},
        {"-N", &Options::hideLineNumbers, 1},
        {"-m", &Options::hideMenu, 1},
        {"-o", &Options::ansiCharset, 1},
        {"-s", &Options::shortSyncScan, 1},
        {"-v", &Options::horizontalSplit, 0},
        {"-w", &Options::compressWhiteSpace, 1},
        {"-z", &Options::hostMode, 1},
        {"-1", &Options::syncLines, 1},
        {"-9", &Options::syncLines, 9},
        {"-7x", &Options::syncLines, 7},
        {"-wrong", &Options::compressWhiteSpace, 1},          // the rest of the argument is ignored
        {"--long-runs", &Options::alignment, kAlignLongRuns}, // long options, spelt exactly
        {"--align=long-runs", &Options::alignment, kAlignLongRuns},
        {"--align=histogram", &Options::alignment, kAlignHistogram},
        {"--align=window", &Options::alignment, kAlignWindow},
        {"--no-mouse", &Options::noMouse, 1},
        {"--context=5", &Options::contextRows, 5}, // folds from the start
        {"--context=999", &Options::fold, 1},
        {"--context=0", &Options::contextRows, 0},
        {"--wrap", &Options::wrap, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        EXPECT_EQ(parse({c.option}), "");
        EXPECT_EQ(settings.*c.field, c.value);
        EXPECT_EQ(settings.badOption, 0);
    }
}

TEST(ParseOptions, TogglesCancelOutAndLaterOptionsWin) {
    parse({"-o", "-o", "-m", "-m", "-m"});
    EXPECT_EQ(settings.ansiCharset, 0);
    EXPECT_EQ(settings.hideMenu, 1);
    parse({"-3", "file", "-5"});
    EXPECT_EQ(settings.syncLines, 5);
}

// A '/' begins a path, "-" alone is a name (standard input), and so is every word after "--".
TEST(ParseOptions, NamesAreNotOptions) {
    EXPECT_EQ(parse({"/b", "/?", "/etc/fstab", "-", "--", "-b", "-v", "--help", "--"}), "");
    EXPECT_EQ(settings.batchMode, 0);
    EXPECT_EQ(settings.horizontalSplit, 1);
    EXPECT_EQ(settings.badOption, 0);
    TestArguments request({"--", "--help"});
    EXPECT_EQ(findInfoRequest(request.count(), request.data()), InfoRequest::none);
}

TEST(ParseOptions, EveryInvalidOptionIsReportedAndParsingGoesOn) {
    std::string printed =
        parse({"-?", "-b", "-x", "-", "--help", "-0", "--long-run", "--LONG-RUNS", "--long-runs=1",
               "--align=fast", "--align=", "--context=", "--context=1000", "--context=-1",
               "--context=2x", "--wrap=1", "--no-mouse=1"});
    EXPECT_EQ(printed, "\n  Invalid option -? found on the command line\n"
                       "\n  Invalid option -x found on the command line\n"
                       "\n  Invalid option --help found on the command line\n"
                       "\n  Invalid option -0 found on the command line\n"
                       "\n  Invalid option --long-run found on the command line\n"
                       "\n  Invalid option --LONG-RUNS found on the command line\n"
                       "\n  Invalid option --long-runs=1 found on the command line\n"
                       "\n  Invalid option --align=fast found on the command line\n"
                       "\n  Invalid option --align= found on the command line\n"
                       "\n  Invalid option --context= found on the command line\n"
                       "\n  Invalid option --context=1000 found on the command line\n"
                       "\n  Invalid option --context=-1 found on the command line\n"
                       "\n  Invalid option --context=2x found on the command line\n"
                       "\n  Invalid option --wrap=1 found on the command line\n"
                       "\n  Invalid option --no-mouse=1 found on the command line\n");
    EXPECT_EQ(settings.alignment, kAlignWindow);
    EXPECT_EQ(settings.fold, 0);
    EXPECT_EQ(settings.wrap, 0);
    EXPECT_EQ(settings.noMouse, 0);
    EXPECT_EQ(settings.badOption, 1);
    EXPECT_EQ(settings.batchMode, 1);
    EXPECT_EQ(settings.tabWidth, 4);
}

TEST(ParseOptions, InvalidOptionIsPrintedInHostModeToo) {
    EXPECT_EQ(parse({"-z", "-q"}), "\n  Invalid option -q found on the command line\n");
    EXPECT_EQ(settings.hostMode, 1);
    EXPECT_EQ(settings.badOption, 1);
}

TEST(ParseOptions, ScreenSizeTakesSaneNumbersOnlyAndKeepsTheRest) {
    struct Case {
        std::string option;
        int32_t rows;
        int32_t columns;
    };
    const Case cases[] = {
        {"-a50", 50, 0},
        {"-A50,132", 50, 132},
        {"-a8,100", 0, 100}, // below 12 rows keeps the height
        {"-a11", 0, 0},
        {"-a12", 12, 0},
        {"-a", 0, 0},
        {"-axyz", 0, 0},
        {"-a 40", 40, 0},       // leading blanks, as atoi reads them
        {"-a40x,90y", 40, 90},  // digits up to the first other character
        {"-a40,50,60", 40, 50}, // the number after the first comma
        {"-a-50", 0, 0},        // negative: keeps the height, never wraps to a huge size
        {"-a50,-80", 50, 0},
        {"-a0,0", 0, 0},
        {"-a32767,32767", 32767, 32767},
        {"-a32768,32768", 0, 0},           // beyond a console size: kept, not cut to 16 bits
        {"-a4294967346,4294967396", 0, 0}, // 2^32 + 50 must not wrap to 50
        {"-a99999999999999999999999,1", 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        EXPECT_EQ(parse({c.option}), "");
        EXPECT_EQ(settings.screenRows, c.rows);
        EXPECT_EQ(settings.screenColumns, c.columns);
        EXPECT_EQ(settings.badOption, 0);
    }
}

// QVD_OPTIONS holds the user's defaults: read before the command line, whose options go over
// them (a toggle given in both cancels out); every word of it must be a valid option.
TEST(ParseOptions, TheVariableGivesDefaultsTheCommandLineGoesOver) {
    const char* saved = getenv(kOptionsVariable);
    const std::string savedValue = saved ? saved : "";
    const struct {
        const char* variable;
        std::initializer_list<std::string> commandLine;
        std::string printed;
        int32_t horizontalSplit, highlightDiffChars, hideMenu, alignment, badOption;
    } cases[] = {
        {"-v -d", {"a", "b"}, "", 0, 1, 0, 0, 0},
        {"\t-v\t --long-runs  ", {}, "", 0, 0, 0, 1, 0},
        {"-m", {"-m"}, "", 1, 0, 0, 0, 0},
        {"", {"-d"}, "", 1, 1, 0, 0, 0},
        {"-v file", {}, "\n  Invalid option file found in QVD_OPTIONS\n", 0, 0, 0, 0, 1},
        {"--", {}, "\n  Invalid option -- found in QVD_OPTIONS\n", 1, 0, 0, 0, 1}, // no names
        {"-q",
         {"-x"},
         "\n  Invalid option -q found in QVD_OPTIONS\n"
         "\n  Invalid option -x found on the command line\n",
         1,
         0,
         0,
         0,
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable);
        setenv(kOptionsVariable, c.variable, 1);
        TestArguments command(c.commandLine);
        testing::internal::CaptureStdout();
        const Options options = parseOptions(command.count(), command.data(), environmentOptions());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
        EXPECT_EQ(options.horizontalSplit, c.horizontalSplit);
        EXPECT_EQ(options.highlightDiffChars, c.highlightDiffChars);
        EXPECT_EQ(options.hideMenu, c.hideMenu);
        EXPECT_EQ(options.alignment, c.alignment);
        EXPECT_EQ(options.badOption, c.badOption);
    }
    unsetenv(kOptionsVariable);
    EXPECT_EQ(environmentOptions().horizontalSplit, 1) << "no variable, no defaults";
    if (saved) setenv(kOptionsVariable, savedValue.c_str(), 1);
}

} // namespace
