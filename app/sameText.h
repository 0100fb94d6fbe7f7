#pragma once
// Files that are not identical but hold the same text: the view shows every row equal, so it says
// what differs instead.

#include "app/fileImage.h"

#include <string>

// The sentence that says how two decoded images of the same text differ: in their line ends
// ("The files differ only in their line ends (CR LF / LF)"), in the final line end alone, in
// their encoding, or in line ends and encoding both. Empty when their texts differ in anything
// else (or the images are identical). Stops at the first character that differs.
[[nodiscard]] std::u16string differenceNote(const FileImage& image1, const FileImage& image2);
