// Runs the view as the program does, on the in-memory terminal, for the speed comparisons of
// viewer.sh: load and decode two files, then the view with a key script ending in q, the whole
// comparison built.
//   viewerBench WIDTH HEIGHT KEYS LEFT RIGHT [changed | keytimes]
// KEYS are characters as typed; 'v' stands for Down (a one-row scroll), '^' for Up. Prints on
// standard error the CPU time the view took (all its threads) and its wall time, in milliseconds;
// with "changed", also how many screen cells the last key changed (the view is run a second time
// without it to tell). With "keytimes" the view is driven key by key once its whole comparison is
// built, and each key's answer (acting on it and drawing the screen it leaves) is timed: for each
// key, how often it came and its mean and longest answer in milliseconds.

#include "app/loading.h"
#include "console/keyReader.h"
#include "platform/memoryTerminal.h"
#include "platform/terminal.h"
#include "viewer/viewerLoop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>

namespace {

double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

std::basic_string<TChar> toText(const char* bytes) {
    std::string s(bytes);
    return std::basic_string<TChar>(s.begin(), s.end());
}

int keyCode(char key) {
    return key == 'v' ? kKeyDown : key == '^' ? kKeyUp : static_cast<uint8_t>(key);
}

// The answer to each key, timed as the loop gives it: the action, then the drawing.
int timeKeys(const FilePair& files, int width, int height, const std::string& keys) {
    resetMemoryTerminal(width, height);
    ViewerTables tables;
    const ReloadFiles noReload;
    ComparisonView view(files, Settings{}, tables, noReload,
                        {static_cast<int16_t>(width), static_cast<int16_t>(height)}, false);
    if (!drawView(view)) return 3;
    // A key bound to nothing waits for the whole comparison, untimed.
    view.take(actOnKey(view, Key{'!'}));
    if (!drawView(view)) return 3;
    struct Times {
        long count = 0;
        double total = 0;
        double longest = 0;
    };
    std::map<char, Times> times;
    for (char key : keys) {
        const auto began = std::chrono::steady_clock::now();
        view.take(actOnKey(view, Key{keyCode(key)}));
        if (!drawView(view)) return 3;
        presentConsole();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
                .count();
        Times& each = times[key];
        ++each.count;
        each.total += ms;
        each.longest = std::max(each.longest, ms);
    }
    for (const auto& [key, each] : times)
        std::fprintf(stderr, "key %c x%ld mean %.4f ms max %.4f ms\n", key, each.count,
                     each.total / double(each.count), each.longest);
    view.abandonBuild();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr,
                     "usage: viewerBench WIDTH HEIGHT KEYS LEFT RIGHT [changed | keytimes]\n");
        return 2;
    }
    int width = std::atoi(argv[1]);
    int height = std::atoi(argv[2]);
    std::string keys = argv[3];
    auto leftPath = toText(argv[4]);
    auto rightPath = toText(argv[5]);

    FileImage left;
    FileImage right;
    if (loadFiles(leftPath.c_str(), rightPath.c_str(), left, right) != LoadResult::loaded) return 2;
    if (!decodeTexts(left, right)) return 3;

    const FilePair files{
        {leftPath.c_str(), left.raw.get(), left.rawSize, left.text, left.textSize, left.encoding},
        {rightPath.c_str(), right.raw.get(), right.rawSize, right.text, right.textSize,
         right.encoding},
        countOffsetDigits(left.rawSize, right.rawSize)};
    if (argc == 7 && std::string(argv[6]) == "keytimes")
        return timeKeys(files, width, height, keys);
    double wall = 0;
    auto view = [&](size_t keyCount, double& cpu) {
        resetMemoryTerminal(width, height);
        for (size_t i = 0; i < keyCount; ++i) queueKeyCode(keyCode(keys[i]));
        // A key bound to nothing waits for the whole comparison, which q alone would cut short.
        queueKeyCode('!');
        queueKeyCode('q');
        ViewerTables tables;
        ScreenSize size{static_cast<int16_t>(width), static_cast<int16_t>(height)};
        double begin = cpuMilliseconds();
        auto began = std::chrono::steady_clock::now();
        // 1 after q, as the program ends then.
        const int code =
            runViewer(files, Settings{}, size, false, tables) == ViewOutcome::done ? 1 : 3;
        wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
                   .count();
        cpu = cpuMilliseconds() - begin;
        return code;
    };
    double cpu = 0;
    int code = view(keys.size(), cpu);
    ScreenDump after = dumpScreen();
    std::fprintf(stderr, "view cpu %.3f ms\n", cpu);
    std::fprintf(stderr, "view wall %.3f ms\n", wall);
    if (!keys.empty() && argc == 7 && std::string(argv[6]) == "changed") {
        double ignored = 0;
        view(keys.size() - 1, ignored);
        ScreenDump before = dumpScreen();
        long changed = 0;
        for (int row = 0; row < after.height && row < before.height; ++row)
            for (int column = 0; column < after.width && column < before.width; ++column)
                changed += after.cells[size_t(row)][size_t(column)] !=
                               before.cells[size_t(row)][size_t(column)] ||
                           after.attributes[size_t(row)][size_t(column)] !=
                               before.attributes[size_t(row)][size_t(column)];
        std::fprintf(stderr, "cells changed by the last key %ld\n", changed);
    }
    return code;
}
