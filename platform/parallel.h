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
// at once, on the calling thread. The work may not throw.
class HelperThread {
  public:
    explicit HelperThread(const std::function<void()>& work);
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

  private:
    std::thread thread_;
};

// Runs first on the calling thread and second on a helper thread together, and returns when both
// are done (one after the other when no thread can be started). Neither may throw.
void runTogether(const std::function<void()>& first, const std::function<void()>& second);
