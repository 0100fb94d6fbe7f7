#pragma once
// Reading whole files. Sizes are 32-bit, so a file of 4 GiB or more is refused, never cut.

#include <cstdint>

// Largest file that can be loaded: sizes travel as unsigned 32-bit values.
inline constexpr uint64_t kLargestFileSize = 0xFFFFFFFFu;

// Reads the whole file at path (bytes, as the kernel takes them) into one block from malloc
// (free it with free) and stores its length in size. A regular file is read to the length it had
// when opened; anything whose length the open file cannot tell (a pipe, a terminal, a device) is
// read to its end. Returns null, with size untouched, when the path names a directory, cannot be
// opened, holds 4 GiB or more, cannot be read completely (short read or read error), or the block
// cannot be allocated. An empty file gives a valid block and size 0.
[[nodiscard]] uint8_t* readWholeFile(const char* path, uint32_t& size);

// True when path opens for reading and is not a directory: what "can be opened as a file" means
// here, since a directory opens for reading too on POSIX. Never blocks on a FIFO.
[[nodiscard]] bool opensAsFile(const char* path);
