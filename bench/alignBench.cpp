// alignBench: the histogram alignment of two files as a whole program, to time it against GNU
// diff on the same inputs (bench/measure) and to weigh its alignments (alignQuality.py).
//   alignBench [--window] [--rows] [--times] file1 file2
// Reads both files whole as 8-bit text, cuts their line tables (both as the program does, on two
// cores) and aligns them under plain rules
// with buildHistogramList (with --window, buildDiffList: the window search). Prints
//   rows <rowCount>
// and with --rows one line "<leftNumber> <rightNumber> <match>" a row, as rowdump does; with
// --times, the seconds of reading, cutting and aligning go to standard error (wall and this
// thread's processor time).
// Exit codes: 2 for bad arguments or unreadable files, 3 when a table or the list cannot be built.

#include "engine/diffList.h"
#include "engine/histogram.h"
#include "engine/lineTable.h"
#include "platform/files.h"
#include "platform/heapBlock.h"
#include "platform/parallel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

int main(int argc, char** argv) {
    bool window = false;
    bool rows = false;
    bool times = false;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--window") == 0)
            window = true;
        else if (std::strcmp(argv[first], "--rows") == 0)
            rows = true;
        else if (std::strcmp(argv[first], "--times") == 0)
            times = true;
        else
            break;
    }
    if (argc - first != 2) {
        std::fprintf(stderr, "usage: alignBench [--window] [--rows] [--times] file1 file2\n");
        return 2;
    }
    // Wall time, and the processor time of this thread (which a loaded machine changes less).
    const auto threadTime = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    };
    auto last = std::chrono::steady_clock::now();
    double lastThread = threadTime();
    const auto lap = [&](const char* stage) {
        const auto now = std::chrono::steady_clock::now();
        const double nowThread = threadTime();
        if (times)
            std::fprintf(stderr, "%s %.3f s (thread %.3f s)\n", stage,
                         std::chrono::duration<double>(now - last).count(), nowThread - lastThread);
        last = now;
        lastThread = nowThread;
    };
    HeapBlock<uint8_t> images[2];
    uint64_t sizes[2] = {0, 0};
    uint8_t* blocks[2] = {nullptr, nullptr};
    const PairLoad load =
        readTwoFiles(argv[first], argv[first + 1], blocks[0], sizes[0], blocks[1], sizes[1]);
    if (load != PairLoad::loaded) {
        std::fprintf(stderr, "alignBench: cannot read %s\n",
                     argv[load == PairLoad::file1Failed ? first : first + 1]);
        return 2;
    }
    images[0].reset(blocks[0]);
    images[1].reset(blocks[1]);
    lap("read");
    const EngineRules rules;
    OwnedLineTable tables[2];
    const auto cut = [&](int side) {
        tables[side] = buildLineTable(images[side].get(), sizes[side], kMode8Bit, rules);
    };
    runTogether([&] { cut(0); }, [&] { cut(1); });
    if (!tables[0] || !tables[1]) return 3;
    lap("cut");
    uint32_t rowCount = 0;
    OwnedDiffList list =
        window ? buildDiffList(tables[0].get(), tables[1].get(), rules, rowCount)
               : buildHistogramList(tables[0].get(), tables[1].get(), rules, rowCount);
    if (!list) return 3;
    lap("align");
    std::printf("rows %u\n", rowCount);
    if (rows) {
        for (uint32_t i = 0; i < rowCount; ++i)
            std::printf("%u %u %d\n", list[i].leftNumber, list[i].rightNumber, list[i].match);
    }
    return 0;
}
