// rowdump: the aligned list of two files as the view would build it, one line per row.
//   rowdump [--row-bytes=N] [options] file1 [file2]
// --row-bytes=N (first argument only, N >= 1, default 16) is the hex row width; everything else
// is the program's own options (--long-runs among them) and file names. Prints
//   rows <rowCount> flags 0x<encodingFlags, two hex digits> digits <offsetDigits>
//   <leftNumber> <rightNumber> <match>      (one line per row)
// Exit codes: 2 for bad options or files (with the program's messages), 3 when a table or the
// list cannot be built, else 0.

#include "app/exitCodes.h"
#include "app/fileImage.h"
#include "app/fileNames.h"
#include "app/loading.h"
#include "app/messages.h"
#include "app/options.h"
#include "engine/comparison.h"
#include "platform/files.h"
#include "platform/parallel.h"
#include "platform/pathText.h"
#include "viewer/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Everything rowdump holds, freed on every way out; the comparison goes before the images.
struct Dump {
    FileImage image1;
    FileImage image2;
    Comparison comparison;
};

// The row width of --row-bytes=N, or 0 when the argument is not a valid one.
int32_t parseRowBytes(const char* argument) {
    const char* digits = argument + std::strlen("--row-bytes=");
    if (*digits == 0) return 0;
    int64_t value = 0;
    for (const char* c = digits; *c; ++c) {
        if (*c < '0' || *c > '9') return 0;
        value = value * 10 + (*c - '0');
        if (value > INT32_MAX) return 0;
    }
    return static_cast<int32_t>(value);
}

// Output through one buffer: a million rows are printed in a few milliseconds. Numbers are
// written straight into it, two digits at a time, and line numbers counted on in a register.
class RowPrinter {
  public:
    ~RowPrinter() { flush(); }
    void text(const char* s) {
        size_t size = std::strlen(s);
        reserve(size);
        std::memcpy(buffer_ + used_, s, size);
        used_ += size;
    }
    void number(uint64_t value) {
        reserve(kNumberRoom);
        used_ += writeNumber(buffer_ + used_, value);
    }
    void character(char c) {
        reserve(1);
        buffer_[used_++] = c;
    }
    // "<left> <right> <match>\n", the line of one row.
    void row(uint32_t left, uint32_t right, int32_t match) {
        reserve(2 * kNumberRoom + 4);
        char* out = buffer_ + used_;
        out += leftNumbers_.write(out, left);
        *out++ = ' ';
        out += rightNumbers_.write(out, right);
        *out++ = ' ';
        out += writeNumber(out, static_cast<uint64_t>(match));
        *out++ = '\n';
        used_ = static_cast<size_t>(out - buffer_);
    }
    void flush() {
        if (used_ > 0) std::fwrite(buffer_, 1, used_, stdout);
        used_ = 0;
    }

  private:
    static constexpr size_t kNumberRoom = 20; // digits of the largest 64-bit number

    void reserve(size_t size) {
        if (used_ + size > sizeof buffer_) flush();
    }
    // Writes the decimal digits of value at out; returns how many. They are stored straight into
    // place from the last two on: nothing written is read back, which would stall the processor.
    static size_t writeNumber(char* out, uint64_t value) {
        static const char kPairs[] = "00010203040506070809101112131415161718192021222324"
                                     "25262728293031323334353637383940414243444546474849"
                                     "50515253545556575859606162636465666768697071727374"
                                     "75767778798081828384858687888990919293949596979899";
        size_t length = 1;
        for (uint64_t power = 10; length < kNumberRoom && value >= power; power *= 10) ++length;
        char* start = out + length;
        while (value >= 100) {
            start -= 2;
            std::memcpy(start, kPairs + 2 * (value % 100), 2);
            value /= 100;
        }
        if (value >= 10)
            std::memcpy(start - 2, kPairs + 2 * value, 2);
        else
            start[-1] = static_cast<char>('0' + value);
        return length;
    }

    // The line numbers of one side. Each is mostly one more than the last one, so the last one's
    // digits are kept in a register and counted on, up to eight digits.
    class LineNumbers {
      public:
        // Writes value's digits at out (room for kNumberRoom bytes); returns how many.
        size_t write(char* out, uint32_t value) {
            if (value == 0 || value > kLargest) return writeNumber(out, value);
            if (value == last_ + 1 && last_ != 0)
                countOn();
            else
                start(value);
            last_ = value;
            // The first digit to the lowest byte, which is stored first.
            const uint64_t text = __builtin_bswap64(digits_) >> (8 * (8 - length_));
            std::memcpy(out, &text, 8);
            return length_;
        }

      private:
        static constexpr uint32_t kLargest = 99999999;

        void start(uint32_t value) {
            digits_ = 0;
            length_ = 0;
            for (; value > 0; value /= 10, ++length_)
                digits_ |= uint64_t{'0' + value % 10} << (8 * length_);
        }
        // Adds one: the nines at the end turn to zeros, and the digit before them goes up, or a
        // one goes before them all.
        void countOn() {
            uint32_t nines = 0;
            while (nines < length_ && (digits_ >> (8 * nines) & 0xFF) == '9') ++nines;
            if (nines > 0) digits_ -= 0x0909090909090909ull >> (8 * (8 - nines));
            if (nines == length_) {
                digits_ += uint64_t{'1'} << (8 * nines);
                ++length_;
            } else {
                digits_ += uint64_t{1} << (8 * nines);
            }
        }

        uint64_t digits_ = 0; // the last number's digits, the last digit in the lowest byte
        uint32_t length_ = 0;
        uint32_t last_ = 0;
    };

    char buffer_[1 << 16];
    size_t used_ = 0;
    LineNumbers leftNumbers_;
    LineNumbers rightNumbers_;
};

int run(int argumentCount, char** argumentVector) {
    int32_t rowBytes = 16;
    std::vector<char*> programArguments(argumentVector, argumentVector + argumentCount);
    if (argumentCount > 1 && std::strncmp(argumentVector[1], "--row-bytes=", 12) == 0) {
        rowBytes = parseRowBytes(argumentVector[1]);
        if (rowBytes < 1) {
            std::fprintf(stderr, "rowdump: --row-bytes needs a whole number from 1 up\n");
            return kExitBadInput;
        }
        programArguments.erase(programArguments.begin() + 1);
    }
    int count = static_cast<int>(programArguments.size());
    std::vector<TString> argumentTexts;
    std::vector<const TChar*> arguments;
    for (char* argument : programArguments) argumentTexts.push_back(argumentToText(argument));
    for (const TString& text : argumentTexts) arguments.push_back(text.c_str());
    arguments.push_back(nullptr);

    const Options options = parseOptions(count, arguments.data());
    setMessagesQuiet(options.hostMode != 0);
    if (options.badOption) {
        printUsage();
        return kExitBadInput;
    }
    PathBuffer path1;
    PathBuffer path2;
    switch (resolveFileNames(path1, path2, count, arguments.data(), options.hostMode != 0)) {
    case NameResult::resolved:
        break;
    case NameResult::refused:
        return kExitBadInput;
    case NameResult::missing:
    case NameResult::tooMany:
        printUsage();
        return kExitBadInput;
    }

    Dump dump;
    int reason = 0;
    switch (loadFiles(path1.text, path2.text, dump.image1, dump.image2, &reason)) {
    case LoadResult::file1Failed:
        printMessage("\nCan't load file 1 (%S)\n%s\n", toDisplayText(path1.text).c_str(),
                     loadFailureText(reason));
        return kExitBadInput;
    case LoadResult::file2Failed:
        printMessage("\nCan't load file 2 (%S)\n%s\n", toDisplayText(path2.text).c_str(),
                     loadFailureText(reason));
        return kExitBadInput;
    case LoadResult::loaded:
        break;
    }
    const int32_t offsetDigits = countOffsetDigits(dump.image1.rawSize, dump.image2.rawSize);
    // Decoded as on the way into the view, identical files included.
    if (!decodeTexts(dump.image1, dump.image2)) {
        printMessage("\nOut of memory\n");
        return kExitOutOfMemory;
    }
    // The tables and the list exactly as the view builds them.
    const uint32_t encodingFlags = dump.image1.encoding | dump.image2.encoding << 4;
    const bool wideText = kWideBuild && encodingFlags != 0;
    const ComparedFile file1{dump.image1.raw.get(), dump.image1.rawSize, dump.image1.text,
                             dump.image1.textSize, wideText && dump.image1.encoding != 0};
    const ComparedFile file2{dump.image2.raw.get(), dump.image2.rawSize, dump.image2.text,
                             dump.image2.textSize, wideText && dump.image2.encoding != 0};
    const EngineRules rules = engineRules(options, wideText);
    if (!buildLineTables(dump.comparison, file1, file2, static_cast<uint32_t>(rowBytes), rules) ||
        !buildRows(dump.comparison, rules)) {
        printMessage("\nOut of memory\n");
        return kExitOutOfMemory;
    }
    const uint32_t rowCount = dump.comparison.rowCount;

    RowPrinter out;
    // Only the rows' numbers are printed: the images and the tables are given back on a second
    // core meanwhile, which otherwise takes about as long as the printing after it.
    HelperThread giveBack([&dump] {
        dump.comparison.leftTable.reset();
        dump.comparison.rightTable.reset();
        dump.image1 = {};
        dump.image2 = {};
    });
    static const char kHex[] = "0123456789ABCDEF";
    out.text("rows ");
    out.number(rowCount);
    out.text(" flags 0x");
    out.character(kHex[encodingFlags >> 4 & 0xF]);
    out.character(kHex[encodingFlags & 0xF]);
    out.text(" digits ");
    out.number(static_cast<uint64_t>(offsetDigits));
    out.character('\n');
    for (uint32_t i = 0; i < rowCount; ++i) {
        const DiffRow& row = dump.comparison.rows[i];
        out.row(row.leftNumber, row.rightNumber, row.match);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int code = run(argc, argv);
    std::fflush(stdout);
    return code;
}
