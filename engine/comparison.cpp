#include "engine/comparison.h"

#include "engine/histogram.h"
#include "platform/parallel.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// The image each side's table is cut from, and how.
struct SideImages {
    const uint8_t* images[2];
    uint64_t sizes[2];
    int32_t modes[2];
};

SideImages sideImages(const ComparedFile& left, const ComparedFile& right, uint32_t hexRowBytes,
                      const EngineRules& rules) {
    SideImages sides{
        {left.text, right.text}, {left.textSize, right.textSize}, {kMode8Bit, kMode8Bit}};
    if (rules.hexMode) {
        sides.images[0] = left.raw;
        sides.images[1] = right.raw;
        sides.sizes[0] = left.rawSize;
        sides.sizes[1] = right.rawSize;
        sides.modes[0] = sides.modes[1] = -static_cast<int32_t>(hexRowBytes);
    } else {
        if (left.wideText) sides.modes[0] = kMode16Bit;
        if (right.wideText) sides.modes[1] = kMode16Bit;
    }
    return sides;
}

// The line number in the file of each entry of a table cut from image with suppression: each
// entry's line comes after as many line ends as lie between the previous entry's text and its
// own (the previous line's end, and those of the lines suppressed between them). Null when
// memory runs out.
HeapBlock<uint32_t> fileLineNumbers(const LineRef* table, const uint8_t* image, int32_t mode) {
    const uint32_t count = countTableLines(table);
    HeapBlock<uint32_t> numbers(static_cast<uint32_t*>(malloc((size_t{count} + 1) * 4)));
    if (!numbers) return numbers;
    const uint32_t unitBytes = mode == kMode16Bit ? 2 : 1;
    const uint8_t* from = image;
    uint32_t number = 1; // the line `from` lies in
    for (uint32_t entry = 0; entry < count; ++entry) {
        const LineRef& line = table[entry];
        // A kept line holds more than white space, so it starts after a whole line end: the gap
        // before it ends with one, and every line end of the gap is counted as the cutter cuts.
        number += countTextLines(from, static_cast<uint64_t>(line.text - from), mode);
        numbers[entry] = number;
        from = line.text + size_t{line.length} * unitBytes;
    }
    return numbers;
}

// Tables cut with suppression get the files' line numbers beside them; false when memory ran
// out for them.
bool numberFileLines(Comparison& comparison, const SideImages& sides, const EngineRules& rules) {
    comparison.leftLines.reset();
    comparison.rightLines.reset();
    if (!rules.suppressEmptyLines || rules.hexMode) return true;
    runTogether(
        [&] {
            comparison.leftLines =
                fileLineNumbers(comparison.leftTable.get(), sides.images[0], sides.modes[0]);
        },
        [&] {
            comparison.rightLines =
                fileLineNumbers(comparison.rightTable.get(), sides.images[1], sides.modes[1]);
        });
    return comparison.leftLines && comparison.rightLines;
}

} // namespace

bool buildLineTables(Comparison& comparison, const ComparedFile& left, const ComparedFile& right,
                     uint32_t hexRowBytes, const EngineRules& rules) {
    // The list points into the old tables: it goes first.
    comparison.rows.reset();
    comparison.rowCount = 0;
    comparison.leftTable.reset();
    comparison.rightTable.reset();
    comparison.leftLines.reset();
    comparison.rightLines.reset();
    const SideImages sides = sideImages(left, right, hexRowBytes, rules);
    // The two tables are cut at the same time; neither depends on the other.
    runTogether(
        [&] {
            comparison.leftTable =
                buildLineTable(sides.images[0], sides.sizes[0], sides.modes[0], rules);
        },
        [&] {
            comparison.rightTable =
                buildLineTable(sides.images[1], sides.sizes[1], sides.modes[1], rules);
        });
    if (!comparison.leftTable || !comparison.rightTable ||
        !numberFileLines(comparison, sides, rules)) {
        comparison.leftTable.reset();
        comparison.rightTable.reset();
        return false;
    }
    return true;
}

uint32_t longerTextLineCount(const ComparedFile& left, const ComparedFile& right) {
    EngineRules textRules;
    const SideImages sides = sideImages(left, right, 0, textRules);
    uint32_t counts[2] = {0, 0};
    runTogether(
        [&] { counts[0] = countTextLines(sides.images[0], sides.sizes[0], sides.modes[0]); },
        [&] { counts[1] = countTextLines(sides.images[1], sides.sizes[1], sides.modes[1]); });
    return std::max(counts[0], counts[1]);
}

bool buildFirstRows(FirstRows& first, const ComparedFile& left, const ComparedFile& right,
                    uint32_t hexRowBytes, const EngineRules& rules, uint32_t rowsWanted) {
    first = FirstRows{};
    // Long runs look beyond the search window, and the rare lines of the histogram alignment are
    // rare in the whole files: no beginning of the files settles a row then.
    if (rules.longRuns || (rules.histogram && !rules.hexMode)) return false;
    if (rules.syncCount < 1 || rules.window < 1) return false;
    // Every step of the aligner at lines m and l reads lines before m + reach and l + reach only
    // (the look-ahead of the search and the pairs it scores): while both stay inside the
    // beginnings, it takes the steps it takes on the whole tables. One row a step uses at most
    // one line of each side, so beginnings of rowsWanted + reach lines give rowsWanted rows.
    const uint64_t reach =
        uint64_t{static_cast<uint32_t>(rules.window)} + static_cast<uint32_t>(rules.syncCount) + 1;
    const uint64_t linesWanted = rowsWanted + reach;
    const SideImages sides = sideImages(left, right, hexRowBytes, rules);
    OwnedLineTable tables[2];
    uint32_t counts[2] = {0, 0};
    bool whole[2] = {false, false};
    for (int side = 0; side < 2; ++side) {
        const uint8_t* image = sides.images[side];
        const uint64_t size = image ? sides.sizes[side] : 0;
        // From about a hundred characters a line, four times more each time the lines are
        // longer. The last line of a beginning may be cut short: it lies past the reach of
        // every settled row.
        const uint64_t unitBytes = sides.modes[side] == kMode16Bit ? 2 : 1;
        for (uint64_t limit = linesWanted * 128 * unitBytes;; limit *= 4) {
            const uint64_t cut = std::min(limit, size);
            tables[side] = buildLineTable(image, cut, sides.modes[side], rules);
            if (!tables[side]) return false;
            counts[side] = countTableLines(tables[side].get());
            whole[side] = cut == size && !(side == 0 ? left.partial : right.partial);
            if (whole[side] || counts[side] >= linesWanted) break;
            // Lines so long that the beginning would be most of the file: the whole comparison
            // serves as well.
            if (limit * 4 >= size) return false;
        }
    }
    // Files that end within their beginnings are quickly compared whole.
    if (whole[0] && whole[1]) return false;
    uint32_t rowCount = 0;
    first.comparison.rows = buildDiffList(tables[0].get(), tables[1].get(), rules, rowCount);
    if (!first.comparison.rows) return false;
    first.comparison.rowCount = rowCount;
    first.comparison.leftTable = std::move(tables[0]);
    first.comparison.rightTable = std::move(tables[1]);
    if (!numberFileLines(first.comparison, sides, rules)) return false;
    // The rows up to the first step whose look-ahead passes the end of a beginning that is not a
    // whole table.
    uint64_t used[2] = {0, 0};
    uint32_t settled = 0;
    for (; settled < rowCount; ++settled) {
        bool beyond = false;
        for (int side = 0; side < 2; ++side)
            beyond = beyond || (!whole[side] && used[side] + reach > counts[side]);
        if (beyond) break;
        const DiffRow& row = first.comparison.rows[settled];
        used[0] += row.leftNumber != 0;
        used[1] += row.rightNumber != 0;
    }
    first.settledRows = settled;
    return settled >= rowsWanted;
}

bool buildRows(Comparison& comparison, const EngineRules& rules) {
    comparison.rows.reset();
    comparison.rowCount = 0;
    const auto build = rules.histogram ? buildHistogramList : buildDiffList;
    comparison.rows =
        build(comparison.leftTable.get(), comparison.rightTable.get(), rules, comparison.rowCount);
    return comparison.rows != nullptr;
}
