#pragma once
// A hash of a line's form under the comparison rules: lines that compare equal under the rules
// always hash alike (different lines rarely do, so equal hashes are confirmed by comparing).

#include "engine/lineCompare.h"

#include <cstddef>
#include <cstdint>

[[nodiscard]] uint64_t hashLine(const CompareRules& rules, const LineRef& line);

// The same hash without the processor's vector shuffles; the two always agree.
[[nodiscard]] uint64_t hashLinePortable(const CompareRules& rules, const LineRef& line);

// The hash a line table keeps for each text line, made while the line is cut: of its bytes (two a
// unit in 16-bit text), the low half of hashLine's when neither case nor white space is ignored.
[[nodiscard]] uint32_t hashLineBytes(const uint8_t* text, size_t bytes);
