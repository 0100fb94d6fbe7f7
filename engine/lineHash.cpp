#include "engine/lineHash.h"

#include "engine/unitText.h"
#include "platform/charClass.h"

#include <array>
#include <cstring>

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

// Plain comparison: the bytes themselves, eight at a time, in two lanes so that the
// multiplications overlap.
uint64_t hashBytes(const uint8_t* text, size_t size) {
    uint64_t hash = size * kMultiplier;
    uint64_t other = 0x13198A2E03707344ull;
    while (size >= 16) {
        uint64_t words[2];
        std::memcpy(words, text, 16);
        hash = mixWord(hash, words[0]);
        other = mixWord(other, words[1]);
        text += 16;
        size -= 16;
    }
    hash ^= other * 0xC2B2AE3D27D4EB4Full;
    while (size >= 8) {
        uint64_t word;
        std::memcpy(&word, text, 8);
        hash = mixWord(hash, word);
        text += 8;
        size -= 8;
    }
    if (size > 0) {
        uint64_t word = 0;
        std::memcpy(&word, text, size);
        hash = mixWord(hash, word);
    }
    return finish(hash);
}

// The line's canonical form, as a stream of 16-bit symbols packed four to a word: characters
// lowered when case is ignored, every run of white space one blank when white space is
// compressed, white space at the end left out. Lowering never turns a character into white
// space or back, so the form is exactly what the comparison sees.
class SymbolHasher {
  public:
    void add(char16_t symbol) {
        word_ = word_ << 16 | symbol;
        if (++pending_ == 4) {
            hash_ = mixWord(hash_, word_);
            pending_ = 0;
            word_ = 0;
        }
        ++count_;
    }
    uint64_t result() {
        if (pending_ > 0) hash_ = mixWord(hash_, word_);
        return finish(mixWord(hash_, count_));
    }

  private:
    uint64_t hash_ = 0x243F6A8885A308D3ull;
    uint64_t word_ = 0;
    uint64_t count_ = 0;
    int pending_ = 0;
};

// What each byte of 8-bit text contributes to the hash: the low byte is its form (lowered when
// case is ignored), the high byte 1 when it is kept and 0 for white space that is compressed.
// Dropping white space altogether, rather than keeping one blank per run, still gives lines
// that compare equal the same hash; the only cost is that "a b" and "ab" share one.
struct ByteForms {
    std::array<uint16_t, 256> forms[2][2]; // [ignoreCase][compressWhite]
    ByteForms() {
        for (int ignoreCase = 0; ignoreCase < 2; ++ignoreCase) {
            for (int compress = 0; compress < 2; ++compress) {
                for (int byte = 0; byte < 256; ++byte) {
                    auto b = static_cast<uint8_t>(byte);
                    uint16_t lower = kWideBuild ? lowerUnit(b) : lowerAnsiByte(b);
                    // Lowering keeps bytes bytes; should it not, the low byte still stands for
                    // the character, which only makes equal hashes more frequent.
                    uint16_t form = (ignoreCase ? lower : b) & 0xFF;
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

// 8-bit lines under case or white space rules: the forms of the kept bytes are gathered without
// a branch per byte and hashed in pieces of a fixed number of kept bytes, so that where white
// space fell does not move the piece boundaries.
uint64_t hashByteForm(const uint8_t* text, uint32_t length, const std::array<uint16_t, 256>& form) {
    constexpr uint32_t kPiece = 256;
    uint8_t kept[kPiece + 8];
    uint64_t hash = 0x243F6A8885A308D3ull;
    uint32_t count = 0;
    auto flush = [&] {
        // Always a whole piece, whatever the number of bytes gathered past it.
        hash = mixWord(hash, hashBytes(kept, kPiece));
        std::memmove(kept, kept + kPiece, count - kPiece);
        count -= kPiece;
    };
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        for (uint32_t k = 0; k < 8; ++k) {
            uint16_t value = form[text[i + k]];
            kept[count] = static_cast<uint8_t>(value);
            count += value >> 8;
        }
        if (count >= kPiece) flush();
    }
    for (; i < length; ++i) {
        uint16_t value = form[text[i]];
        kept[count] = static_cast<uint8_t>(value);
        count += value >> 8;
    }
    if (count >= kPiece) flush();
    return finish(mixWord(hash, hashBytes(kept, count)));
}

template <typename Load, typename White, typename Lower>
uint64_t hashForm(uint32_t length, bool ignoreCase, bool compressWhite, Load load, White white,
                  Lower lower) {
    SymbolHasher hasher;
    bool inRun = false;
    for (uint32_t i = 0; i < length; ++i) {
        char16_t c = load(i);
        if (compressWhite && white(c)) {
            inRun = true;
            continue;
        }
        if (inRun) {
            hasher.add(u' ');
            inRun = false;
        }
        hasher.add(ignoreCase ? lower(c) : c);
    }
    return hasher.result();
}

} // namespace

uint64_t hashLine(const CompareRules& rules, const LineRef& line) {
    const uint8_t* text = line.text;
#if QVD_WIDE
    if (rules.wideText) {
        if (!rules.ignoreCase && !rules.compressWhite)
            return hashBytes(text, 2 * size_t{line.length});
        return hashForm(
            line.length, rules.ignoreCase, rules.compressWhite,
            [text](uint32_t i) { return loadUnit(text, i); }, isWhiteSpace16, lowerUnit);
    }
#endif
    if (!rules.ignoreCase && !rules.compressWhite) return hashBytes(text, line.length);
    return hashByteForm(text, line.length,
                        byteForms().forms[rules.ignoreCase][rules.compressWhite]);
}
