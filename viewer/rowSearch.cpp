#include "viewer/rowSearch.h"

#include "platform/build.h"
#include "platform/charClass.h"
#include "platform/codePages.h"
#include "platform/textCells.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// One search over the list: the settings it reads, taken once, and buffers used row after row.
class RowMatcher {
  public:
    RowMatcher(const SearchSpace& space, const std::u16string& needle)
        : space_(space), settings_(*space.settings), needle_(needle),
          wideText_(kWideBuild && (space.left->encoding | space.right->encoding) != 0) {
        // 8-bit cells as the screen shows them: moxa reads them in the chosen code page, moxaw
        // shows OEM bytes, ANSI text converted to them.
        for (int value = 0; value < 256; ++value) {
            auto byte = static_cast<uint8_t>(value);
            if constexpr (kWideBuild)
                shownByte_[byte] = settings_.ansiCharset ? ansiToUnicode(byte) : oemToUnicode(byte);
            else
                shownByte_[byte] = oemToUnicode(settings_.ansiCharset ? ansiToOem(byte) : byte);
        }
    }

    // Whether the row shows the text; where, in hit.
    bool rowShows(uint32_t index, SearchHit& hit) {
        const DiffRow& row = space_.rows[index];
        for (int side = 0; side < 2; ++side) {
            const bool present = (side == 0 ? row.leftNumber : row.rightNumber) != 0;
            if (present && sideShows(side, side == 0 ? row.leftText : row.rightText,
                                     side == 0 ? row.leftLength : row.rightLength, hit)) {
                hit.row = index;
                hit.side = side;
                return true;
            }
        }
        return false;
    }

  private:
    // A 16-bit unit of a text, which images keep little-endian.
    static char16_t unitAt(const uint8_t* text, uint64_t index) {
        return static_cast<char16_t>(text[2 * index] | text[2 * index + 1] << 8);
    }

    // A cell of the expanded line, from the units [start, end) of the line.
    void add(char16_t unit, uint32_t start, uint32_t end) {
        cells_ += settings_.ignoreCase ? lowerUnit(unit) : unit;
        starts_.push_back(start);
        ends_.push_back(end);
    }

    bool sideShows(int side, const uint8_t* text, uint32_t length, SearchHit& hit) {
        cells_.clear();
        starts_.clear();
        ends_.clear();
        if (settings_.hexMode) {
            const ViewerFile& file = side == 0 ? *space_.left : *space_.right;
            const bool wide = kWideBuild && (file.encoding & kTextUtf16) != 0;
            // The row's own characters, and as many after them as a match starting in its last
            // one could reach.
            const uint64_t rest = static_cast<uint64_t>(file.raw + file.rawSize - text);
            const uint64_t own = wide ? length / 2 : length;
            const uint64_t count = std::min(wide ? rest / 2 : rest, own + needle_.size() - 1);
            for (uint64_t i = 0; i < count; ++i)
                add(wide ? unitAt(text, i) : shownByte_[text[i]], 0, 0);
            size_t at = cells_.find(needle_);
            hit.from = hit.to = 0;
            return at != std::u16string::npos && at < own;
        }
        // The whole line from its first column, as the panes expand it: tab stops count columns,
        // which in UTF-16 text are those the characters take (a mark none, a wide character two).
        const bool wide = wideText_;
        const auto tabWidth = static_cast<uint64_t>(std::max(settings_.tabWidth, 1));
        const bool compress = settings_.compressWhiteSpace != 0;
        auto blankOrTab = [](char16_t unit) { return unit == u' ' || unit == u'\t'; };
        const auto* units = reinterpret_cast<const char16_t*>(text);
        uint64_t column = 0;
        bool previousBlank = false;
        for (uint32_t at = 0; at < length;) {
            int count = 1;
            int columns = 1;
            if (wide) {
                const TextCluster cluster = readCluster(units, length, at);
                count = cluster.units;
                columns = cluster.columns;
            }
            const char16_t first = wide ? units[at] : text[at];
            const bool blank = count == 1 && blankOrTab(first);
            const bool dropped = compress && blank && previousBlank;
            previousBlank = blank;
            if (dropped) {
                at += static_cast<uint32_t>(count);
                continue;
            }
            const uint32_t end = at + static_cast<uint32_t>(count);
            if (count == 1 && first == u'\t') {
                do add(u' ', at, end);
                while (++column % tabWidth != 0);
            } else {
                for (int unit = 0; unit < count; ++unit)
                    add(wide ? units[at + static_cast<uint32_t>(unit)] : shownByte_[first], at,
                        end);
                column += static_cast<uint64_t>(columns);
            }
            at = end;
        }
        const size_t found = cells_.find(needle_);
        if (found == std::u16string::npos) return false;
        hit.from = starts_[found];
        hit.to = ends_[found + needle_.size() - 1];
        return true;
    }

    const SearchSpace& space_;
    const Settings& settings_;
    const std::u16string& needle_;
    const bool wideText_; // moxa decoded the files: both texts are 16-bit
    std::array<char16_t, 256> shownByte_{};
    std::u16string cells_;
    std::vector<uint32_t> starts_; // the line's units each cell comes from, their first
    std::vector<uint32_t> ends_;   // and one past their last
};

// Rows looked at between two questions to the progress: a millisecond or so of work.
constexpr uint64_t kRowsBetweenQuestions = 4096;

// The needle as the search compares it: letter case folded while it is ignored.
std::u16string searchForm(const std::u16string& text, const Settings& settings) {
    std::u16string form = text;
    if (settings.ignoreCase)
        for (char16_t& unit : form) unit = lowerUnit(unit);
    return form;
}

} // namespace

SearchHit findRow(const SearchSpace& space, uint32_t from, bool upward, const std::u16string& text,
                  const SearchProgress& progress) {
    SearchHit hit;
    if (text.empty() || space.rowCount == 0 || !space.rows) return hit;
    const std::u16string needle = searchForm(text, *space.settings);
    RowMatcher matcher(space, needle);
    const uint64_t count = space.rowCount;
    for (uint64_t step = 1; step <= count; ++step) {
        if (progress && step % kRowsBetweenQuestions == 0 && !progress(step, count)) {
            hit.stopped = true;
            return hit;
        }
        const auto index = static_cast<uint32_t>(upward ? (from + count - step % count) % count
                                                        : (from + step) % count);
        if (matcher.rowShows(index, hit)) return hit;
    }
    hit.row = -1;
    return hit;
}
