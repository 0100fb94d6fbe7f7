#include "viewer/screenRows.h"

#include "viewer/rowFormat.h"

#include <algorithm>
#include <new>

bool buildFolds(FoldList& list, const DiffRow* rows, uint32_t rowCount, uint32_t context) {
    list.folds.clear();
    if (rows == nullptr) return true;
    // Only the match field is read, row after row: on a list of ten million rows this pass is
    // bound by memory, so it stays one loop without anything else in it.
    const uint64_t longest = 2 * uint64_t{context} + 1;
    try {
        uint32_t hidden = 0;
        for (uint32_t at = 0; at < rowCount;) {
            if (rows[at].match != 1) {
                ++at;
                continue;
            }
            const uint32_t start = at;
            while (at < rowCount && rows[at].match == 1) ++at;
            if (at - start <= longest) continue;
            const Fold fold{start + context, at - context, hidden};
            list.folds.push_back(fold);
            hidden += fold.end - fold.first - 1;
        }
    } catch (const std::bad_alloc&) {
        list.folds = {};
        return false;
    }
    return true;
}

namespace {

// The last fold whose first row is at or before listRow, or null.
const Fold* foldFrom(const std::vector<Fold>& folds, uint32_t listRow) {
    auto after = std::upper_bound(folds.begin(), folds.end(), listRow,
                                  [](uint32_t row, const Fold& fold) { return row < fold.first; });
    return after == folds.begin() ? nullptr : &*(after - 1);
}

// The rows a fold takes out of sight: all it hides but the one row that stands for them.
uint32_t hiddenBy(const Fold& fold) {
    return fold.end - fold.first - 1;
}

} // namespace

bool openFold(FoldList& list, uint32_t listRow) {
    const Fold* fold = foldFrom(list.folds, listRow);
    if (fold == nullptr || listRow >= fold->end) return false;
    const auto at = list.folds.begin() + (fold - list.folds.data());
    const uint32_t shownAgain = hiddenBy(*fold);
    for (auto later = at + 1; later != list.folds.end(); ++later) later->hiddenBefore -= shownAgain;
    list.folds.erase(at);
    return true;
}

uint32_t ScreenRows::shownCount() const {
    if (folds == nullptr || folds->folds.empty()) return rowCount;
    const Fold& last = folds->folds.back();
    return rowCount - last.hiddenBefore - hiddenBy(last);
}

uint32_t ScreenRows::shownOf(uint32_t listRow) const {
    if (listRow >= rowCount) return shownCount();
    if (folds == nullptr) return listRow;
    const Fold* fold = foldFrom(folds->folds, listRow);
    if (fold == nullptr) return listRow;
    if (listRow < fold->end) return fold->first - fold->hiddenBefore;
    return listRow - fold->hiddenBefore - hiddenBy(*fold);
}

uint32_t ScreenRows::listOf(uint32_t shown) const {
    if (shown >= shownCount()) return rowCount;
    if (folds == nullptr) return shown;
    // The shown row of each fold, first - hiddenBefore, grows along the list as the folds do.
    const std::vector<Fold>& all = folds->folds;
    auto after = std::upper_bound(all.begin(), all.end(), shown, [](uint32_t at, const Fold& fold) {
        return at < fold.first - fold.hiddenBefore;
    });
    if (after == all.begin()) return shown;
    const Fold& fold = *(after - 1);
    if (shown == fold.first - fold.hiddenBefore) return fold.first;
    return shown + fold.hiddenBefore + hiddenBy(fold);
}

const Fold* ScreenRows::foldAt(uint32_t listRow) const {
    if (folds == nullptr) return nullptr;
    const Fold* fold = foldFrom(folds->folds, listRow);
    return fold != nullptr && fold->first == listRow ? fold : nullptr;
}

uint32_t ScreenRows::nextShown(uint32_t listRow) const {
    if (listRow >= rowCount) return rowCount;
    const Fold* fold = foldAt(listRow);
    return fold != nullptr ? fold->end : listRow + 1;
}

uint32_t ScreenRows::previousShown(uint32_t listRow) const {
    if (listRow == 0) return 0;
    return startOf(std::min(listRow, rowCount) - 1);
}

uint32_t wrappedRowEnd(const uint8_t* text, uint32_t length, uint32_t from,
                       const WrapRules& rules) {
    if (rules.wideText)
        return wrapRowEnd(reinterpret_cast<const char16_t*>(text), length, from, rules.width,
                          rules.tabWidth, rules.compress);
    return wrapRowEnd(text, length, from, rules.width, rules.tabWidth, rules.compress);
}

uint32_t wrappedHeight(const uint8_t* text, uint32_t length, const WrapRules& rules) {
    if (rules.width <= 0 || length == 0) return 1;
    uint32_t rows = 0;
    for (uint32_t from = 0; from < length; ++rows) from = wrappedRowEnd(text, length, from, rules);
    return rows;
}

uint32_t ScreenRows::height(uint32_t listRow) const {
    if (wrap.width <= 0 || listRow >= rowCount || foldAt(listRow) != nullptr) return 1;
    const DiffRow& row = rows[listRow];
    return std::max(wrappedHeight(row.leftText, row.leftLength, wrap),
                    wrappedHeight(row.rightText, row.rightLength, wrap));
}

ScreenPlace ScreenRows::advance(ScreenPlace from, int64_t count) const {
    if (wrap.width <= 0) {
        // A row a shown row: arithmetic on their indices.
        const int64_t shown = int64_t{shownOf(from.row)} + count;
        const int64_t last = shownCount();
        return {listOf(static_cast<uint32_t>(std::clamp<int64_t>(shown, 0, last))), 0};
    }
    ScreenPlace at = from;
    if (count >= 0) {
        for (uint64_t left = static_cast<uint64_t>(count); left > 0 && at.row < rowCount;) {
            const uint64_t rest = height(at.row) - 1 - uint64_t{at.part};
            if (left <= rest) {
                at.part += static_cast<uint32_t>(left);
                break;
            }
            left -= rest + 1;
            at = {nextShown(at.row), 0};
        }
        return at;
    }
    for (uint64_t left = static_cast<uint64_t>(-count); left > 0;) {
        if (left <= at.part) {
            at.part -= static_cast<uint32_t>(left);
            break;
        }
        left -= uint64_t{at.part} + 1;
        if (at.row == 0) {
            at.part = 0;
            break;
        }
        const uint32_t row = previousShown(at.row);
        at = {row, height(row) - 1};
    }
    return at;
}

ScreenPlace ScreenRows::lastTop(uint32_t keep) const {
    return advance({rowCount, 0}, -int64_t{keep});
}

uint32_t ScreenRows::partOfUnit(uint32_t listRow, int side, uint32_t unit) const {
    if (wrap.width <= 0 || listRow >= rowCount) return 0;
    const DiffRow& row = rows[listRow];
    const uint8_t* text = side == 0 ? row.leftText : row.rightText;
    const uint32_t length = side == 0 ? row.leftLength : row.rightLength;
    uint32_t part = 0;
    for (uint32_t from = wrappedRowEnd(text, length, 0, wrap); unit >= from && from < length;
         ++part)
        from = wrappedRowEnd(text, length, from, wrap);
    return part;
}
