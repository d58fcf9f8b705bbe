#pragma once

#include <functional>
#include <vector>

namespace vistrel {

// Runs the tasks on up to `threads` threads (0: one per core; the calling thread is one of
// them) and returns when all have ended. Every thread computes with the calling thread's
// floating-point environment (rounding, precision), so a task's result does not depend on the
// thread it ran on. Tasks must not throw and must touch only their own data.
void RunInParallel(std::vector<std::function<void()>>& tasks, int threads);

}  // namespace vistrel
