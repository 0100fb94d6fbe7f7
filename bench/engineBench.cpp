// The stages of the comparison engine on generated inputs: cutting line tables, and building the
// aligned list for log-like files with scattered edits and for files with nothing in common,
// with and without the case and white space rules, and with and without the long-runs rule.

#include "engine/diffList.h"
#include "engine/histogram.h"
#include "engine/lineTable.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

// Log-like lines of about 90 bytes that share long prefixes.
std::string logLine(std::mt19937& engine, uint32_t index) {
    auto random = [&engine] { return static_cast<uint32_t>(engine()); };
    static const char* const kServices[] = {"gateway", "billing", "search", "auth", "storage"};
    static const char* const kLevels[] = {"INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"};
    char line[160];
    uint32_t seconds = index / 12;
    std::snprintf(line, sizeof line,
                  "2026-12-07T%02u:%02u:%02u.%06uZ %s[%u]: %s id=%08x /api/v1/items/%u status=%u "
                  "%ums\n",
                  seconds / 3600 % 24, seconds / 60 % 60, seconds % 60, random() % 1000000,
                  kServices[random() % 5], 1000 + random() % 9000, kLevels[random() % 5], random(),
                  random() % 100000, 200 + random() % 300, random() % 900);
    return line;
}

struct Pair {
    std::string left;
    std::string right;
};

// Two files of `lines` lines; the right one has `percent` % of the lines inserted, deleted or
// changed in short runs. With percent 100 the two files have no line in common.
Pair makePair(uint32_t lines, uint32_t percent) {
    std::mt19937 random(42);
    Pair pair;
    if (percent >= 100) {
        // A tag in front of every line keeps the two files apart.
        for (uint32_t i = 0; i < lines; ++i) pair.left.append("L").append(logLine(random, i));
        for (uint32_t i = 0; i < lines; ++i) pair.right.append("R").append(logLine(random, i));
        return pair;
    }
    for (uint32_t i = 0; i < lines; ++i) {
        std::string line = logLine(random, i);
        pair.left += line;
        if (random() % 300 >= 3 * percent) {
            pair.right += line;
            continue;
        }
        switch (random() % 3) {
        case 0:
            pair.right.append(logLine(random, i)).append(line);
            break; // inserted before
        case 1:
            break; // deleted
        default:
            pair.right += logLine(random, i); // changed
        }
    }
    return pair;
}

const uint8_t* bytes(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

void lineTable(benchmark::State& state) {
    Pair pair = makePair(static_cast<uint32_t>(state.range(0)), 1);
    const EngineRules rules;
    for (auto _ : state) {
        OwnedLineTable table = buildLineTable(bytes(pair.left), pair.left.size(), kMode8Bit, rules);
        benchmark::DoNotOptimize(table.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pair.left.size()));
}

// range(0): lines; range(1): percent of lines edited; range(2): 1 for -c -w.
// Times the aligned list of two texts under rules, their tables cut once beforehand; the rows of
// the list go to the counter "rows".
void timeDiffList(benchmark::State& state, const std::string& leftText,
                  const std::string& rightText, const EngineRules& rules, bool histogram = false) {
    OwnedLineTable left = buildLineTable(bytes(leftText), leftText.size(), kMode8Bit, rules);
    OwnedLineTable right = buildLineTable(bytes(rightText), rightText.size(), kMode8Bit, rules);
    uint32_t rows = 0;
    for (auto _ : state) {
        OwnedDiffList list = histogram ? buildHistogramList(left.get(), right.get(), rules, rows)
                                       : buildDiffList(left.get(), right.get(), rules, rows);
        benchmark::DoNotOptimize(list.get());
    }
    state.counters["rows"] = rows;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * rows));
}

void diffList(benchmark::State& state) {
    Pair pair =
        makePair(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)));
    EngineRules rules;
    rules.ignoreCase = state.range(2) != 0;
    rules.compressWhiteSpace = state.range(2) != 0;
    timeDiffList(state, pair.left, pair.right, rules);
}

// The histogram alignment of the same pairs as diffList.
void histogramList(benchmark::State& state) {
    Pair pair =
        makePair(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)));
    EngineRules rules;
    rules.ignoreCase = state.range(2) != 0;
    rules.compressWhiteSpace = state.range(2) != 0;
    timeDiffList(state, pair.left, pair.right, rules, true);
}

// One changed stretch: range(0) lines against as many others, each range(1) characters of words
// that the lines of both sides share, so that every pair of lines is weighed in full. The cases
// are at the bounds of the pairing by likeness: 512 lines against 512 at kAlikePairs, the others
// just below kAlikeWork.
void alikeStretch(benchmark::State& state) {
    std::mt19937 random(11);
    static const char* const kWords[] = {"alpha", "beta",  "gamma", "delta",
                                         "omega", "sigma", "kappa", "theta"};
    const auto length = static_cast<size_t>(state.range(1));
    const auto line = [&](const char* tag) {
        std::string text = tag;
        while (text.size() < length) text.append(" ").append(kWords[random() % 8]);
        return text.substr(0, length) + "\n";
    };
    std::string left = "begin\n";
    std::string right = "begin\n";
    for (int64_t i = 0; i < state.range(0); ++i) {
        left += line("old");
        right += line("new");
    }
    left += "end\n";
    right += "end\n";
    timeDiffList(state, left, right, EngineRules{}, true);
}

// Lines from a vocabulary of two, 5% of them changed: candidates abound, so the search must stop
// at the first perfect one rather than look at them all. range(1): 1 for the histogram alignment,
// where no line is rare enough to be an anchor and the exact alignment of halved stretches does
// the work.
void diffListRepetitive(benchmark::State& state) {
    std::mt19937 random(7);
    std::string left;
    std::string right;
    for (int64_t i = 0; i < state.range(0); ++i) {
        const char* line = random() % 2 ? "a\n" : "b\n";
        left += line;
        right += random() % 20 ? line : (random() % 2 ? "c\n" : "a\n");
    }
    timeDiffList(state, left, right, EngineRules{}, state.range(1) != 0);
}

// The same with and without the long-runs rule. range(0): lines; range(1): percent of lines
// edited (100: nothing in common, where every row looks beyond the window); range(2): long runs.
void diffListLongRuns(benchmark::State& state) {
    Pair pair =
        makePair(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)));
    EngineRules rules;
    rules.longRuns = state.range(2) != 0;
    timeDiffList(state, pair.left, pair.right, rules);
}

BENCHMARK(lineTable)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(diffList)
    ->ArgNames({"lines", "percent", "cw"})
    ->Args({100000, 1, 0})
    ->Args({100000, 1, 1})
    ->Args({200000, 1, 0}) // twice the lines: twice the time
    ->Args({20000, 100, 0})
    ->Args({20000, 100, 1})
    ->Args({40000, 100, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(histogramList)
    ->ArgNames({"lines", "percent", "cw"})
    ->Args({100000, 1, 0})
    ->Args({100000, 1, 1})
    ->Args({1000000, 1, 0})
    ->Args({20000, 100, 0})
    ->Args({100000, 100, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(alikeStretch)
    ->ArgNames({"lines", "length"})
    ->Args({512, 14})
    ->Args({270, 56})
    ->Args({100, 400})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(diffListRepetitive)
    ->ArgNames({"lines", "histogram"})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(diffListLongRuns)
    ->ArgNames({"lines", "percent", "longRuns"})
    ->Args({100000, 100, 0}) // --long-runs may take at most 1.5 times as long here
    ->Args({100000, 100, 1})
    ->Args({100000, 1, 0})
    ->Args({100000, 1, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
