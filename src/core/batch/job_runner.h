#pragma once
// Runs many independent jobs on a few worker threads: the batch command's scheduler.
#include <cstddef>
#include <functional>

namespace kivra {

// Runs work(0) ... work(count - 1), each once, at most `jobs` at a time on threads of their own,
// and returns when all have ended; jobs <= 1 runs them in order on the calling thread. work
// must not throw.
void RunJobs(std::size_t count, int jobs, const std::function<void(std::size_t)>& work);

}  // namespace kivra
