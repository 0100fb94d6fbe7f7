#include "platform/pathText.h"

#include "platform/codePages.h"

TString argumentToText(std::string_view bytes) {
#if QVD_WIDE
    return bytesToEscaped(bytes);
#else
    return TString(bytes);
#endif
}

std::string pathToBytes(TStringView path) {
#if QVD_WIDE
    return escapedToBytes(path);
#else
    return std::string(path);
#endif
}

size_t pathByteLength(TStringView path) {
#if QVD_WIDE
    // Every unit gives at least one byte, so a path that is too long in units is too long in
    // bytes as well; the conversion is only needed for paths that might fit.
    if (path.size() >= kPathCapacity) return path.size();
    return escapedToBytes(path).size();
#else
    return path.size();
#endif
}

size_t textLength(const TChar* text) {
    return TStringView(text).size();
}
