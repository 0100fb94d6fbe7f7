// Decoding, line tables and the aligned list on any pair of files under any rules. Input layout:
// byte 0 the rule switches (bit 0 ignoreCase, 1 suppressEmptyLines, 2 compressWhiteSpace,
// 3 hexMode, 4 shortSyncScan, 6 the list in two halves from 2 lines a table on), byte 1
// syncLines (its value modulo 10) and the alignment (its tens modulo 3: the window, long runs,
// the histogram), byte 2 the hex row width, bytes 3-4 the size of file 1; the rest is file 1 then
// file 2.
//
// Checked: every line lies inside its image; the rows replay both tables in order; each row's
// match is the pair test's answer; and the rows are exactly those of the literal engine, the
// step-by-step reference the fast engine must match (the window's; the histogram's rows are held
// to the checks before it).

#include "app/fileImage.h"
#include "app/loading.h"
#include "engine/diffList.h"
#include "engine/histogram.h"
#include "engine/lineCompare.h"
#include "engine/lineTable.h"
#include "engine/literalEngine.h"
#include "viewer/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "engine fault: %s\n", what);
        abort();
    }
}

uint8_t* copyOf(const uint8_t* bytes, size_t count) {
    auto block = static_cast<uint8_t*>(malloc(count > 0 ? count : 1));
    if (count > 0) memcpy(block, bytes, count);
    return block;
}

// Entries in the image, in order, without overlap; returns the count.
uint32_t checkTable(const LineRef* table, const uint8_t* image, uint64_t size, uint32_t unit) {
    uint32_t count = 0;
    const uint8_t* previousEnd = image;
    for (; table[count].text; ++count) {
        const LineRef& line = table[count];
        check(line.text >= previousEnd, "lines overlap or run backwards");
        check(line.text + static_cast<uint64_t>(line.length) * unit <= image + size,
              "a line runs past its image");
        previousEnd = line.text + static_cast<uint64_t>(line.length) * unit;
    }
    check(table[count].length == 0, "the table's end entry has a length");
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    Settings settings;
    settings.ignoreCase = data[0] & 1;
    settings.suppressEmptyLines = data[0] >> 1 & 1;
    settings.compressWhiteSpace = data[0] >> 2 & 1;
    settings.hexMode = data[0] >> 3 & 1;
    settings.shortSyncScan = data[0] >> 4 & 1;
    settings.syncLines = data[1] % 10;
    settings.alignment = data[1] / 10 % 3; // the window, long runs, the histogram
    int32_t rowBytes = 1 + data[2] % 64;
    size_t rest = size - 5;
    size_t size1 = (data[3] | data[4] << 8) % (rest + 1);
    const uint8_t* file1 = data + 5;
    const uint8_t* file2 = file1 + size1;

    FileImage image1;
    FileImage image2;
    image1.raw.reset(copyOf(file1, size1));
    image1.rawSize = size1;
    image2.raw.reset(copyOf(file2, rest - size1));
    image2.rawSize = rest - size1;
    check(decodeTexts(image1, image2), "decoding failed on a small pair");
    const uint32_t flags = image1.encoding | image2.encoding << 4;
    check((flags & ~0x77u) == 0, "unknown encoding bits");
    check((flags & 0x0F) != 0 == ((flags & 0xF0) != 0), "only one file brought to UTF-16");
    check(kWideBuild || flags == 0, "the narrow build decoded");

    EngineRules rules = engineRules(settings, kWideBuild && flags != 0);
    if (data[0] >> 6 & 1) rules.splitFrom = 2;
    OwnedLineTable table1;
    OwnedLineTable table2;
    uint32_t unit1 = 1;
    uint32_t unit2 = 1;
    const uint8_t* base1 = image1.raw.get();
    const uint8_t* base2 = image2.raw.get();
    uint64_t bytes1 = image1.rawSize;
    uint64_t bytes2 = image2.rawSize;
    if (settings.hexMode) {
        table1 = buildLineTable(image1.raw.get(), image1.rawSize, -rowBytes, rules);
        table2 = buildLineTable(image2.raw.get(), image2.rawSize, -rowBytes, rules);
    } else {
        int32_t mode1 = flags & 0x0F ? kMode16Bit : kMode8Bit;
        int32_t mode2 = flags & 0xF0 ? kMode16Bit : kMode8Bit;
        unit1 = mode1 == kMode16Bit ? 2 : 1;
        unit2 = mode2 == kMode16Bit ? 2 : 1;
        check(image1.textSize % unit1 == 0 || unit1 == 1 || (flags & 0x01),
              "a converted text of odd size");
        table1 = buildLineTable(image1.text, image1.textSize, mode1, rules);
        table2 = buildLineTable(image2.text, image2.textSize, mode2, rules);
        base1 = image1.text;
        base2 = image2.text;
        bytes1 = image1.textSize;
        bytes2 = image2.textSize;
    }
    check(table1 && table2, "no line table for a small file");
    uint32_t count1 = checkTable(table1.get(), base1, bytes1, unit1);
    uint32_t count2 = checkTable(table2.get(), base2, bytes2, unit2);

    uint32_t rowCount = 0;
    OwnedDiffList rows = rules.histogram
                             ? buildHistogramList(table1.get(), table2.get(), rules, rowCount)
                             : buildDiffList(table1.get(), table2.get(), rules, rowCount);
    check(rows != nullptr, "no aligned list for small tables");
    check(rowCount >= count1 && rowCount >= count2 && rowCount <= count1 + count2,
          "row count outside what the tables allow");
    const DiffRow& end = rows[rowCount];
    check(!end.leftText && !end.rightText && end.leftNumber == 0 && end.rightNumber == 0 &&
              end.leftLength == 0 && end.rightLength == 0 && end.match == 0,
          "the list's end row is not all zero");
    uint32_t left = 0;
    uint32_t right = 0;
    for (uint32_t index = 0; index < rowCount; ++index) {
        const DiffRow& row = rows[index];
        check(row.leftNumber != 0 || row.rightNumber != 0, "a row with neither line");
        if (row.leftNumber != 0) {
            check(row.leftNumber == ++left, "left lines out of order");
            check(row.leftText == table1[left - 1].text &&
                      row.leftLength == table1[left - 1].length,
                  "left line not the table's");
        } else {
            check(row.leftText == emptyText && row.leftLength == 0, "missing left side not empty");
        }
        if (row.rightNumber != 0) {
            check(row.rightNumber == ++right, "right lines out of order");
            check(row.rightText == table2[right - 1].text &&
                      row.rightLength == table2[right - 1].length,
                  "right line not the table's");
        } else {
            check(row.rightText == emptyText && row.rightLength == 0,
                  "missing right side not empty");
        }
        int32_t expected = row.leftNumber && row.rightNumber
                               ? linesEqual(rules, table1[left - 1], table2[right - 1])
                               : 0;
        check(row.match == expected, "a row's match is not the pair test's");
    }
    check(left == count1 && right == count2, "the rows do not replay both files");

    // The histogram's rows are held to the checks above; its literal reference is the engine
    // tests' (a full table of common subsequences, too slow for a fuzzer's large inputs).
    if (rules.histogram && !rules.hexMode) return 0;
    std::vector<DiffRow> reference = literal::buildDiffList(rules, table1.get(), table2.get());
    check(reference.size() == rowCount, "row count differs from the literal engine");
    for (uint32_t index = 0; index < rowCount; ++index) {
        check(reference[index].leftNumber == rows[index].leftNumber &&
                  reference[index].rightNumber == rows[index].rightNumber &&
                  reference[index].match == rows[index].match,
              "a row differs from the literal engine");
    }

    return 0;
}
