// Timing helpers shared by the plain-main benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace trs::bench {

// Best-of-`rounds` wall time of `work`, in seconds: the least disturbed run.
inline double BestSeconds(int rounds, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace trs::bench
