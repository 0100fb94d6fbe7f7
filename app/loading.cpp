#include "app/loading.h"

#include "platform/codePages.h"
#include "platform/files.h"
#include "platform/parallel.h"
#include "platform/pathText.h"
#include "platform/unicodeTest.h"
#include "viewer/viewerFile.h"

#include <cstdlib>
#include <cstring>

HeapBlock<uint8_t> loadFile(const TChar* path, uint64_t& rawSize) {
    return HeapBlock<uint8_t>(readWholeFile(pathToBytes(path).c_str(), rawSize));
}

LoadResult loadFiles(const TChar* path1, const TChar* path2, FileImage& image1, FileImage& image2,
                     int* reason, bool regularOnly) {
    uint8_t* block1 = nullptr;
    uint8_t* block2 = nullptr;
    uint64_t size1 = 0;
    uint64_t size2 = 0;
    switch (readTwoFiles(pathToBytes(path1).c_str(), pathToBytes(path2).c_str(), block1, size1,
                         block2, size2, reason, regularOnly)) {
    case PairLoad::file1Failed:
        return LoadResult::file1Failed;
    case PairLoad::file2Failed:
        return LoadResult::file2Failed;
    case PairLoad::loaded:
        break;
    }
    image1.raw.reset(block1);
    image1.rawSize = size1;
    image2.raw.reset(block2);
    image2.rawSize = size2;
    return LoadResult::loaded;
}

int32_t countOffsetDigits(uint64_t rawSize1, uint64_t rawSize2) {
    uint64_t larger = rawSize1 > rawSize2 ? rawSize1 : rawSize2;
    int32_t digits = 1;
    while ((larger >>= 4) != 0) ++digits;
    return digits;
}

bool filesIdentical(const FileImage& image1, const FileImage& image2) {
    return image1.rawSize == image2.rawSize &&
           (image1.rawSize == 0 || memcmp(image1.raw.get(), image2.raw.get(), image1.rawSize) == 0);
}

namespace {

// Gives the image a decoded UTF-16 buffer of units; false when it cannot be had.
bool allocateDecoded(FileImage& image, uint64_t units) {
    if (units > static_cast<uint64_t>(PTRDIFF_MAX) / 2) return false; // more than any block can be
    image.decoded.reset(static_cast<char16_t*>(malloc(units > 0 ? units * 2 : 2)));
    return image.decoded != nullptr;
}

// The image's text as the UTF-16 conversion of bytes[0..count) (units of them, as counted
// before); false when no buffer could be allocated.
bool decodeUtf8(FileImage& image, const uint8_t* bytes, uint64_t count, size_t units) {
    if (!allocateDecoded(image, units)) return false;
    size_t written = utf8ToUtf16(bytes, count, image.decoded.get());
    image.text = reinterpret_cast<const uint8_t*>(image.decoded.get());
    image.textSize = uint64_t{written} * 2;
    return true;
}

// Steps 1 and 2 for one file: its encoding bits, or 0 when it stays 8-bit for now; -1 when no
// buffer could be allocated. On Linux the system's 8-bit text is UTF-8: a file that is UTF-8 text
// without the signature is read exactly as one with it.
int decodeOne(FileImage& image) {
    const uint8_t* raw = image.raw.get();
    image.text = raw;
    image.textSize = image.rawSize;
    int tests = testUtf16Text(raw, image.rawSize);
    if (tests != 0) {
        if (tests & kUtf16Signature) {
            image.text = raw + 2;
            image.textSize = image.rawSize - 2;
        }
        return kTextUtf16;
    }
    if (image.rawSize >= 3 && raw[0] == 0xEF && raw[1] == 0xBB && raw[2] == 0xBF) {
        const uint8_t* bytes = raw + 3;
        const uint64_t count = image.rawSize - 3;
        size_t units = utf8ToUtf16(bytes, count, nullptr);
        return decodeUtf8(image, bytes, count, units) ? kTextUtf8 : -1;
    }
    if (size_t units = utf8TextUnits(raw, image.rawSize); units != 0)
        return decodeUtf8(image, raw, image.rawSize, units) ? kTextUtf8 : -1;
    return 0;
}

// Step 4: an 8-bit file brought to UTF-16 through the ANSI code page.
bool convertAnsi(FileImage& image) {
    if (!allocateDecoded(image, image.rawSize)) return false;
    for (uint64_t i = 0; i < image.rawSize; ++i) image.decoded[i] = ansiToUnicode(image.raw[i]);
    image.text = reinterpret_cast<const uint8_t*>(image.decoded.get());
    image.textSize = image.rawSize * 2;
    return true;
}

void dropDecoded(FileImage& image) {
    image.decoded.reset();
    image.text = image.raw.get();
    image.textSize = image.rawSize;
}

} // namespace

bool decodeTexts(FileImage& image1, FileImage& image2) {
    image1.encoding = 0;
    image2.encoding = 0;
    image1.text = image1.raw.get();
    image1.textSize = image1.rawSize;
    image2.text = image2.raw.get();
    image2.textSize = image2.rawSize;
    if constexpr (!kWideBuild) return true;

    // Each file is tested and decoded on its own: the two side by side.
    int flags1 = 0;
    int flags2 = 0;
    runTogether([&] { flags1 = decodeOne(image1); }, [&] { flags2 = decodeOne(image2); });
    bool ok = flags1 >= 0 && flags2 >= 0;
    if (ok && (flags1 | flags2) != 0) {
        if (flags1 == 0) {
            ok = convertAnsi(image1);
            flags1 = kTextAnsi;
        }
        if (ok && flags2 == 0) {
            ok = convertAnsi(image2);
            flags2 = kTextAnsi;
        }
    }
    if (!ok) {
        // A half-decoded pair would compare UTF-16 against 8-bit text: give both up.
        dropDecoded(image1);
        dropDecoded(image2);
        return false;
    }
    image1.encoding = static_cast<uint32_t>(flags1);
    image2.encoding = static_cast<uint32_t>(flags2);
    return true;
}
