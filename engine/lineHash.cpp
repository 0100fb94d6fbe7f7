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

// Plain comparison: the bytes themselves, eight at a time.
uint64_t hashBytes(const uint8_t* text, size_t size) {
    uint64_t hash = size * kMultiplier;
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

struct ByteForms {
    std::array<char16_t, 256> lower; // the comparison's lower-case mapping of each byte
    ByteForms() {
        for (int byte = 0; byte < 256; ++byte)
            lower[byte] = kWideBuild ? lowerUnit(static_cast<char16_t>(byte))
                                     : lowerAnsiByte(static_cast<uint8_t>(byte));
    }
};

const ByteForms& byteForms() {
    static const ByteForms forms;
    return forms;
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
    const auto& lower = byteForms().lower;
    return hashForm(
        line.length, rules.ignoreCase, rules.compressWhite, [text](uint32_t i) { return text[i]; },
        [](char16_t c) { return isWhiteSpace8(static_cast<uint8_t>(c)); },
        [&lower](char16_t c) { return lower[c]; });
}
