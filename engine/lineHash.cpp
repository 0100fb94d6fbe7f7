#include "engine/lineHash.h"

#include "engine/unitText.h"
#include "platform/charClass.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

inline uint64_t mixWord(uint64_t hash, uint64_t word) {
    hash = (hash ^ word) * kMultiplier;
    return hash ^ (hash >> 29);
}

inline uint64_t finish(uint64_t hash) {
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    hash *= 0xC4CEB9FE1A85EC53ull;
    return hash ^ (hash >> 33);
}

inline uint64_t load64(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
}

inline uint64_t load32(const uint8_t* bytes) {
    uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

// The 128-bit product of two words folded to one: a multiplication spreads every bit of either
// word over the middle of the product, and the fold brings both halves together.
__extension__ using Product = unsigned __int128;
inline uint64_t foldProduct(uint64_t a, uint64_t b) {
    Product product = static_cast<Product>(a) * b;
    return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

constexpr uint64_t kKey0 = 0xA0761D6478BD642Full;
constexpr uint64_t kKey1 = 0xE7037ED1A0B428DBull;
constexpr uint64_t kKey2 = 0x8EBC6AF09C88C6E3ull;
constexpr uint64_t kKey3 = 0x589965CC75374CC3ull;

// Plain comparison: the bytes themselves, sixteen at a time, one folded product each, in two
// lanes of thirty-two bytes so that the multiplications overlap. The last sixteen bytes and the
// bytes of short lines are read with overlapping loads rather than one by one (the length is
// hashed too, so the overlap is harmless).
uint64_t hashBytes(const uint8_t* text, size_t size) {
    uint64_t hash = size * kMultiplier ^ kKey0;
    uint64_t first;
    uint64_t last;
    if (size <= 16) {
        if (size >= 8) {
            first = load64(text);
            last = load64(text + size - 8);
        } else if (size >= 4) {
            first = load32(text);
            last = load32(text + size - 4);
        } else {
            first = size == 0 ? 0
                              : uint64_t{text[0]} << 16 | uint64_t{text[size / 2]} << 8 |
                                    uint64_t{text[size - 1]};
            last = 0;
        }
    } else {
        const uint8_t* end = text + size;
        uint64_t other = hash ^ kKey3;
        for (; end - text > 32; text += 32) {
            hash = foldProduct(load64(text) ^ kKey1, load64(text + 8) ^ hash);
            other = foldProduct(load64(text + 16) ^ kKey2, load64(text + 24) ^ other);
        }
        if (end - text > 16) hash = foldProduct(load64(text) ^ kKey1, load64(text + 8) ^ hash);
        hash ^= other;
        first = load64(end - 16);
        last = load64(end - 8);
    }
    return foldProduct(kKey1 ^ size, foldProduct(first ^ kKey1, last ^ hash));
}

// What each byte of 8-bit text contributes to the hash: the low byte is its form, the high byte
// 1 when it is kept and 0 for white space that is compressed. Two liberties keep equal lines
// hashing alike while letting sixteen bytes be handled at once:
// - white space is dropped altogether rather than kept as one blank per run, so "a b" and "ab"
//   share a hash;
// - case is folded by setting bit 5 (bits 4 to 6 from 0x80 up), coarser than lowering: every
//   upper- and lower-case pair of both code pages differs only there, so it still maps both
//   alike, and a few other characters share a form with them.
inline uint8_t foldCase(uint8_t byte) {
    return byte | (byte & 0x80 ? 0x70 : 0x20);
}

struct ByteForms {
    std::array<uint16_t, 256> forms[2][2]; // [ignoreCase][compressWhite]
    ByteForms() {
        for (int ignoreCase = 0; ignoreCase < 2; ++ignoreCase) {
            for (int compress = 0; compress < 2; ++compress) {
                for (int byte = 0; byte < 256; ++byte) {
                    auto b = static_cast<uint8_t>(byte);
                    uint16_t form = ignoreCase ? foldCase(b) : b;
                    bool dropped = compress && isWhiteSpace8(b);
                    forms[ignoreCase][compress][byte] = dropped ? 0 : 0x100 | form;
                }
            }
        }
    }
};

const ByteForms& byteForms() {
    static const ByteForms forms;
    return forms;
}

// The kept bytes are gathered into pieces of a fixed number of bytes, so that where white space
// fell does not move the piece boundaries, and each piece is hashed as plain bytes.
class KeptBytes {
  public:
    static constexpr uint32_t kPiece = 256;

    uint8_t* end() { return kept_ + count_; }
    void added(uint32_t bytes) {
        count_ += bytes;
        if (count_ >= kPiece) {
            hash_ = mixWord(hash_, hashBytes(kept_, kPiece));
            std::memmove(kept_, kept_ + kPiece, count_ - kPiece);
            count_ -= kPiece;
        }
    }
    uint64_t result() { return finish(mixWord(hash_, hashBytes(kept_, count_))); }

  private:
    uint8_t kept_[kPiece + 16];
    uint32_t count_ = 0;
    uint64_t hash_ = 0x243F6A8885A308D3ull;
};

// One byte at a time without a branch: up to eight bytes are added between piece checks.
void gatherBytes(KeptBytes& kept, const uint8_t* text, uint32_t length,
                 const std::array<uint16_t, 256>& form) {
    uint32_t i = 0;
    while (i < length) {
        uint8_t* out = kept.end();
        uint32_t count = 0;
        for (uint32_t end = std::min(length, i + 8); i < end; ++i) {
            uint16_t value = form[text[i]];
            out[count] = static_cast<uint8_t>(value);
            count += value >> 8;
        }
        kept.added(count);
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Shuffle patterns that move the kept bytes of eight to the front, by keep mask.
struct Compaction {
    uint64_t pattern[256];
    uint8_t count[256];
    Compaction() {
        for (int mask = 0; mask < 256; ++mask) {
            uint64_t value = 0x8080808080808080ull; // unused lanes become 0
            int kept = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (!(mask >> bit & 1)) continue;
                value &= ~(0xFFull << (8 * kept));
                value |= uint64_t(bit) << (8 * kept);
                ++kept;
            }
            pattern[mask] = value;
            count[mask] = static_cast<uint8_t>(kept);
        }
    }
};

const Compaction& compaction() {
    static const Compaction table;
    return table;
}

// Sixteen bytes at a time: fold, find white space, and move the kept bytes together with a
// shuffle. The bytes past the last whole block go through the same forms one by one.
__attribute__((target("ssse3"))) void gatherBlocks(KeptBytes& kept, const uint8_t* text,
                                                   uint32_t length, bool ignoreCase,
                                                   bool compressWhite,
                                                   const std::array<uint16_t, 256>& form) {
    const Compaction& table = compaction();
    const __m128i fold = _mm_set1_epi8(0x20);
    const __m128i foldHigh = _mm_set1_epi8(0x50);
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i four = _mm_set1_epi8(4);
    const __m128i blank = _mm_set1_epi8(' ');
    uint32_t i = 0;
    for (; i + 16 <= length; i += 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        uint32_t keep = 0xFFFF;
        if (compressWhite) {
            __m128i fromTab = _mm_sub_epi8(block, nine); // tab to carriage return: 0 to 4
            __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(fromTab, four), fromTab);
            __m128i white = _mm_or_si128(control, _mm_cmpeq_epi8(block, blank));
            keep = ~static_cast<uint32_t>(_mm_movemask_epi8(white)) & 0xFFFF;
        }
        if (ignoreCase) {
            __m128i high = _mm_cmplt_epi8(block, _mm_setzero_si128());
            block = _mm_or_si128(block, _mm_or_si128(fold, _mm_and_si128(high, foldHigh)));
        }
        for (int half = 0; half < 2; ++half) {
            uint32_t mask = keep >> (8 * half) & 0xFF;
            __m128i bytes = half ? _mm_srli_si128(block, 8) : block;
            __m128i moved = _mm_shuffle_epi8(
                bytes, _mm_cvtsi64_si128(static_cast<long long>(table.pattern[mask])));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(kept.end()), moved);
            kept.added(table.count[mask]);
        }
    }
    gatherBytes(kept, text + i, length - i, form);
}

bool hasShuffle() {
    static const bool supported = __builtin_cpu_supports("ssse3");
    return supported;
}
#endif

// 8-bit lines under case or white space rules.
uint64_t hashByteForm(const uint8_t* text, uint32_t length, bool ignoreCase, bool compressWhite,
                      bool shuffles = true) {
    const auto& form = byteForms().forms[ignoreCase][compressWhite];
    KeptBytes kept;
#if defined(__x86_64__) && defined(__GNUC__)
    if (shuffles && hasShuffle()) {
        gatherBlocks(kept, text, length, ignoreCase, compressWhite, form);
        return kept.result();
    }
#endif
    gatherBytes(kept, text, length, form);
    return kept.result();
}

#if QVD_WIDE
// 16-bit lines under case or white space rules: the kept units, lowered as the comparison
// lowers them, two bytes each. ASCII, the bulk of most texts, comes from a table.
struct AsciiUnitForms {
    std::array<uint32_t, 128> forms[2][2]; // [ignoreCase][compressWhite]: form, 0x10000 if kept
    AsciiUnitForms() {
        for (int ignoreCase = 0; ignoreCase < 2; ++ignoreCase)
            for (int compress = 0; compress < 2; ++compress)
                for (char16_t unit = 0; unit < 128; ++unit)
                    forms[ignoreCase][compress][unit] =
                        compress && isWhiteSpace16(unit)
                            ? 0
                            : 0x10000 | (ignoreCase ? lowerUnit(unit) : unit);
    }
};

uint64_t hashUnitForm(const uint8_t* text, uint32_t length, bool ignoreCase, bool compressWhite) {
    static const AsciiUnitForms ascii;
    const auto& forms = ascii.forms[ignoreCase][compressWhite];
    KeptBytes kept;
    for (uint32_t i = 0; i < length; ++i) {
        char16_t unit = loadUnit(text, i);
        uint32_t value;
        if (unit < 128)
            value = forms[unit];
        else if (compressWhite && isWhiteSpace16(unit))
            value = 0;
        else
            value = 0x10000 | (ignoreCase ? lowerUnit(unit) : unit);
        uint8_t* out = kept.end();
        out[0] = static_cast<uint8_t>(value);
        out[1] = static_cast<uint8_t>(value >> 8);
        kept.added(2 * (value >> 16));
    }
    return kept.result();
}
#endif

} // namespace

uint64_t hashLine(const CompareRules& rules, const LineRef& line) {
    const uint8_t* text = line.text;
#if QVD_WIDE
    if (rules.wideText) {
        if (!rules.ignoreCase && !rules.compressWhite)
            return hashBytes(text, 2 * size_t{line.length});
        return hashUnitForm(text, line.length, rules.ignoreCase, rules.compressWhite);
    }
#endif
    if (!rules.ignoreCase && !rules.compressWhite) return hashBytes(text, line.length);
    return hashByteForm(text, line.length, rules.ignoreCase, rules.compressWhite);
}

uint64_t hashLinePortable(const CompareRules& rules, const LineRef& line) {
    if (rules.wideText || (!rules.ignoreCase && !rules.compressWhite)) return hashLine(rules, line);
    return hashByteForm(line.text, line.length, rules.ignoreCase, rules.compressWhite, false);
}

uint32_t hashLineBytes(const uint8_t* text, size_t bytes) {
    return static_cast<uint32_t>(hashBytes(text, bytes));
}
