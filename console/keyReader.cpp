#include "console/keyReader.h"

#include "platform/codePages.h"
#include "platform/consoleBuffer.h"
#include "platform/keyParser.h"
#include "platform/terminal.h"

int keyCodeFor(const KeyEvent& event) {
    if (event.mouse.action != kMouseNone) return kKeyMouse;
    int code;
    bool typesCharacter = event.character != 0;
    if (typesCharacter) {
        // The character in the OEM code page; one the code page lacks arrives as '?'.
        char16_t unit = event.character > 0xFFFF ? u'?' : static_cast<char16_t>(event.character);
        code = unicodeToOemOrQuestion(unit);
    } else {
        code = kKeyVirtual + (event.virtualKey & 0xFF);
        if (event.modifiers & kModifierShift) code += kKeyShift;
    }
    if (event.modifiers & kModifierCtrl) code += kKeyCtrl;
    if (event.modifiers & kModifierAlt) code += kKeyAlt;
    return code;
}

bool takeArrivedKey(Key& key) {
    KeyEvent event{};
    if (takeArrivedKey(event) != kInputKey) return false;
    key = {keyCodeFor(event), event.character, event.mouse};
    return true;
}

bool readKeyWithin(int milliseconds, Key& key) {
    presentConsole();
    KeyEvent event{};
    switch (nextKeyEventWithin(event, milliseconds)) {
    case kInputKey:
        key = {keyCodeFor(event), event.character, event.mouse};
        return true;
    case kInputClosed:
        key = {kKeyEscape};
        return true;
    case kInputResized:
        key = {kKeyScreenResized};
        return consoleBuffer.drawn;
    default:
        return false;
    }
}

Key readKey() {
    for (;;) {
        presentConsole();
        KeyEvent event{};
        int result = nextKeyEvent(event);
        if (result == kInputKey) return {keyCodeFor(event), event.character, event.mouse};
        if (result == kInputClosed) return {kKeyEscape};
        if (consoleBuffer.drawn) return {kKeyScreenResized};
    }
}
