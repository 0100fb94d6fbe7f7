#include "platform/parallel.h"

#include <csignal>
#include <pthread.h>
#include <system_error>

HelperThread::HelperThread(const std::function<void()>& work) {
    // A new thread starts with its creator's signal mask: block everything around its start.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
        thread_ = std::thread(work);
    } catch (const std::system_error&) {
        // No thread to be had (a process limit, no memory): the work is done here instead.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!thread_.joinable()) work();
}

HelperThread::~HelperThread() {
    if (thread_.joinable()) thread_.join();
}

void runTogether(const std::function<void()>& first, const std::function<void()>& second) {
    HelperThread helper(second);
    first();
}
