#include "viewer/backgroundBuild.h"

void BackgroundBuild::start(const std::function<bool(const std::atomic<bool>* stop)>& work) {
    built = true;
    ended.store(false, std::memory_order_relaxed);
    helper.emplace([this, work] {
        built = work(&stop);
        ended.store(true, std::memory_order_release);
    });
}

bool BackgroundBuild::finish() {
    if (!helper) return true;
    helper.reset();
    return built;
}

void BackgroundBuild::abandon() {
    if (!helper) return;
    stop.store(true, std::memory_order_relaxed);
    helper.reset();
    stop.store(false, std::memory_order_relaxed);
    built = true;
}
