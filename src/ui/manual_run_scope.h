// A manual backup or restore, running for its whole length, message boxes included.
#pragma once

#include <functional>
#include <utility>

#include "ui/main_form.h"

namespace hw {

// Marks a manual backup or restore as running for its whole length, message boxes included,
// so that a scheduled backup delivered meanwhile is held back.
class ManualRunScope {
  public:
    explicit ManualRunScope(MainForm& form) : form_(form) { ++form_.manualRunDepth_; }
    ~ManualRunScope() { --form_.manualRunDepth_; }
    ManualRunScope(const ManualRunScope&) = delete;
    ManualRunScope& operator=(const ManualRunScope&) = delete;

  private:
    MainForm& form_;
};

// Calls `end` on leaving the scope, however the steps in it end: a run's end on the worker must
// leave the window usable even where showing its report failed.
class RunUnderWayEnd {
  public:
    explicit RunUnderWayEnd(std::function<void()> end) : end_(std::move(end)) {}
    ~RunUnderWayEnd() { end_(); }
    RunUnderWayEnd(const RunUnderWayEnd&) = delete;
    RunUnderWayEnd& operator=(const RunUnderWayEnd&) = delete;

  private:
    std::function<void()> end_;
};

}  // namespace hw
