#include "batch/job_runner.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace kivra {

void RunJobs(std::size_t count, int jobs, const std::function<void(std::size_t)>& work) {
    const std::size_t workers = std::min<std::size_t>(std::max(jobs, 1), count);
    if (workers <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
        }
        return;
    }
    std::atomic<std::size_t> next{0};
    std::vector<std::jthread> threads;
    for (std::size_t t = 0; t < workers; ++t) {
        threads.emplace_back([&] {
            for (std::size_t i = next++; i < count; i = next++) {
                work(i);
            }
        });
    }
}

}  // namespace kivra
