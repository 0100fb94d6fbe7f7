#pragma once
// The last screen row of the view: a prompt being typed (a text to find, a line to go to), or a
// message that stays until the next key.

#include "console/keyReader.h"

#include <cstdint>
#include <string>

enum class Prompt {
    none,
    search,   // "/": a text to find
    goToLine, // ":": a line number (a hex offset in hex mode)
};

struct PromptLine {
    Prompt prompt = Prompt::none;
    std::u16string text{};    // what was typed into the prompt
    std::u16string message{}; // shown while no prompt is open, until the next key
    uint16_t messageAttribute = 0;

    [[nodiscard]] bool shown() const { return prompt != Prompt::none || !message.empty(); }
    void open(Prompt kind);
    void close();
    void showMessage(std::u16string line, uint16_t attribute);
};

// What a key did to an open prompt.
enum class PromptEdit {
    typing,      // the text changed, or nothing happened
    cancelled,   // ESC, or Backspace on an empty text: the prompt is closed
    entered,     // ENTER: prompt and text hold what was asked for; the caller closes it
    interrupted, // Ctrl-C
};

// Acts on one key while a prompt is open. Typed characters go into the text: any character into
// a search (256 units at most), digits into a line number (hex digits too with hexDigits; 10 at
// most). moxa takes each character as typed; moxaw as its OEM code page shows it.
[[nodiscard]] PromptEdit editPrompt(PromptLine& line, const Key& key, bool hexDigits);

// Draws the last screen row: the prompt in promptAttribute with the cursor at its end (a text
// wider than the screen shows its end, where the typing goes on), else the message.
void drawLastRow(const PromptLine& line, uint16_t promptAttribute);
