#pragma once
// Two directory trees walked side by side: every relative path of either tree, once, in path
// order, with what each side holds there. Links are followed (what a link names is what the tree
// holds); a directory already walked on a side is never walked again there, so a link loop ends.
// Names are bytes, as the kernel gives them.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// What one side holds at a path.
enum class EntryKind : uint8_t {
    none,       // nothing: the path is only in the other tree
    file,       // a regular file (through any links)
    directory,  // a directory, walked
    special,    // a FIFO, a device or a socket: listed, never opened
    unreadable, // there, but its kind cannot be told (a dangling link, a stat that failed) or, for
                // a directory, its entries cannot be read
    repeated,   // a directory walked before on this side (a link loop, two links to one
                // directory): not walked again
};

struct TreeSide {
    EntryKind kind = EntryKind::none;
    uint64_t size = 0; // file: its length when walked
    int error = 0;     // unreadable: the system's error number
};

struct TreeEntry {
    std::string path; // relative to the roots, components joined by '/', never empty
    int depth = 0;    // components before the last one: 0 for an entry of the roots themselves
    TreeSide left;
    TreeSide right;
};

// True when path a comes before path b in the walk's order: component by component, each
// compared as bytes, so that "a/z" comes before "a.c" and a directory just before what it holds.
[[nodiscard]] bool pathBefore(std::string_view a, std::string_view b);

// True when path names a directory, through any links: what asks for a comparison of two trees.
[[nodiscard]] bool isDirectory(const char* path);

// The merged walk of two roots. It holds, per side, the sorted names of the directories on the
// way down from the root to the current entry and the directories walked so far (device and inode
// numbers); nothing of what was already handed out.
class TreeWalker {
  public:
    TreeWalker(std::string root1, std::string root2);
    ~TreeWalker();
    TreeWalker(const TreeWalker&) = delete;
    TreeWalker& operator=(const TreeWalker&) = delete;

    // The next entry in path order; false when both trees are done. A directory's row comes
    // before its entries; a directory on one side only is walked on that side. What vanishes
    // between listing a directory and looking at the entry is left out.
    [[nodiscard]] bool next(TreeEntry& entry);

    // Why root 1 or 2 (side) cannot be listed, the system's error number, or 0 when it can. Known
    // from construction on; such a side holds nothing, so the walk gives the other side alone.
    [[nodiscard]] int rootError(int side) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// How two regular files' contents compare: sizes first, then bytes in step through small
// buffers (files of any size). Never opens anything but a regular file (a FIFO put in a file's
// place after the walk is unreadable, not waited for).
enum class ContentResult : uint8_t {
    identical,
    different,
    unreadable1, // the first file cannot be read completely now (error says why)
    unreadable2, // the second one cannot
    stopped,     // stop was set before the end: nothing is known
};

// stop, when given, is looked at between two reads: a comparison of large files that is no longer
// wanted (the list is left) ends within one read.
[[nodiscard]] ContentResult compareContents(const char* path1, const char* path2,
                                            int* error = nullptr,
                                            const std::atomic<bool>* stop = nullptr);
