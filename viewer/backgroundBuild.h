#pragma once
// The whole comparison being built on a helper thread while the first screen, worked out from
// the files' beginnings, is on show. While it runs, the build alone touches what it builds.

#include "platform/parallel.h"

#include <atomic>
#include <functional>
#include <optional>

struct BackgroundBuild {
    std::optional<HelperThread> helper{};
    bool built = true;              // what the work gave: false when memory ran out
    std::atomic<bool> stop{false};  // tells the work to give up
    std::atomic<bool> ended{false}; // the work has returned: finish() will not wait

    [[nodiscard]] bool running() const { return helper.has_value(); }

    // Starts work on a helper thread. It is handed the stop flag to watch, and returns false
    // when it could not build what it was to build.
    void start(const std::function<bool(const std::atomic<bool>* stop)>& work);

    // Waits for the work, if any is running: false when it failed. Then nothing runs any more.
    [[nodiscard]] bool finish();

    // Tells the work to give up, if any is running, and waits for it: nothing of it is to be
    // kept. For keys that end the view, which never wait for a build they would not use.
    void abandon();
};
