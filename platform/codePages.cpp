#include "platform/codePages.h"

#include <array>
#include <cstring>

namespace {

// Windows-1252, bytes 0x80-0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kAnsiHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Code page 437, bytes 0x80-0xFF.
constexpr std::array<char16_t, 128> kOemHigh = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, // F8
};

// Reverse maps from UTF-16 to a byte, -1 where there is none; built once on first use.
struct ReverseMaps {
    std::array<int16_t, 65536> ansi;
    std::array<int16_t, 65536> oem;
    ReverseMaps() {
        ansi.fill(-1);
        oem.fill(-1);
        for (int byte = 255; byte >= 0; --byte) {
            ansi[ansiToUnicode(static_cast<uint8_t>(byte))] = static_cast<int16_t>(byte);
            oem[oemToUnicode(static_cast<uint8_t>(byte))] = static_cast<int16_t>(byte);
        }
    }
};

const ReverseMaps& reverseMaps() {
    static const ReverseMaps maps;
    return maps;
}

bool isContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at bytes[0..count), or, when there is none, the
// negated length of its maximal ill-formed prefix (at least 1).
int utf8Sequence(const uint8_t* bytes, size_t count, char32_t& character) {
    uint8_t lead = bytes[0];
    if (lead < 0x80) {
        character = lead;
        return 1;
    }
    int length;
    uint8_t low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        character = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        character = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return -1;
    }
    for (int k = 1; k < length; ++k) {
        if (static_cast<size_t>(k) >= count) return -k;
        uint8_t byte = bytes[k];
        bool inRange = k == 1 ? (byte >= low && byte <= high) : isContinuation(byte);
        if (!inRange) return -k;
        character = (character << 6) | (byte & 0x3F);
    }
    return length;
}

// Bytes from at up to the first one of 0x80 or above (or count): ASCII runs, a word at a time.
size_t asciiRunEnd(const uint8_t* bytes, size_t count, size_t at) {
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    // Eight words a step, read straight into registers: long ASCII runs pass at memory speed.
    auto word = [bytes](size_t offset) {
        uint64_t value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    };
    while (at + 64 <= count) {
        uint64_t any = (word(at) | word(at + 8)) | (word(at + 16) | word(at + 24));
        any |= (word(at + 32) | word(at + 40)) | (word(at + 48) | word(at + 56));
        if ((any & kHighBits) != 0) break;
        at += 64;
    }
    while (at + 8 <= count && (word(at) & kHighBits) == 0) at += 8;
    while (at < count && bytes[at] < 0x80) ++at;
    return at;
}

// The most common sequence of Latin, Greek and Cyrillic text, taken without the general case.
bool isTwoByteSequence(const uint8_t* bytes, size_t count, size_t at) {
    return bytes[at] >= 0xC2 && bytes[at] <= 0xDF && at + 1 < count &&
           isContinuation(bytes[at + 1]);
}

template <typename Emit>
void decodeUtf8(const uint8_t* bytes, size_t count, Emit emit) {
    size_t i = 0;
    while (i < count) {
        char32_t character = 0;
        int length = utf8Sequence(bytes + i, count - i, character);
        if (length > 0) {
            emit(character, bytes + i, length);
            i += static_cast<size_t>(length);
        } else {
            emit(char32_t{0xFFFFFFFF}, bytes + i, -length); // ill-formed run
            i += static_cast<size_t>(-length);
        }
    }
}

} // namespace

char16_t ansiToUnicode(uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kAnsiHigh[byte - 0x80];
    return byte;
}

char16_t oemToUnicode(uint8_t byte) {
    if (byte >= 0x80) return kOemHigh[byte - 0x80];
    return byte;
}

int unicodeToAnsi(char16_t unit) {
    return reverseMaps().ansi[unit];
}

int unicodeToOem(char16_t unit) {
    return reverseMaps().oem[unit];
}

size_t utf8ToUtf16(const uint8_t* bytes, size_t count, char16_t* out) {
    size_t units = 0;
    auto put = [&](char16_t unit) {
        if (out) out[units] = unit;
        ++units;
    };
    for (size_t at = 0; at < count;) {
        size_t asciiEnd = asciiRunEnd(bytes, count, at);
        if (out) std::copy(bytes + at, bytes + asciiEnd, out + units);
        units += asciiEnd - at;
        at = asciiEnd;
        if (at == count) break;
        if (isTwoByteSequence(bytes, count, at)) {
            put(static_cast<char16_t>((bytes[at] & 0x1F) << 6 | (bytes[at + 1] & 0x3F)));
            at += 2;
            continue;
        }
        char32_t character = 0;
        int length = utf8Sequence(bytes + at, count - at, character);
        if (length < 0) {
            put(0xFFFD); // one for each maximal ill-formed run
            at += static_cast<size_t>(-length);
        } else if (character > 0xFFFF) {
            character -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (character >> 10)));
            put(static_cast<char16_t>(0xDC00 + (character & 0x3FF)));
            at += static_cast<size_t>(length);
        } else {
            put(static_cast<char16_t>(character));
            at += static_cast<size_t>(length);
        }
    }
    return units;
}

size_t utf8TextUnits(const uint8_t* bytes, size_t count) {
    size_t units = 0;
    bool beyondAscii = false;
    for (size_t at = 0; at < count;) {
        size_t asciiEnd = asciiRunEnd(bytes, count, at);
        units += asciiEnd - at;
        at = asciiEnd;
        if (at == count) break;
        if (isTwoByteSequence(bytes, count, at)) {
            beyondAscii = true;
            ++units;
            at += 2;
            continue;
        }
        char32_t character = 0;
        int length = utf8Sequence(bytes + at, count - at, character);
        if (length < 0) {
            // Only a start of a sequence that the end of the file cut short may stand here.
            uint8_t lead = bytes[at];
            bool cut = lead >= 0xC2 && lead <= 0xF4 && at + static_cast<size_t>(-length) == count;
            return cut && beyondAscii ? units + 1 : 0;
        }
        beyondAscii = true;
        units += character > 0xFFFF ? 2 : 1;
        at += static_cast<size_t>(length);
    }
    return beyondAscii ? units : 0;
}

void appendUtf8(std::string& out, char32_t character) {
    if (character < 0x80) {
        out += static_cast<char>(character);
    } else if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (character >> 18));
        out += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    }
}

std::u16string bytesToEscaped(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size());
    auto data = reinterpret_cast<const uint8_t*>(bytes.data());
    decodeUtf8(data, bytes.size(), [&](char32_t character, const uint8_t* start, int length) {
        if (character == 0xFFFFFFFF) {
            for (int k = 0; k < length; ++k) units += static_cast<char16_t>(0xDC00 + start[k]);
        } else if (character > 0xFFFF) {
            character -= 0x10000;
            units += static_cast<char16_t>(0xD800 + (character >> 10));
            units += static_cast<char16_t>(0xDC00 + (character & 0x3FF));
        } else {
            units += static_cast<char16_t>(character);
        }
    });
    return units;
}

std::string escapedToBytes(std::u16string_view units) {
    std::string bytes;
    bytes.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char16_t unit = units[i];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            char32_t character =
                0x10000 + ((char32_t{unit} - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            appendUtf8(bytes, character);
            ++i;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            bytes += static_cast<char>(unit - 0xDC00); // an escaped byte
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}
