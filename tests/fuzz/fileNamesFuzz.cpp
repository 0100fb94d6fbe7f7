// File name resolution on any command line, in normal and in host mode. The names are looked up
// in a scratch directory only: a name that begins with '/' is placed under it and ".." is taken
// apart, so no fuzzed name reaches the rest of the file system (opening devices has effects).
// Input layout: one byte of switches (bit 0: host mode), then the arguments separated by NUL.
//
// Checked: every path fits its buffer; a path host mode resolves names an existing entry; one
// name gives a .bak path; too many names empty path 1; split and join give a path back.

#include "app/fileNames.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string scratch;

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "file name fault: %s\n", what);
        abort();
    }
}

void removeScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

// Confines a fuzzed name to the scratch directory.
std::string confine(std::string name) {
    for (size_t at; (at = name.find("..")) != std::string::npos;) name[at + 1] = '_';
    if (!name.empty() && name[0] == '/') name = scratch + name;
    return name;
}

bool endsWith(TStringView text, TStringView end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = std::filesystem::temp_directory_path() / "qvd-fuzz-names.XXXXXX";
    check(mkdtemp(pattern.data()) != nullptr, "no scratch directory");
    scratch = pattern;
    atexit(removeScratch);
    // Names of every kind the matcher must cope with: 8-bit and UTF-8 names, a '?' and a '*' in
    // a name, dots in odd places, a directory.
    for (const char* name :
         {"a.txt", "b.txt", "a.bak", "n\xE9.txt", "\xC3\xBC.txt", "sp ace.txt", ".hidden", "x.y.z",
          "q?x", "*", "\xFF\xFE", "dir/a.txt", "dir/n\x81.b"}) {
        std::filesystem::create_directories(
            std::filesystem::path(scratch + "/" + name).parent_path());
        std::ofstream(scratch + "/" + name) << "text\n";
    }
    std::filesystem::create_directories(scratch + "/empty.dir");
    check(chdir(scratch.c_str()) == 0, "cannot enter the scratch directory");
    // The messages (too many names, path too long) are not what is tested here.
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool hostMode = (data[0] & 1) != 0;
    std::vector<TString> texts{argumentToText("moxa")};
    std::string current;
    for (size_t at = 1; at <= size; ++at) {
        if (at == size || data[at] == 0) {
            texts.push_back(argumentToText(confine(current)));
            current.clear();
            if (texts.size() > 8) break;
        } else {
            current += static_cast<char>(data[at]);
        }
    }
    std::vector<const TChar*> arguments;
    for (const TString& text : texts) arguments.push_back(text.c_str());

    // Words after the first "--" are names, and so is "-" alone.
    int names = 0;
    bool optionsEnded = false;
    for (size_t index = 1; index < texts.size(); ++index) {
        const TString& text = texts[index];
        if (!optionsEnded && text == QVD_T("--")) {
            optionsEnded = true;
        } else if (optionsEnded || text.size() < 2 || text[0] != TChar('-')) {
            ++names;
        }
        PathParts parts = splitPath(texts[index]);
        check(joinPath(parts) == texts[index], "split and join do not give the path back");
    }

    static PathBuffer path1;
    static PathBuffer path2;
    NameResult result = resolveFileNames(path1, path2, static_cast<int>(arguments.size()),
                                         arguments.data(), hostMode);
    for (const PathBuffer* path : {&path1, &path2}) {
        size_t length = textLength(path->text);
        check(length < kPathCapacity, "a path runs past its buffer");
        check(pathFits(TStringView(path->text, length)), "a path longer than the platform allows");
    }
    TStringView first(path1.text, textLength(path1.text));
    TStringView second(path2.text, textLength(path2.text));
    switch (result) {
    case NameResult::resolved:
        if (hostMode) {
            struct stat status;
            check(lstat(pathToBytes(first).c_str(), &status) == 0,
                  "host mode path 1 names nothing");
            check(lstat(pathToBytes(second).c_str(), &status) == 0,
                  "host mode path 2 names nothing");
        } else {
            check(names == 1 || names == 2, "resolved without one or two names");
            if (names == 1) check(endsWith(second, QVD_T(".bak")), "one name without a .bak path");
            check(first != second || first != kStandardInputPath, "standard input twice");
        }
        break;
    case NameResult::tooMany:
        check(!hostMode && names > 2 && first.empty(), "too many names mishandled");
        break;
    case NameResult::missing:
        check(hostMode || names == 0, "names present but reported missing");
        break;
    case NameResult::refused:
        check(!hostMode, "host mode refuses a name");
        break;
    }
    return 0;
}
