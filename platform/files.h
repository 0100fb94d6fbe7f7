#pragma once
// Reading whole files. Sizes are 64-bit: a file is as large as the memory that holds it.

#include <cstdint>

// Largest file that can be loaded: the largest block malloc can be asked for. On a 64-bit system
// no file comes near it; a 32-bit one refuses what its address space cannot hold.
inline constexpr uint64_t kLargestFileSize = PTRDIFF_MAX;

// Why a file could not be loaded (the reason the loaders below give): the system's error number
// (ENOENT, EACCES, EISDIR for a directory...), EFBIG for more than kLargestFileSize, ENOMEM when
// its block could not be had, or kEndedEarly.
inline constexpr int kEndedEarly = -1; // the file ended before the length it stated
inline constexpr int kNotRegular = -2; // not a regular file, where only those are read
// The reason as a sentence: the system's own text ("No such file or directory"), or ours.
[[nodiscard]] const char* loadFailureText(int reason);

// Reads the whole file at path (bytes, as the kernel takes them) into one block from malloc
// (free it with free) and stores its length in size. A regular file is read to the length it had
// when opened; anything whose length the open file cannot tell (a pipe, a terminal, a device, a
// file of the kernel's own file systems, which claims 0 bytes or a page whatever it holds: /proc,
// /sys) is read to its end. Returns null, with size untouched, when the
// path names a directory, cannot be opened, holds more than kLargestFileSize, cannot be read
// completely (short read or read error), or the block cannot be allocated. An empty file gives a
// valid block and size 0.
[[nodiscard]] uint8_t* readWholeFile(const char* path, uint64_t& size, int* reason = nullptr);

// Outcome of readTwoFiles: file 1 is judged before file 2.
enum class PairLoad {
    loaded,      // both blocks and sizes are stored
    file1Failed, // file 1 cannot be loaded; nothing is stored
    file2Failed, // file 1 loads, file 2 cannot; nothing is stored
};

// readWholeFile on path1, then on path2, with the same outcome, blocks and reason, in about half
// the time on a machine of two cores: when both are regular files that state their lengths, file
// 2 is read while file 1 is. Anything else is opened only once file 1 has loaded.
// With regularOnly, anything but a regular file fails (kNotRegular) and nothing waits to be
// opened: what can be read again and again, without waiting for a pipe's writer.
[[nodiscard]] PairLoad readTwoFiles(const char* path1, const char* path2, uint8_t*& block1,
                                    uint64_t& size1, uint8_t*& block2, uint64_t& size2,
                                    int* reason = nullptr, bool regularOnly = false);

// True when path opens for reading and is not a directory: what "can be opened as a file" means
// here, since a directory opens for reading too on POSIX. Never blocks on a FIFO, and never opens
// one (that would take a waiting writer's data).
[[nodiscard]] bool opensAsFile(const char* path);

// Outcome of compareFiles, in the order the whole-file loader would find them: file 1 is
// judged before file 2.
enum class FileComparison {
    identical,   // both load and hold the same bytes
    different,   // both load, and their bytes differ
    file1Failed, // file 1 cannot be loaded (for any of the reasons readWholeFile gives)
    file2Failed, // file 1 loads, file 2 cannot
    outOfMemory, // the buffers for the comparison could not be had
};

// The identity test without holding the files: both are read in step through two small buffers
// and compared on the way. Gives the verdict readWholeFile on both and a byte comparison would
// give (a file that cannot be loaded completely is reported as such even after a difference was
// seen, so both are read to their ends), and stores the sizes read. Only the memory differs: no
// block of the file's size is needed. For a file that failed, reason says why.
[[nodiscard]] FileComparison compareFiles(const char* path1, const char* path2, uint64_t& size1,
                                          uint64_t& size2, int* reason = nullptr);
