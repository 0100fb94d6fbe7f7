#include "viewer/comparison.h"

#include "console/settings.h"
#include "platform/parallel.h"

EngineRules currentEngineRules() {
    EngineRules rules;
    rules.wideText = kWideBuild && settings.encodingFlags != 0;
    rules.ignoreCase = settings.ignoreCase != 0;
    rules.compressWhiteSpace = settings.compressWhiteSpace != 0;
    rules.hexMode = settings.hexMode != 0;
    rules.suppressEmptyLines = settings.suppressEmptyLines != 0;
    rules.syncCount = settings.syncLines == 0 ? 4 : settings.syncLines;
    rules.window = settings.shortSyncScan ? 100 : 600;
    return rules;
}

namespace {

// The image each side's table is cut from, and how.
struct SideImages {
    const uint8_t* images[2];
    uint32_t sizes[2];
    int32_t modes[2];
};

SideImages sideImages(const ViewerFile& left, const ViewerFile& right, uint32_t hexRowBytes,
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
        uint32_t flags = kWideBuild ? settings.encodingFlags : 0;
        if (flags & 0x0F) sides.modes[0] = kMode16Bit;
        if (flags & 0xF0) sides.modes[1] = kMode16Bit;
    }
    return sides;
}

} // namespace

bool buildLineTables(Comparison& comparison, const ViewerFile& left, const ViewerFile& right,
                     uint32_t hexRowBytes, const EngineRules& rules) {
    // The list points into the old tables: it goes first.
    comparison.rows.reset();
    comparison.rowCount = 0;
    comparison.leftTable.reset();
    comparison.rightTable.reset();
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
    if (!comparison.leftTable || !comparison.rightTable) {
        comparison.leftTable.reset();
        comparison.rightTable.reset();
        return false;
    }
    return true;
}

bool buildRows(Comparison& comparison, const EngineRules& rules) {
    comparison.rows.reset();
    comparison.rowCount = 0;
    comparison.rows = buildDiffList(comparison.leftTable.get(), comparison.rightTable.get(), rules,
                                    comparison.rowCount);
    return comparison.rows != nullptr;
}
