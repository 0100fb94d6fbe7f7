#include "app/options.h"

#include "app/messages.h"
#include "platform/pathText.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The long options (--help and --version are requests, not options): the letters after a single
// '-' are the program's original options. --long-runs is --align=long-runs.
constexpr TStringView kLongRunsOption = QVD_T("--long-runs");
constexpr TStringView kAlignOption = QVD_T("--align=");
constexpr TStringView kNoMouseOption = QVD_T("--no-mouse");
constexpr TStringView kContextOption = QVD_T("--context=");
constexpr TStringView kWrapOption = QVD_T("--wrap");

// The alignments --align= names.
struct AlignmentName {
    TStringView name;
    int32_t alignment;
};
constexpr AlignmentName kAlignments[] = {{QVD_T("window"), kAlignWindow},
                                         {QVD_T("long-runs"), kAlignLongRuns},
                                         {QVD_T("histogram"), kAlignHistogram}};

// The alignment an --align= argument names, or null for any other argument.
const int32_t* alignmentNamed(TStringView argument) {
    if (!argument.starts_with(kAlignOption)) return nullptr;
    for (const AlignmentName& known : kAlignments)
        if (argument.substr(kAlignOption.size()) == known.name) return &known.alignment;
    return nullptr;
}

bool isDigit(TChar unit) {
    return unit >= TChar('0') && unit <= TChar('9');
}

// The rows of context a --context=N argument asks for: N in plain digits, 0 to kMaxContextRows;
// -1 for anything else.
int32_t contextNamed(TStringView argument) {
    if (!argument.starts_with(kContextOption)) return -1;
    const TStringView digits = argument.substr(kContextOption.size());
    if (digits.empty() || digits.size() > 3) return -1;
    int32_t rows = 0;
    for (TChar unit : digits) {
        if (!isDigit(unit)) return -1;
        rows = rows * 10 + (unit - TChar('0'));
    }
    return rows <= kMaxContextRows ? rows : -1;
}

// A decimal number in the manner of atoi (leading blanks, a sign, digits up to the first other
// character; no digits reads as 0), except that it saturates instead of overflowing, so that a
// huge number stays huge and can be refused.
long long readNumber(const TChar* text) {
    while (*text == TChar(' ') || (*text >= TChar('\t') && *text <= TChar('\r'))) ++text;
    bool negative = *text == TChar('-');
    if (*text == TChar('-') || *text == TChar('+')) ++text;
    long long value = 0;
    for (; isDigit(*text); ++text) {
        if (value < 1'000'000'000'000LL) value = value * 10 + (*text - TChar('0'));
    }
    return negative ? -value : value;
}

// -aYY[,XX]: a height below 12 keeps the height; a negative or zero number, or one beyond what a
// console size can hold, keeps that dimension rather than wrapping to some other size.
void readScreenSize(Options& options, const TChar* text) {
    long long rows = readNumber(text);
    options.screenRows =
        rows >= kSmallestScreenRows && rows <= kLargestScreenSize ? static_cast<int32_t>(rows) : 0;
    options.screenColumns = 0;
    for (const TChar* at = text; *at; ++at) {
        if (*at == TChar(',')) {
            long long columns = readNumber(at + 1);
            if (columns > 0 && columns <= kLargestScreenSize) {
                options.screenColumns = static_cast<int32_t>(columns);
            }
            break;
        }
    }
}

} // namespace

int findEndOfOptions(int argumentCount, const TChar* const* arguments) {
    for (int i = 1; i < argumentCount; ++i) {
        if (arguments[i] == TStringView(QVD_T("--"))) return i;
    }
    return argumentCount;
}

ArgumentKind argumentKind(const TChar* const* arguments, int index, int endOfOptions) {
    if (index > endOfOptions) return ArgumentKind::name;
    if (index == endOfOptions) return ArgumentKind::endOfOptions;
    const TChar* argument = arguments[index];
    return argument[0] == TChar('-') && argument[1] != 0 ? ArgumentKind::option
                                                         : ArgumentKind::name;
}

InfoRequest findInfoRequest(int argumentCount, const TChar* const* arguments) {
    const int endOfOptions = findEndOfOptions(argumentCount, arguments);
    for (int i = 1; i < endOfOptions; ++i) {
        if (arguments[i] == TStringView(QVD_T("--help"))) return InfoRequest::help;
        if (arguments[i] == TStringView(QVD_T("--version"))) return InfoRequest::version;
    }
    return InfoRequest::none;
}

namespace {

// Where options stand, as the message about an invalid one says.
enum class OptionSource { commandLine, environment };

Options readOptions(int argumentCount, const TChar* const* arguments, Options options,
                    OptionSource source) {
    const int endOfOptions = findEndOfOptions(argumentCount, arguments);
    for (int i = 1; i < argumentCount; ++i) {
        const TChar* argument = arguments[i];
        if (argumentKind(arguments, i, endOfOptions) != ArgumentKind::option) {
            // On the command line the other words are file names and "--"; the variable holds
            // options only.
            if (source == OptionSource::environment) {
                printAlways("\n  Invalid option %S found in QVD_OPTIONS\n",
                            toDisplayText(argument).c_str());
                options.badOption = 1;
            }
            continue;
        }
        if (argument == kLongRunsOption) {
            options.alignment = kAlignLongRuns;
            continue;
        }
        if (const int32_t* alignment = alignmentNamed(argument)) {
            options.alignment = *alignment;
            continue;
        }
        if (argument == kNoMouseOption) {
            options.noMouse = 1;
            continue;
        }
        if (const int32_t context = contextNamed(argument); context >= 0) {
            options.contextRows = context;
            options.fold = 1;
            continue;
        }
        if (argument == kWrapOption) {
            options.wrap = 1;
            continue;
        }
        TChar letter = argument[1];
        if (letter >= TChar('A') && letter <= TChar('Z')) letter = letter - TChar('A') + TChar('a');
        switch (letter) {
        case TChar('a'):
            readScreenSize(options, argument + 2);
            break;
        case TChar('b'):
            options.batchMode = 1;
            break;
        case TChar('c'):
            options.ignoreCase = 1;
            break;
        case TChar('d'):
            options.highlightDiffChars = 1;
            break;
        case TChar('e'):
            options.suppressEmptyLines = 1;
            break;
        case TChar('h'):
            options.hexMode = 1;
            break;
        case TChar('l'):
        case TChar('n'):
            options.hideLineNumbers = 1;
            break;
        case TChar('m'):
            options.hideMenu ^= 1;
            break;
        case TChar('o'):
            options.ansiCharset ^= 1;
            break;
        case TChar('s'):
            options.shortSyncScan = 1;
            break;
        case TChar('v'):
            options.horizontalSplit = 0;
            break;
        case TChar('w'):
            options.compressWhiteSpace = 1;
            break;
        case TChar('z'):
            options.hostMode = 1;
            break;
        default:
            if (letter >= TChar('1') && letter <= TChar('9')) {
                options.syncLines = letter - TChar('0');
                break;
            }
            printAlways(source == OptionSource::environment
                            ? "\n  Invalid option %S found in QVD_OPTIONS\n"
                            : "\n  Invalid option %S found on the command line\n",
                        toDisplayText(argument).c_str());
            options.badOption = 1;
            break;
        }
    }
    return options;
}

} // namespace

Options parseOptions(int argumentCount, const TChar* const* arguments, Options start) {
    return readOptions(argumentCount, arguments, start, OptionSource::commandLine);
}

Options environmentOptions() {
    const char* value = getenv(kOptionsVariable);
    if (value == nullptr) return {};
    std::vector<TString> words{TString()}; // a place for the program's name, as in argv
    for (const char* at = value; *at != 0;) {
        while (*at == ' ' || *at == '\t') ++at;
        const char* start = at;
        while (*at != 0 && *at != ' ' && *at != '\t') ++at;
        if (at > start) words.push_back(argumentToText(std::string(start, at)));
    }
    std::vector<const TChar*> arguments;
    for (const TString& word : words) arguments.push_back(word.c_str());
    return readOptions(static_cast<int>(arguments.size()), arguments.data(), {},
                       OptionSource::environment);
}
