// Writes input pairs for the engine benchmarks.
//   genInputs logs LINES PERCENT SEED LEFT RIGHT
//       log-like lines of about 90 bytes that share long prefixes (time stamps, service names);
//       RIGHT is LEFT with PERCENT % of its lines inserted, deleted or changed (a third each), in
//       runs of 1 to 5 lines spread over the whole file.
//   genInputs different LINES SEED LEFT RIGHT
//       two files of LINES lines each with no line in common.
//   genInputs utf8 LINES PERCENT SEED LEFT RIGHT
//       as logs, in UTF-8 without a signature: every line also carries two words with accented
//       letters (as text on Linux is written).
//   genInputs trees FILES PERCENT SEED LEFT RIGHT [SAME]
//       directory trees of FILES files of 10 KiB of random bytes, 100 to a directory and 100 such
//       directories to one above (LEFT/t0/l00/f00); RIGHT has PERCENT % of its files changed in
//       one byte (sizes kept, so that a comparison must read them); SAME is a copy of LEFT.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

class LineMaker {
  public:
    explicit LineMaker(uint32_t seed, bool accented = false) : engine_(seed), accented_(accented) {}

    uint32_t below(uint32_t bound) { return static_cast<uint32_t>(engine_() % bound); }

    std::string line(uint32_t index) {
        static const char* const kServices[] = {"gateway", "billing", "search",
                                                "auth",    "storage", "mailer"};
        static const char* const kLevels[] = {"INFO ", "INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"};
        static const char* const kPaths[] = {"/api/v1/items", "/api/v1/users", "/api/v2/orders",
                                             "/static/app.js", "/health"};
        static const uint32_t kStatus[] = {200, 200, 200, 204, 301, 404, 500};
        uint32_t seconds = index / 12;
        char text[200];
        std::snprintf(text, sizeof text,
                      "2026-12-07T%02u:%02u:%02u.%06uZ %s[%u]: %s id=%08x %s/%u status=%u %ums\n",
                      seconds / 3600 % 24, seconds / 60 % 60, seconds % 60, below(1000000),
                      kServices[below(6)], 1000 + below(9000), kLevels[below(6)],
                      static_cast<uint32_t>(engine_()), kPaths[below(5)], below(100000),
                      kStatus[below(7)], below(900));
        if (!accented_) return text;
        static const char* const kWords[] = {"café",   "naïve",  "résumé",   "Übergröße",
                                             "façade", "señor",  "smørbrød", "crème brûlée",
                                             "Ærø",    "déjà vu"};
        std::string line(text, std::strlen(text) - 1);
        line.append(" note=").append(kWords[below(10)]).append(" ").append(kWords[below(10)]);
        return line + "\n";
    }

  private:
    std::mt19937 engine_;
    bool accented_;
};

bool writeFile(const char* path, const std::string& text) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

int writeLogs(uint32_t lines, double percent, uint32_t seed, const char* leftPath,
              const char* rightPath, bool accented = false) {
    LineMaker maker(seed, accented);
    std::vector<std::string> left;
    left.reserve(lines);
    for (uint32_t i = 0; i < lines; ++i) left.push_back(maker.line(i));
    auto budget = static_cast<uint32_t>(lines * percent / 100);
    std::string leftText;
    std::string rightText;
    for (const std::string& line : left) leftText += line;
    // Runs of edits start at about one line in three times the average run length.
    uint32_t position = 0;
    while (position < lines) {
        bool start = budget > 0 && maker.below(lines) < uint32_t(lines * percent / 300 + 1);
        if (!start) {
            rightText += left[position++];
            continue;
        }
        uint32_t run = std::min(budget, 1 + maker.below(5));
        budget -= run;
        switch (maker.below(3)) {
        case 0: // inserted before this line
            for (uint32_t k = 0; k < run; ++k) rightText += maker.line(position);
            rightText += left[position++];
            break;
        case 1: // deleted
            position = std::min(lines, position + run);
            break;
        default: // changed
            for (uint32_t k = 0; k < run && position < lines; ++k, ++position)
                rightText += maker.line(position);
        }
    }
    return writeFile(leftPath, leftText) && writeFile(rightPath, rightText) ? 0 : 1;
}

int writeDifferent(uint32_t lines, uint32_t seed, const char* leftPath, const char* rightPath) {
    LineMaker maker(seed);
    std::string texts[2];
    for (int side = 0; side < 2; ++side)
        for (uint32_t i = 0; i < lines; ++i)
            texts[side]
                .append(side == 0 ? "L" : "R")
                .append(std::to_string(i))
                .append(" ")
                .append(maker.line(i));
    return writeFile(leftPath, texts[0]) && writeFile(rightPath, texts[1]) ? 0 : 1;
}

int writeTrees(uint32_t files, double percent, uint32_t seed,
               const std::vector<std::string>& roots) {
    constexpr size_t kFileSize = 10 * 1024;
    std::mt19937 engine(seed);
    std::string bytes(kFileSize, '\0');
    std::string changed;
    char directory[32];
    for (uint32_t i = 0; i < files; ++i) {
        if (i % 100 == 0) {
            for (const std::string& root : roots) {
                mkdir(root.c_str(), 0755);
                std::snprintf(directory, sizeof directory, "/t%u", i / 10000);
                mkdir((root + directory).c_str(), 0755);
                std::snprintf(directory, sizeof directory, "/t%u/l%02u", i / 10000, i / 100 % 100);
                if (mkdir((root + directory).c_str(), 0755) != 0 && errno != EEXIST) {
                    std::perror((root + directory).c_str());
                    return 1;
                }
            }
        }
        for (size_t at = 0; at < kFileSize; at += 4) {
            uint32_t word = engine();
            std::memcpy(&bytes[at], &word, 4);
        }
        const bool change = engine() % 10000 < static_cast<uint32_t>(percent * 100);
        char name[16];
        std::snprintf(name, sizeof name, "/f%02u", i % 100);
        for (size_t side = 0; side < roots.size(); ++side) {
            const std::string* file = &bytes;
            if (side == 1 && change) {
                changed = bytes;
                changed[engine() % kFileSize] ^= 0x5A;
                file = &changed;
            }
            if (!writeFile((roots[side] + directory + name).c_str(), *file)) return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "logs") == 0)
        return writeLogs(static_cast<uint32_t>(std::atol(argv[2])), std::atof(argv[3]),
                         static_cast<uint32_t>(std::atol(argv[4])), argv[5], argv[6]);
    if (argc == 7 && std::strcmp(argv[1], "utf8") == 0)
        return writeLogs(static_cast<uint32_t>(std::atol(argv[2])), std::atof(argv[3]),
                         static_cast<uint32_t>(std::atol(argv[4])), argv[5], argv[6], true);
    if (argc == 6 && std::strcmp(argv[1], "different") == 0)
        return writeDifferent(static_cast<uint32_t>(std::atol(argv[2])),
                              static_cast<uint32_t>(std::atol(argv[3])), argv[4], argv[5]);
    if ((argc == 7 || argc == 8) && std::strcmp(argv[1], "trees") == 0)
        return writeTrees(static_cast<uint32_t>(std::atol(argv[2])), std::atof(argv[3]),
                          static_cast<uint32_t>(std::atol(argv[4])),
                          std::vector<std::string>(argv + 5, argv + argc));
    std::fprintf(stderr, "usage: genInputs logs LINES PERCENT SEED LEFT RIGHT\n"
                         "       genInputs different LINES SEED LEFT RIGHT\n"
                         "       genInputs utf8 LINES PERCENT SEED LEFT RIGHT\n"
                         "       genInputs trees FILES PERCENT SEED LEFT RIGHT [SAME]\n");
    return 2;
}
