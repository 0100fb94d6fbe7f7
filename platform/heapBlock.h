#pragma once
// Heap blocks from malloc with one owner: the block goes back when its holder goes, on every way
// out. File images, decoded texts, line tables and aligned lists are such blocks.

#include <cstdlib>
#include <memory>

struct FreeBlock {
    void operator()(void* block) const { std::free(block); }
};

template <typename T>
using HeapBlock = std::unique_ptr<T[], FreeBlock>;
