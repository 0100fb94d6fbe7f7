#include "viewer/comparison.h"

#include "console/settings.h"

EngineRules currentEngineRules() {
    EngineRules rules;
    rules.wideText = kWideBuild && settings.encodingFlags != 0;
    rules.ignoreCase = settings.ignoreCase != 0;
    rules.compressWhiteSpace = settings.compressWhiteSpace != 0;
    rules.hexMode = settings.hexMode != 0;
    rules.suppressEmptyLines = settings.suppressEmptyLines != 0;
    rules.syncCount = settings.syncLines == 0 ? 4 : settings.syncLines;
    rules.window = settings.shortSyncScan ? 100 : 600;
    rules.longRuns = settings.longRuns != 0;
    return rules;
}

bool buildLineTables(Comparison& comparison, const ViewerFile& left, const ViewerFile& right,
                     uint32_t hexRowBytes, const EngineRules& rules) {
    // The list points into the old tables: it goes first.
    comparison.rows.reset();
    comparison.rowCount = 0;
    comparison.leftTable.reset();
    comparison.rightTable.reset();
    if (rules.hexMode) {
        auto mode = -static_cast<int32_t>(hexRowBytes);
        comparison.leftTable = buildLineTable(left.raw, left.rawSize, mode, rules);
        if (comparison.leftTable)
            comparison.rightTable = buildLineTable(right.raw, right.rawSize, mode, rules);
    } else {
        uint32_t flags = kWideBuild ? settings.encodingFlags : 0;
        int32_t leftMode = (flags & 0x0F) ? kMode16Bit : kMode8Bit;
        int32_t rightMode = (flags & 0xF0) ? kMode16Bit : kMode8Bit;
        comparison.leftTable = buildLineTable(left.text, left.textSize, leftMode, rules);
        if (comparison.leftTable)
            comparison.rightTable = buildLineTable(right.text, right.textSize, rightMode, rules);
    }
    return comparison.leftTable && comparison.rightTable;
}

bool buildRows(Comparison& comparison, const EngineRules& rules) {
    comparison.rows.reset();
    comparison.rowCount = 0;
    comparison.rows = buildDiffList(comparison.leftTable.get(), comparison.rightTable.get(), rules,
                                    comparison.rowCount);
    return comparison.rows != nullptr;
}
