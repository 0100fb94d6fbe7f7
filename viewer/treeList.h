#pragma once
// The rows of the directory list: every relative path of either tree, with what each side holds
// and how the two compare. The trees are walked on a helper thread while the list is on show, and
// the files compared on a second one as their rows come (on both once the walk is over); rows are
// only ever added at the end, and a row's state changes from pending to its verdict once, so the
// view reads what has been published without a lock.

#include "platform/parallel.h"
#include "platform/treeWalk.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

enum class TreeState : uint8_t {
    pending,      // not compared yet (a directory: something below it is not)
    identical,    // same kind and the same bytes (a directory: everything below it is)
    different,    // two files of other bytes (a directory: something below it differs)
    onlyLeft,     // in the first tree alone
    onlyRight,    // in the second tree alone
    kindsDiffer,  // a file against a directory, or against a special file
    unreadable,   // either side could not be read
    notCompared,  // special files on both sides: listed, never opened
    walkedBefore, // a directory reached before on both sides (a link loop): not walked again
};

// True for the states that make the trees differ.
[[nodiscard]] bool stateDiffers(TreeState state);

struct TreeRow {
    TreeEntry entry;
    std::atomic<TreeState> state{TreeState::pending};
};

class TreeList {
  public:
    TreeList(std::string root1, std::string root2);
    ~TreeList();
    TreeList(const TreeList&) = delete;
    TreeList& operator=(const TreeList&) = delete;

    // Walks and compares on a helper thread (behind true), or here before returning (tests, and
    // a machine where no thread can be had).
    void start(bool behind);
    // Stops the work, if any, and forgets every row; start walks again.
    void clear();

    // Rows published so far; row(i) for i below it stays where it is.
    [[nodiscard]] uint32_t size() const { return published_.load(std::memory_order_acquire); }
    [[nodiscard]] const TreeRow& row(uint32_t index) const;
    [[nodiscard]] TreeState state(uint32_t index) const {
        return row(index).state.load(std::memory_order_acquire);
    }

    // The walk is over: size() is every path.
    [[nodiscard]] bool walked() const { return walked_.load(std::memory_order_acquire); }
    // Every state is known, the directories' too.
    [[nodiscard]] bool finished() const { return finished_.load(std::memory_order_acquire); }
    // Pairs of files whose bytes are still to be compared (grows while the walk goes on).
    [[nodiscard]] uint32_t waiting() const { return waiting_.load(std::memory_order_acquire); }
    // Rows found to differ so far.
    [[nodiscard]] uint32_t differing() const { return differing_.load(std::memory_order_acquire); }
    // The full paths of a row's two sides.
    [[nodiscard]] std::string leftPath(uint32_t index) const;
    [[nodiscard]] std::string rightPath(uint32_t index) const;
    [[nodiscard]] const std::string& leftRoot() const { return root1_; }
    [[nodiscard]] const std::string& rightRoot() const { return root2_; }

  private:
    // Rows live in chunks that never move; the table of chunks is made once, so a reader never
    // sees it grow.
    static constexpr uint32_t kChunkRows = 4096;
    static constexpr uint32_t kChunks = 1u << 16;
    struct Chunk;

    std::string root1_;
    std::string root2_;
    std::unique_ptr<std::unique_ptr<Chunk>[]> chunks_;
    std::atomic<uint32_t> published_{0};
    std::atomic<bool> walked_{false};
    std::atomic<bool> finished_{false};
    std::atomic<uint32_t> waiting_{0};
    std::atomic<uint32_t> differing_{0};
    std::atomic<bool> stop_{false};
    std::atomic<uint32_t> nextToCompare_{0}; // the next row a comparing thread takes
    std::optional<HelperThread> helper_;

    void work();
    bool append(TreeEntry&& entry);
    void settle(TreeRow& row, TreeState state);
    TreeRow& writable(uint32_t index);
    void compareRow(uint32_t index);
    void compareRows();
    void settleDirectories();
};
