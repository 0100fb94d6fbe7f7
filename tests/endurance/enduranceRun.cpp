// Endurance: the real view on the in-memory terminal, driven by ten thousand random keys (every
// key of the view, of the help and of the colour setup, keys nothing is bound to) and terminal
// resizes to any size from 1 x 1 up, over two texts of a million lines that differ here and
// there. Under the sanitizers a fault, an overflow or a leak ends the run with a report.
//
//   endurance_wide [KEYS] [SEED]
//
// The keys are generated so that every one of them is read: the help and the colour setup are
// always left again, and the view's quit keys come only at the end. Exit status 0 when the view
// read every key, was left by the quit key and left no key unread.

#include "console/colourScheme.h"
#include "console/keyReader.h"
#include "platform/memoryTerminal.h"
#include "viewer/viewerLoop.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

std::mt19937 generator;

int below(int bound) {
    return static_cast<int>(generator() % static_cast<unsigned>(bound));
}

template <typename T, size_t N>
T pick(const T (&items)[N]) {
    return items[below(static_cast<int>(N))];
}

// Two texts of lineCount lines; the second has lines changed, inserted and dropped in blocks.
void makeTexts(int lineCount, std::string& left, std::string& right) {
    static const char* const kWords[] = {"alpha",   "beta",           "  gamma", "delta\t",
                                         "EPSILON", "zeta",           "",        "eta  theta",
                                         "iota",    "kappa lambda mu"};
    for (int line = 0; line < lineCount; ++line) {
        std::string text = "line " + std::to_string(line) + " " + pick(kWords) + " " + pick(kWords);
        if (below(50) == 0) text += std::string(static_cast<size_t>(below(400)), 'w');
        left += text + "\n";
        int change = below(100);
        if (change == 0) {
            right += "changed " + text + "\n";
        } else if (change == 1) {
            for (int extra = below(8); extra >= 0; --extra) right += "inserted\n";
            right += text + "\n";
        } else if (change == 2) {
            continue; // dropped
        } else if (change == 3) {
            for (char& c : text) c = static_cast<char>(toupper(c));
            right += text + "\n";
        } else {
            right += text + "\n";
        }
    }
}

const int kViewKeys[] = {
    ' ',          '+',        '-',        '1',          '2',     '3',      '4',        '5',
    '6',          '7',        '8',        '9',          'C',     'c',      'D',        'd',
    'E',          'e',        'H',        'h',          'L',     'l',      'N',        'n',
    'M',          'm',        'O',        'o',          'S',     's',      'T',        't',
    'W',          'w',        kKeyPageUp, kKeyPageDown, kKeyEnd, kKeyHome, kKeyLeft,   kKeyUp,
    kKeyRight,    kKeyDown,   kKeyAltF8,  kKeyAltF9,    'x',     '0',      2048 + 'A', 1024 + 'b',
    512 + kKeyUp, 256 + 0x7B, kKeyF3,     kKeyShiftF3,  'F',     'f',      'Z',        'z'};
// Keys that read both files again or rebuild with the long-runs rule: on a million lines they take
// long, so they come more rarely than the others.
const int kReadingKeys[] = {'A', 'a', 'R', 'r'};
// What is typed into the search and line prompts: text that the lines hold, and some that none
// does, digits, and keys that do nothing there (Backspace is added where it deletes something).
const int kSearchKeys[] = {'l', 'i', 'n', 'e', ' ', 'a', 'E', 'z', 'w', '0', '7', 0x84};
const int kNumberKeys[] = {'0', '1', '5', '9'};
const int kIdlePromptKeys[] = {kKeyDown, kKeyF1, '\t', 1024 + 'x'};
const int kHelpKeys[] = {kKeyPageUp, kKeyPageDown, kKeyLeft, kKeyRight, kKeyUp, kKeyDown, kKeyHome,
                         kKeyF1,     kKeyEnter,    ' ',      'q',       'x',    kKeyEnd};
const int kSetupKeys[] = {kKeyUp,   kKeyDown, kKeyLeft, kKeyRight, kKeyPageUp, kKeyPageDown,
                          kKeyHome, kKeyEnd,  'r',      'R',       'k',        ' ',
                          '+',      '-',      'q',      'x',       '1',        '9'};

struct Script {
    int keys = 0;
    int resizes = 0;
    int helps = 0;
    int setups = 0;
    int prompts = 0;
    void key(int code) {
        queueKeyCode(code);
        ++keys;
    }
};

void queueRandomKeys(Script& script, int count) {
    while (script.keys < count) {
        int choice = below(100);
        if (choice < 3) {
            queueTerminalResize(1 + below(300), 1 + below(120));
            ++script.resizes;
        } else if (choice < 5) {
            script.key(kKeyF1);
            ++script.helps;
            for (int keys = below(6); keys > 0; --keys) script.key(pick(kHelpKeys));
            script.key(kKeyEscape);
        } else if (choice < 7) {
            script.key(kKeyAltF10);
            ++script.setups;
            for (int keys = below(12); keys > 0; --keys) {
                if (below(10) == 0) {
                    script.key(kKeyF1); // the setup's own help, left with Esc
                    script.key(kKeyEscape);
                } else {
                    script.key(pick(kSetupKeys));
                }
            }
            script.key(below(2) ? kKeyEscape : kKeyEnter);
        } else if (choice < 8) {
            // A search or a line number, typed and then given or cancelled. Backspace on an empty
            // prompt would close it, and the keys after it would act on the view.
            bool search = below(2) != 0;
            script.key(search ? '/' : ':');
            ++script.prompts;
            int typed = 0;
            for (int keys = below(10); keys > 0; --keys) {
                int kind = below(6);
                if (kind == 0 && typed > 0) {
                    script.key(kKeyBackspace);
                    --typed;
                } else if (kind == 1) {
                    script.key(pick(kIdlePromptKeys));
                } else {
                    script.key(search ? pick(kSearchKeys) : pick(kNumberKeys));
                    ++typed;
                }
            }
            script.key(below(4) ? kKeyEnter : kKeyEscape);
        } else if (choice < 9 && below(4) == 0) {
            script.key(pick(kReadingKeys));
        } else {
            script.key(pick(kViewKeys));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    int keyCount = argc > 1 ? atoi(argv[1]) : 10000;
    generator.seed(argc > 2 ? static_cast<unsigned>(atoi(argv[2])) : 20261207u);

    // The colour setup saves and deletes qvd.ini, beside the program or in the user's directory:
    // both in a scratch directory here, never the user's own.
    std::string scratch = std::filesystem::temp_directory_path() / "qvd-endurance.XXXXXX";
    if (!mkdtemp(scratch.data())) return 2;
    exeDirectory = scratch + "/";
    userColourDirectory = scratch + "/config/qvd/";

    std::string left;
    std::string right;
    makeTexts(1'000'000, left, right);
    (void)loadColourScheme(false);

    resetMemoryTerminal(80, 25);
    Script script;
    queueRandomKeys(script, keyCount);
    queueKeyCode('q');
    auto bytes = [](const std::string& text) {
        return reinterpret_cast<const uint8_t*>(text.data());
    };
    auto size = [](const std::string& text) { return static_cast<uint32_t>(text.size()); };
    ViewerFile leftFile{QVD_T("left.txt"), bytes(left), size(left), bytes(left), size(left)};
    ViewerFile rightFile{QVD_T("right.txt"), bytes(right), size(right), bytes(right), size(right)};
    ViewerTables tables;
    // Every third reload finds the second file gone; the others read the same texts again.
    int reloads = 0;
    const FilePair files{leftFile, rightFile, 8};
    const ReloadFiles reload = [&](FilePair& newFiles) {
        if (++reloads % 3 == 0) return ReloadResult{ReloadResult::cannotLoad, 2, "gone"};
        newFiles = files;
        return ReloadResult{};
    };

    auto start = std::chrono::steady_clock::now();
    const ViewOutcome outcome = runViewer(files, Settings{}, {80, 25}, false, tables, reload);
    const int code = static_cast<int>(outcome);
    tables = {};
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove_all(scratch);

    int unread = pendingScriptEntries();
    int underruns = scriptUnderruns();
    printf("endurance: %d keys (%d helps, %d colour setups, %d prompts, %d reloads), %d resizes "
           "on %zu + %zu bytes, %.1f s; outcome %d, %d entries unread, %d reads past the "
           "script\n",
           script.keys, script.helps, script.setups, script.prompts, reloads, script.resizes,
           left.size(), right.size(), seconds, code, unread, underruns);
    bool passed = outcome == ViewOutcome::done && unread == 0 && underruns == 0;
    printf("%s\n", passed ? "endurance passed" : "ENDURANCE FAILED");
    return passed ? 0 : 1;
}
