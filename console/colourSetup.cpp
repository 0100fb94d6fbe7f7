#include "console/colourSetup.h"

#include "console/colourScheme.h"
#include "console/helpPager.h"
#include "console/helpPages.h"
#include "console/keyReader.h"
#include "console/paneFrames.h"
#include "console/reaction.h"
#include "console/screen.h"
#include "platform/pathText.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

// The picture is always 80 x 25, whatever the console's size: the rest of a larger screen stays
// blank in the frame colour.
constexpr int kPictureWidth = 80;
constexpr int kPictureHeight = 25;
constexpr int kFirstBlankSampleRow = 6;
constexpr int kLastSampleRow = 20;

// Sample rows 1 to 5; the left strings are one cell wider to reach the divider.
const TChar* const kLeftSamples[] = {
    QVD_T("%6   1 %2Identical line                   %1 "),
    QVD_T("%6   2 %4Line with %5some%4 differences       %1 "),
    QVD_T("%6   3 %5Totally dif%4f%5ering line%4           %1 "),
    QVD_T("%6   4 %2                                 %1 "),
    QVD_T("%6   5 %2**** Colour setup screen ****    %1 "),
};
const TChar* const kRightSamples[] = {
    QVD_T("%6   1 %2Identical line                   %1"),
    QVD_T("%6   2 %4Line with %5few %4 differences       %1"),
    QVD_T("%6   3 %5Empty line %4f%5ollows    %4           %1"),
    QVD_T("%6   4 %2                                 %1"),
    QVD_T("%6   5 %2**** Colour setup screen ****    %1"),
};
const TChar* const kLeftBlankSample = QVD_T("%6     %2                                 %1 ");
const TChar* const kRightBlankSample = QVD_T("%6     %2                                 %1");

const TChar* const kMenuLines[] = {
    QVD_T("%1 COLOUR   %2F%1rame and menu   %2I%1dentical lines   %2L%1ine numbers   "
          "%2R%1estore defaults    "),
    QVD_T("%1 SETUP    %2M%1atching chars   %2D%1iffering chars in differing line   "
          "%2K%1ill qvd.ini     "),
    QVD_T("%1 Uppercase: foreground  Lowercase: background   %2F1%1 help   %2ENTER%1 save  "
          "%2ESC%1 abort "),
};
constexpr int kFirstMenuRow = 22;

void drawColourSetup() {
    // The sample panes always leave the three menu rows free, whatever the user's menu setting.
    const PaneLayout layout = drawPaneFrames(kPictureWidth, kPictureHeight, 0, true,
                                             QVD_T("colour1.txt"), QVD_T("colour2.txt"));

    int row = 1;
    for (int sample = 0; sample < static_cast<int>(std::size(kLeftSamples)); ++sample, ++row) {
        (void)writeEscapedWithinRow(kLeftSamples[sample], row, layout.leftX + 1);
        (void)writeEscapedWithinRow(kRightSamples[sample], row, layout.rightX + 1);
    }
    for (row = kFirstBlankSampleRow; row <= kLastSampleRow; ++row) {
        (void)writeEscapedWithinRow(kLeftBlankSample, row, layout.leftX + 1);
        (void)writeEscapedWithinRow(kRightBlankSample, row, layout.rightX + 1);
    }
    for (int line = 0; line < static_cast<int>(std::size(kMenuLines)); ++line) {
        (void)writeEscapedWithinRow(kMenuLines[line], kFirstMenuRow + line, 0);
    }
}

// One row of the failure lines: text cut or padded to the picture's width.
void writeRow(TString text, int row, uint16_t attribute) {
    text.resize(kPictureWidth, TChar{' '});
    writeBuildText(text.data(), cellsWithinRow(0, kPictureWidth), row, 0, attribute);
}

TString asciiText(std::string_view text) {
    return TString(text.begin(), text.end());
}

// The failure lines in place of the menu lines: what was not done, then each place tried and
// why.
void drawFailure(int request) {
    const bool saving = request == kColourSetupSave;
    writeRow(asciiText(saving ? " The colours were not saved: they last until the program "
                                "ends.   Press a key"
                              : " qvd.ini was not deleted: the next start reads it again.   "
                                "Press a key"),
             kFirstMenuRow, colourScheme.differing);
    const std::vector<ColourFileError>& errors = colourFileErrors();
    for (int line = 1; line < static_cast<int>(std::size(kMenuLines)); ++line) {
        TString text;
        if (static_cast<size_t>(line) <= errors.size()) {
            const ColourFileError& error = errors[static_cast<size_t>(line) - 1];
            const TString reason = asciiText(": ") + asciiText(error.reason);
            TString path = argumentToText(error.path);
            // A long path gives up its start, so that the reason stays in sight.
            const size_t room = kPictureWidth - 1 - std::min<size_t>(reason.size(), 40);
            if (path.size() > room) path = asciiText("...") + path.substr(path.size() - room + 3);
            text = asciiText(" ") + path + reason;
        }
        writeRow(std::move(text), kFirstMenuRow + line, colourScheme.frame);
    }
}

// Leaves once the colour file did what request asks (nothing for an abort); else stays to say
// what failed.
Reaction leaveWith(ColourSetupScreen& screen, int request) {
    screen.request = request;
    if (request != kColourSetupAborted && !saveColourScheme(request)) {
        screen.failed = true;
        return {};
    }
    return {.leave = ViewOutcome::done};
}

} // namespace

void drawView(ColourSetupScreen& screen) {
    if (!screen.cleared) {
        clearScreen(colourScheme.frame);
        screen.cleared = true;
    }
    drawColourSetup();
    if (screen.failed) drawFailure(screen.request);
}

Reaction actOnKey(ColourSetupScreen& screen, const Key& key) {
    // The picture has no arrow keys and nothing to click: the mouse does nothing here, and is no
    // answer to a failure either.
    if (key.code == kKeyMouse) return {};
    // After a failure a terminal resize is no answer: the picture is drawn again for it.
    if (screen.failed) {
        if (key.code == kKeyScreenResized) return {};
        return {.leave = ViewOutcome::done};
    }
    if (stepColourForKey(colourScheme, key.code)) return {};
    switch (key.code) {
    case 'R':
    case 'r':
        (void)loadColourScheme(true);
        break;
    case 'k': // only the lowercase letter, although the menu shows 'K'
        (void)loadColourScheme(false);
        screen.killRequested = true;
        break;
    case kKeyF1:
        return {.open = HelpPager{colourHelpPages, kPictureHeight}};
    case kKeyEnter:
        return leaveWith(screen, kColourSetupSave);
    case kKeyEscape:
        (void)loadColourScheme(false);
        return leaveWith(screen, screen.killRequested ? kColourSetupKill : kColourSetupAborted);
    default:
        break;
    }
    return {};
}
