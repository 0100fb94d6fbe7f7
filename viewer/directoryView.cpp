#include "viewer/directoryView.h"

#include "console/colourScheme.h"
#include "console/helpPager.h"
#include "console/helpPages.h"
#include "console/keyReader.h"
#include "console/paneFrames.h"
#include "console/screen.h"
#include "platform/codePages.h"
#include "platform/pathText.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

// Columns of the state and of each size; the sizes are left out on screens too narrow for them.
constexpr int kStateColumns = 14;
constexpr int kSizeColumns = 12;
constexpr int kNarrowestWithSizes = 70;

#if QVD_WIDE
constexpr TChar kVertical = u'\u2502';
constexpr TChar kHorizontal = u'\u2500';
constexpr TChar kCorners[4] = {u'\u250C', u'\u2510', u'\u2514', u'\u2518'};
#else
constexpr TChar kVertical = '\xB3';
constexpr TChar kHorizontal = '\xC4';
constexpr TChar kCorners[4] = {'\xDA', '\xBF', '\xC0', '\xD9'};
#endif

const char* stateText(TreeState state) {
    switch (state) {
    case TreeState::pending:
        return "...";
    case TreeState::identical:
        return "identical";
    case TreeState::different:
        return "different";
    case TreeState::onlyLeft:
        return "only left";
    case TreeState::onlyRight:
        return "only right";
    case TreeState::kindsDiffer:
        return "kinds differ";
    case TreeState::unreadable:
        return "unreadable";
    case TreeState::notCompared:
        return "not compared";
    case TreeState::walkedBefore:
        return "walked before";
    }
    return "";
}

// What a side's size column shows: the length of a file, else what the side holds.
std::string sizeText(const TreeSide& side) {
    switch (side.kind) {
    case EntryKind::none:
        return "-";
    case EntryKind::file:
        return std::to_string(side.size);
    case EntryKind::directory:
    case EntryKind::repeated:
        return "dir";
    case EntryKind::special:
        return "special";
    case EntryKind::unreadable:
        return "?";
    }
    return "";
}

uint16_t stateAttribute(TreeState state) {
    if (stateDiffers(state)) return colourScheme.differing;
    if (state == TreeState::identical) return colourScheme.identical;
    return colourScheme.lineNumbers;
}

// The cursor bar: the row's colours swapped.
uint16_t selectedAttribute(uint16_t attribute) {
    return static_cast<uint16_t>(((attribute & 0x0F) << 4) | ((attribute & 0xF0) >> 4) |
                                 (attribute & 0xFF00));
}

// A path as the list shows it: a directory ends in '/'; moxaw shows the bytes through the OEM
// code page, as the frames show names.
TString shownPath(const TreeEntry& entry) {
    TString text = argumentToText(entry.path);
    if constexpr (!kWideBuild) {
        for (auto& unit : text) unit = static_cast<TChar>(ansiToOem(static_cast<uint8_t>(unit)));
    }
    const bool directory =
        entry.left.kind == EntryKind::directory || entry.right.kind == EntryKind::directory ||
        entry.left.kind == EntryKind::repeated || entry.right.kind == EntryKind::repeated;
    if (directory) text += TChar('/');
    return text;
}

// The path as the search matches it: what the list shows, as Unicode, in lower case for ASCII.
std::u16string searchablePath(const TreeEntry& entry) {
    const TString text = shownPath(entry);
    std::u16string out;
    out.reserve(text.size());
    for (TChar unit : text) {
        char16_t wide;
        if constexpr (kWideBuild)
            wide = static_cast<char16_t>(unit);
        else
            wide = oemToUnicode(static_cast<uint8_t>(unit));
        if (wide >= u'A' && wide <= u'Z') wide = static_cast<char16_t>(wide + 32);
        out += wide;
    }
    return out;
}

std::u16string lowered(std::u16string text) {
    for (auto& unit : text)
        if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + 32);
    return text;
}

void writeAscii(const std::string& text, int row, int column, uint16_t attribute) {
    const int count = cellsWithinRow(column, static_cast<int>(text.size()));
    if (count > 0) writeNarrowText(text.data(), count, row, column, attribute);
}

// A name shortened to columns cells at most, written as the terminal shows it.
void writeName(const TString& name, int columns, int row, int column, uint16_t attribute) {
    writeShortName(name.c_str(), std::min(columns, kNameFieldLimit), row, column, attribute);
}

void frameRow(int row, int width, TChar left, TChar fill, TChar right) {
    if (width <= 0) return;
    TString line(static_cast<size_t>(width), fill);
    line.front() = left;
    if (width > 1) line.back() = right;
    writeBuildText(line.c_str(), width, row, 0, colourScheme.frame);
}

// The counts in the bottom border: what differs so far, and what is still being done.
std::string progressText(const TreeList& list) {
    std::string text = " " + std::to_string(list.size()) + " paths, " +
                       std::to_string(list.differing()) + " differ";
    if (!list.walked())
        text += "; reading the trees...";
    else if (!list.finished())
        text += "; comparing, " + std::to_string(list.waiting()) + " left";
    return text + " ";
}

void drawRow(const DirectoryView& view, uint32_t index, int screenRow, int width) {
    const TreeRow& row = view.list.row(index);
    const TreeState state = row.state.load(std::memory_order_acquire);
    uint16_t attribute = stateAttribute(state);
    if (index == view.selected) attribute = selectedAttribute(attribute);
    const int inner = width - 2;
    if (inner <= 0) return;
    const TString blanks(static_cast<size_t>(inner), TChar(' '));
    writeBuildText(blanks.c_str(), inner, screenRow, 1, attribute);
    const bool sizes = width >= kNarrowestWithSizes;
    const int fixed = kStateColumns + (sizes ? 2 * kSizeColumns : 0);
    const int nameColumns = inner - 1 - fixed;
    if (nameColumns > 0) writeName(shownPath(row.entry), nameColumns, screenRow, 2, attribute);
    char text[64];
    int column = 1 + inner - fixed;
    if (column < 2) return;
    std::snprintf(text, sizeof text, " %-*s", kStateColumns - 1, stateText(state));
    writeAscii(text, screenRow, column, attribute);
    if (!sizes) return;
    column += kStateColumns;
    for (const TreeSide* side : {&row.entry.left, &row.entry.right}) {
        std::snprintf(text, sizeof text, "%*s", kSizeColumns - 1, sizeText(*side).c_str());
        writeAscii(text, screenRow, column, attribute);
        column += kSizeColumns;
    }
}

// Rebuilds the rows on show while identical ones are hidden: their states change behind the list.
void gatherShown(DirectoryView& view) {
    view.shown.clear();
    if (!view.hideIdentical) return;
    const uint32_t count = view.list.size();
    for (uint32_t index = 0; index < count; ++index)
        if (view.list.state(index) != TreeState::identical) view.shown.push_back(index);
}

// Keeps the selected row within the rows on show and the list scrolled to it.
void settle(DirectoryView& view) {
    gatherShown(view);
    const uint32_t count = view.shownCount();
    if (count == 0) {
        view.top = 0;
        return;
    }
    const uint32_t position = std::min(view.selectedPosition(), count - 1);
    view.selected = view.rowAt(position);
    const auto rows = static_cast<uint32_t>(std::max(view.listRows(), 1));
    if (position < view.top) view.top = position;
    if (position >= view.top + rows) view.top = position - rows + 1;
    view.top = std::min(view.top, count > rows ? count - rows : 0);
}

void select(DirectoryView& view, int64_t position) {
    const uint32_t count = view.shownCount();
    if (count == 0) return;
    position = std::clamp<int64_t>(position, 0, count - 1);
    view.selected = view.rowAt(static_cast<uint32_t>(position));
}

// The next (or previous) row on show from the selected one whose state makes the trees differ.
Reaction nextDifference(DirectoryView& view, bool upward) {
    const uint32_t count = view.shownCount();
    const uint32_t from = view.selectedPosition();
    for (uint32_t step = 1; step < count + 1; ++step) {
        if (upward ? step > from : from + step >= count) break;
        const uint32_t position = upward ? from - step : from + step;
        if (stateDiffers(view.list.state(view.rowAt(position)))) {
            view.selected = view.rowAt(position);
            return {};
        }
    }
    view.lastRow.showMessage(upward ? u"No difference above" : u"No difference below",
                             colourScheme.frame);
    return {};
}

Reaction searchName(DirectoryView& view, const std::u16string& text, bool upward) {
    if (text.empty()) return {};
    view.lastSearch = text;
    const std::u16string wanted = lowered(text);
    const uint32_t count = view.shownCount();
    const uint32_t from = view.selectedPosition();
    for (uint32_t step = 1; step <= count; ++step) {
        const uint32_t position = upward ? (from + count - step) % count : (from + step) % count;
        const uint32_t index = view.rowAt(position);
        if (searchablePath(view.list.row(index).entry).find(wanted) != std::u16string::npos) {
            view.selected = index;
            return {};
        }
    }
    view.lastRow.showMessage(u"Not found: " + text, colourScheme.differing);
    return {};
}

// ENTER: the pair of files on the selected row in a comparison view above the list.
Reaction openSelected(DirectoryView& view) {
    if (view.shownCount() == 0) return {};
    const uint32_t index = view.selected;
    const TreeEntry& entry = view.list.row(index).entry;
    const EntryKind left = entry.left.kind;
    const EntryKind right = entry.right.kind;
    const bool leftFile = left == EntryKind::file || left == EntryKind::none;
    const bool rightFile = right == EntryKind::file || right == EntryKind::none;
    if (!leftFile || !rightFile) {
        const bool directory = left == EntryKind::directory || right == EntryKind::directory ||
                               left == EntryKind::repeated || right == EntryKind::repeated;
        view.lastRow.showMessage(
            directory ? u"A directory: what it holds is listed below it"
                      : u"Only files can be opened: this is a special file, or unreadable",
            colourScheme.frame);
        return {};
    }
    PairOpened opened = view.openPair({view.list.leftPath(index), view.list.rightPath(index),
                                       left != EntryKind::none, right != EntryKind::none});
    if (!opened.pair) {
        view.lastRow.showMessage(opened.failure, colourScheme.differing);
        return {};
    }
    view.chosen = std::move(opened.pair);
    return {.openChosen = true};
}

Reaction readAgain(DirectoryView& view) {
    view.list.start(view.behind);
    view.selected = 0;
    view.top = 0;
    return {};
}

Reaction enterPrompt(DirectoryView& view, const Key& key) {
    Reaction reaction;
    switch (editPrompt(view.lastRow, key, false)) {
    case PromptEdit::typing:
    case PromptEdit::cancelled:
        break;
    case PromptEdit::interrupted:
        reaction.leave = ViewOutcome::interrupted;
        break;
    case PromptEdit::entered: {
        const std::u16string text = view.lastRow.text;
        view.lastRow.close();
        reaction |= searchName(view, text, false);
        break;
    }
    }
    return reaction;
}

// A notch of the wheel moves the bar as kWheelRows presses of Up or Down; the rest of the mouse
// does nothing, and nothing of it reaches an open prompt.
Reaction followWheel(DirectoryView& view, const MouseEvent& mouse) {
    const bool wheel = mouse.action == kMouseWheelUp || mouse.action == kMouseWheelDown;
    if (!wheel || view.lastRow.prompt != Prompt::none) return {};
    const Key key{mouse.action == kMouseWheelUp ? kKeyUp : kKeyDown};
    Reaction reaction;
    for (int press = 0; press < kWheelRows; ++press) reaction |= actOnKey(view, key);
    return reaction;
}

} // namespace

DirectoryView::DirectoryView(TreeList& trees, TString left, TString right, OpenPair open,
                             const Settings& start)
    : list(trees), leftName(std::move(left)), rightName(std::move(right)),
      openPair(std::move(open)), settings(start) {}

uint32_t DirectoryView::shownCount() const {
    return hideIdentical ? static_cast<uint32_t>(shown.size()) : list.size();
}

uint32_t DirectoryView::rowAt(uint32_t position) const {
    return hideIdentical ? shown[position] : position;
}

uint32_t DirectoryView::selectedPosition() const {
    if (!hideIdentical) return selected;
    return static_cast<uint32_t>(std::lower_bound(shown.begin(), shown.end(), selected) -
                                 shown.begin());
}

int DirectoryView::listRows() const {
    return getScreenSize(false).height - 3;
}

void drawView(DirectoryView& view) {
    const ScreenSize size = getScreenSize(false);
    const int width = size.width;
    const int height = size.height;
    settle(view);
    clearScreen(colourScheme.frame);
    setCursorVisible(false);
    if (height < 1 || width < 1) return;
    const int bottom = height - 2;
    frameRow(0, width, kCorners[0], kHorizontal, kCorners[1]);
    for (int row = 1; row < bottom; ++row) frameRow(row, width, kVertical, TChar(' '), kVertical);
    if (bottom > 0) frameRow(bottom, width, kCorners[2], kHorizontal, kCorners[3]);
    // The roots in the top border, the first at the left, the second from the middle.
    const int half = width / 2;
    writeName(view.leftName, half - 2, 0, 1, colourScheme.frame);
    writeName(view.rightName, width - half - 2, 0, half + 1, colourScheme.frame);

    const uint32_t count = view.shownCount();
    for (int row = 1; row < bottom; ++row) {
        const uint32_t position = view.top + static_cast<uint32_t>(row - 1);
        if (position >= count) break;
        drawRow(view, view.rowAt(position), row, width);
    }
    if (bottom > 0) writeAscii(progressText(view.list), bottom, 2, colourScheme.frame);
    if (view.lastRow.shown()) {
        drawLastRow(view.lastRow, colourScheme.frame);
        return;
    }
    (void)writeEscapedWithinRow(QVD_T("%2ENTER%1 open  %2SPACE%1 next difference  %2/%1 find  "
                                      "%2i%1 identical  %2r%1 reread  %2?%1 help  %2q%1 quit"),
                                height - 1, 0);
}

Reaction actOnKey(DirectoryView& view, const Key& key) {
    if (key.code == kKeyMouse) return followWheel(view, key.mouse);
    if (view.lastRow.prompt != Prompt::none && key.code != kKeyScreenResized)
        return enterPrompt(view, key);
    if (!view.lastRow.message.empty()) {
        // The message goes with the next key; ESC and ENTER only take it away.
        view.lastRow.message.clear();
        if (key.code == kKeyEscape || key.code == kKeyEnter) return {};
    }
    settle(view);
    const int64_t position = view.selectedPosition();
    const int64_t page = std::max(view.listRows() - 1, 1);
    switch (key.code) {
    case kKeyUp:
        select(view, position - 1);
        return {};
    case kKeyDown:
        select(view, position + 1);
        return {};
    case kKeyPageUp:
        select(view, position - page);
        view.top = static_cast<uint32_t>(std::max<int64_t>(view.top - page, 0));
        return {};
    case kKeyPageDown:
        select(view, position + page);
        view.top = static_cast<uint32_t>(view.top + page);
        return {};
    case kKeyHome:
        select(view, 0);
        return {};
    case kKeyEnd:
        select(view, view.shownCount());
        return {};
    case ' ':
    case '+':
        return nextDifference(view, false);
    case '-':
        return nextDifference(view, true);
    case '/':
        view.lastRow.open(Prompt::search);
        return {};
    case kKeyF3:
    case kKeyShiftF3:
        if (view.lastSearch.empty()) {
            view.lastRow.open(Prompt::search);
            return {};
        }
        return searchName(view, view.lastSearch, key.code == kKeyShiftF3);
    case kKeyEnter:
        return openSelected(view);
    case 'i':
    case 'I':
        view.hideIdentical = !view.hideIdentical;
        view.lastRow.showMessage(view.hideIdentical ? u"Identical rows hidden"
                                                    : u"Identical rows shown",
                                 colourScheme.frame);
        return {};
    case 'r':
    case 'R':
        return readAgain(view);
    case '?':
    case kKeyF1:
        return {.open = HelpPager{treeHelpPages, getScreenSize(false).height}};
    case 'q':
    case 'Q':
    case kKeyEscape:
        return {.leave = ViewOutcome::done};
    case kKeyCtrlC:
        return {.leave = ViewOutcome::interrupted};
    default:
        return {};
    }
}

int busyWaitMs(const DirectoryView& view) {
    if (view.finishSeen) return 0;
    const bool screenFull = view.list.walked() ||
                            view.list.size() >= static_cast<uint32_t>(std::max(view.listRows(), 0));
    return screenFull ? 100 : 5;
}

Reaction idle(DirectoryView& view) {
    view.finishSeen = view.list.finished();
    if (view.finishSeen && view.list.differing() == 0 && !view.allIdentical) {
        // Trees found identical give way to the sentence that says so, as two files do.
        view.allIdentical = true;
        return {.leave = ViewOutcome::done};
    }
    return {};
}

void resumeView(DirectoryView&) {}
