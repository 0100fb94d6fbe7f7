#include "app/treeBatch.h"

#include "app/exitCodes.h"
#include "app/messages.h"
#include "platform/treeWalk.h"

#include <string>

namespace {

// What one path of the walk shows.
enum class Finding {
    same,
    different,
    unreadable1, // the first tree's entry cannot be read (error says why)
    unreadable2,
};

// An entry's path from the current directory: its root's bytes, one '/', its path in the tree.
void joinEntryPath(std::string& full, const std::string& root, const std::string& path) {
    full = root;
    if (full.back() != '/') full += '/';
    full += path;
}

// Compares the two sides at one path; full holds their paths from the current directory.
Finding compareEntry(const TreeEntry& entry, const std::string (&full)[2], int& error) {
    if (entry.left.kind == EntryKind::unreadable) {
        error = entry.left.error;
        return Finding::unreadable1;
    }
    if (entry.right.kind == EntryKind::unreadable) {
        error = entry.right.error;
        return Finding::unreadable2;
    }
    if (entry.left.kind != entry.right.kind || entry.left.kind == EntryKind::special)
        return Finding::different;
    if (entry.left.kind != EntryKind::file)
        return Finding::same; // directories: their entries follow
    switch (compareContents(full[0].c_str(), full[1].c_str(), &error)) {
    case ContentResult::identical:
        return Finding::same;
    case ContentResult::different:
        return Finding::different;
    case ContentResult::unreadable1:
        return Finding::unreadable1;
    case ContentResult::unreadable2:
        return Finding::unreadable2;
    case ContentResult::stopped:
        break; // no stop is given
    }
    return Finding::different;
}

} // namespace

int compareTreesInBatch(const TChar* root1, const TChar* root2) {
    const TString shown[2] = {toDisplayText(root1), toDisplayText(root2)};
    const std::string roots[2] = {pathToBytes(root1), pathToBytes(root2)};
    TreeWalker walker(roots[0], roots[1]);
    for (int file : {1, 2}) {
        if (int error = walker.rootError(file)) {
            printCannotLoad(file, shown[file - 1].c_str(), error);
            return kExitBadInput;
        }
    }
    TreeEntry entry;
    std::string full[2]; // kept from entry to entry: no allocation per path
    while (walker.next(entry)) {
        joinEntryPath(full[0], roots[0], entry.path);
        joinEntryPath(full[1], roots[1], entry.path);
        int error = 0;
        const Finding finding = compareEntry(entry, full, error);
        if (finding == Finding::same) continue;
        if (finding == Finding::different) {
            printVerdict(shown[0].c_str(), shown[1].c_str(), false);
            return kExitDifferent;
        }
        const int file = finding == Finding::unreadable1 ? 1 : 2;
        printCannotLoad(file, toDisplayText(argumentToText(full[file - 1])).c_str(), error);
        return kExitBadInput;
    }
    printVerdict(shown[0].c_str(), shown[1].c_str(), true);
    return kExitIdentical;
}
