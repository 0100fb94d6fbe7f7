#pragma once
// Work on a second core: the steps that handle both files alike (reading them, cutting them into
// lines) run side by side, and memory is readied on the side while a step fills it.

#include <functional>
#include <thread>

// Runs work on a helper thread from construction to destruction, which waits for it. The signals
// from outside (SIGINT, SIGTERM, SIGWINCH...) are blocked on the helper: they reach the main
// thread, as in a program of one thread. The signals of a fault in the work itself (SIGSEGV,
// SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS) are taken on the helper by the program's handlers, on
// an alternate stack of the helper's own, so a crash there (a stack overflow too) gives the
// terminal back as one on the main thread does. When no thread can be started, the work is done
// at once, on the calling thread. The work may not throw, but for std::bad_alloc:
//
// Memory that runs out on a helper ends nothing there: the main thread may be drawing, and the
// program's new handler is for the main thread alone. On a helper an allocation that fails throws
// std::bad_alloc, as in a program without a new handler, so work that copes (an index that only
// speeds the work up, a thread that could not be had) goes on without. What the work does not
// catch ends it; the thread that waits for the helper then ends the program with the program's
// new handler ("Out of memory"), and a helper that waits for one passes it on to its own waiter.
// For this a helper's start puts a new handler of its own in front of the program's.
class HelperThread {
  public:
    explicit HelperThread(const std::function<void()>& work);
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

  private:
    std::thread thread_;
    bool memoryRanOut_ = false; // the work ended for want of memory (written by the helper)
};

// Runs first on the calling thread and second on a helper thread together, and returns when both
// are done (one after the other when no thread can be started). Neither may throw.
void runTogether(const std::function<void()>& first, const std::function<void()>& second);
