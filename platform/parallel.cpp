#include "platform/parallel.h"

#include <atomic>
#include <csignal>
#include <exception>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <system_error>

namespace {

// The signals a fault of the thread's own work raises. The kernel sends them to the faulting
// thread, where a blocked one takes its default action at once: the program would end without
// its handler, the terminal left raw. A helper takes them as the main thread does.
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};

// Room for the ending signals' handler on a helper, as much as the main thread has: a handler
// cannot run on a stack that overflowed, and each thread has an alternate stack of its own.
constexpr size_t kSignalStackBytes = 64 * 1024;

// A helper's alternate signal stack, for as long as its work runs. It comes from the kernel, not
// the heap: a heap overrun elsewhere cannot reach it, and starting a helper asks the heap for
// nothing. Without memory for one the helper runs without; only a stack overflow on it then ends
// the program without its handler.
class SignalStack {
  public:
    SignalStack() {
        void* block = mmap(nullptr, kSignalStackBytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (block == MAP_FAILED) return;
        stack_t own{};
        own.ss_sp = block;
        own.ss_size = kSignalStackBytes;
        if (sigaltstack(&own, &previous_) != 0) {
            munmap(block, kSignalStackBytes);
            return;
        }
        block_ = block;
    }
    ~SignalStack() {
        if (block_ == nullptr) return;
        // The thread's stack before ours comes back (a sanitizer gives threads their own and
        // unmaps it at their end).
        sigaltstack(&previous_, nullptr);
        munmap(block_, kSignalStackBytes);
    }
    SignalStack(const SignalStack&) = delete;
    SignalStack& operator=(const SignalStack&) = delete;

  private:
    void* block_ = nullptr;
    stack_t previous_{};
};

// On a helper thread: where it tells the thread that waits for it that memory ran out. Null on
// the main thread.
thread_local bool* memoryRanOutHere = nullptr;

// The program's own new handler, which the one below stands in front of.
std::atomic<std::new_handler> programHandler{nullptr};
std::mutex handlerChange;

// The new handler while helpers run: the program's on the main thread, std::bad_alloc on a
// helper (HelperThread).
void onMemoryOut() {
    std::new_handler handler = programHandler.load();
    if (memoryRanOutHere != nullptr || handler == nullptr) throw std::bad_alloc();
    handler();
}

// Puts onMemoryOut in front of the program's new handler, if it has one. Done for each helper,
// so a handler the program sets later is taken in too.
void standBeforeProgramHandler() {
    std::lock_guard<std::mutex> lock(handlerChange);
    std::new_handler current = std::get_new_handler();
    if (current == nullptr || current == onMemoryOut) return;
    programHandler = current;
    std::set_new_handler(onMemoryOut);
}

void runOnHelper(bool* memoryRanOut, const std::function<void()>& work) {
    memoryRanOutHere = memoryRanOut;
    SignalStack stack;
    try {
        work();
    } catch (const std::bad_alloc&) {
        *memoryRanOut = true;
    }
}

// A helper's work ended for want of memory, seen by the thread that waited for it.
void memoryRanOutOnHelper() {
    if (memoryRanOutHere != nullptr) {
        *memoryRanOutHere = true; // a helper itself: its own waiter ends the program
        return;
    }
    if (std::new_handler handler = programHandler.load()) handler();
    // No handler, or one that returned: the work is lost, and the program cannot go on without it
    // (as when an exception leaves a thread's work).
    std::terminate();
}

} // namespace

HelperThread::HelperThread(const std::function<void()>& work) {
    standBeforeProgramHandler();
    // A new thread starts with its creator's signal mask: around its start everything is blocked
    // but the crash signals, so the signals from outside (SIGINT, SIGTERM, SIGWINCH...) reach the
    // main thread, as in a program of one thread.
    sigset_t blocked;
    sigset_t previous;
    sigfillset(&blocked);
    for (int signalNumber : kCrashSignals) sigdelset(&blocked, signalNumber);
    pthread_sigmask(SIG_SETMASK, &blocked, &previous);
    try {
        thread_ = std::thread(runOnHelper, &memoryRanOut_, work);
    } catch (const std::system_error&) {
        // No thread to be had (a process limit, no memory): the work is done here instead.
    } catch (const std::bad_alloc&) {
        // The same, on a helper thread that wanted a helper of its own.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!thread_.joinable()) work();
}

HelperThread::~HelperThread() {
    if (thread_.joinable()) thread_.join();
    if (memoryRanOut_) memoryRanOutOnHelper();
}

void runTogether(const std::function<void()>& first, const std::function<void()>& second) {
    HelperThread helper(second);
    first();
}
