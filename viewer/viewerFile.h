#pragma once
// The files the view shows: each with its name, its bytes, its decoded text and how that text
// came about, and the pair with what the two share.

#include "engine/comparison.h"
#include "platform/build.h"

#include <cstdint>
#include <string>

// How a file's text image came about (ViewerFile::encoding); 0: the file's own bytes, 8-bit.
inline constexpr uint32_t kTextUtf16 = 0x01; // recognised as UTF-16 LE, text is the raw image
inline constexpr uint32_t kTextUtf8 = 0x02;  // UTF-8 (signed, or valid text), made UTF-16
inline constexpr uint32_t kTextAnsi = 0x04;  // 8-bit converted to UTF-16 to match the other file

// Both files' encodings in one word, as rowdump prints it: file 1 in the low nibble, file 2 in
// the next (encodingFlags).
inline constexpr uint32_t kFile1Utf16 = kTextUtf16;
inline constexpr uint32_t kFile1Utf8 = kTextUtf8;
inline constexpr uint32_t kFile1Ansi = kTextAnsi;
inline constexpr uint32_t kFile2Utf16 = kTextUtf16 << 4;
inline constexpr uint32_t kFile2Utf8 = kTextUtf8 << 4;
inline constexpr uint32_t kFile2Ansi = kTextAnsi << 4;

// One input file as the view needs it. Its owner (the driver) keeps everything pointed to alive
// while the view runs: the tables are cut from these images.
struct ViewerFile {
    const TChar* name;     // as shown in the pane frame
    const uint8_t* raw;    // the bytes as stored (hex mode)
    uint64_t rawSize;      // bytes in raw
    const uint8_t* text;   // the decoded text image (text mode)
    uint64_t textSize;     // bytes in text
    uint32_t encoding = 0; // kText* bits: how text came about; 0 in moxaw
    // Only the beginning of the file, while the rest is still being read: raw and text hold what
    // has arrived, decoded by what it tells; wholeSize is the length of the whole file.
    bool partial = false;
    uint64_t wholeSize = 0;
};

// The two files of the view and what they share.
struct FilePair {
    ViewerFile left;
    ViewerFile right;
    int32_t offsetDigits = 1; // hex digits of the larger file size: the width of hex offsets
    // How files of the same text differ (line ends, encoding), which rows that are all equal do
    // not show: said on the last row when the view opens. Empty for texts that differ.
    std::u16string note{};
};

// The encodings of both files in one word (kFile1* | kFile2*).
[[nodiscard]] inline uint32_t encodingFlags(const FilePair& files) {
    return files.left.encoding | files.right.encoding << 4;
}

// Whether the texts are 16-bit: moxa decoded a file (and then brought the other to 16 bits too).
[[nodiscard]] inline bool wideTexts(const FilePair& files) {
    return kWideBuild && encodingFlags(files) != 0;
}

// The file as the engine cuts it: its text is 16-bit where moxa decoded it.
[[nodiscard]] inline ComparedFile comparedFile(const ViewerFile& file) {
    return {file.raw,    file.rawSize, file.text, file.textSize, kWideBuild && file.encoding != 0,
            file.partial};
}
