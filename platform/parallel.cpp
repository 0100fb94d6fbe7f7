#include "platform/parallel.h"

#include <csignal>
#include <pthread.h>
#include <system_error>
#include <thread>

void runTogether(const std::function<void()>& first, const std::function<void()>& second) {
    // A new thread starts with its creator's signal mask: block everything around its start.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread helper;
    try {
        helper = std::thread(second);
    } catch (const std::system_error&) {
        // No thread to be had (a process limit, no memory): the work is done in turn instead.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    first();
    if (helper.joinable())
        helper.join();
    else
        second();
}
