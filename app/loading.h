#pragma once
// Loading the two input files, the identity test, and decoding their texts.

#include "app/fileImage.h"
#include "platform/build.h"

#include <cstdint>

// Reads the file at path whole. Returns the block and its size, or null when the file cannot be
// loaded: missing, unreadable, a directory, a short read, or no memory. An empty file gives a
// valid block and size 0. Pipes are read to their end.
[[nodiscard]] HeapBlock<uint8_t> loadFile(const TChar* path, uint64_t& rawSize);

// Which of two files could not be loaded: file 1 is judged first.
enum class LoadResult { loaded, file1Failed, file2Failed };

// loadFile on path1 and then on path2, into the raw blocks and sizes of the images, with the
// same outcome; two regular files are read at the same time. On a failure neither image changes,
// and reason (when given) says why (platform/files.h). With regularOnly only regular files load,
// and nothing waits to be opened.
[[nodiscard]] LoadResult loadFiles(const TChar* path1, const TChar* path2, FileImage& image1,
                                   FileImage& image2, int* reason = nullptr,
                                   bool regularOnly = false);

// Hex digits of the larger size, at least 1: the width of hex-mode offsets.
int32_t countOffsetDigits(uint64_t rawSize1, uint64_t rawSize2);

// True when both images hold the same bytes (sizes first, so files of different sizes are not
// read again).
bool filesIdentical(const FileImage& image1, const FileImage& image2);

// Decides each file's encoding and fills text, textSize, decoded and encoding of both images. moxa:
// UTF-16 (the platform's test), UTF-8 with signature or UTF-8 text without it (valid, with a
// character beyond ASCII: the same flag), else 8-bit; when either file is 16-bit afterwards, an
// 8-bit file is converted from the ANSI code page so that both compare as UTF-16. moxaw: both texts
// are the raw images, flags 0. Returns false when a conversion buffer cannot be allocated; the
// images then hold no decoded buffer and both encodings are 0.
[[nodiscard]] bool decodeTexts(FileImage& image1, FileImage& image2);
