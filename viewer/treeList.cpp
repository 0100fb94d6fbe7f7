#include "viewer/treeList.h"

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

struct TreeList::Chunk {
    TreeRow rows[kChunkRows];
};

namespace {

// What the walk alone tells of a path: the verdict where kinds or sizes decide it, else pending
// (two files of one length, whose bytes must be compared, and directories on both sides, which
// wait for what they hold).
TreeState firstState(const TreeEntry& entry) {
    const EntryKind left = entry.left.kind;
    const EntryKind right = entry.right.kind;
    if (left == EntryKind::none) return TreeState::onlyRight;
    if (right == EntryKind::none) return TreeState::onlyLeft;
    if (left == EntryKind::unreadable || right == EntryKind::unreadable)
        return TreeState::unreadable;
    if (left == EntryKind::repeated || right == EntryKind::repeated) {
        // A directory walked before on one side: what the other side holds below it shows as
        // one-sided rows.
        const bool directories = (left == EntryKind::repeated || left == EntryKind::directory) &&
                                 (right == EntryKind::repeated || right == EntryKind::directory);
        return directories ? TreeState::walkedBefore : TreeState::kindsDiffer;
    }
    if (left != right) return TreeState::kindsDiffer;
    switch (left) {
    case EntryKind::file:
        if (entry.left.size != entry.right.size) return TreeState::different;
        return entry.left.size == 0 ? TreeState::identical : TreeState::pending;
    case EntryKind::special:
        return TreeState::notCompared;
    default:
        return TreeState::pending; // directories on both sides
    }
}

bool bothFiles(const TreeEntry& entry) {
    return entry.left.kind == EntryKind::file && entry.right.kind == EntryKind::file;
}

bool bothDirectories(const TreeEntry& entry) {
    return entry.left.kind == EntryKind::directory && entry.right.kind == EntryKind::directory;
}

std::string joined(const std::string& root, const std::string& path) {
    if (root.empty() || root.back() == '/') return root + path;
    return root + '/' + path;
}

} // namespace

bool stateDiffers(TreeState state) {
    switch (state) {
    case TreeState::different:
    case TreeState::onlyLeft:
    case TreeState::onlyRight:
    case TreeState::kindsDiffer:
    case TreeState::unreadable:
    case TreeState::notCompared:
        return true;
    case TreeState::pending:
    case TreeState::identical:
    case TreeState::walkedBefore:
        break;
    }
    return false;
}

TreeList::TreeList(std::string root1, std::string root2)
    : root1_(std::move(root1)), root2_(std::move(root2)),
      chunks_(std::make_unique<std::unique_ptr<Chunk>[]>(kChunks)) {}

TreeList::~TreeList() {
    stop_.store(true);
    helper_.reset();
}

void TreeList::start(bool behind) {
    clear();
    if (behind)
        helper_.emplace([this] { work(); });
    else
        work();
}

void TreeList::clear() {
    stop_.store(true);
    helper_.reset();
    for (uint32_t chunk = 0; chunk < kChunks && chunks_[chunk]; ++chunk) chunks_[chunk].reset();
    published_.store(0);
    walked_.store(false);
    finished_.store(false);
    waiting_.store(0);
    differing_.store(0);
    nextToCompare_.store(0);
    stop_.store(false);
}

const TreeRow& TreeList::row(uint32_t index) const {
    return chunks_[index / kChunkRows]->rows[index % kChunkRows];
}

std::string TreeList::leftPath(uint32_t index) const {
    return joined(root1_, row(index).entry.path);
}

std::string TreeList::rightPath(uint32_t index) const {
    return joined(root2_, row(index).entry.path);
}

// Adds a row behind the published ones and publishes it; false when the list is full.
bool TreeList::append(TreeEntry&& entry) {
    const uint32_t index = published_.load(std::memory_order_relaxed);
    const uint32_t chunk = index / kChunkRows;
    if (chunk >= kChunks) return false;
    if (!chunks_[chunk]) chunks_[chunk] = std::make_unique<Chunk>();
    TreeRow& row = chunks_[chunk]->rows[index % kChunkRows];
    const TreeState state = firstState(entry);
    row.entry = std::move(entry);
    row.state.store(state, std::memory_order_relaxed);
    if (state == TreeState::pending && bothFiles(row.entry))
        waiting_.fetch_add(1, std::memory_order_release);
    if (stateDiffers(state)) differing_.fetch_add(1, std::memory_order_release);
    published_.store(index + 1, std::memory_order_release);
    return true;
}

void TreeList::settle(TreeRow& row, TreeState state) {
    if (stateDiffers(state) && !bothDirectories(row.entry))
        differing_.fetch_add(1, std::memory_order_release);
    row.state.store(state, std::memory_order_release);
}

TreeRow& TreeList::writable(uint32_t index) {
    return chunks_[index / kChunkRows]->rows[index % kChunkRows];
}

// The bytes of a pair of files the walk left pending.
void TreeList::compareRow(uint32_t index) {
    TreeRow& row = writable(index);
    if (row.state.load(std::memory_order_relaxed) != TreeState::pending || !bothFiles(row.entry))
        return;
    const ContentResult result =
        compareContents(leftPath(index).c_str(), rightPath(index).c_str(), nullptr, &stop_);
    if (result == ContentResult::stopped) return;
    settle(row, result == ContentResult::identical   ? TreeState::identical
                : result == ContentResult::different ? TreeState::different
                                                     : TreeState::unreadable);
    waiting_.fetch_sub(1, std::memory_order_release);
}

// Takes rows to compare one after another, in the list's order, as the walk publishes them; ends
// when every row was taken once the walk is over. Both threads run it once the walk is done.
void TreeList::compareRows() {
    while (!stop_.load(std::memory_order_relaxed)) {
        const uint32_t index = nextToCompare_.fetch_add(1, std::memory_order_relaxed);
        while (index >= size()) {
            if (walked() && index >= size()) return;
            if (stop_.load(std::memory_order_relaxed)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        compareRow(index);
    }
}

// A directory on both sides is identical when everything below it is, and differs otherwise.
// What lies below a directory follows its row, deeper, so one pass with the directories still
// open on a stack settles them all.
void TreeList::settleDirectories() {
    struct Open {
        uint32_t index;
        bool differs;
    };
    std::vector<Open> open;
    auto close = [this, &open] {
        const Open done = open.back();
        open.pop_back();
        TreeRow& row = writable(done.index);
        settle(row, done.differs ? TreeState::different : TreeState::identical);
        if (done.differs && !open.empty()) open.back().differs = true;
    };
    const uint32_t count = size();
    for (uint32_t index = 0; index < count; ++index) {
        const TreeRow& row = this->row(index);
        while (!open.empty() && this->row(open.back().index).entry.depth >= row.entry.depth)
            close();
        const TreeState state = row.state.load(std::memory_order_acquire);
        if (state == TreeState::pending && bothDirectories(row.entry))
            open.push_back({index, false});
        else if (stateDiffers(state) && !open.empty())
            open.back().differs = true;
    }
    while (!open.empty()) close();
}

void TreeList::work() {
    {
        HelperThread comparing([this] { compareRows(); });
        TreeWalker walker(root1_, root2_);
        for (TreeEntry entry; !stop_.load(std::memory_order_relaxed) && walker.next(entry);) {
            if (!append(std::move(entry))) break;
            entry = {};
        }
        walked_.store(true, std::memory_order_release);
        compareRows(); // the walk is over: this thread compares too
    }
    if (stop_.load(std::memory_order_relaxed)) return;
    settleDirectories();
    finished_.store(true, std::memory_order_release);
}
