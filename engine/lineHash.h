#pragma once
// A hash of a line's form under the comparison rules: lines that compare equal under the rules
// always hash alike (different lines rarely do, so equal hashes are confirmed by comparing).

#include "engine/lineCompare.h"

#include <cstdint>

[[nodiscard]] uint64_t hashLine(const CompareRules& rules, const LineRef& line);

// The same hash without the processor's vector shuffles; the two always agree.
[[nodiscard]] uint64_t hashLinePortable(const CompareRules& rules, const LineRef& line);
