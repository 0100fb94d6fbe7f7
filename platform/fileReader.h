#pragma once
// A regular file read into one block on a helper thread, while what has arrived is already in
// use: the view's first screen comes from the beginning of files that take seconds to read.

#include "platform/heapBlock.h"
#include "platform/parallel.h"

#include <atomic>
#include <cstdint>
#include <optional>

class FileReader {
  public:
    enum class End {
        none,    // still reading (or not started)
        whole,   // every byte of the length stated at open has arrived
        cut,     // the file ended early: it shrank while it was read; arrived() is what it held
        failed,  // a read failed: error() says why; arrived() is what came before
        stopped, // stop() was called
    };

    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Opens path: only a regular file (kNotRegular otherwise, the system's error when it does not
    // open, ENOMEM when no block of its length can be had). False with the reason in error().
    [[nodiscard]] bool open(const char* path);
    // Starts reading on a helper thread.
    void start();
    // Stops the reading, if it runs, and waits for the helper.
    void stop();

    [[nodiscard]] uint64_t size() const { return size_; } // the length stated at open
    // Bytes of the block that hold the file's bytes; they are never written again.
    [[nodiscard]] uint64_t arrived() const { return arrived_.load(std::memory_order_acquire); }
    [[nodiscard]] End end() const { return end_.load(std::memory_order_acquire); }
    [[nodiscard]] int error() const { return error_; }
    // Once the reading ended whole: the file's length or time of change is not what it was at open
    // (it was written to while it was read, so the block may not be what it holds now).
    [[nodiscard]] bool changed() const { return changed_; }
    [[nodiscard]] const uint8_t* block() const { return block_.get(); }
    // The block, for its new owner, once the reading ended.
    [[nodiscard]] HeapBlock<uint8_t> takeBlock() { return std::move(block_); }

    // Waits until at least bytes have arrived, the reading ended, or stop (when given) is set.
    void waitFor(uint64_t bytes, const std::atomic<bool>* stop = nullptr) const;

  private:
    void read();

    int fd_ = -1;
    uint64_t size_ = 0;
    int64_t changeTime_ = 0; // nanoseconds, from the open descriptor
    HeapBlock<uint8_t> block_;
    std::atomic<uint64_t> arrived_{0};
    std::atomic<End> end_{End::none};
    std::atomic<bool> stop_{false};
    int error_ = 0;
    bool changed_ = false;
    std::optional<HelperThread> helper_;
};
