// Removes a thrown-away backup generation on a worker thread, so that the window does not wait
// for thousands of unlinks after every run. The folder is already renamed out of the way when
// the removal starts; nothing else uses it, and a removal cut short by a kill is finished by
// the next run.
#pragma once

#include <string>
#include <thread>

namespace hw {

class BackgroundRemoval {
  public:
    BackgroundRemoval() = default;
    ~BackgroundRemoval() { Wait(); }
    BackgroundRemoval(const BackgroundRemoval&) = delete;
    BackgroundRemoval& operator=(const BackgroundRemoval&) = delete;

    // Waits for an earlier removal, then removes `path` with all its contents in the
    // background (here and now when no thread can be had); `last` as for files::RemoveTree.
    void Start(const std::string& path, const std::string& last = "");
    // Returns once no removal runs. Call it before the path may be used again, and before a
    // fork whose child goes on running this program's code.
    void Wait();
    // True while `path` is handed to the worker and not yet waited for: it is taken care of.
    bool Removes(const std::string& path) const { return worker_.joinable() && path_ == path; }

  private:
    std::thread worker_;
    std::string path_;
};

}  // namespace hw
