// What the benchmarks share: the best wall time of several runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace bench {

using Clock = std::chrono::steady_clock;

// The shortest of `runs` runs of f, in seconds.
inline double Best(int runs, const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

}  // namespace bench
