#include "engine/lineTable.h"

#include "engine/lineHash.h"
#include "engine/unitText.h"
#include "platform/build.h"
#include "platform/charClass.h"
#include "platform/memoryPages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct LineCut {
    uint64_t length;   // characters before the line end (a table takes at most UINT32_MAX)
    uint32_t endBytes; // bytes of the line end (1 past the image for an unterminated line)
};

// Line-end bytes of an image, found 64 bytes at a time: lines are short, so a search call per
// line would cost more than the search itself.
constexpr uint32_t kBlock = 64;

struct EndBits {
    uint64_t lf; // one bit per LF byte of the block
    uint64_t cr; // one bit per CR byte
};

EndBits scanBlock(const uint8_t* bytes, uint32_t size) {
    EndBits bits{0, 0};
    if (size < kBlock) {
        for (uint32_t i = 0; i < size; ++i) {
            bits.lf |= uint64_t{bytes[i] == '\n'} << i;
            bits.cr |= uint64_t{bytes[i] == '\r'} << i;
        }
        return bits;
    }
#if defined(__SSE2__)
    for (uint32_t part = 0; part < kBlock / 16; ++part) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        auto lf =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n'))));
        auto cr =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\r'))));
        bits.lf |= uint64_t{lf} << (16 * part);
        bits.cr |= uint64_t{cr} << (16 * part);
    }
#else
    for (uint32_t part = 0; part < kBlock / 8; ++part) {
        uint64_t word;
        std::memcpy(&word, bytes + 8 * part, 8);
        // High bit of each byte equal to `byte` (exact: no carries between bytes).
        auto matches = [word](uint64_t byte) {
            uint64_t x = word ^ (byte * 0x0101010101010101ull);
            uint64_t low = 0x7F7F7F7F7F7F7F7Full;
            return ~(((x & low) + low) | x | low);
        };
        uint64_t lf = matches('\n');
        uint64_t cr = matches('\r');
        for (uint32_t i = 0; i < 8; ++i) {
            bits.lf |= (lf >> (8 * i + 7) & 1) << (8 * part + i);
            bits.cr |= (cr >> (8 * i + 7) & 1) << (8 * part + i);
        }
    }
#endif
    return bits;
}

// Lines of 8-bit text without suppression: every LF, every CR not followed by LF, and an
// unterminated last line.
uint64_t countLines8(const uint8_t* image, uint64_t size) {
    uint64_t lines = 0;
    uint64_t offset = 0;
#if defined(__SSE2__)
    // Byte counters in vector lanes, summed before they can overflow: 16 bytes per step, and no
    // branch per line.
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    while (size - offset > 16) {
        const auto steps = static_cast<uint32_t>(std::min<uint64_t>(255, (size - offset - 1) / 16));
        __m128i ends = zero; // LF and lone CR bytes, negated
        for (uint32_t step = 0; step < steps; ++step, offset += 16) {
            __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(image + offset));
            __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(image + offset + 1));
            __m128i loneCr = _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(chunk, cr));
            ends = _mm_add_epi8(ends, _mm_cmpeq_epi8(chunk, lf));
            ends = _mm_add_epi8(ends, loneCr);
        }
        __m128i sums = _mm_sad_epu8(_mm_sub_epi8(zero, ends), zero);
        lines += static_cast<uint64_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; offset < size; ++offset) {
        if (image[offset] == '\n') ++lines;
        if (image[offset] == '\r' && !(offset + 1 < size && image[offset + 1] == '\n')) ++lines;
    }
    if (size > 0 && image[size - 1] != '\n' && image[size - 1] != '\r') ++lines;
    return lines;
}

// Yields the offsets of the CR and LF bytes of an image in order.
class LineEndFinder {
  public:
    LineEndFinder(const uint8_t* image, uint64_t size) : image_(image), size_(size), block_(0) {
        EndBits bits = scanBlock(image, blockBytes());
        hits_ = bits.lf | bits.cr;
    }

    // The next CR or LF offset after the previous one, or the image size when there is none.
    uint64_t next() {
        while (hits_ == 0) {
            if (block_ + kBlock >= size_) return size_;
            block_ += kBlock;
            EndBits bits = scanBlock(image_ + block_, blockBytes());
            hits_ = bits.lf | bits.cr;
        }
        auto bit = static_cast<uint32_t>(__builtin_ctzll(hits_));
        hits_ &= hits_ - 1;
        return block_ + bit;
    }

  private:
    // Bytes of the image in the block at block_: a whole block but at the end.
    uint32_t blockBytes() const {
        return static_cast<uint32_t>(std::min<uint64_t>(size_ - block_, kBlock));
    }

    const uint8_t* image_;
    uint64_t size_;
    uint64_t block_; // offset of the block the hits belong to
    uint64_t hits_;  // its CR and LF bytes not yet handed out
};

// Cuts 8-bit lines: whichever of LF and CR comes first ends a line, CR LF together end one.
class Cutter8 {
  public:
    Cutter8(const uint8_t* image, uint64_t size) : image_(image), size_(size), ends_(image, size) {}

    // Cuts the line at `offset`, the offset just after the previous line.
    LineCut cut(uint64_t offset) {
        uint64_t end = ends_.next();
        if (end >= size_) return {size_ - offset, 1};
        if (image_[end] == '\r' && end + 1 < size_ && image_[end + 1] == '\n') {
            (void)ends_.next(); // the LF belongs to this line end
            return {end - offset, 2};
        }
        return {end - offset, 1};
    }

  private:
    const uint8_t* image_;
    uint64_t size_;
    LineEndFinder ends_;
};

// One bit per LF or CR among `units` (at most 32) little-endian units at `text`.
uint32_t scanUnits(const uint8_t* text, uint32_t units) {
    uint32_t bits = 0;
    if (units < 32) {
        for (uint32_t i = 0; i < units; ++i) {
            char16_t unit = loadUnit(text, i);
            bits |= uint32_t{unit == u'\n' || unit == u'\r'} << i;
        }
        return bits;
    }
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi16('\n');
    const __m128i cr = _mm_set1_epi16('\r');
    for (uint32_t part = 0; part < 4; ++part) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part));
        __m128i ends = _mm_or_si128(_mm_cmpeq_epi16(chunk, lf), _mm_cmpeq_epi16(chunk, cr));
        // One byte per unit, then one bit per unit.
        auto found =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(ends, _mm_setzero_si128())));
        bits |= found << (8 * part);
    }
#else
    for (uint32_t i = 0; i < 32; ++i) {
        char16_t unit = loadUnit(text, i);
        bits |= uint32_t{unit == u'\n' || unit == u'\r'} << i;
    }
#endif
    return bits;
}

// 16-bit line ends: the same rules on whole units, 32 units at a time; an odd last byte is never
// part of a unit. Offsets stay even, since every line and line end is made of whole units.
class Cutter16 {
  public:
    Cutter16(const uint8_t* image, uint64_t size)
        : image_(image), units_(size / 2), block_(0), hits_(scanUnits(image, blockUnits())) {}

    // Cuts the line at `offset` (bytes), the offset just after the previous line.
    LineCut cut(uint64_t offset) {
        uint64_t start = offset / 2;
        uint64_t end = nextEnd();
        if (end >= units_) return {units_ - std::min(start, units_), 2};
        if (loadUnit(image_, end) == u'\r' && end + 1 < units_ &&
            loadUnit(image_, end + 1) == u'\n') {
            (void)nextEnd(); // the LF belongs to this line end
            return {end - start, 4};
        }
        return {end - start, 2};
    }

  private:
    // The next LF or CR unit after the previous one, or the number of units.
    uint64_t nextEnd() {
        while (hits_ == 0) {
            if (block_ + 32 >= units_) return units_;
            block_ += 32;
            hits_ = scanUnits(image_ + 2 * block_, blockUnits());
        }
        auto bit = static_cast<uint32_t>(__builtin_ctz(hits_));
        hits_ &= hits_ - 1;
        return block_ + bit;
    }

    // Units of the image in the block at block_: 32 but at the end.
    uint32_t blockUnits() const {
        return static_cast<uint32_t>(std::min<uint64_t>(units_ - block_, 32));
    }

    const uint8_t* image_;
    uint64_t units_;
    uint64_t block_; // first unit of the block the hits belong to
    uint32_t hits_;  // its LF and CR units not yet handed out
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
LineRef* buildHexRows(const uint8_t* image, uint64_t size, uint32_t width, bool suppress,
                      const EngineRules& rules) {
    const uint64_t rowCount = size / width + (size % width != 0);
    if (rowCount > kLargestTableLines) return nullptr;
    LineRef* table = allocateTable(static_cast<size_t>(rowCount) + 1);
    if (!table) return nullptr;
    LineRef* out = table;
    for (uint64_t offset = 0, rows = 0; offset < size; ++rows) {
        if ((rows & kStopLookMask) == 0 && buildStopped(rules)) {
            std::free(table);
            return nullptr;
        }
        const auto length = static_cast<uint32_t>(std::min<uint64_t>(size - offset, width));
        *out = {image + offset, length};
        if (!(suppress && allWhite8(image + offset, length))) ++out;
        offset += length;
    }
    *out = {nullptr, 0};
    return table;
}

// The entries of a table being filled in one pass over the image: the block starts at about the
// size the image's beginning promises and grows by half when the image holds more lines. A grown
// block from malloc is moved by remapping its pages, not by copying them, and the entries it never
// reaches take no memory.
class TableWriter {
  public:
    // Room for the lines that lineBytes bytes a line promise, and the terminator.
    TableWriter(uint64_t size, uint32_t lineBytes)
        : capacity_(static_cast<size_t>(std::min<uint64_t>(size / std::max(lineBytes, 1u) + 64,
                                                           uint64_t{kLargestTableLines} + 1))),
          table_(allocateTable(capacity_)) {
        // An image that begins with far shorter lines than the rest can promise more entries
        // than the system grants at once: then the table starts small and grows.
        if (!table_) {
            capacity_ = std::min<size_t>(capacity_, kSmallStart);
            table_ = allocateTable(capacity_);
        }
    }
    ~TableWriter() { std::free(table_); }
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    bool failed() const { return table_ == nullptr; }
    // The slot of the next line, or null when no memory is left.
    LineRef* next() {
        if (count_ + 1 >= capacity_ && !grow()) return nullptr;
        if (count_ >= committed_) commitAhead();
        return table_ + count_;
    }
    // Keeps the slot next() gave out; false when the table already holds as many entries as a
    // table can.
    [[nodiscard]] bool keep() {
        if (count_ >= kLargestTableLines) return false;
        ++count_;
        return true;
    }
    // The table ended by its terminator, handed over.
    LineRef* finish() {
        if (!next()) return nullptr;
        table_[count_] = {nullptr, 0};
        return std::exchange(table_, nullptr);
    }

  private:
    static constexpr size_t kSmallStart = size_t{1} << 16;

    // By half, or by a sixteenth when half is more than the system grants.
    bool grow() {
        for (size_t step : {capacity_ / 2, capacity_ / 16}) {
            size_t grown = capacity_ + step + 64;
            if (grown > SIZE_MAX / sizeof(LineRef)) continue;
            void* bigger = std::realloc(table_, grown * sizeof(LineRef));
            if (!bigger) continue;
            table_ = static_cast<LineRef*>(bigger);
            capacity_ = grown;
            return true;
        }
        return false;
    }

    // The next megabyte of entries gets its memory in one call rather than a page fault a page.
    void commitAhead() {
        constexpr size_t kEntries = (size_t{1} << 20) / sizeof(LineRef);
        const size_t to = std::min(capacity_, count_ + kEntries);
        commitPages(table_ + count_, (to - count_) * sizeof(LineRef));
        committed_ = to;
    }

    size_t capacity_;
    size_t count_ = 0;
    size_t committed_ = 0;
    LineRef* table_;
};

// Bytes a line of the image's first 64 KiB takes on average (a line cut short there counts as
// it is): the table is sized for the whole image at that rate. At least one byte a line.
uint32_t sampleLineBytes(const uint8_t* image, uint64_t size, int32_t mode) {
    const auto sample = static_cast<uint32_t>(std::min<uint64_t>(size, 64 * 1024));
    const uint32_t lines = countTextLines(image, sample, mode);
    return lines == 0 ? 1u : std::max(1u, sample / lines);
}

// One pass over the image (text of the given mode) fills the table; cutter cuts the whole image
// into lines, from its beginning.
template <typename Cutter, typename AllWhite>
LineRef* buildTextLines(const uint8_t* image, uint64_t size, int32_t mode, Cutter cutter,
                        AllWhite allWhite, bool suppress, const EngineRules& rules) {
    const uint32_t unitBytes = mode == kMode16Bit ? 2 : 1;
    // A sample that overstates the line length a little costs a growth; one that understates it
    // leaves entries unused, which cost nothing.
    TableWriter writer(size, sampleLineBytes(image, size, mode));
    if (writer.failed()) return nullptr;
    for (uint64_t offset = 0, lines = 0; offset < size; ++lines) {
        if ((lines & kStopLookMask) == 0 && buildStopped(rules)) return nullptr;
        const LineCut line = cutter.cut(offset);
        if (line.length > UINT32_MAX) return nullptr; // longer than an entry can say
        const auto length = static_cast<uint32_t>(line.length);
        LineRef* out = writer.next();
        if (!out) return nullptr;
        // A suppressed line leaves its slot open for the next one. A kept line is hashed now,
        // while its bytes are at hand, for the search that classifies lines later.
        if (!(suppress && allWhite(image + offset, length))) {
            *out = {image + offset, length,
                    hashLineBytes(image + offset, size_t{length} * unitBytes)};
            if (!writer.keep()) return nullptr;
        }
        offset += line.length * unitBytes + line.endBytes;
    }
    return writer.finish();
}

} // namespace

uint32_t countTextLines(const uint8_t* image, uint64_t sizeInBytes, int32_t mode) {
    if (!image) return 0;
    uint64_t lines = 0;
    if (kWideBuild && mode == kMode16Bit) {
        Cutter16 cutter(image, sizeInBytes);
        for (uint64_t offset = 0; offset < sizeInBytes; ++lines) {
            LineCut line = cutter.cut(offset);
            offset += line.length * 2 + line.endBytes;
        }
    } else {
        lines = countLines8(image, sizeInBytes);
    }
    return static_cast<uint32_t>(std::min<uint64_t>(lines, UINT32_MAX));
}

OwnedLineTable buildLineTable(const uint8_t* image, uint64_t sizeInBytes, int32_t mode,
                              const EngineRules& rules) {
    if (!image) sizeInBytes = 0; // nothing can be read through a null image
    bool suppress = rules.suppressEmptyLines && !rules.hexMode;
    if (mode <= 0) {
        // A row width of 0 cannot cut anything: one byte per row is the narrowest real row, and
        // it keeps every byte on screen instead of looping or dividing by zero.
        uint32_t width = mode == 0 ? 1u : static_cast<uint32_t>(-static_cast<int64_t>(mode));
        return OwnedLineTable(buildHexRows(image, sizeInBytes, width, suppress, rules));
    }
    if (kWideBuild && mode == kMode16Bit) {
        return OwnedLineTable(buildTextLines(image, sizeInBytes, kMode16Bit,
                                             Cutter16(image, sizeInBytes), allWhite16, suppress,
                                             rules));
    }
    return OwnedLineTable(buildTextLines(image, sizeInBytes, kMode8Bit, Cutter8(image, sizeInBytes),
                                         allWhite8, suppress, rules));
}
