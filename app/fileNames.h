#pragma once
// From the command line's file names to the two paths to compare.

#include "platform/build.h"
#include "platform/pathText.h"

#include <string>

// A path as the driver keeps it: at most kPathCapacity - 1 bytes as the kernel counts them (in
// moxa fewer UTF-16 units, since every unit stands for at least one byte), null-terminated.
struct PathBuffer {
    TChar text[kPathCapacity];
};

// Fills destination with source; false (destination untouched) when source is longer than a
// path may be. The one way paths are written, so none is ever cut.
[[nodiscard]] bool assignPath(PathBuffer& destination, TStringView source);

// A path split at its last '/' and its extension. No drive part on POSIX. The extension starts at
// the last '.' of the name, except a '.' preceded only by dots: ".bashrc" and ".." are names
// without an extension, as for a Linux user they are.
struct PathParts {
    TString directory; // up to and including the last '/', else empty
    TString name;      // the rest up to the extension
    TString extension; // from the extension's '.' to the end, else empty
};

PathParts splitPath(TStringView path);

// The parts joined again: the directory ('/' added if it does not end in one), the name, the
// extension ('.' added if it does not begin with one). Joining a split path gives it back.
TString joinPath(const PathParts& parts);

// "-" as a name is standard input, read to its end through this path, and shown as
// kStandardInputName in messages, the title and the frames.
inline constexpr const TChar* kStandardInputPath = QVD_T("/dev/stdin");
inline constexpr const TChar* kStandardInputName = QVD_T("(standard input)");

enum class NameResult {
    resolved, // both paths set
    missing,  // no file name (host mode: one could not be matched): the usage follows
    tooMany,  // a third name; its message is printed: the usage follows
    refused,  // a path beyond the platform's limit, or standard input where it cannot be; its
              // message is printed
};

// Fills path1 and path2 from the file names among arguments[1..argumentCount), the options and
// "--" skipped (options.h tells which is which). Normal mode: one name gives name.bak as the
// second path; a second name that does not open as a file is taken for a directory and gets the
// first file's name appended, unless the first name is a directory itself (through links): two
// trees, the second kept as given; "*" as the second name (or ".*" as its extension) borrows the
// first name's. "-" is standard input (kStandardInputPath), never derived from nor derived into:
// with "-" first, the second name is taken as given; "-" alone or twice is refused. Host mode
// (-z): each name goes through the FileNameMatcher, nothing is derived, and "-" is a name like any
// other. An empty argument is a name that names no file: it is kept as an empty path, which then
// fails to load, instead of becoming "/name".
[[nodiscard]] NameResult resolveFileNames(PathBuffer& path1, PathBuffer& path2, int argumentCount,
                                          const TChar* const* arguments, bool hostMode);

// Fills path1 and path2 with two paths as they are, nothing derived. A path beyond the
// platform's limit is refused (its message printed).
[[nodiscard]] NameResult takeFileNames(PathBuffer& path1, PathBuffer& path2, const TChar* first,
                                       const TChar* second);

// Host mode's look-up of one name. A file manager may hand over names that went through the
// wrong code page; when the name does not exist as given, the directory is searched for the entry
// of the same length and dot positions whose name, read in the ANSI or the OEM code page, equals
// what was passed, and its true name is used. A full path begins with '/'; a relative name is
// looked up from the current directory, as given first, like a full one.
class FileNameMatcher {
  public:
    // True when a path was found; resultPath() then holds it.
    [[nodiscard]] bool match(TStringView argument);
    TStringView resultPath() const { return workingPath; }

  private:
    size_t pathLength = 0;   // units of the working path
    size_t nameLength = 0;   // units after the last '/'
    std::string givenName;   // the name part as 8-bit ANSI text, as the caller passed it
    size_t namePart = 0;     // where the name part starts in workingPath
    bool found = false;      // a directory entry matched in the pattern search
    TString workingPath;     // the path being looked up; the result when match() succeeds
    bool noWildcard = false; // the name part holds no '?'

    void describeWorkingPath();
    bool searchWorkingPath() const;
    bool searchForGivenName();
};
