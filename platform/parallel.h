#pragma once
// Work on a second core: the steps that handle both files alike (reading them, cutting them into
// lines) run side by side, and memory is readied on the side while a step fills it.

#include <functional>
#include <thread>

// Runs work on a helper thread from construction to destruction, which waits for it. The helper
// takes no signals: they reach the calling thread, as in a program of one thread. When no thread
// can be started, the work is done at once, on the calling thread. The work may not throw.
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
