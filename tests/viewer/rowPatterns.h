#pragma once
// Lists of rows written as patterns for the tests of the position and the screen rows.

#include "engine/diffList.h"

#include <string>
#include <vector>

// One row a character: '=' a row of equal lines, anything else a row that differs; no text.
inline std::vector<DiffRow> rowsOf(const std::string& pattern) {
    std::vector<DiffRow> rows;
    for (char c : pattern) rows.push_back(DiffRow{nullptr, 0, 1, nullptr, 0, 1, c == '=' ? 1 : 0});
    return rows;
}
