#pragma once
// Batch mode on two directories: the trees compared path by path up to the first difference.

#include "platform/pathText.h"

// Walks the trees at root1 and root2 (paths as the driver keeps them) side by side and reads the
// two regular files at each path in step, up to the first difference: a path in one tree only,
// two kinds at one path, files whose bytes differ, or two special files (a FIFO or a device
// cannot be read to compare: reading would take what it gives). Prints the roots' verdict as for
// two files and returns kExitIdentical or kExitDifferent. What cannot be read before any
// difference (a root, a directory, a file, a dangling link) is a file that cannot be loaded,
// named by its path from the current directory, and gives kExitBadInput. Nothing of the trees is
// held but what the walk holds.
[[nodiscard]] int compareTreesInBatch(const TChar* root1, const TChar* root2);
