#include "app/fileNames.h"

#include "app/messages.h"
#include "app/options.h"
#include "platform/codePages.h"
#include "platform/directorySearch.h"
#include "platform/files.h"
#include "platform/treeWalk.h"

#include <algorithm>

namespace {

constexpr TChar kSeparator = TChar('/');
constexpr TChar kDot = TChar('.');
constexpr TChar kWildcard = TChar('?');

void printTooLong(TStringView path) {
    printMessage("\nPath too long: a path may hold at most %d bytes (%S)\n", kPathCapacity - 1,
                 toDisplayText(path).c_str());
}

// Turns a path with its name part into the second path: the one given when it opens as a file or
// the first names a directory (two trees to compare), else taken for a directory with the first
// file's name and extension appended.
NameResult deriveSecondPath(PathParts second, const PathParts& first, bool firstIsDirectory,
                            PathBuffer& path2) {
    if (!second.name.empty() && second.name[0] == TChar('*')) second.name = first.name;
    if (second.extension.size() >= 2 && second.extension[1] == TChar('*')) {
        second.extension = first.extension;
    }
    TString path = joinPath(second);
    if (!firstIsDirectory && !path.empty() && !opensAsFile(pathToBytes(path).c_str())) {
        if (path.back() != kSeparator) path += kSeparator;
        path += first.name;
        path += first.extension;
    }
    if (!assignPath(path2, path)) {
        printTooLong(path);
        return NameResult::refused;
    }
    return NameResult::resolved;
}

bool namesStandardInput(const TChar* argument) {
    return argument[0] == TChar('-') && argument[1] == 0;
}

// Standard input and the other name as given: no .bak for it, nor a name appended to the other.
NameResult resolveWithStandardInput(PathBuffer& path1, PathBuffer& path2, const TChar* first,
                                    const TChar* second) {
    if (second == nullptr) {
        printMessage("\nStandard input needs a second file to compare it with\n");
        return NameResult::refused;
    }
    const bool input1 = namesStandardInput(first);
    const bool input2 = namesStandardInput(second);
    if (input1 && input2) {
        printMessage("\nStandard input can be only one of the two files\n");
        return NameResult::refused;
    }
    return takeFileNames(path1, path2, input1 ? kStandardInputPath : first,
                         input2 ? kStandardInputPath : second);
}

NameResult resolveNormal(PathBuffer& path1, PathBuffer& path2, int argumentCount,
                         const TChar* const* arguments) {
    PathParts first;
    PathParts second;
    const TChar* given[2] = {nullptr, nullptr};
    int names = 0;
    const int endOfOptions = findEndOfOptions(argumentCount, arguments);
    for (int i = 1; i < argumentCount; ++i) {
        if (argumentKind(arguments, i, endOfOptions) != ArgumentKind::name) continue;
        if (names == 2) {
            printAlways("\nToo many file names (%S)\n", toDisplayText(arguments[i]).c_str());
            path1.text[0] = 0;
            return NameResult::tooMany;
        }
        if (!pathFits(arguments[i])) {
            printTooLong(arguments[i]);
            return NameResult::refused;
        }
        given[names] = arguments[i];
        (names == 0 ? first : second) = splitPath(arguments[i]);
        if (names == 0 && !assignPath(path1, joinPath(first))) return NameResult::refused;
        ++names;
    }
    if (names == 0) return NameResult::missing;
    if (namesStandardInput(given[0]) || (names == 2 && namesStandardInput(given[1])))
        return resolveWithStandardInput(path1, path2, given[0], given[1]);
    if (names == 1) {
        TString path = joinPath({first.directory, first.name, QVD_T(".bak")});
        if (!assignPath(path2, path)) {
            printTooLong(path);
            return NameResult::refused;
        }
        return NameResult::resolved;
    }
    return deriveSecondPath(second, first, isDirectory(pathToBytes(path1.text).c_str()), path2);
}

NameResult resolveHost(PathBuffer& path1, PathBuffer& path2, int argumentCount,
                       const TChar* const* arguments) {
    PathBuffer* paths[2] = {&path1, &path2};
    int names = 0;
    const int endOfOptions = findEndOfOptions(argumentCount, arguments);
    for (int i = 1; i < argumentCount && names < 2; ++i) {
        if (argumentKind(arguments, i, endOfOptions) != ArgumentKind::name) continue;
        FileNameMatcher matcher;
        if (matcher.match(arguments[i]) && assignPath(*paths[names], matcher.resultPath())) {
            ++names;
        } else {
            return NameResult::missing;
        }
    }
    return names == 2 ? NameResult::resolved : NameResult::missing;
}

} // namespace

bool assignPath(PathBuffer& destination, TStringView source) {
    if (!pathFits(source)) return false;
    std::copy(source.begin(), source.end(), destination.text);
    destination.text[source.size()] = 0;
    return true;
}

NameResult takeFileNames(PathBuffer& path1, PathBuffer& path2, const TChar* first,
                         const TChar* second) {
    for (const TChar* path : {first, second}) {
        if (!pathFits(path)) {
            printTooLong(path);
            return NameResult::refused;
        }
    }
    (void)assignPath(path1, first);
    (void)assignPath(path2, second);
    return NameResult::resolved;
}

PathParts splitPath(TStringView path) {
    size_t nameStart = path.rfind(kSeparator);
    nameStart = nameStart == TStringView::npos ? 0 : nameStart + 1;
    TStringView rest = path.substr(nameStart);
    size_t dot = rest.rfind(kDot);
    size_t firstNonDot = rest.find_first_not_of(kDot);
    bool hasExtension = dot != TStringView::npos && firstNonDot < dot;
    size_t nameEnd = hasExtension ? dot : rest.size();
    return {TString(path.substr(0, nameStart)), TString(rest.substr(0, nameEnd)),
            TString(rest.substr(nameEnd))};
}

TString joinPath(const PathParts& parts) {
    TString path = parts.directory;
    if (!path.empty() && path.back() != kSeparator) path += kSeparator;
    path += parts.name;
    if (!parts.extension.empty() && parts.extension[0] != kDot) path += kDot;
    path += parts.extension;
    return path;
}

NameResult resolveFileNames(PathBuffer& path1, PathBuffer& path2, int argumentCount,
                            const TChar* const* arguments, bool hostMode) {
    path1.text[0] = 0;
    path2.text[0] = 0;
    if (hostMode) return resolveHost(path1, path2, argumentCount, arguments);
    return resolveNormal(path1, path2, argumentCount, arguments);
}

void FileNameMatcher::describeWorkingPath() {
    pathLength = workingPath.size();
    size_t separator = workingPath.rfind(kSeparator);
    namePart = separator == TString::npos ? 0 : separator + 1;
    nameLength = pathLength - namePart;
    noWildcard = workingPath.find(kWildcard, namePart) == TString::npos;
}

// The search of the first two stages: is there an entry the name part (with its '?') matches?
bool FileNameMatcher::searchWorkingPath() const {
    TStringView pattern = TStringView(workingPath).substr(namePart);
    return searchDirectory(
        pathToBytes(TStringView(workingPath).substr(0, namePart)),
        [&](std::string_view name) { return matchesPattern(argumentToText(name), pattern); });
}

// The pattern search: an entry of the pattern whose name reads as givenName in the ANSI code
// page, in the OEM code page, or OEM read back as ANSI. Sets found and the true name.
bool FileNameMatcher::searchForGivenName() {
    TString name = workingPath.substr(namePart);
    int passes = noWildcard ? 1 : 2;
    for (int pass = 1; pass <= passes && !found; ++pass) {
        TString pattern = name;
        if (pass == passes) {
            for (auto& unit : pattern) {
                if (unit != kDot) unit = kWildcard;
            }
        }
        TString trueName;
        found = searchDirectory(
            pathToBytes(TStringView(workingPath).substr(0, namePart)), [&](std::string_view entry) {
                TString entryName = argumentToText(entry);
                if (!matchesPattern(entryName, pattern)) return false;
                std::string asAnsi, asOem, oemAsAnsi;
                for (TChar unit : entryName) {
                    uint8_t ansi;
                    uint8_t oem;
                    if constexpr (kWideBuild) {
                        ansi = unicodeToAnsiOrQuestion(unit);
                        oem = unicodeToOemOrQuestion(unit);
                    } else {
                        ansi = static_cast<uint8_t>(unit);
                        oem = ansiToOem(ansi);
                    }
                    asAnsi += static_cast<char>(ansi);
                    asOem += static_cast<char>(oem);
                    oemAsAnsi += static_cast<char>(oemToAnsi(oem));
                }
                if (givenName != asAnsi && givenName != asOem && givenName != oemAsAnsi) {
                    return false;
                }
                trueName = entryName;
                return true;
            });
        if (found) workingPath = workingPath.substr(0, namePart) + trueName;
    }
    return found;
}

bool FileNameMatcher::match(TStringView argument) {
    if (!pathFits(argument)) return false;
    found = false;
    // Every name is first looked up as it stands, a relative one from the current directory: only
    // the pattern search would take another file whose name merely reads alike.
    workingPath = TString(argument);
    describeWorkingPath();

#if QVD_WIDE
    {
        // The name as given; most names are found here.
        if (searchWorkingPath() && noWildcard) return true;
        // The name as it reads in the ANSI code page: what a file manager working in 8-bit text
        // would have looked up.
        std::string ansiPath;
        bool lostCharacter = false;
        for (TChar unit : argument) {
            uint8_t byte = unicodeToAnsiOrQuestion(unit);
            lostCharacter |= byte == '?' && unit != kWildcard;
            ansiPath += static_cast<char>(byte);
        }
        workingPath.clear();
        for (char byte : ansiPath) workingPath += ansiToUnicode(static_cast<uint8_t>(byte));
        describeWorkingPath();
        givenName = ansiPath.substr(namePart);
        noWildcard = noWildcard && !lostCharacter;
    }
#else
    givenName = std::string(argument.substr(namePart));
#endif
    if (searchWorkingPath() && noWildcard) return true;
    return searchForGivenName();
}
