#include "engine/lineTable.h"

#include "app/settings.h"
#include "engine/unitText.h"
#include "platform/build.h"
#include "platform/charClass.h"

#include <cstdlib>
#include <cstring>

namespace {

struct LineCut {
    uint32_t length;   // characters before the line end
    uint32_t endBytes; // bytes of the line end (1 past the image for an unterminated line)
};

// Finds 8-bit line ends. The next LF and the next CR are each searched with memchr and kept until
// the cut passes them, so a file without CR is searched for CR once, not once per line.
class Cutter8 {
  public:
    Cutter8(const uint8_t* image, uint32_t size)
        : image_(image), size_(size), nextLf_(find(0, '\n')), nextCr_(find(0, '\r')) {}

    // Cuts the line at `offset`; offsets must rise from call to call.
    LineCut cut(uint32_t offset) {
        if (nextLf_ < offset) nextLf_ = find(offset, '\n');
        if (nextCr_ < offset) nextCr_ = find(offset, '\r');
        uint32_t end = nextLf_ < nextCr_ ? nextLf_ : nextCr_;
        if (end >= size_) return {size_ - offset, 1};
        if (image_[end] == '\r' && end + 1 < size_ && image_[end + 1] == '\n')
            return {end - offset, 2};
        return {end - offset, 1};
    }

  private:
    uint32_t find(uint32_t from, uint8_t byte) const {
        if (from >= size_) return size_;
        const void* hit = std::memchr(image_ + from, byte, size_ - from);
        return hit ? static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - image_) : size_;
    }

    const uint8_t* image_;
    uint32_t size_;
    uint32_t nextLf_; // offset of the next LF at or after the last cut, or size_
    uint32_t nextCr_; // the same for CR
};

// 16-bit line ends: the same rules on whole units; an odd last byte is never part of a unit.
struct Cutter16 {
    const uint8_t* image;
    uint32_t size;

    LineCut cut(uint32_t offset) const {
        uint32_t units = (size - offset) / 2;
        const uint8_t* text = image + offset;
        for (uint32_t i = 0; i < units; ++i) {
            char16_t unit = loadUnit(text, i);
            if (unit == u'\n') return {i, 2};
            if (unit == u'\r')
                return {i, i + 1 < units && loadUnit(text, i + 1) == u'\n' ? 4u : 2u};
        }
        return {units, 2};
    }
};

bool allWhite8(const uint8_t* text, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        if (!isWhiteSpace8(text[i])) return false;
    return true;
}

bool allWhite16(const uint8_t* text, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        if (!isWhiteSpace16(loadUnit(text, i))) return false;
    return true;
}

LineRef* allocateTable(size_t entries) {
    if (entries > SIZE_MAX / sizeof(LineRef)) return nullptr;
    return static_cast<LineRef*>(std::malloc(entries * sizeof(LineRef)));
}

// Hex rows: every row has `width` bytes but the last, which has the rest.
LineRef* buildHexRows(const uint8_t* image, uint32_t size, uint32_t width, bool suppress) {
    LineRef* table = allocateTable(size_t{size} / width + 2);
    if (!table) return nullptr;
    LineRef* out = table;
    for (uint32_t offset = 0; offset < size;) {
        uint32_t length = size - offset < width ? size - offset : width;
        *out = {image + offset, length};
        if (!(suppress && allWhite8(image + offset, length))) ++out;
        offset += length;
    }
    *out = {nullptr, 0};
    return table;
}

// Two passes over the image: count every line, then fill a table of exactly that many entries
// plus the terminator. makeCutter gives a fresh line-end finder for each pass.
template <typename MakeCutter, typename AllWhite>
LineRef* buildTextLines(const uint8_t* image, uint32_t size, uint32_t unitBytes,
                        MakeCutter makeCutter, AllWhite allWhite, bool suppress) {
    size_t lines = 0;
    auto sizing = makeCutter();
    for (uint64_t offset = 0; offset < size; ++lines) {
        LineCut line = sizing.cut(static_cast<uint32_t>(offset));
        offset += uint64_t{line.length} * unitBytes + line.endBytes;
    }
    LineRef* table = allocateTable(lines + 1);
    if (!table) return nullptr;
    LineRef* out = table;
    auto filling = makeCutter();
    for (uint64_t offset = 0; offset < size;) {
        LineCut line = filling.cut(static_cast<uint32_t>(offset));
        *out = {image + offset, line.length};
        // A suppressed line keeps its slot open for the next one.
        if (!(suppress && allWhite(image + offset, line.length))) ++out;
        offset += uint64_t{line.length} * unitBytes + line.endBytes;
    }
    *out = {nullptr, 0};
    return table;
}

} // namespace

LineRef* buildLineTable(const uint8_t* image, uint32_t sizeInBytes, int32_t mode) {
    if (!image) sizeInBytes = 0; // nothing can be read through a null image
    bool suppress = settings.suppressEmptyLines != 0 && settings.hexMode == 0;
    if (mode <= 0) {
        // A row width of 0 cannot cut anything: one byte per row is the narrowest real row, and
        // it keeps every byte on screen instead of looping or dividing by zero.
        uint32_t width = mode == 0 ? 1u : static_cast<uint32_t>(-static_cast<int64_t>(mode));
        return buildHexRows(image, sizeInBytes, width, suppress);
    }
    if (kWideBuild && mode == kMode16Bit) {
        return buildTextLines(
            image, sizeInBytes, 2, [&] { return Cutter16(image, sizeInBytes); }, allWhite16,
            suppress);
    }
    return buildTextLines(
        image, sizeInBytes, 1, [&] { return Cutter8(image, sizeInBytes); }, allWhite8, suppress);
}
