// The kinds of concurrency that a backup or restore run uses, each named once here so that the
// run's code says which one it means:
//  - ForEachIndex: the copies of the part files (a run's bulk), on up to four threads. On a fast
//    disk a copy of thousands of part files is bound by the kernel's work per file, which one
//    thread cannot share.
//  - RunSideBySide: two listings that wait on the disk independently (the temp folder while the
//    backup folder is checked, B while B_old is), so that their waits overlap.
//  - BackgroundRemoval (shell/background_removal.h): a thrown-away generation removed on a
//    thread of its own while the run goes on.
// A run itself runs on the front end's RunWorker (base/services.h), or where it is started.
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

// Runs `first` on a thread of its own while `second` runs on this one, and returns once both
// have ended; where no thread can be made, one after the other here. An exception from either
// is thrown here once both have ended (the first one's where both threw).
void RunSideBySide(const std::function<void()>& first, const std::function<void()>& second);

}  // namespace hw::files
