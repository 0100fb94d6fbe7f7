// The whole comparison of two directory trees as the directory list makes it behind its first
// screen: every path walked and every two regular files at one path compared, with no stop at the
// first difference (batch mode stops there). What a full pass over the trees costs, for trees.sh
// to set against diff -rq; prints what it found.
//   treeCompare ROOT1 ROOT2
// Exit status 0 when the trees are identical, 1 when not, 2 when a root cannot be listed.

#include "platform/treeWalk.h"
#include "viewer/treeList.h"

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: treeCompare ROOT1 ROOT2\n");
        return 2;
    }
    {
        const TreeWalker roots(argv[1], argv[2]);
        for (int side : {1, 2}) {
            if (roots.rootError(side) != 0) {
                std::fprintf(stderr, "treeCompare: cannot list %s\n", argv[side]);
                return 2;
            }
        }
    }
    TreeList list(argv[1], argv[2]);
    list.start(false);
    uint64_t counts[9] = {};
    for (uint32_t index = 0; index < list.size(); ++index)
        ++counts[static_cast<int>(list.state(index))];
    std::printf(
        "%u paths: %llu identical, %llu different, %llu only left, %llu only right, "
        "%llu of two kinds, %llu unreadable, %llu not compared, %llu walked before\n",
        list.size(), static_cast<unsigned long long>(counts[1]),
        static_cast<unsigned long long>(counts[2]), static_cast<unsigned long long>(counts[3]),
        static_cast<unsigned long long>(counts[4]), static_cast<unsigned long long>(counts[5]),
        static_cast<unsigned long long>(counts[6]), static_cast<unsigned long long>(counts[7]),
        static_cast<unsigned long long>(counts[8]));
    return list.differing() == 0 ? 0 : 1;
}
