#pragma once
// Two pieces of work at the same time, for the steps that handle both files alike (reading them,
// cutting them into lines) on a machine with more than one core.

#include <functional>

// Runs first on the calling thread and second on a helper thread together, and returns when both
// are done. The helper takes no signals: they reach the calling thread, as in a program of one
// thread. When no thread can be started, second runs after first on the calling thread. Neither
// may throw.
void runTogether(const std::function<void()>& first, const std::function<void()>& second);
