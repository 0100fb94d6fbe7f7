#include "app/driver.h"

#include "app/arrivingPair.h"
#include "app/exitCodes.h"
#include "app/fileNames.h"
#include "app/gitDiff.h"
#include "app/loading.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/sameText.h"
#include "app/treeBatch.h"
#include "console/colourScheme.h"
#include "console/keyReader.h"
#include "console/screen.h"
#include "platform/consoleBuffer.h"
#include "platform/files.h"
#include "platform/pathText.h"
#include "platform/temporaryFile.h"
#include "platform/terminal.h"
#include "platform/treeWalk.h"
#include "viewer/treeList.h"
#include "viewer/viewerLoop.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Everything the driver holds for the run. The images (and whatever the viewer builds on them)
// are freed when it goes, on every way out.
struct DriverState {
    Options options; // as the command line gave them; read-only once parsed
    PathBuffer path1;
    PathBuffer path2;
    // How the files are named in messages and the title: in moxaw the OEM forms; git's paths
    // when git called; kStandardInputName for standard input.
    TString shownPath1;
    TString shownPath2;
    // The names in the frames: the shown paths, with git's " (2 of 3)" after each when git told.
    TString paneName1;
    TString paneName2;
    bool fromGit = false; // git ran the program as its external diff, one path after another
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

// Files no larger than this are read whole in batch mode, once they differ, to say how when they
// hold the same text; larger ones get the verdict alone.
constexpr uint64_t kLargestFileToExplain = 256u << 20;

// The verdict; for files that differ, the sentence that says how when they hold the same text.
void printResult(const DriverState& state, bool identical, const std::u16string& note = {}) {
    printVerdict(state.shownPath1.c_str(), state.shownPath2.c_str(), identical, note);
}

// A file that cannot be loaded, and why, in the system's words.
int cannotLoad(const DriverState& state, int file, int reason) {
    printCannotLoad(file, (file == 1 ? state.shownPath1 : state.shownPath2).c_str(), reason);
    return kExitBadInput;
}

// Batch mode needs only the verdict, so the files are compared in step instead of being held:
// the same answers and messages as loading both, without a block of each file's size.
int compareInBatch(DriverState& state) {
    uint64_t size1 = 0;
    uint64_t size2 = 0;
    int reason = 0;
    const FileComparison result =
        compareFiles(pathToBytes(state.path1.text).c_str(), pathToBytes(state.path2.text).c_str(),
                     size1, size2, &reason);
    switch (result) {
    case FileComparison::file1Failed:
        return cannotLoad(state, 1, reason);
    case FileComparison::file2Failed:
        return cannotLoad(state, 2, reason);
    case FileComparison::outOfMemory:
        printMessage("\nOut of memory\n");
        return kExitOutOfMemory;
    case FileComparison::identical:
    case FileComparison::different:
        break;
    }
    bool identical = result == FileComparison::identical;
    std::u16string note;
    // Files that were read once (pipes) are not read again, nor waited for.
    if (!identical && size1 <= kLargestFileToExplain && size2 <= kLargestFileToExplain &&
        loadFiles(state.path1.text, state.path2.text, state.image1, state.image2, nullptr, true) ==
            LoadResult::loaded &&
        decodeTexts(state.image1, state.image2))
        note = differenceNote(state.image1, state.image2);
    printResult(state, identical, note);
    return identical ? kExitIdentical : kExitDifferent;
}

// The files as the view shows them: the images, their names, and the width of hex offsets.
FilePair filesForView(const FileImage& image1, const TString& name1, const FileImage& image2,
                      const TString& name2) {
    return {{name1.c_str(), image1.raw.get(), image1.rawSize, image1.text, image1.textSize,
             image1.encoding},
            {name2.c_str(), image2.raw.get(), image2.rawSize, image2.text, image2.textSize,
             image2.encoding},
            countOffsetDigits(image1.rawSize, image2.rawSize),
            differenceNote(image1, image2)};
}

FilePair viewedFiles(const DriverState& state) {
    return filesForView(state.image1, state.paneName1, state.image2, state.paneName2);
}

// What a file that is no regular file is, for the message that says it is not read again; null
// for a regular file (or one that is not there: loading it says why). Standard input is never
// read again, whatever it is: a file it was redirected from is the caller's to read, not ours.
const char* notReadAgain(const TChar* path) {
    if (TStringView(path) == kStandardInputPath) return "read once";
    struct stat status;
    if (stat(pathToBytes(path).c_str(), &status) != 0 || S_ISREG(status.st_mode)) return nullptr;
    if (S_ISFIFO(status.st_mode)) return "a pipe, read once";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "a device, read once";
    return "not a regular file";
}

// The key R of the view: both files read and decoded again by the same rules. Only regular files
// are read again: a pipe (<(sort a), a FIFO) gave its bytes once, and opening a FIFO would wait
// for a writer that never comes. The new images take the old ones' place only when both loaded
// and decoded; then files shows them.
ReloadResult reloadFiles(DriverState& state, FilePair& files) {
    for (int file : {1, 2}) {
        if (const char* what = notReadAgain(file == 1 ? state.path1.text : state.path2.text))
            return {ReloadResult::notAgain, file, what};
    }
    FileImage image1;
    FileImage image2;
    int reason = 0;
    switch (loadFiles(state.path1.text, state.path2.text, image1, image2, &reason, true)) {
    case LoadResult::file1Failed:
        return {ReloadResult::cannotLoad, 1, loadFailureText(reason)};
    case LoadResult::file2Failed:
        return {ReloadResult::cannotLoad, 2, loadFailureText(reason)};
    case LoadResult::loaded:
        break;
    }
    if (!decodeTexts(image1, image2)) return {ReloadResult::outOfMemory, 0, ""}; // old texts stay
    state.image1 = std::move(image1);
    state.image2 = std::move(image2);
    files = viewedFiles(state);
    return {};
}

// What leaving the view tells the caller of the program.
int exitCodeOf(ViewOutcome outcome) {
    switch (outcome) {
    case ViewOutcome::none:
    case ViewOutcome::done:
        break;
    case ViewOutcome::interrupted:
        return kExitInterrupted;
    case ViewOutcome::outOfMemory:
        return kExitOutOfMemory;
    }
    return kExitDifferent;
}

// A pair of files opened from the directory list: their images and names, owned by the view
// that shows them.
struct TreePair {
    PairPaths paths;
    TString shown1;
    TString shown2;
    FileImage image1;
    FileImage image2;
};

// A side of a row that has no file: an empty image, as an empty file loads.
bool loadEmpty(FileImage& image) {
    image.raw.reset(static_cast<uint8_t*>(std::malloc(1)));
    image.rawSize = 0;
    return image.raw != nullptr;
}

// One side of a pair: only a regular file is read (what was a file when the trees were walked may
// be a FIFO now, and opening that would wait for a writer).
bool loadSide(const std::string& path, bool there, FileImage& image, int& reason) {
    if (!there) {
        reason = ENOMEM;
        return loadEmpty(image);
    }
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        reason = errno;
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = kNotRegular;
        return false;
    }
    uint64_t size = 0;
    image.raw.reset(readWholeFile(path.c_str(), size, &reason));
    image.rawSize = size;
    return image.raw != nullptr;
}

// Loads and decodes both sides of a pair into fresh images: loaded, or which side failed and
// why, or no memory for the texts. The old images stay unless both loaded.
ReloadResult loadTreePair(TreePair& pair) {
    FileImage image1;
    FileImage image2;
    int reason = 0;
    if (!loadSide(pair.paths.path1, pair.paths.there1, image1, reason))
        return {ReloadResult::cannotLoad, 1, loadFailureText(reason)};
    if (!loadSide(pair.paths.path2, pair.paths.there2, image2, reason))
        return {ReloadResult::cannotLoad, 2, loadFailureText(reason)};
    if (!decodeTexts(image1, image2)) return {ReloadResult::outOfMemory, 0, ""};
    pair.image1 = std::move(image1);
    pair.image2 = std::move(image2);
    return {};
}

FilePair treePairFiles(const TreePair& pair) {
    return filesForView(pair.image1, pair.shown1, pair.image2, pair.shown2);
}

TString shownTreePath(const std::string& path, bool there) {
    TString shown = toDisplayText(argumentToText(path));
    if (!there) shown += QVD_T(" (not there)");
    return shown;
}

// ENTER on a row of the directory list: its two files for a comparison view.
PairOpened openTreePair(const PairPaths& paths) {
    auto pair = std::make_shared<TreePair>();
    pair->paths = paths;
    pair->shown1 = shownTreePath(paths.path1, paths.there1);
    pair->shown2 = shownTreePath(paths.path2, paths.there2);
    const ReloadResult loaded = loadTreePair(*pair);
    if (loaded.outcome == ReloadResult::outOfMemory) return {std::nullopt, u"Out of memory"};
    if (loaded.outcome != ReloadResult::loaded) {
        const std::string text =
            "Can't load file " + std::to_string(loaded.file) + ": " + loaded.reason;
        return {std::nullopt, std::u16string(text.begin(), text.end())};
    }
    PairOpening opening;
    opening.files = treePairFiles(*pair);
    TreePair* held = pair.get(); // lives as long as the opening's keeper, which outlives the view
    opening.reload = [held](FilePair& files) {
        const ReloadResult result = loadTreePair(*held);
        if (result.outcome == ReloadResult::loaded) files = treePairFiles(*held);
        return result;
    };
    opening.keeper = std::move(pair);
    return {std::move(opening), {}};
}

// Two directories: the list of their paths, the files compared behind it. Returns the exit code.
int showTrees(DriverState& state) {
    {
        // A root that cannot be listed is a file that cannot be loaded, as in batch mode.
        const TreeWalker roots(pathToBytes(state.path1.text), pathToBytes(state.path2.text));
        for (int file : {1, 2})
            if (const int error = roots.rootError(file)) return cannotLoad(state, file, error);
    }
    if (!startFullScreen()) {
        printMessage("\nThe view could not be started on this terminal\n");
        return kExitBadInput;
    }
    TreeList list(pathToBytes(state.path1.text), pathToBytes(state.path2.text));
    list.start(true);
    DirectoryView view(list, state.shownPath1, state.shownPath2, openTreePair, state.options);
    View bottom = &view;
    const ViewOutcome outcome = runViews(bottom);
    if (view.allIdentical) {
        // As for two identical files: the sentence on the user's own screen, and a key.
        releaseTerminal();
        const ScreenSize size = getScreenSize(false);
        resetConsoleBuffer(size.width, size.height);
        printResult(state, true);
        printMessage("\nPress any key to exit!\n");
        fflush(stdout);
        readKey();
        return kExitIdentical;
    }
    state.viewerShown = true;
    if (outcome == ViewOutcome::outOfMemory) {
        releaseTerminal();
        printMessage("\nOut of memory\n");
    }
    if (outcome != ViewOutcome::done) return exitCodeOf(outcome);
    // Left before the comparison ended: not shown identical, so not reported so.
    return list.differing() > 0 || !list.finished() ? kExitDifferent : kExitIdentical;
}

// Two regular files, one of them long enough that reading both whole would hold up the view.
bool worthShowingAsTheyArrive(const DriverState& state) {
    struct stat status[2];
    const PathBuffer* paths[2] = {&state.path1, &state.path2};
    for (int side : {0, 1}) {
        if (TStringView(paths[side]->text) == kStandardInputPath ||
            stat(pathToBytes(paths[side]->text).c_str(), &status[side]) != 0 ||
            !S_ISREG(status[side].st_mode))
            return false;
    }
    return static_cast<uint64_t>(std::max(status[0].st_size, status[1].st_size)) >= kArrivingFrom;
}

// The comparison view of two files that differ, on the full screen. openWith gives the files it
// opens with, once the screen is there; arriving, when they are still being read. Returns the
// exit code.
int showComparison(DriverState& state, const std::function<FilePair()>& openWith,
                   const ArrivingFiles* arriving = nullptr) {
    if (!startFullScreen()) {
        // The terminal cannot show the view (ncurses could not start: too few file descriptors,
        // no memory) and is as the user had it: the answer comes as without a terminal.
        printMessage("\nThe view could not be started on this terminal\n");
        printResult(state, false);
        return kExitDifferent;
    }
    const ReloadFiles reload = [&state](FilePair& files) { return reloadFiles(state, files); };
    const ViewOutcome outcome = runViewer(openWith(), state.options, state.startupSize,
                                          state.resizePending, state.tables, reload, arriving);
    state.viewerShown = state.tables.viewerShown;
    if (outcome == ViewOutcome::outOfMemory) {
        // Said on the user's own screen: printed while the view is up it would go with it.
        releaseTerminal();
        printMessage("\nOut of memory\n");
    }
    return exitCodeOf(outcome);
}

// The answer for two identical files: the sentence, and a key unless git called.
int reportIdentical(const DriverState& state) {
    printResult(state, true);
    // git calls for every changed path, a change of mode alone too: a wait here would hold up
    // the paths after it.
    if (state.fromGit) return kExitIdentical;
    printMessage("\nPress any key to exit!\n");
    fflush(stdout); // the line must be out before the wait, also when stdout is a pipe
    readKey();      // in host mode too, though nothing was printed
    return kExitIdentical;
}

// The view of two large files while they are read: the first screen from their beginnings, the
// whole comparison behind it. Returns the exit code.
int showAsTheyArrive(DriverState& state) {
    ArrivingPair pair(state.image1, state.image2,
                      [&state](const FileImage& image1, const FileImage& image2) {
                          return filesForView(image1, state.paneName1, image2, state.paneName2);
                      });
    int reason = 0;
    switch (pair.open(pathToBytes(state.path1.text).c_str(), pathToBytes(state.path2.text).c_str(),
                      reason)) {
    case LoadResult::file1Failed:
        return cannotLoad(state, 1, reason);
    case LoadResult::file2Failed:
        return cannotLoad(state, 2, reason);
    case LoadResult::loaded:
        break;
    }
    pair.start();
    switch (pair.identity(reason)) {
    case ArrivingIdentity::identical:
        return reportIdentical(state);
    case ArrivingIdentity::file1Failed:
        return cannotLoad(state, 1, reason);
    case ArrivingIdentity::file2Failed:
        return cannotLoad(state, 2, reason);
    case ArrivingIdentity::different:
        break;
    }
    return showComparison(
        state, [&pair] { return pair.forView().beginnings(kFirstBytes); }, &pair.forView());
}

// True when both paths name directories (through links): two trees to compare.
bool bothDirectories(const DriverState& state) {
    return isDirectory(pathToBytes(state.path1.text).c_str()) &&
           isDirectory(pathToBytes(state.path2.text).c_str());
}

// Loads both files, tests identity, and reports or shows them. Returns the exit code.
int loadAndCompare(DriverState& state) {
    // Without a terminal no key could ever come: the program answers as in batch mode.
    const bool batch = state.options.batchMode || !state.terminalThere;
    const bool trees = bothDirectories(state);
    if (batch && trees) return compareTreesInBatch(state.path1.text, state.path2.text);
    if (batch) return compareInBatch(state);
    if (trees) return showTrees(state);
    if (worthShowingAsTheyArrive(state)) return showAsTheyArrive(state);
    int reason = 0;
    switch (loadFiles(state.path1.text, state.path2.text, state.image1, state.image2, &reason)) {
    case LoadResult::file1Failed:
        return cannotLoad(state, 1, reason);
    case LoadResult::file2Failed:
        return cannotLoad(state, 2, reason);
    case LoadResult::loaded:
        break;
    }
    if (filesIdentical(state.image1, state.image2)) return reportIdentical(state);
    if (!decodeTexts(state.image1, state.image2)) {
        printMessage("\nOut of memory\n");
        return kExitOutOfMemory;
    }
    return showComparison(state, [&state] { return viewedFiles(state); });
}

// The name a path goes by: standard input by that name.
TString shownName(const TChar* path) {
    return TStringView(path) == kStandardInputPath ? TString(kStandardInputName)
                                                   : toDisplayText(path);
}

// Plain ASCII (the version, numbers) in the build's text.
void appendAscii(TString& text, std::string_view ascii) {
    for (char letter : ascii) text += static_cast<TChar>(letter);
}

// Where git is in its list of paths, " (2 of 3)", when it said.
std::string progressText(const GitDiffCall& git) {
    if (git.counter <= 0 || git.total <= 0) return {};
    return " (" + std::to_string(git.counter) + " of " + std::to_string(git.total) + ")";
}

// The names the files go by: git's paths when git called (its old-file and new-file are
// temporary files, /dev/null and the like), else the paths, standard input by that name.
void nameFiles(DriverState& state, const GitDiffCall& git) {
    state.shownPath1 = state.fromGit ? toDisplayText(git.path) : shownName(state.path1.text);
    state.shownPath2 = state.fromGit ? toDisplayText(git.newPath) : shownName(state.path2.text);
    state.paneName1 = state.shownPath1;
    state.paneName2 = state.shownPath2;
    appendAscii(state.paneName1, progressText(git));
    appendAscii(state.paneName2, progressText(git));
}

} // namespace

void endOutOfMemory() {
    static constexpr char kMessage[] = "\nOut of memory\n";
    removeTemporaryFile();
    abandonTerminal();
    fflush(stdout); // what was printed before comes first
    if (!messagesQuiet()) (void)!write(STDOUT_FILENO, kMessage, sizeof kMessage - 1);
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
    // git's command lines hold names only, whatever they begin with: they are told apart first.
    const GitDiffCall git = recogniseGitDiff(argumentCount, arguments.data());
    state->fromGit = git.form != GitDiffForm::none;

    // --help and --version answer at once, whatever else the command line holds.
    switch (state->fromGit ? InfoRequest::none : findInfoRequest(argumentCount, arguments.data())) {
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

    // The user's defaults first, then the command line's options over them.
    state->options = state->fromGit
                         ? environmentOptions()
                         : parseOptions(argumentCount, arguments.data(), environmentOptions());
    const Options& options = state->options;
    setMessagesQuiet(options.hostMode != 0);
    if (options.badOption) {
        printUsage();
        return kExitBadInput; // nothing else done: console and colour files untouched
    }
    if (git.form == GitDiffForm::unmerged) {
        // A path in conflict has no two versions for git to hand over.
        printMessage("\n%S: unmerged, not compared\n", toDisplayText(git.path).c_str());
        return kExitGitGoesOn;
    }

    (void)loadColourScheme(false);
    // Before the terminal is first looked at: the ways out's restore text depends on it.
    setMouseReporting(options.noMouse == 0);
    state->terminalThere = openConsoleOutput();
    if (state->terminalThere && !options.batchMode && underGitPager()) {
        // The pager reads its keys from the same terminal, and would take some of the view's.
        // The verdicts go to the pager instead; the first path says how to have the view.
        state->terminalThere = false;
        if (git.counter <= 1)
            printMessage("\nThe view needs the terminal, and git's pager is reading it: run git "
                         "with --no-pager (git -P diff)\n");
    }
    state->startupSize = getScreenSize(false);
    // A size past what a console side can hold asks for the largest there is; setScreenSize
    // refuses sizes below one cell and cuts the rest to the terminal.
    auto side = [](int32_t value) { return static_cast<int16_t>(std::min<int32_t>(value, 32767)); };
    if (options.screenRows != 0) state->startupSize.height = side(options.screenRows);
    if (options.screenColumns != 0) state->startupSize.width = side(options.screenColumns);
    state->resizePending = options.screenRows != 0 || options.screenColumns != 0;

    switch (state->fromGit ? takeFileNames(state->path1, state->path2, git.oldFile, git.newFile)
                           : resolveFileNames(state->path1, state->path2, argumentCount,
                                              arguments.data(), options.hostMode != 0)) {
    case NameResult::resolved:
        break;
    case NameResult::refused:
        return kExitBadInput; // its message is printed; a usage text would not say more
    case NameResult::missing:
    case NameResult::tooMany:
        printUsage();
        return kExitBadInput; // no console restore on this path
    }
    for (const PathBuffer* path : {&state->path1, &state->path2}) {
        if (TStringView(path->text) == kStandardInputPath && isatty(STDIN_FILENO)) {
            // Read to its end, the terminal would be a file of whatever is typed up to Ctrl-D.
            printMessage("\nStandard input is the terminal: pipe or redirect a file into it\n");
            return kExitBadInput;
        }
    }
    nameFiles(*state, git);

    TString title = QVD_T("Morvyn's File Compare ");
    appendAscii(title, kVersionText);
    title += QVD_T(" - ") + state->shownPath1 + QVD_T(" ") + state->shownPath2;
    appendAscii(title, progressText(git));
    setConsoleTitle(title.c_str());

    int exitCode = loadAndCompare(*state);
    if (state->fromGit && exitCode == kExitDifferent && !gitTrustsExitCode())
        exitCode = kExitGitGoesOn;

    // Exit steps: the start-up size again (in batch mode too), and a clean screen after the view.
    (void)setScreenSize(state->startupSize);
    if (state->viewerShown && !options.hostMode) clearScreen(7);
    return exitCode;
}
