#include "app/messages.h"

#include "app/settings.h"
#include "platform/codePages.h"
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
    "    -c  case insensitive compare           -s  sync scan +500 lines\n"
    "    -d  differing chars are highlighted    -v  vertically split display\n"
    "    -e  suppress empty lines               -w  compress white space\n"
    "    -h  hex mode                           -l/-n don't display line numbers\n"
    "                                           -m  don't display menu\n"
    "\n"
    " 'file1' is the first file to compare. If 'file2' is omitted, 'file1' with its\n"
    "  extension changed to .bak will be used. If 'file2' specifies a directory,\n"
    " 'file1' (without the path portion) will be appended.\n"
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

// A name as a terminal may see it: every control character (C0, DEL, C1, and in moxa the raw
// bytes 0x80-0x9F that a terminal in 8-bit mode reads as C1) becomes '?', as ls shows such
// names, so that a file name cannot move the cursor, retitle the window or set the clipboard.
TString withoutControls(const TChar* text) {
    TString out(text);
    for (auto& unit : out) {
        auto value = static_cast<uint32_t>(static_cast<std::make_unsigned_t<TChar>>(unit));
        bool control = value < 0x20 || value == 0x7F;
        if constexpr (kWideBuild) {
            control = control || (value >= 0x80 && value <= 0x9F) ||
                      (value >= 0xDC80 && value <= 0xDC9F); // escaped raw bytes 0x80-0x9F
        }
        if (control) unit = TChar('?');
    }
    return out;
}

std::string formatWith(const char* format, va_list arguments, bool forTerminal) {
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
            if (text) out += pathToBytes(forTerminal ? withoutControls(text) : TString(text));
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

// Names reach a terminal only through '?' stand-ins; a pipe or a file gets them as they are.
bool stdoutIsTerminal() {
    static const bool terminal = isatty(STDOUT_FILENO) == 1;
    return terminal;
}

} // namespace

std::string formatMessage(const char* format, va_list arguments) {
    return formatWith(format, arguments, false);
}

int printMessage(const char* format, ...) {
    if (settings.hostMode) return 0;
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatWith(format, arguments, stdoutIsTerminal());
    va_end(arguments);
    return writeOut(text);
}

int printAlways(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatWith(format, arguments, stdoutIsTerminal());
    va_end(arguments);
    return writeOut(text);
}

void printUsage() {
    printMessage(kUsageText);
}

TString toDisplayText(TStringView text) {
    TString out(text);
    if constexpr (!kWideBuild) {
        for (auto& unit : out) unit = static_cast<char>(ansiToOem(static_cast<uint8_t>(unit)));
    }
    return out;
}
