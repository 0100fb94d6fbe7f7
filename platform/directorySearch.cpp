#include "platform/directorySearch.h"

#include <cstring>
#include <dirent.h>

bool matchesPattern(TStringView name, TStringView pattern) {
    if (name.size() != pattern.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (pattern[i] != TChar('?') && pattern[i] != name[i]) return false;
    }
    return true;
}

bool searchDirectory(const std::string& directory,
                     const std::function<bool(std::string_view name)>& visit) {
    DIR* stream = opendir(directory.empty() ? "." : directory.c_str());
    if (!stream) return false;
    bool found = false;
    while (!found) {
        const dirent* entry = readdir(stream);
        if (!entry) break;
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        found = visit(entry->d_name);
    }
    closedir(stream);
    return found;
}
