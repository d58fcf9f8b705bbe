#include "numeric/parallel.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <thread>

namespace vistrel {

void RunInParallel(std::vector<std::function<void()>>& tasks, int threads) {
  unsigned n = threads > 0 ? static_cast<unsigned>(threads) : std::thread::hardware_concurrency();
  n = std::max(1u, std::min<unsigned>(n, static_cast<unsigned>(tasks.size())));
  if (n == 1) {
    for (auto& task : tasks) task();
    return;
  }
  std::fenv_t env;
  std::fegetenv(&env);
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    std::fesetenv(&env);
    for (std::size_t i; (i = next.fetch_add(1)) < tasks.size();) tasks[i]();
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < n; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
}

}  // namespace vistrel
