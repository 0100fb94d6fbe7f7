#pragma once
// The program's lines on standard output. Formats are 8-bit and understand:
//   %s  an 8-bit string (const char*)
//   %S  a path or argument in the build's text (const TChar*): moxa writes its UTF-8, with
//       surrogate-escaped units turned back into the bytes they came from; on a terminal its
//       control characters show as '?'
//   %d  an int, %u an unsigned, %% a percent sign.
// moxaw's messages are 8-bit text of the OEM code page (437) and are converted to UTF-8 on the
// way out, as the console would have shown them.

#include "platform/build.h"
#include "platform/pathText.h"

#include <cstdarg>
#include <string>

// Formats into a string of UTF-8 (moxa) or OEM bytes (moxaw), before the output conversion.
std::string formatMessage(const char* format, va_list arguments);

// Host mode (-z): printMessage prints nothing from then on. Set once by the driver, after the
// options are read.
void setMessagesQuiet(bool quiet);
[[nodiscard]] bool messagesQuiet();

// Prints through the formatter; nothing at all in host mode. Returns the bytes written.
int printMessage(const char* format, ...);

// The same, printed in host mode too (the invalid-option and too-many-names messages).
int printAlways(const char* format, ...);

// The verdict on two files or two trees, named as shown: "<name1> and <name2> are [not] identical"
// between empty lines, with the sentence note (plain ASCII) that says how they differ, if any.
void printVerdict(const TChar* shown1, const TChar* shown2, bool identical,
                  const std::u16string& note = {});

// A file (1 or 2) that cannot be loaded, named as shown, and why (a reason of platform/files.h).
void printCannotLoad(int file, const TChar* shown, int reason);

// The program's version, shown in the usage banner and the console title.
inline constexpr const char* kVersionText = "3.00h";

// The usage text, banner included (nothing in host mode).
void printUsage();

// The usage text on request (--help), host mode or not.
void printHelp();

// One line with the program's name, the product and the version (--version).
void printVersion();

// A path or argument as messages and the title show it: itself in moxa; in moxaw converted from
// the ANSI to the OEM code page, the form every 8-bit display string is in.
TString toDisplayText(TStringView text);
