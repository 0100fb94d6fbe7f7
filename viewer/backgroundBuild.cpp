#include "viewer/backgroundBuild.h"

void BackgroundBuild::start(const std::function<bool(const std::atomic<bool>* stop)>& work) {
    built = true;
    helper.emplace([this, work] { built = work(&stop); });
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
