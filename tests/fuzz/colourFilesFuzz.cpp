// The colour files on any bytes: qvd.ini and kqw.ini in a scratch directory that exeDirectory
// points to. Input layout: one byte of switches (bit 0: qvd.ini exists, bit 1: kqw.ini exists,
// bit 2: qvd.ini is a directory, bit 3: qvd.ini is a FIFO), one byte with the length of qvd.ini,
// its bytes, then kqw.ini's. There is no user's file (userColourDirectory stays empty).
//
// Checked: the scheme comes from exactly the source the rules pick, with the bytes each file
// holds; a saved scheme loads back unchanged; deleting qvd.ini falls back to kqw.ini.

#include "console/colourScheme.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string scratch;

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "colour file fault: %s\n", what);
        abort();
    }
}

void removeScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

void writeFile(const std::string& path, const uint8_t* bytes, size_t count) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
}

bool sameScheme(const ColourScheme& a, const ColourScheme& b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = std::filesystem::temp_directory_path() / "qvd-fuzz-colours.XXXXXX";
    check(mkdtemp(pattern.data()) != nullptr, "no scratch directory");
    scratch = pattern;
    atexit(removeScratch);
    exeDirectory = scratch + "/";
    userColourDirectory = scratch + "/user/";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    uint8_t switches = data[0];
    size_t qvdLength = std::min<size_t>(data[1], size - 2);
    const uint8_t* qvd = data + 2;
    const uint8_t* kqw = qvd + qvdLength;
    size_t kqwLength = size - 2 - qvdLength;
    std::string qvdPath = exeDirectory + "qvd.ini";
    std::string kqwPath = exeDirectory + "kqw.ini";
    std::error_code ignored;
    std::filesystem::remove_all(qvdPath, ignored);
    std::filesystem::remove_all(kqwPath, ignored);
    std::filesystem::remove_all(userColourDirectory, ignored); // the last input's save

    bool qvdIsDirectory = switches & 4;
    bool qvdIsFifo = !qvdIsDirectory && (switches & 8);
    if (qvdIsDirectory)
        mkdir(qvdPath.c_str(), 0777);
    else if (qvdIsFifo)
        mkfifo(qvdPath.c_str(), 0666);
    else if (switches & 1)
        writeFile(qvdPath, qvd, qvdLength);
    bool kqwExists = switches & 2;
    if (kqwExists) writeFile(kqwPath, kqw, kqwLength);

    // Which source the rules pick, and what it holds.
    bool fromQvd = !qvdIsDirectory && !qvdIsFifo && (switches & 1) && qvdLength >= 14;
    bool fromKqw = !fromQvd && kqwExists && kqwLength >= 38;
    memset(&colourScheme, 0xA5, sizeof colourScheme);
    int loaded = loadColourScheme(false);
    check(loaded == (fromQvd || fromKqw ? 1 : 0), "wrong source reported");
    if (fromQvd) {
        const uint16_t* entries = &colourScheme.base;
        for (int index = 0; index < 7; ++index) {
            check(entries[index] == (qvd[2 * index] | qvd[2 * index + 1] << 8),
                  "qvd.ini entry not as stored");
            check(colourEntry(index) == entries[index], "colourEntry disagrees with the scheme");
        }
    } else if (fromKqw) {
        check(colourScheme.base == kqw[33] && colourScheme.frame == kqw[33] &&
                  colourScheme.identical == kqw[32] && colourScheme.lineNumbers == kqw[37],
              "kqw.ini colours not taken from their bytes");
    }
    // kqw.ini and the defaults set every entry but the reserved one (qvd.ini may hold anything,
    // the marker value too).
    for (int index = 0; index < 7 && !fromQvd; ++index) {
        if (index != 3) check(colourEntry(index) != 0xA5A5, "an entry left unset");
    }
    check(colourEntry(-1) == colourScheme.base && colourEntry(7) == colourScheme.base,
          "an entry outside the scheme is not the base colour");

    // Save, load back: the same scheme. A save goes beside the program only over the qvd.ini the
    // colours came from; anything else (a directory or a FIFO there too) is left alone and the
    // save goes to the user's file, which can always be made here.
    ColourScheme shown = colourScheme;
    bool saved = saveColourScheme(2);
    check(saved, "a save that had a place to go failed");
    if (qvdIsDirectory || qvdIsFifo) {
        struct stat status;
        check(stat(qvdPath.c_str(), &status) == 0 &&
                  (qvdIsDirectory ? S_ISDIR(status.st_mode) : S_ISFIFO(status.st_mode)),
              "a save went over what is no file");
    }
    colourScheme = {};
    int reloaded = loadColourScheme(false);
    if (saved) check(reloaded == 1 && sameScheme(colourScheme, shown), "saved scheme not loaded");

    // Deleting qvd.ini: kqw.ini or the defaults again.
    if (!qvdIsDirectory) {
        check(saveColourScheme(0), "deleting qvd.ini failed");
        check(loadColourScheme(false) == (fromKqw || (kqwExists && kqwLength >= 38) ? 1 : 0),
              "after deleting qvd.ini the wrong source was used");
    }
    // Nothing but the two files is ever left in the directory.
    for (const auto& entry : std::filesystem::directory_iterator(scratch)) {
        std::string name = entry.path().filename();
        check(name == "qvd.ini" || name == "kqw.ini" || name == "user",
              "a stray file was left beside qvd.ini");
    }
    return 0;
}
