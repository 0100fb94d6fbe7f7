// The whole comparison of two directory trees: every path walked and every two regular files at
// one path compared, with no stop at the first difference (batch mode stops there). What a full
// pass over the trees costs, for trees.sh to set against diff -rq; prints what it found.
//   treeCompare ROOT1 ROOT2
// Exit status 0 when the trees are identical, 1 when not, 2 when a root cannot be listed.

#include "platform/treeWalk.h"

#include <cstdint>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: treeCompare ROOT1 ROOT2\n");
        return 2;
    }
    TreeWalker walker(argv[1], argv[2]);
    for (int side : {1, 2}) {
        if (walker.rootError(side) != 0) {
            std::fprintf(stderr, "treeCompare: cannot list %s\n", argv[side]);
            return 2;
        }
    }
    uint64_t entries = 0, directories = 0, identical = 0, different = 0, oneSided = 0;
    uint64_t otherKinds = 0, unreadable = 0, bytes = 0;
    const std::string roots[2] = {std::string(argv[1]) + "/", std::string(argv[2]) + "/"};
    std::string paths[2];
    for (TreeEntry entry; walker.next(entry);) {
        ++entries;
        const EntryKind left = entry.left.kind;
        const EntryKind right = entry.right.kind;
        if (left == EntryKind::unreadable || right == EntryKind::unreadable) {
            ++unreadable;
        } else if (left == EntryKind::none || right == EntryKind::none) {
            ++oneSided;
        } else if (left != right || left == EntryKind::special) {
            ++otherKinds;
        } else if (left == EntryKind::directory || left == EntryKind::repeated) {
            ++directories;
        } else {
            paths[0] = roots[0] + entry.path;
            paths[1] = roots[1] + entry.path;
            switch (compareContents(paths[0].c_str(), paths[1].c_str())) {
            case ContentResult::identical:
                ++identical;
                bytes += entry.left.size;
                break;
            case ContentResult::different:
                ++different;
                break;
            case ContentResult::unreadable1:
            case ContentResult::unreadable2:
                ++unreadable;
                break;
            }
        }
    }
    std::printf(
        "%llu entries: %llu directories, %llu identical files (%llu bytes), %llu different, "
        "%llu on one side, %llu of two kinds or special, %llu unreadable\n",
        static_cast<unsigned long long>(entries), static_cast<unsigned long long>(directories),
        static_cast<unsigned long long>(identical), static_cast<unsigned long long>(bytes),
        static_cast<unsigned long long>(different), static_cast<unsigned long long>(oneSided),
        static_cast<unsigned long long>(otherKinds), static_cast<unsigned long long>(unreadable));
    return identical + directories == entries ? 0 : 1;
}
