#include "viewer/promptLine.h"

#include "console/screen.h"
#include "platform/build.h"
#include "platform/codePages.h"
#include "platform/textCells.h"

#include <utility>
#include <vector>

namespace {

// Most characters a prompt takes: a search text, or the digits of a line number or offset.
constexpr size_t kSearchCapacity = 256;
constexpr size_t kNumberCapacity = 10;

} // namespace

void PromptLine::open(Prompt kind) {
    prompt = kind;
    text.clear();
}

void PromptLine::close() {
    prompt = Prompt::none;
    text.clear();
}

void PromptLine::showMessage(std::u16string line, uint16_t attribute) {
    message = std::move(line);
    messageAttribute = attribute;
}

PromptEdit editPrompt(PromptLine& line, const Key& key, bool hexDigits) {
    switch (key.code) {
    case kKeyCtrlC:
        return PromptEdit::interrupted;
    case kKeyEscape:
        line.close();
        return PromptEdit::cancelled;
    case kKeyBackspace:
        if (line.text.empty()) {
            line.close();
            return PromptEdit::cancelled;
        } else {
            // A character beyond U+FFFF goes as a whole.
            const std::u16string& text = line.text;
            bool pair = text.size() >= 2 && (text.back() & 0xFC00) == 0xDC00 &&
                        (text[text.size() - 2] & 0xFC00) == 0xD800;
            line.text.erase(text.size() - (pair ? 2 : 1));
        }
        return PromptEdit::typing;
    case kKeyEnter:
        return PromptEdit::entered;
    default:
        break;
    }
    if (key.code < 0x20 || key.code > 0xFF) return PromptEdit::typing; // only typed characters
    // moxa takes the character as typed; moxaw its OEM form, as its text is shown.
    char32_t character = kWideBuild ? key.character : 0;
    if (character == 0) character = oemToUnicode(static_cast<uint8_t>(key.code));
    if (line.prompt == Prompt::goToLine) {
        bool decimal = character >= U'0' && character <= U'9';
        bool hex = (character | 0x20) >= U'a' && (character | 0x20) <= U'f';
        if (!decimal && !(hex && hexDigits)) return PromptEdit::typing;
        if (line.text.size() >= kNumberCapacity) return PromptEdit::typing;
    } else if (line.text.size() + 2 > kSearchCapacity) {
        return PromptEdit::typing;
    }
    if (character > 0xFFFF) {
        character -= 0x10000;
        line.text += static_cast<char16_t>(0xD800 + (character >> 10));
        line.text += static_cast<char16_t>(0xDC00 + (character & 0x3FF));
    } else {
        line.text += static_cast<char16_t>(character);
    }
    return PromptEdit::typing;
}

void drawLastRow(const PromptLine& line, uint16_t promptAttribute) {
    const ScreenSize size = getScreenSize(false);
    if (size.width < 1 || size.height < 1) return;
    const auto width = static_cast<size_t>(size.width);
    std::u16string row;
    size_t cursor = 0;
    uint16_t attribute = line.messageAttribute;
    const bool prompting = line.prompt != Prompt::none;
    if (prompting) {
        row = (line.prompt == Prompt::search ? u"/" : u":") + line.text;
        attribute = promptAttribute;
    } else {
        row = line.message;
    }
#if QVD_WIDE
    // Laid out as the terminal shows it: a character two columns wide takes two cells. A prompt
    // wider than the screen shows its end, where the typing goes on.
    size_t start = 0;
    while (prompting && textColumns(row.data() + start, row.size() - start) >= width)
        start += static_cast<size_t>(readCluster(row.data(), row.size(), start).units);
    std::vector<CellText> cells(width, CellText(u' '));
    const int used = layOutText(cells.data(), size.width, row.data() + start, row.size() - start);
    cursor = static_cast<size_t>(used);
    writeText(cells.data(), size.width, size.height - 1, 0, attribute);
#else
    // A text wider than the screen shows its end, where the typing goes on.
    if (prompting && row.size() >= width) row.erase(0, row.size() - (width - 1));
    cursor = row.size();
    row.resize(width, u' ');
    std::string cells;
    for (char16_t unit : row) cells += static_cast<char>(unicodeToOemOrQuestion(unit));
    writeNarrowText(cells.data(), size.width, size.height - 1, 0, attribute);
#endif
    if (line.prompt != Prompt::none) {
        setCursorPosition(size.height - 1, static_cast<int>(cursor));
        setCursorVisible(true);
    }
}
