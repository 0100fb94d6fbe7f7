#pragma once
// The pages behind blocks of file size. A block from malloc gets its memory one page fault at a
// time as it is first written, a few microseconds each on a virtual machine: a file of a gigabyte
// is a quarter of a million of them.

#include <cstddef>

// Gives every page of the block its memory now, in a few system calls rather than a fault a page,
// for a block that is about to be written whole (a file read into it, the rows every list has).
// Only advice: where the kernel cannot do it, the pages come by faults as before.
void commitPages(void* block, size_t bytes);
