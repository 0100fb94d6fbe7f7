#include "app/sameText.h"

#include "platform/build.h"
#include "viewer/viewerFile.h"

#include <cstring>

namespace {

// The line ends a file uses, as bits.
constexpr int kEndLf = 1;
constexpr int kEndCrLf = 2;
constexpr int kEndCr = 4;

const char16_t* endsName(int ends) {
    switch (ends) {
    case kEndLf:
        return u"LF";
    case kEndCrLf:
        return u"CR LF";
    case kEndCr:
        return u"CR";
    case 0:
        return u"none";
    default:
        return u"mixed";
    }
}

// A text image read unit by unit: bytes, or 16-bit units stored little-endian.
struct Units {
    const uint8_t* text;
    uint64_t count;
    bool wide;
    uint32_t at(uint64_t index) const {
        return wide ? static_cast<uint32_t>(text[2 * index] | text[2 * index + 1] << 8)
                    : text[index];
    }
};

// The line end at index (0 when there is none): 1 or 2 units long, its kind in kind.
int lineEndAt(const Units& units, uint64_t index, int& kind) {
    if (index >= units.count) return 0;
    const uint32_t unit = units.at(index);
    if (unit == '\n') {
        kind = kEndLf;
        return 1;
    }
    if (unit != '\r') return 0;
    if (index + 1 < units.count && units.at(index + 1) == '\n') {
        kind = kEndCrLf;
        return 2;
    }
    kind = kEndCr;
    return 1;
}

// Whether a text's last line has a line end: then a line end more on the other side is a line
// more there, not just the end of the same last line.
bool lastLineEnded(const Units& units) {
    if (units.count == 0) return true; // no last line to end
    const uint32_t last = units.at(units.count - 1);
    return last == '\n' || last == '\r';
}

// Whether a file begins with a mark of its encoding (UTF-8 signature, UTF-16 mark).
bool hasSignature(const FileImage& image) {
    const uint8_t* raw = image.raw.get();
    if (image.rawSize >= 3 && raw[0] == 0xEF && raw[1] == 0xBB && raw[2] == 0xBF) return true;
    return image.rawSize >= 2 && raw[0] == 0xFF && raw[1] == 0xFE;
}

} // namespace

std::u16string differenceNote(const FileImage& image1, const FileImage& image2) {
    const bool wide = kWideBuild && (image1.encoding | image2.encoding) != 0;
    const uint32_t unitBytes = wide ? 2 : 1;
    const Units one{image1.text, image1.textSize / unitBytes, wide};
    const Units two{image2.text, image2.textSize / unitBytes, wide};
    int ends[2] = {0, 0};
    bool endsDiffer = false;
    bool finalEnd = false; // one text ends in a line end the other lacks
    uint64_t a = 0;
    uint64_t b = 0;
    while (a < one.count || b < two.count) {
        int kindA = 0;
        int kindB = 0;
        const int endA = lineEndAt(one, a, kindA);
        const int endB = lineEndAt(two, b, kindB);
        if (endA != 0 && endB != 0) {
            ends[0] |= kindA;
            ends[1] |= kindB;
            endsDiffer = endsDiffer || kindA != kindB;
            a += static_cast<uint64_t>(endA);
            b += static_cast<uint64_t>(endB);
            continue;
        }
        // A line end on one side only is a difference of text, but where it ends that text and
        // the other's last line has none.
        if (endA != 0 && b == two.count && a + static_cast<uint64_t>(endA) == one.count &&
            !lastLineEnded(two)) {
            finalEnd = true;
            break;
        }
        if (endB != 0 && a == one.count && b + static_cast<uint64_t>(endB) == two.count &&
            !lastLineEnded(one)) {
            finalEnd = true;
            break;
        }
        if (endA != 0 || endB != 0 || a == one.count || b == two.count || one.at(a) != two.at(b))
            return {};
        ++a;
        ++b;
    }
    const bool encodingDiffers =
        image1.encoding != image2.encoding || hasSignature(image1) != hasSignature(image2);
    std::u16string note;
    if (endsDiffer) {
        note = std::u16string(u"The files differ only in their line ends (") + endsName(ends[0]) +
               u" / " + endsName(ends[1]) + u")";
        if (finalEnd) note += u" and the final line end";
    } else if (finalEnd) {
        note = u"The files differ only in the final line end";
    } else if (encodingDiffers) {
        return u"The files differ only in their encoding";
    } else {
        return {}; // the same text and encoding: the bytes are the same
    }
    if (encodingDiffers) note += u" and their encoding";
    return note;
}
