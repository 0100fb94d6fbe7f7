#include "app/driver.h"

#include "app/fileNames.h"
#include "app/loading.h"
#include "app/messages.h"
#include "app/options.h"
#include "console/colourScheme.h"
#include "console/keyReader.h"
#include "console/screen.h"
#include "console/settings.h"
#include "platform/files.h"
#include "platform/pathText.h"
#include "platform/temporaryFile.h"
#include "platform/terminal.h"
#include "viewer/viewerLoop.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitIdentical = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitOutOfMemory = 3;
constexpr int kExitInformation = 0; // --help and --version

// Everything the driver holds for the run. The images (and whatever the viewer builds on them)
// are freed when it goes, on every way out.
struct DriverState {
    PathBuffer path1;
    PathBuffer path2;
    // How the paths are shown in messages, the title and the frames: in moxaw the OEM forms.
    TString shownPath1;
    TString shownPath2;
    FileImage image1;
    FileImage image2;
    bool viewerShown = false;   // set once the view has been entered
    bool terminalThere = false; // a terminal to show the view on and to read keys from
    ScreenSize startupSize{};   // the console size at start, -a sizes in place; set again at exit
    bool resizePending = false; // -a asked for a size the view must apply first

    DriverState() {
        path1.text[0] = 0;
        path2.text[0] = 0;
    }
    ViewerTables tables; // what the view built last, on the images above
};

void printResult(const DriverState& state, bool identical) {
    printMessage("\n%S and %S are %sidentical\n\n", state.shownPath1.c_str(),
                 state.shownPath2.c_str(), identical ? "" : "not ");
}

// Batch mode needs only the verdict, so the files are compared in step instead of being held:
// the same answers and messages as loading both, without a block of each file's size.
int compareInBatch(DriverState& state) {
    uint32_t size1 = 0;
    uint32_t size2 = 0;
    FileComparison result = compareFiles(pathToBytes(state.path1.text).c_str(),
                                         pathToBytes(state.path2.text).c_str(), size1, size2);
    switch (result) {
    case FileComparison::file1Failed:
        printMessage("\nCan't load file 1 (%S)\n", state.shownPath1.c_str());
        return kExitBadInput;
    case FileComparison::file2Failed:
        printMessage("\nCan't load file 2 (%S)\n", state.shownPath2.c_str());
        return kExitBadInput;
    case FileComparison::outOfMemory:
        printMessage("\nOut of memory\n");
        return kExitOutOfMemory;
    case FileComparison::identical:
    case FileComparison::different:
        break;
    }
    settings.offsetDigits = countOffsetDigits(size1, size2);
    bool identical = result == FileComparison::identical;
    printResult(state, identical);
    return identical ? kExitIdentical : kExitDifferent;
}

// The key R of the view: both files read and decoded again by the same rules. The new images take
// the old ones' place only when both loaded and decoded; then left and right show them.
int reloadFiles(DriverState& state, ViewerFile& left, ViewerFile& right) {
    FileImage image1;
    FileImage image2;
    switch (loadFiles(state.path1.text, state.path2.text, image1, image2)) {
    case LoadResult::file1Failed:
        return 1;
    case LoadResult::file2Failed:
        return 2;
    case LoadResult::loaded:
        break;
    }
    const uint32_t encodingFlags = settings.encodingFlags;
    if (!decodeTexts(image1, image2)) {
        settings.encodingFlags = encodingFlags; // the view goes on with the old texts
        return kViewerOutOfMemory;
    }
    settings.offsetDigits = countOffsetDigits(image1.rawSize, image2.rawSize);
    state.image1 = std::move(image1);
    state.image2 = std::move(image2);
    left = {left.name, state.image1.raw.get(), state.image1.rawSize, state.image1.text,
            state.image1.textSize};
    right = {right.name, state.image2.raw.get(), state.image2.rawSize, state.image2.text,
             state.image2.textSize};
    return 0;
}

// Loads both files, tests identity, and reports or shows them. Returns the exit code.
int loadAndCompare(DriverState& state) {
    // Without a terminal no key could ever come: the program answers as in batch mode.
    if (settings.batchMode || !state.terminalThere) return compareInBatch(state);
    switch (loadFiles(state.path1.text, state.path2.text, state.image1, state.image2)) {
    case LoadResult::file1Failed:
        printMessage("\nCan't load file 1 (%S)\n", state.shownPath1.c_str());
        return kExitBadInput;
    case LoadResult::file2Failed:
        printMessage("\nCan't load file 2 (%S)\n", state.shownPath2.c_str());
        return kExitBadInput;
    case LoadResult::loaded:
        break;
    }
    settings.offsetDigits = countOffsetDigits(state.image1.rawSize, state.image2.rawSize);
    bool identical = filesIdentical(state.image1, state.image2);

    if (identical) {
        printResult(state, true);
        printMessage("\nPress any key to exit!\n");
        fflush(stdout); // the line must be out before the wait, also when stdout is a pipe
        readKey();      // in host mode too, though nothing was printed
        return kExitIdentical;
    }
    if (!decodeTexts(state.image1, state.image2)) {
        printMessage("\nOut of memory\n");
        return kExitOutOfMemory;
    }
    if (!startFullScreen()) {
        // The terminal cannot show the view (ncurses could not start: too few file descriptors,
        // no memory) and is as the user had it: the answer comes as without a terminal.
        printMessage("\nThe view could not be started on this terminal\n");
        printResult(state, false);
        return kExitDifferent;
    }
    const ViewerFile left{state.shownPath1.c_str(), state.image1.raw.get(), state.image1.rawSize,
                          state.image1.text, state.image1.textSize};
    const ViewerFile right{state.shownPath2.c_str(), state.image2.raw.get(), state.image2.rawSize,
                           state.image2.text, state.image2.textSize};
    const ReloadFiles reload = [&state](ViewerFile& newLeft, ViewerFile& newRight) {
        return reloadFiles(state, newLeft, newRight);
    };
    int exitCode =
        runViewer(left, right, state.startupSize, state.resizePending, state.tables, reload);
    state.viewerShown = state.tables.viewerShown;
    if (exitCode == kViewerOutOfMemory) {
        // Said on the user's own screen: printed while the view is up it would go with it.
        releaseTerminal();
        printMessage("\nOut of memory\n");
    }
    return exitCode;
}

} // namespace

void endOutOfMemory() {
    static constexpr char kMessage[] = "\nOut of memory\n";
    removeTemporaryFile();
    abandonTerminal();
    fflush(stdout); // what was printed before comes first
    if (!settings.hostMode) (void)!write(STDOUT_FILENO, kMessage, sizeof kMessage - 1);
    _exit(kExitOutOfMemory);
}

int runProgram(int argumentCount, char** argumentVector) {
    // The arguments in the build's text: moxa decodes them as UTF-8 with surrogate escape, so a
    // name whose bytes are not UTF-8 still opens; moxaw keeps the bytes.
    std::vector<TString> argumentTexts;
    std::vector<const TChar*> arguments;
    argumentTexts.reserve(static_cast<size_t>(argumentCount));
    for (int i = 0; i < argumentCount; ++i)
        argumentTexts.push_back(argumentToText(argumentVector[i]));
    for (const auto& text : argumentTexts) arguments.push_back(text.c_str());
    arguments.push_back(nullptr);

    auto state = std::make_unique<DriverState>();

    // --help and --version answer at once, whatever else the command line holds.
    switch (findInfoRequest(argumentCount, arguments.data())) {
    case InfoRequest::help:
        printHelp();
        return kExitInformation;
    case InfoRequest::version:
        printVersion();
        return kExitInformation;
    case InfoRequest::none:
        break;
    }

    findExeDirectory(argumentVector[0]);

    parseOptions(argumentCount, arguments.data());
    if (settings.badOption) {
        printUsage();
        return kExitBadInput; // nothing else done: console and colour files untouched
    }

    (void)loadColourScheme(false);
    state->terminalThere = openConsoleOutput();
    state->startupSize = getScreenSize(false);
    // A size past what a console side can hold asks for the largest there is; setScreenSize
    // refuses sizes below one cell and cuts the rest to the terminal.
    auto side = [](int32_t value) { return static_cast<int16_t>(std::min<int32_t>(value, 32767)); };
    if (settings.screenRows != 0) state->startupSize.height = side(settings.screenRows);
    if (settings.screenColumns != 0) state->startupSize.width = side(settings.screenColumns);
    state->resizePending = settings.screenRows != 0 || settings.screenColumns != 0;

    switch (resolveFileNames(state->path1, state->path2, argumentCount, arguments.data())) {
    case NameResult::resolved:
        break;
    case NameResult::tooLong:
        return kExitBadInput; // its message is printed; a usage text would not say more
    case NameResult::missing:
    case NameResult::tooMany:
        printUsage();
        return kExitBadInput; // no console restore on this path
    }
    state->shownPath1 = toDisplayText(state->path1.text);
    state->shownPath2 = toDisplayText(state->path2.text);

    TString title = QVD_T("Morvyn's File Compare ");
    for (const char* at = kVersionText; *at != 0; ++at) title += static_cast<TChar>(*at);
    title += QVD_T(" - ") + state->shownPath1 + QVD_T(" ") + state->shownPath2;
    setConsoleTitle(title.c_str());

    int exitCode = loadAndCompare(*state);

    // Exit steps: the start-up size again (in batch mode too), and a clean screen after the view.
    (void)setScreenSize(state->startupSize);
    if (state->viewerShown && !settings.hostMode) clearScreen(7);
    return exitCode;
}
