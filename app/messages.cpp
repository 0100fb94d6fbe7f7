#include "app/messages.h"

#include "platform/codePages.h"
#include "platform/files.h"
#include "platform/pathText.h"

#include <cstdio>
#include <type_traits>
#include <unistd.h>

namespace {

constexpr const char* kUsageText =
    "\n"
    "  Morvyn's File Compare 3.00h\n"
    "\n"
    "  command line usage: QVD  [options]  file1  [file2, or a different path]\n"
    "\n"
    "  options:\n"
    "    -aYY[,XX] sets screen height to YY lines [, XX columns]\n"
    "    -b  batch mode; no display or input    -o  toggle OEM/ANSI character set\n"
    "    -c  case insensitive compare           -s  short sync scan (100 lines)\n"
    "    -d  differing chars are highlighted    -v  vertically split display\n"
    "    -e  suppress empty lines               -w  compress white space\n"
    "    -h  hex mode                           -l/-n don't display line numbers\n"
    "    --no-mouse  terminal keeps the mouse   -m  don't display menu\n"
    "\n"
    " 'file1' is the first file to compare. If 'file2' is omitted, 'file1' with its\n"
    "  extension changed to .bak will be used. If 'file2' specifies a directory,\n"
    " 'file1' (without the path portion) will be appended.\n"
    "  A name of '-' reads standard input; after '--' every argument is a name.\n"
    "\n"
    "  In batch mode, QVD returns immediately with the following error levels:\n"
    "    0: files are identical    1: files are not identical\n"
    "    2: file not found         3: out of memory\n"
    "\n";

// Writes formatted text to standard output, converting moxaw's OEM bytes to UTF-8.
int writeOut(const std::string& text) {
    std::string out;
    if constexpr (kWideBuild) {
        out = text;
    } else {
        out.reserve(text.size());
        for (unsigned char byte : text) appendUtf8(out, oemToUnicode(byte));
    }
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
    return static_cast<int>(text.size());
}

// A control character in a name would reach a terminal as part of an escape sequence (a colour,
// a title, worse); there it is shown as '?'. Output to a file or a pipe keeps the name's bytes.
TString withoutControls(const TChar* text) {
    TString shown(text);
    for (auto& unit : shown) {
        auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<TChar>>(unit));
        bool control = code < 0x20 || code == 0x7F;
        if constexpr (kWideBuild) {
            // C1 controls, also as the escaped bytes of a name that is not UTF-8.
            control =
                control || (code >= 0x80 && code <= 0x9F) || (code >= 0xDC80 && code <= 0xDC9F);
        }
        if (control) unit = TChar('?');
    }
    return shown;
}

} // namespace

std::string formatMessage(const char* format, va_list arguments) {
    std::string out;
    for (const char* at = format; *at; ++at) {
        if (*at != '%' || at[1] == '\0') {
            out += *at;
            continue;
        }
        switch (*++at) {
        case 's': {
            const char* text = va_arg(arguments, const char*);
            out += text ? text : "";
            break;
        }
        case 'S': {
            const TChar* text = va_arg(arguments, const TChar*);
            if (text) out += pathToBytes(isatty(STDOUT_FILENO) ? withoutControls(text) : text);
            break;
        }
        case 'd':
            out += std::to_string(va_arg(arguments, int));
            break;
        case 'u':
            out += std::to_string(va_arg(arguments, unsigned));
            break;
        default: // %% and anything unknown print the character itself
            out += *at;
            break;
        }
    }
    return out;
}

namespace {

// Host mode keeps the program's lines off standard output; the driver says so once, at start.
bool quiet = false;

} // namespace

void setMessagesQuiet(bool silent) {
    quiet = silent;
}

bool messagesQuiet() {
    return quiet;
}

int printMessage(const char* format, ...) {
    if (quiet) return 0;
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatMessage(format, arguments);
    va_end(arguments);
    return writeOut(text);
}

int printAlways(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatMessage(format, arguments);
    va_end(arguments);
    return writeOut(text);
}

void printVerdict(const TChar* shown1, const TChar* shown2, bool identical,
                  const std::u16string& note) {
    printMessage("\n%S and %S are %sidentical\n", shown1, shown2, identical ? "" : "not ");
    if (!note.empty()) printMessage("%s\n", std::string(note.begin(), note.end()).c_str());
    printMessage("\n");
}

void printCannotLoad(int file, const TChar* shown, int reason) {
    printMessage("\nCan't load file %d (%S)\n%s\n", file, shown, loadFailureText(reason));
}

void printUsage() {
    printMessage(kUsageText);
}

void printHelp() {
    printAlways(kUsageText);
}

void printVersion() {
    printAlways("%s (Morvyn's File Compare) %s\n", kWideBuild ? "moxa" : "moxaw", kVersionText);
}

TString toDisplayText(TStringView text) {
    TString out(text);
    if constexpr (!kWideBuild) {
        for (auto& unit : out) unit = static_cast<char>(ansiToOem(static_cast<uint8_t>(unit)));
    }
    return out;
}
