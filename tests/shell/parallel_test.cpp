// Steps spread over threads: each runs once, a failing one stops the run at the lowest index,
// and an error comes back to the caller.
#include "shell/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <vector>

namespace hw::files {
namespace {

TEST(ForEachIndex, RunsEachStepOnceAndStopsAtTheLowestFailure) {
    struct Case {
        std::size_t count;
        unsigned workers;
        std::set<std::size_t> failing;
        std::size_t returned;
    };
    // clang-format off
    const Case cases[] = {
        {1000, 4, {}, 1000},
        {1000, 1, {}, 1000},
        {1000, 4, {700, 300}, 300},
        {1000, 1, {700, 300}, 300},
        {0, 4, {}, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        std::vector<std::atomic<int>> runs(c.count);
        std::atomic<bool> badWorker{false};
        const std::size_t returned =
            ForEachIndex(c.count, c.workers, [&](std::size_t k, unsigned worker) {
                if (worker >= c.workers) badWorker = true;
                ++runs[k];
                return c.failing.count(k) == 0;
            });
        EXPECT_EQ(returned, c.returned) << c.workers;
        EXPECT_FALSE(badWorker);
        for (std::size_t k = 0; k < c.count; ++k) {
            EXPECT_LE(runs[k], 1) << k;
            // Every step before the stop ran; with one worker none after it.
            if (k <= returned) {
                EXPECT_EQ(runs[k], 1) << k;
            } else if (c.workers == 1) {
                EXPECT_EQ(runs[k], 0) << k;
            }
        }
    }
}

TEST(ForEachIndex, AnErrorInAStepReachesTheCallerAfterAllThreadsEnded) {
    std::atomic<int> running{0};
    EXPECT_THROW(ForEachIndex(500, 4,
                              [&](std::size_t k, unsigned) {
                                  ++running;
                                  if (k == 100) throw std::runtime_error("no memory");
                                  --running;
                                  return true;
                              }),
                 std::runtime_error);
    EXPECT_EQ(running, 1);  // only the step that threw is left counted
    EXPECT_EQ(WorkersFor(10), 1u);
    EXPECT_GE(WorkersFor(10000), 1u);
}

}  // namespace
}  // namespace hw::files
