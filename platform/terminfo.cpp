// The terminal's terminfo description, taken before ncurses starts: it decides whether there is
// a terminal to use at all, and what the ways out write to give it back.
#include "platform/terminfo.h"

#include "platform/virtualKeys.h"

#include <cstdlib>
#include <cstring>

#include <ncursesw/curses.h>
#include <ncursesw/term.h>

namespace {

std::string typeInUse; // the terminfo description in use: TERM's, or a built-in fallback

// A string capability's value, or null when the description has none.
const char* capability(const char* name) {
    char* value = tigetstr(name);
    return value == nullptr || value == reinterpret_cast<char*>(-1) ? nullptr : value;
}

void appendCapability(std::string& text, const char* name) {
    if (const char* value = capability(name)) text += value;
}

// Whether type begins with the name of one of families.
template <size_t Count>
bool inFamily(const char* type, const char* const (&families)[Count]) {
    if (type == nullptr) return false;
    for (const char* family : families)
        if (strncmp(type, family, strlen(family)) == 0) return true;
    return false;
}

} // namespace

const char* terminalTypeAsked() {
    const char* type = getenv("TERM");
    if (type == nullptr || *type == 0 || strcmp(type, "dumb") == 0) return nullptr;
    return type;
}

bool loadDescription(int fd, const char* type) {
    int error = 0;
    if (setupterm(type, fd, &error) == OK) {
        typeInUse = type;
        return true;
    }
    if (error != 0) return false; // a hardcopy terminal (1), or no terminfo database at all (-1)
    for (const char* fallback : {"xterm-256color", "xterm", "vt100"}) {
        if (setupterm(fallback, fd, &error) == OK) {
            typeInUse = fallback;
            return true;
        }
    }
    return false;
}

const char* descriptionInUse() {
    return typeInUse.c_str();
}

void dropDescription() {
    del_curterm(cur_term);
}

bool hasCapability(const char* name) {
    return capability(name) != nullptr;
}

void seedKeyStrings(KeyParser& parser) {
    static constexpr struct {
        const char* name;
        uint16_t virtualKey;
        uint8_t modifiers;
    } kKeys[] = {
        {"kcuu1", kVkUp, 0},     {"kcud1", kVkDown, 0},
        {"kcub1", kVkLeft, 0},   {"kcuf1", kVkRight, 0},
        {"khome", kVkHome, 0},   {"kend", kVkEnd, 0},
        {"kpp", kVkPrior, 0},    {"knp", kVkNext, 0},
        {"kich1", kVkInsert, 0}, {"kdch1", kVkDelete, 0},
        {"ka1", kVkHome, 0},     {"kc1", kVkEnd, 0},
        {"ka3", kVkPrior, 0},    {"kc3", kVkNext, 0},
        {"kb2", kVkClear, 0},    {"kf1", kVkF1, 0},
        {"kf2", kVkF2, 0},       {"kf3", kVkF3, 0},
        {"kf4", kVkF4, 0},       {"kf5", kVkF5, 0},
        {"kf6", kVkF6, 0},       {"kf7", kVkF7, 0},
        {"kf8", kVkF8, 0},       {"kf9", kVkF9, 0},
        {"kf10", kVkF10, 0},     {"kf11", kVkF11, 0},
        {"kf12", kVkF12, 0},     {"kcbt", kVkTab, kModifierShift},
    };
    for (const auto& key : kKeys) {
        const char* value = capability(key.name);
        if (value == nullptr) continue;
        char32_t character = key.virtualKey == kVkTab ? U'\t' : 0;
        addKeyString(parser, value, {key.virtualKey, character, key.modifiers});
    }
}

bool titleSequenceSupported(const char* type) {
    static constexpr const char* kFamilies[] = {"xterm", "rxvt",    "alacritty", "foot",
                                                "kitty", "wezterm", "tmux",      "screen",
                                                "st-",   "gnome",   "konsole",   "vte"};
    return inFamily(type, kFamilies);
}

bool mouseReportsSupported(const char* type) {
    // The old form is what a terminal without the extended one sends instead: the key parser
    // reads both, so a family member that lacks 1006 still works.
    static constexpr const char* kFamilies[] = {"xterm",   "rxvt", "alacritty", "foot",  "kitty",
                                                "wezterm", "tmux", "screen",    "st-",   "gnome",
                                                "konsole", "vte",  "putty",     "mintty"};
    if (inFamily(type, kFamilies)) return true;
    const char* mouseKey = capability("kmous");
    return type != nullptr && typeInUse == type && mouseKey != nullptr &&
           strcmp(mouseKey, "\033[<") == 0;
}

std::string restoreText(bool withTitle, bool withMouse) {
    std::string text;
    if (withMouse) text += kMouseOff;
    appendCapability(text, "sgr0");
    appendCapability(text, "op");
    appendCapability(text, "cnorm");
    if (const char* leaveAlternate = capability("rmcup"))
        text += leaveAlternate;
    else
        appendCapability(text, "clear"); // nothing brings the user's screen back: leave it blank
    if (withTitle) text += kTitlePop;
    return text;
}
