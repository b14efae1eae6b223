#include "shell/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace hw::files {

namespace {

constexpr std::size_t kParallelFrom = 128;
constexpr unsigned kMostWorkers = 4;

}  // namespace

unsigned WorkersFor(std::size_t count) {
    if (count < kParallelFrom) return 1;
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
}

std::size_t ForEachIndex(std::size_t count, unsigned workers,
                         const std::function<bool(std::size_t k, unsigned worker)>& step) {
    if (workers <= 1) {
        for (std::size_t k = 0; k < count; ++k) {
            if (!step(k, 0)) return k;
        }
        return count;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex guard;
    std::size_t stoppedAt = count;
    std::exception_ptr error;
    auto work = [&](unsigned worker) {
        try {
            for (;;) {
                if (stop.load()) return;
                const std::size_t k = next.fetch_add(1);
                if (k >= count) return;
                if (!step(k, worker)) {
                    std::lock_guard<std::mutex> lock(guard);
                    stoppedAt = std::min(stoppedAt, k);
                    stop = true;
                }
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(guard);
            if (!error) error = std::current_exception();
            stop = true;
        }
    };
    std::vector<std::thread> threads;
    for (unsigned worker = 1; worker < workers; ++worker) {
        // Without another thread the steps are shared among the ones there are.
        try {
            threads.emplace_back(work, worker);
        } catch (const std::system_error&) {
            break;
        }
    }
    work(0);
    for (std::thread& thread : threads) thread.join();
    if (error) std::rethrow_exception(error);
    return stoppedAt;
}

void RunSideBySide(const std::function<void()>& first, const std::function<void()>& second) {
    std::exception_ptr firstError;
    auto runFirst = [&] {
        try {
            first();
        } catch (...) {
            firstError = std::current_exception();
        }
    };
    std::thread thread;
    try {
        thread = std::thread(runFirst);
    } catch (const std::system_error&) {
        runFirst();
    }
    std::exception_ptr secondError;
    try {
        second();
    } catch (...) {
        secondError = std::current_exception();
    }
    if (thread.joinable()) thread.join();
    if (firstError) std::rethrow_exception(firstError);
    if (secondError) std::rethrow_exception(secondError);
}

}  // namespace hw::files
