#pragma once
// Runs the real view on the scripted in-memory terminal and keeps the screen it left.

#include "console/colourScheme.h"
#include "console/keyReader.h"
#include "platform/memoryTerminal.h"
#include "viewer/viewerLoop.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Colours that differ from one another, so every region's colour tells what drew it.
inline constexpr ColourScheme kTestScheme = {0x07, 0x1B, 0x17, 0x00, 0x1E, 0x4F, 0x13};

// What a terminal sends for a mouse report in the extended form: the button code (0 the left
// button, 2 the right, 64 and 65 the wheel up and down), the cell from 0, M for a press and m for
// a release.
inline std::string mouseReport(int code, int row, int column, char final = 'M') {
    return "\x1b[<" + std::to_string(code) + ";" + std::to_string(column + 1) + ";" +
           std::to_string(row + 1) + final;
}

// n lines, line i (from 0) given by make(i), each ended by LF.
inline std::string makeLines(int n, const std::function<std::string(int)>& make) {
    std::string text;
    for (int i = 0; i < n; ++i) text += make(i) + "\n";
    return text;
}

// The view's settings as a test gives them, with what the driver works out from the files: their
// encodings (file 1 in the low nibble) and the width of hex offsets.
struct TestSettings : Settings {
    uint32_t encodingFlags = 0;
    int32_t offsetDigits = 4;
};

class ViewerScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedScheme = colourScheme;
        colourScheme = kTestScheme;
        reset();
    }

    // A fresh terminal and the settings as the option parser leaves them without options.
    void reset(int width = 80, int height = 25) {
        resetMemoryTerminal(width, height);
        settings = TestSettings{};
    }
    void TearDown() override { colourScheme = savedScheme; }

    // leftFile and rightFile as the view is handed them.
    FilePair files() const {
        FilePair pair{leftFile, rightFile, settings.offsetDigits};
        pair.left.encoding = settings.encodingFlags & 0x0F;
        pair.right.encoding = settings.encodingFlags >> 4 & 0x0F;
        return pair;
    }

    // Runs the view over leftFile and rightFile with the keys queued so far.
    ViewOutcome view(const ReloadFiles& reload = {}) {
        return runViewer(files(), settings, {80, 25}, false, tables, reload);
    }

    // Runs the view over two 8-bit texts with the given keys and then q; the screen is in
    // screen afterwards. size is the console size asked for (applied first when it differs from
    // the terminal's).
    ViewOutcome run(const std::string& leftText, const std::string& rightText,
                    std::vector<int> keys, ScreenSize size = {80, 25},
                    const TChar* leftName = QVD_T("old.txt")) {
        leftFile = {leftName, bytes(leftText), size32(leftText), bytes(leftText), size32(leftText)};
        rightFile = {QVD_T("new.txt"), bytes(rightText), size32(rightText), bytes(rightText),
                     size32(rightText)};
        for (int key : keys) queueKeyCode(key);
        queueKeyCode('q');
        ScreenSize current = getScreenSize(false);
        ViewOutcome code = runViewer(files(), settings, size, !(size == current), tables);
        screen = dumpScreen();
        tables = {};
        EXPECT_EQ(scriptUnderruns(), 0) << "the view read more keys than the script held";
        return code;
    }

    static const uint8_t* bytes(const std::string& text) {
        return reinterpret_cast<const uint8_t*>(text.data());
    }
    // A string literal's bytes: they live for the whole run, unlike a temporary std::string's.
    static const uint8_t* literalBytes(const char* text) {
        return reinterpret_cast<const uint8_t*>(text);
    }
    static uint32_t size32(const std::string& text) { return static_cast<uint32_t>(text.size()); }

    // Keys repeated.
    static std::vector<int> repeat(int key, int count) {
        return std::vector<int>(static_cast<size_t>(count), key);
    }
    static std::vector<int> join(std::vector<int> a, const std::vector<int>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    TestSettings settings;
    ColourScheme savedScheme{};
    ViewerFile leftFile{};
    ViewerFile rightFile{};
    ViewerTables tables;
    ScreenDump screen;
};
