// Many small independent file steps spread over the processor's cores: on a fast disk a copy of
// thousands of part files is bound by the kernel's work per file, which one thread cannot share.
#pragma once

#include <cstddef>
#include <functional>

namespace hw::files {

// How many threads a run of `count` steps uses: one for a short run, where threads would cost
// more than they save, else one a core, at most four.
unsigned WorkersFor(std::size_t count);

// Runs step(k, worker) for every k below count, the lowest k not yet taken first, on `workers`
// threads (worker < workers names the thread, for state of its own). A step that returns false
// stops the run: no step starts after it, those under way finish. Returns the lowest k whose
// step returned false, or count. With one worker every step runs in order on this thread. An
// exception from a step is thrown here once all threads have ended.
std::size_t ForEachIndex(std::size_t count, unsigned workers,
                         const std::function<bool(std::size_t k, unsigned worker)>& step);

}  // namespace hw::files
