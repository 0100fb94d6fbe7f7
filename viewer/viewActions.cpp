// The actions of the comparison view's keys, their table, and the dispatch of a key to them.
#include "console/colourScheme.h"
#include "console/helpPages.h"
#include "console/keyReader.h"
#include "platform/codePages.h"
#include "viewer/comparisonView.h"
#include "viewer/menu.h"
#include "viewer/viewKeys.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace {

// The actions of the key table. Each returns what must follow; nothing when its condition did
// not hold.

Reaction quit(ComparisonView&, const ViewKey&, const Key&) {
    return {.leave = ViewOutcome::done};
}

Reaction interrupt(ComparisonView&, const ViewKey&, const Key&) {
    return {.leave = ViewOutcome::interrupted};
}

Reaction flipSetting(ComparisonView& view, const ViewKey& row, const Key&) {
    view.settings.*row.toggle ^= 1;
    return row.toggled;
}

Reaction redrawnIf(bool moved) {
    return moved ? Reaction{.redraw = kRedrawRows} : Reaction{};
}

Reaction nextBlock(ComparisonView& view, const ViewKey&, const Key&) {
    return redrawnIf(view.position.nextBlock(view.screenRows()));
}

Reaction previousBlock(ComparisonView& view, const ViewKey&, const Key&) {
    return redrawnIf(view.position.previousBlock(view.screenRows()));
}

Reaction setTabWidth(ComparisonView& view, const ViewKey&, const Key& key) {
    view.settings.tabWidth = key.code - '0';
    return {.redraw = kRedrawText};
}

Reaction toggleHexMode(ComparisonView& view, const ViewKey&, const Key&) {
    view.settings.hexMode ^= 1;
    if (view.settings.hexMode) // hexRowBytes is never 0; settle keeps the row within the list
        view.position.enterHexMode(static_cast<uint32_t>(
            std::min<uint64_t>(view.topLineOffset() / view.hexRowBytes, UINT32_MAX)));
    else
        view.position.leaveHexMode();
    return {.rebuild = kRebuildTables | kRebuildList};
}

Reaction toggleLineNumbers(ComparisonView& view, const ViewKey&, const Key&) {
    if (view.settings.hexMode) return {}; // hex offsets are always shown
    view.settings.hideLineNumbers ^= 1;
    return {.redraw = kRedrawRows};
}

Reaction toggleSplit(ComparisonView& view, const ViewKey&, const Key&) {
    view.settings.horizontalSplit ^= 1;
    if (!view.settings.hexMode) return {.layout = true};
    // The hex row width about doubles when the panes come to stand one above the other.
    uint32_t& top = view.position.topRow;
    top = view.settings.horizontalSplit ? top / 2 : top * 2;
    return {.rebuild = kRebuildTables | kRebuildList, .layout = true};
}

Reaction toggleTallDisplay(ComparisonView& view, const ViewKey&, const Key&) {
    view.wantedSize.height = tallToggleHeight(view.wantedSize.height, view.startupHeight);
    return {.resize = true};
}

Reaction pageUp(ComparisonView& view, const ViewKey&, const Key&) {
    return redrawnIf(view.position.pageUp(view.screenRows(), view.pageStep()));
}

Reaction pageDown(ComparisonView& view, const ViewKey&, const Key&) {
    return redrawnIf(view.position.pageDown(view.screenRows(), view.pageStep()));
}

Reaction goToEnd(ComparisonView& view, const ViewKey&, const Key&) {
    return redrawnIf(view.position.goToEnd());
}

Reaction goHome(ComparisonView& view, const ViewKey&, const Key&) {
    // Wrapped rows start at column 0 whatever the scroll: Home goes straight to the first row.
    if (view.settings.wrap) return redrawnIf(view.position.moveTop({}));
    return redrawnIf(view.position.goHome());
}

Reaction rowUp(ComparisonView& view, const ViewKey&, const Key&) {
    return redrawnIf(view.position.rowUp(view.screenRows()));
}

Reaction rowDown(ComparisonView& view, const ViewKey&, const Key&) {
    return redrawnIf(view.position.rowDown(view.screenRows()));
}

// Wrapped rows show the whole of every line: there is nothing to scroll sideways to.
Reaction scrollLeft(ComparisonView& view, const ViewKey&, const Key&) {
    if (view.settings.wrap || !view.position.scrollLeft(view.settings.hexMode != 0)) return {};
    return {.redraw = kRedrawText};
}

Reaction scrollRight(ComparisonView& view, const ViewKey&, const Key&) {
    if (view.settings.wrap || !view.position.scrollRight(view.settings.hexMode != 0)) return {};
    return {.redraw = kRedrawText};
}

Reaction openHelp(ComparisonView& view, const ViewKey&, const Key&) {
    return {.open = HelpPager{mainHelpPages, view.wantedSize.height}};
}

Reaction openColourSetup(ComparisonView&, const ViewKey&, const Key&) {
    return {.open = ColourSetupScreen{}};
}

Reaction stepWidth(ComparisonView& view, const ViewKey&, const Key&) {
    view.wantedSize.width = nextScreenWidth(view.wantedSize.width);
    // Hex rows follow the pane width.
    return {.rebuild = view.settings.hexMode ? kRebuildTables : kRebuildList, .resize = true};
}

Reaction stepHeight(ComparisonView& view, const ViewKey&, const Key&) {
    view.wantedSize.height = nextScreenHeight(view.wantedSize.height);
    return {.resize = true};
}

Reaction openSearchPrompt(ComparisonView& view, const ViewKey&, const Key&) {
    view.lastRow.open(Prompt::search);
    return {};
}

Reaction openLinePrompt(ComparisonView& view, const ViewKey&, const Key&) {
    view.lastRow.open(Prompt::goToLine);
    return {};
}

Reaction searchAgain(ComparisonView& view, const ViewKey&, const Key& key) {
    if (view.lastSearch.empty()) return {};
    return view.search(view.lastSearch, key.code == kKeyShiftF3);
}

// The file names as the frames show them, for messages.
std::u16string shownName(const TChar* name) {
    std::u16string text;
    for (const TChar* at = name; *at != 0; ++at) {
        if constexpr (kWideBuild)
            text += static_cast<char16_t>(*at);
        else
            text += oemToUnicode(static_cast<uint8_t>(*at));
    }
    return text;
}

Reaction reloadFiles(ComparisonView& view, const ViewKey&, const Key&) {
    if (!view.reload) return {};
    // The line at the top now goes to the top again once the files are read.
    if (view.rows() && view.position.topRow < view.tables.comparison.rowCount) {
        const DiffRow& top = view.rows()[view.position.topRow];
        view.anchorSide = top.leftNumber != 0 ? 0 : 1;
        view.anchorNumber = fileLineNumber(view.tables.comparison, view.anchorSide,
                                           top.leftNumber != 0 ? top.leftNumber : top.rightNumber);
        view.anchorPending = true;
    }
    const ReloadResult result = view.reload(view.files);
    if (result.outcome != ReloadResult::loaded) {
        view.anchorPending = false;
        if (result.outcome == ReloadResult::outOfMemory) {
            view.lastRow.showMessage(u"Out of memory", colourScheme.differing);
        } else {
            const bool first = result.file == 1;
            const TChar* name = first ? view.files.left.name : view.files.right.name;
            const char16_t* what = result.outcome == ReloadResult::notAgain ? u"Can't reload file "
                                                                            : u"Can't load file ";
            std::u16string message =
                what + std::u16string(1, first ? u'1' : u'2') + u" (" + shownName(name) + u")";
            if (!result.reason.empty())
                message += u": " + std::u16string(result.reason.begin(), result.reason.end());
            view.lastRow.showMessage(std::move(message), colourScheme.differing);
        }
        return {};
    }
    // The comparison points into the old images, which the reload has freed: it goes unread.
    view.tables.comparison = Comparison{};
    view.found = SearchHit{};
    if (!view.files.note.empty()) view.lastRow.showMessage(view.files.note, colourScheme.frame);
    // Both files are read anew: the layout too, since offsets and encodings may have changed.
    return {.rebuild = kRebuildTables | kRebuildList, .layout = true};
}

Reaction nextAlignment(ComparisonView& view, const ViewKey&, const Key&) {
    // Window, long runs, histogram, and round again.
    static constexpr const char16_t* kNames[] = {u"Alignment: window", u"Alignment: long runs",
                                                 u"Alignment: histogram"};
    int32_t& alignment = view.settings.alignment;
    alignment = alignment == kAlignHistogram ? kAlignWindow : alignment + 1;
    // The menu has no letter for it: the last row says what the key did.
    view.lastRow.showMessage(kNames[alignment], colourScheme.frame);
    return {.rebuild = kRebuildList};
}

Reaction toggleFolding(ComparisonView& view, const ViewKey&, const Key&) {
    // The found text stays found where the top stays on its row.
    const bool onFound = view.position.topRow == view.foundTopRow;
    view.setFolded(!view.settings.fold);
    view.position.settle(view.screenRows());
    if (onFound) view.foundTopRow = view.position.topRow;
    // The menu has no letter for it: the last row says what the key did.
    const std::string context = std::to_string(view.settings.contextRows);
    view.lastRow.showMessage(
        view.settings.fold
            ? u"Folded: " + std::u16string(context.begin(), context.end()) +
                  (view.settings.contextRows == 1 ? u" line of context" : u" lines of context")
            : u"Unfolded",
        colourScheme.frame);
    return {.redraw = kRedrawRows};
}

Reaction toggleWrapping(ComparisonView& view, const ViewKey&, const Key&) {
    // The top line stays, from its first screen row.
    view.settings.wrap ^= 1;
    view.position.topPart = 0;
    view.lastRow.showMessage(view.settings.wrap ? u"Wrapped" : u"Not wrapped", colourScheme.frame);
    return {.redraw = kRedrawRows};
}

Reaction followTerminalSize(ComparisonView& view, const ViewKey&, const Key&) {
    // The console already has the terminal's new size: the view is laid out for it.
    view.wantedSize = getScreenSize(false);
    return {.layout = true};
}

// The key summary names the movement keys together.
constexpr const char* kMovement = "ARROWS";

const ViewKey kViewKeys[] = {
    {.codes = {kKeyEnter, kKeyEscape, 'Q', 'q'}, .action = quit, .help = {"ESC/ENTER/Q", "ESC,"}},
    {.codes = {kKeyCtrlC}, .action = interrupt, .help = {"Ctrl-C"}},
    {.codes = {' ', '+'}, .action = nextBlock, .help = {"SPACE", "+", "'+'"}},
    {.codes = {'-'}, .action = previousBlock, .help = {"-"}},
    {.codes = {'1', '2', '3', '4', '5', '6', '7', '8', '9'},
     .action = setTabWidth,
     .help = {"1..9", "'1'..'9'"}},
    {.codes = {'C', 'c'},
     .action = flipSetting,
     .toggled = {.rebuild = kRebuildList | kRebuildToggles},
     .toggle = &Settings::ignoreCase,
     .menuWord = QVD_T("Case"),
     .help = {"C", "'c'"}},
    {.codes = {'D', 'd'},
     .action = flipSetting,
     .toggled = {.redraw = kRedrawText | kRedrawToggles},
     .toggle = &Settings::highlightDiffChars,
     .menuWord = QVD_T("Diff"),
     .help = {"D", "'d'"}},
    {.codes = {'E', 'e'},
     .action = flipSetting,
     .toggled = {.rebuild = kRebuildTables | kRebuildList | kRebuildToggles},
     .toggle = &Settings::suppressEmptyLines,
     .menuWord = QVD_T("Empty"),
     .help = {"E", "'e'"}},
    {.codes = {'H', 'h'}, .action = toggleHexMode, .help = {"H", "'h'"}},
    {.codes = {'L', 'N', 'l', 'n'}, .action = toggleLineNumbers, .help = {"L", "'l'"}},
    {.codes = {'M', 'm'},
     .action = flipSetting,
     .toggled = {.resize = true},
     .toggle = &Settings::hideMenu,
     .help = {"'m'"}},
    {.codes = {'O', 'o'},
     .action = flipSetting,
     .toggled = {.redraw = kRedrawText | kRedrawToggles},
     .toggle = &Settings::ansiCharset,
     .menuWord = QVD_T("OEM"),
     .litWhenClear = true,
     .help = {"O", "'o'"}},
    {.codes = {'S', 's'}, .action = toggleSplit, .help = {"S", "'s'"}},
    {.codes = {'T', 't'}, .action = toggleTallDisplay, .help = {"T", "'t'"}},
    {.codes = {'W', 'w'},
     .action = flipSetting,
     .toggled = {.rebuild = kRebuildList | kRebuildToggles},
     .toggle = &Settings::compressWhiteSpace,
     .menuWord = QVD_T("White"),
     .help = {"W", "'w'"}},
    {.codes = {kKeyPageUp}, .action = pageUp, .help = {kMovement}},
    {.codes = {kKeyPageDown}, .action = pageDown, .help = {kMovement}},
    {.codes = {kKeyEnd}, .action = goToEnd, .help = {kMovement}},
    {.codes = {kKeyHome}, .action = goHome, .help = {kMovement}},
    {.codes = {kKeyLeft}, .action = scrollLeft, .help = {kMovement}},
    {.codes = {kKeyUp}, .action = rowUp, .help = {kMovement}},
    {.codes = {kKeyRight}, .action = scrollRight, .help = {kMovement}},
    {.codes = {kKeyDown}, .action = rowDown, .help = {kMovement}},
    // Desktops and terminals take F1, F10 and Alt with F8 to F10 for themselves (help, menu,
    // window size, console switching): each of these commands has a second key that reaches it.
    {.codes = {kKeyF1, '?'}, .action = openHelp, .help = {"F1, '?'"}},
    {.codes = {kKeyAltF8, kKeyF8}, .action = stepWidth, .help = {"Alt-F8, F8"}},
    {.codes = {kKeyAltF9, kKeyF9}, .action = stepHeight, .help = {"Alt-F9, F9"}},
    {.codes = {kKeyAltF10, 'P', 'p'},
     .action = openColourSetup,
     .help = {"Alt-F10", "Alt-F10, 'p'"}},
    {.codes = {kKeyScreenResized}, .action = followTerminalSize},
    {.codes = {'/'}, .action = openSearchPrompt, .help = {"'/'"}},
    {.codes = {':'}, .action = openLinePrompt, .help = {"':'"}},
    {.codes = {kKeyF3, kKeyShiftF3}, .action = searchAgain, .help = {"'/'"}},
    {.codes = {'R', 'r'}, .action = reloadFiles, .help = {"'r'"}},
    {.codes = {'A', 'a'}, .action = nextAlignment, .help = {"'a'"}},
    {.codes = {'F', 'f'}, .action = toggleFolding, .help = {"'f'"}},
    {.codes = {'Z', 'z'}, .action = toggleWrapping, .help = {"'z'"}},
};

// An entered prompt's work: the line to go to, or the text to find (an empty text finds the last
// one again).
Reaction enter(ComparisonView& view, Prompt kind, const std::u16string& text) {
    if (kind == Prompt::goToLine) return view.goToLine(text);
    if (text.empty() && view.lastSearch.empty()) return {};
    if (!text.empty()) view.lastSearch = text;
    return view.search(view.lastSearch, false);
}

// The mouse as the keys it stands for: a notch of the wheel as kWheelRows presses of Up or Down,
// a left click on an item of the menu as the item's key. The rest of it does nothing, not even
// take a message away, and nothing of it reaches an open prompt.
Reaction actOnMouse(ComparisonView& view, const MouseEvent& mouse) {
    if (view.lastRow.prompt != Prompt::none) return {};
    int code = 0;
    int presses = 1;
    if (mouse.action == kMouseWheelUp || mouse.action == kMouseWheelDown) {
        code = mouse.action == kMouseWheelUp ? kKeyUp : kKeyDown;
        presses = kWheelRows;
    } else if (mouse.action == kMousePress && mouse.button == kMouseLeft) {
        code = menuKeyAt(mouse.row, mouse.column);
    }
    if (code == 0) return {};
    const Key key{code, code < kKeyVirtual ? static_cast<char32_t>(code) : U'\0'};
    Reaction reaction;
    for (int press = 0; press < presses; ++press) reaction |= actOnKey(view, key);
    return reaction;
}

} // namespace

const std::span<const ViewKey> viewKeys(kViewKeys);

const ViewKey* findViewKey(int code) {
    if (code == 0) return nullptr; // the padding of the code lists
    for (const ViewKey& row : viewKeys)
        if (std::find(std::begin(row.codes), std::end(row.codes), code) != std::end(row.codes))
            return &row;
    return nullptr;
}

bool isQuitKey(int code) {
    const ViewKey* row = findViewKey(code);
    return row != nullptr && row->action == quit;
}

Reaction actOnKey(ComparisonView& view, const Key& key) {
    if (key.code == kKeyMouse) return actOnMouse(view, key.mouse);
    const bool prompting = view.lastRow.prompt != Prompt::none && key.code != kKeyScreenResized;
    const ViewKey* row = prompting ? nullptr : findViewKey(key.code);
    // A key that ends the view does not wait for the rest of the comparison; the others do, and
    // while files are still arriving they say how far the wait has got.
    if (row && (row->action == quit || row->action == interrupt)) view.abandonBuild();
    Reaction reaction;
    if (view.arrivalPending) {
        reaction = view.awaitArrival();
        if (reaction.leave != ViewOutcome::none) return reaction;
    }
    if (!view.finishBuild()) return {.leave = ViewOutcome::outOfMemory};
    if (!view.lastRow.message.empty()) {
        // The message goes with the next key, which then acts as usual; but Esc and Enter, the
        // keys that dismiss a message, do only that rather than leave the view.
        view.lastRow.message.clear();
        reaction.layout = true;
        if (!prompting && (key.code == kKeyEscape || key.code == kKeyEnter)) return reaction;
    }
    if (prompting) {
        const Prompt kind = view.lastRow.prompt;
        switch (editPrompt(view.lastRow, key, view.settings.hexMode != 0)) {
        case PromptEdit::typing:
            break;
        case PromptEdit::interrupted:
            reaction.leave = ViewOutcome::interrupted;
            break;
        case PromptEdit::cancelled:
            reaction.layout = true; // the last row comes back as it was, the cursor hidden
            break;
        case PromptEdit::entered: {
            const std::u16string text = view.lastRow.text;
            view.lastRow.close();
            reaction.layout = true;
            reaction |= enter(view, kind, text);
            break;
        }
        }
        return reaction;
    }
    if (row) reaction |= row->action(view, *row, key);
    return reaction;
}
