// A manual backup or restore, running for its whole length, message boxes included.
#pragma once

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

}  // namespace hw
